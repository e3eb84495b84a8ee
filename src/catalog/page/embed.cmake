# SPDX-License-Identifier: MIT
# Writes OUTPUT, a C++ header holding the gallery's index.html, page.css and page.js of PAGE_DIR
# as kPageHtml, kPageCss and kPageJs. Every byte is written as an escape, so no text in the files
# can end the literal, and the same files give the same header.
# Usage: cmake -DPAGE_DIR=dir -DOUTPUT=file -P embed.cmake
set(text "// Made by src/catalog/page/embed.cmake from the files beside it; edit those instead.\n")
string(APPEND text "#pragma once\n\n#include <string_view>\n\nnamespace tintrel {\n")
foreach(name_and_file "kPageHtml;index.html" "kPageCss;page.css" "kPageJs;page.js")
  list(GET name_and_file 0 name)
  list(GET name_and_file 1 file)
  file(READ "${PAGE_DIR}/${file}" digits HEX)
  string(LENGTH "${digits}" count)
  math(EXPR length "${count} / 2")
  string(APPEND text "\n// ${file}\ninline constexpr std::string_view ${name}{\n")
  # 32 bytes a line.
  foreach(at RANGE 0 "${count}" 64)
    if(at LESS count)
      string(SUBSTRING "${digits}" ${at} 64 line)
      string(REGEX REPLACE "(..)" "\\\\x\\1" line "${line}")
      string(APPEND text "    \"${line}\"\n")
    endif()
  endforeach()
  string(APPEND text "    \"\", ${length}};\n")
endforeach()
string(APPEND text "\n}  // namespace tintrel\n")
file(WRITE "${OUTPUT}" "${text}")

// SPDX-License-Identifier: MIT
#include "catalog/table.h"

#include "text/utf8.h"

namespace tintrel {

namespace {

void AppendCsvField(std::string& line, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    line += text;
    return;
  }
  line += '"';
  for (char c : text) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 2]);
    for (std::size_t k = 0; k < 4; ++k)
      text += i + k <= bytes.size() ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return text;
}

void AppendJsonValue(std::string& line, const Field& field) {
  switch (field.Type) {
    case Field::kNull: line += "null"; return;
    case Field::kText: return AppendJsonString(line, field.Value);
    case Field::kNumber:
    case Field::kFlag: line += field.Value; return;
    case Field::kList:
    case Field::kNumberList:
      line += '[';
      for (std::size_t i = 0; i < field.Items.size(); ++i) {
        if (i > 0) line += ',';
        if (field.Type == Field::kList)
          AppendJsonString(line, field.Items[i]);
        else
          line += field.Items[i];
      }
      line += ']';
      return;
  }
}

}  // namespace

void AppendJsonString(std::string& line, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  line += '"';
  while (!text.empty()) {
    const std::size_t length = Utf8SequenceAt(text);
    if (length == 0) {
      line += "\xEF\xBF\xBD";  // U+FFFD for a byte that begins no character
      text.remove_prefix(1);
      continue;
    }
    const char c = text[0];
    if (c == '"' || c == '\\') {
      line += '\\';
      line += c;
    } else if (c == '\n') {
      line += "\\n";
    } else if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) {
      line += "\\u00";
      line += kHex[static_cast<uint8_t>(c) >> 4];
      line += kHex[c & 0xF];
    } else {
      line.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  line += '"';
}

Field TextField(std::string text) {
  return {Field::kText, std::move(text), 0, {}, ' '};
}

Field NumberField(int64_t number) {
  return {Field::kNumber, std::to_string(number), number, {}, ' '};
}

Field FlagField(bool flag) {
  return {Field::kFlag, flag ? "true" : "false", 0, {}, ' '};
}

Field ListField(std::vector<std::string> items, char separator) {
  return {Field::kList, {}, 0, std::move(items), separator};
}

Field NumberListField(std::span<const int64_t> numbers) {
  std::vector<std::string> items;
  items.reserve(numbers.size());
  for (int64_t number : numbers) items.push_back(std::to_string(number));
  return {Field::kNumberList, {}, 0, std::move(items), ' '};
}

std::string TableHeader(TableFormat format) {
  if (format == TableFormat::JsonLines) return "";
  std::string line;
  for (std::string_view name : kColumns) {
    if (!line.empty()) line += ',';
    line += name;
  }
  return line + '\n';
}

std::string FormatRow(const Row& row, TableFormat format) {
  std::string line;
  if (format == TableFormat::Csv) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) line += ',';
      const Field& field = row[i];
      if (field.Type != Field::kList && field.Type != Field::kNumberList) {
        AppendCsvField(line, field.Value);
        continue;
      }
      std::string joined;
      for (std::size_t k = 0; k < field.Items.size(); ++k) {
        if (k > 0) joined += field.Separator;
        joined += field.Items[k];
      }
      AppendCsvField(line, joined);
    }
    return line + '\n';
  }
  line += '{';
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) line += ',';
    AppendJsonString(line, kColumns[i]);
    line += ':';
    AppendJsonValue(line, row[i]);
    // A path that is not UTF-8 stands in "path" with U+FFFD; its exact bytes follow.
    if (i == 0 && row[0].Type == Field::kText && !IsUtf8(row[0].Value)) {
      line += ",\"path_base64\":\"" + Base64(row[0].Value) + '"';
    }
  }
  return line + "}\n";
}

}  // namespace tintrel

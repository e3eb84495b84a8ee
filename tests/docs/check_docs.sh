#!/bin/sh
# SPDX-License-Identifier: MIT
# The manual pages render without a single warning, and the example runs that it and the README
# show are, line for line, what the program prints for examples/sunset.ans.
# Usage: check_docs.sh TINTREL_BINARY SOURCE_DIR
set -eu
binary=$1
cd "$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The two runs as the documents show them; trailing spaces are not visible there, so not compared.
{
  echo '$ tintrel examples/sunset.ans'
  "$binary" examples/sunset.ans
  echo '$ tintrel examples/sunset.ans -r'
  "$binary" examples/sunset.ans -r
} | sed 's/ *$//' >"$work/runs"

# Succeeds when the lines of $1 stand in $2 as one unbroken run of lines.
shows_runs() {
  awk 'NR == FNR { want[++n] = $0; next }
       $0 == want[k + 1] { if (++k == n) found = 1; next }
       { k = ($0 == want[1]) }
       END { exit !found }' "$1" "$2"
}

sed 's/ *$//' README.md >"$work/readme"
if ! shows_runs "$work/runs" "$work/readme"; then
  echo "README.md does not show the example runs as the program prints them:"
  cat "$work/runs"
  exit 1
fi

if ! command -v groff >/dev/null 2>&1; then
  echo "groff is not installed: the manual page is not checked"
  exit 77
fi
for page in man/tintrel.1 man/tintrel-catalog.1; do
  if ! groff -man -Tutf8 -ww "$page" >/dev/null 2>"$work/warnings" || [ -s "$work/warnings" ]; then
    echo "groff does not render $page cleanly:"
    cat "$work/warnings"
    exit 1
  fi
done
groff -man -Tascii man/tintrel.1 2>/dev/null | sed 's/.\x08//g; s/^ *//; s/ *$//' >"$work/page"
if ! shows_runs "$work/runs" "$work/page"; then
  echo "man/tintrel.1 does not show the example runs as the program prints them:"
  cat "$work/runs"
  exit 1
fi

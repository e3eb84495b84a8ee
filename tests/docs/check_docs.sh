#!/bin/sh
# SPDX-License-Identifier: MIT
# The manual pages render without a single warning, and the example runs that it and the README
# show are, line for line, what the program prints for examples/sunset.ans; with the catalogue's
# binary, the README's and the catalogue page's example of the screen's columns too.
# Usage: check_docs.sh TINTREL_BINARY SOURCE_DIR [TINTREL_CATALOG_BINARY]
set -eu
binary=$1
catalog=${3:-}
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

# The screen's example: its commands as the README shows them, run, print the lines it shows after
# them; the catalogue's page shows the same run.
if [ -n "$catalog" ]; then
  sed -n '/^\$ printf .*> hi.ans$/,/^```$/p' README.md | sed '$d' >"$work/screen-example"
  (cd "$work" && sed -n 's/^\$ //p' screen-example | sed "s|tintrel-catalog|$catalog|" | sh) \
    >"$work/screen-runs"
  if ! grep -v '^\$ ' "$work/screen-example" | cmp -s - "$work/screen-runs"; then
    echo "README.md does not show the screen example as the catalogue prints it:"
    cat "$work/screen-runs"
    exit 1
  fi
  groff -man -Tascii man/tintrel-catalog.1 2>/dev/null | sed 's/.\x08//g; s/^ *//; s/ *$//' \
    >"$work/catalog-page"
  if ! shows_runs "$work/screen-example" "$work/catalog-page"; then
    echo "man/tintrel-catalog.1 does not show the screen example of the README"
    exit 1
  fi
fi

#!/bin/sh
# SPDX-License-Identifier: MIT
# Writes CHANGELOG.md as a gzipped Debian changelog: each "## VERSION (DATE)" section becomes an
# entry, each "- " item a "  * " item. The dates come from the file (a date alone is midnight; a
# second release on one day gives its time in UTC too, as 2026-12-09T14:30Z) and gzip -n stores no
# time, so the bytes never change between builds.
# Usage: debian-changelog.sh CHANGELOG.md MAINTAINER OUTPUT.gz
set -eu
awk -v maintainer="$2" '
  function close_entry() {
    if (version == "") return
    cmd = "LC_ALL=C date -u -d " date " \"+%a, %d %b %Y %H:%M:%S +0000\""
    cmd | getline stamp
    close(cmd)
    printf "\n -- %s  %s\n", maintainer, stamp
  }
  /^## / {
    close_entry()
    version = $2
    date = $3
    gsub(/[()]/, "", date)
    if (printed++) print ""
    printf "tintrel (%s) unstable; urgency=medium\n\n", version
    next
  }
  /^- / { sub(/^- /, "  * "); print; next }
  /^  / && version != "" { print "  " $0; next }
  END { close_entry() }
' "$1" | gzip -9n >"$3"

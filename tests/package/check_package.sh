#!/bin/sh
# SPDX-License-Identifier: MIT
# The release build as a user gets it: installed under a prefix, and unpacked from its Debian
# package. Both must hold the manual pages and programs that print what the built ones print. The
# package must pass lintian with nothing but overridden tags, and a second build of the same
# commit, in another folder, must give the same package byte for byte.
# Run from the source folder after `cmake --workflow --preset package`.
# Usage: check_package.sh [RELEASE_BUILD_DIR]
set -eu
build=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "check_package: $*" >&2
  exit 1
}

# Same bytes on standard output and the same status as the built programs, for both outputs of
# tintrel and both formats of tintrel-catalog.
same_runs() {
  for run in "tintrel examples/sunset.ans" "tintrel examples/sunset.ans -r" \
    "tintrel-catalog examples" "tintrel-catalog -f jsonl examples/sunset.ans"; do
    program=${run%% *}
    args=${run#* }
    # $args is split on purpose.
    "$build/$program" $args >"$work/want" || fail "$build/$program exited with $?"
    "$1/$program" $args >"$work/got" || fail "$1/$program exited with $?"
    cmp -s "$work/want" "$work/got" || fail "$1/$run prints something else"
  done
}

# The files a user gets under a prefix (or /usr), manual pages compressed.
same_files() {
  for program in tintrel tintrel-catalog; do
    [ -x "$1/bin/$program" ] || fail "no executable $1/bin/$program"
    gzip -dc "$1/share/man/man1/$program.1.gz" | cmp -s - "man/$program.1" ||
      fail "$1/share/man/man1/$program.1.gz is not man/$program.1"
  done
  cmp -s packaging/copyright "$1/share/doc/tintrel/copyright" || fail "$1 has no copyright file"
  gzip -dc "$1/share/doc/tintrel/changelog.gz" | grep -q "^tintrel ($version) " ||
    fail "$1/share/doc/tintrel/changelog.gz has no entry for $version"
  [ -f "$1/share/lintian/overrides/tintrel" ] || fail "$1 has no lintian overrides"
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
cmake --install "$build" --prefix "$work/prefix" >/dev/null
same_files "$work/prefix"
same_runs "$work/prefix/bin"

set -- "$build"/tintrel_"$version"_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one tintrel_${version}_*.deb in $build, found: $*"
deb=$1
for pair in "Package=tintrel" "Version=$version" "Section=utils" \
  "Maintainer=Hueprobe developers <dev@hueprobe.invalid>"; do
  field=${pair%%=*}
  got=$(dpkg-deb -f "$deb" "$field")
  [ "$got" = "${pair#*=}" ] || fail "$deb: $field is '$got', not '${pair#*=}'"
done
dpkg-deb -x "$deb" "$work/unpacked"
same_files "$work/unpacked/usr"
# tintrel has no program interpreter: it is static and runs on a system without any library.
# tintrel-catalog's libraries are the package's dependencies, and apt can resolve them.
if readelf -l "$work/unpacked/usr/bin/tintrel" | grep -q INTERP; then
  fail "the packaged tintrel is dynamically linked"
fi
depends=$(dpkg-deb -f "$deb" Depends)
for library in libarchive13 libdeflate0 libbz2-1.0 liblzma5 zlib1g libsqlite3-0 libc6; do
  echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$library" ||
    fail "$deb does not depend on $library: Depends: $depends"
done
apt-get install --simulate "$(realpath "$deb")" >"$work/apt" 2>&1 || {
  cat "$work/apt" >&2
  fail "apt cannot install $deb"
}
same_runs "$work/unpacked/usr/bin"

command -v lintian >/dev/null || fail "lintian is missing (apt-get install lintian)"
lintian --fail-on error,warning "$deb" 2>"$work/lintian" || {
  cat "$work/lintian" >&2
  fail "lintian finds errors or warnings in $deb"
}

# A second build of the same commit in another folder.
cmake --preset release -B "$work/again" >/dev/null
cmake --build "$work/again" >/dev/null
(cd "$work/again" && cpack -G DEB >/dev/null)
cmp -s "$deb" "$work/again/$(basename "$deb")" || fail "a second build does not give $deb again"
echo "check_package: installed and packaged tintrel $version agree with $build; lintian is clean;" \
  "a second build gives the same package"

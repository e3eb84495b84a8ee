#!/bin/sh
# The release build as a user gets it: installed under a prefix, and unpacked from its Debian
# package. Both must hold the manual page and a binary that prints what the built one prints.
# Run from the source folder after `cmake --workflow --preset package`.
# Usage: check_package.sh [RELEASE_BUILD_DIR]
set -eu
build=${1:-build/release}
built="$build/tintrel"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "check_package: $*" >&2
  exit 1
}

# Same bytes on standard output and the same status as the built binary, for both outputs.
same_runs() {
  for args in "" "-r"; do
    # $args is split on purpose: no option, or one.
    "$built" examples/sunset.ans $args >"$work/want" || fail "$built exited with $?"
    "$1" examples/sunset.ans $args >"$work/got" || fail "$1 exited with $?"
    cmp -s "$work/want" "$work/got" || fail "$1 examples/sunset.ans $args prints something else"
  done
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/tintrel share/man/man1/tintrel.1; do
  [ -f "$work/prefix/$file" ] || fail "cmake --install put no $file under the prefix"
done
[ -x "$work/prefix/bin/tintrel" ] || fail "the installed binary is not executable"
cmp -s man/tintrel.1 "$work/prefix/share/man/man1/tintrel.1" || fail "installed manual page differs"
same_runs "$work/prefix/bin/tintrel"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
set -- "$build"/tintrel_"$version"_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one tintrel_${version}_*.deb in $build, found: $*"
deb=$1
for pair in "Package=tintrel" "Version=$version" "Section=utils" "Depends=" \
  "Maintainer=Hueprobe developers <dev@hueprobe.invalid>"; do
  field=${pair%%=*}
  got=$(dpkg-deb -f "$deb" "$field")
  [ "$got" = "${pair#*=}" ] || fail "$deb: $field is '$got', not '${pair#*=}'"
done
[ -n "$(dpkg-deb -f "$deb" Description)" ] || fail "$deb has no description"

dpkg-deb -x "$deb" "$work/unpacked"
cmp -s man/tintrel.1 "$work/unpacked/usr/share/man/man1/tintrel.1" ||
  fail "$deb does not hold man/tintrel.1 as usr/share/man/man1/tintrel.1"
# No program interpreter: the binary is static and runs on a system without any library.
if readelf -l "$work/unpacked/usr/bin/tintrel" | grep -q INTERP; then
  fail "the packaged binary is dynamically linked"
fi
same_runs "$work/unpacked/usr/bin/tintrel"
echo "check_package: installed and packaged tintrel $version agree with $built"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The source step of the Qt-for-Windows build on a fresh machine: against an empty cache,
# with a local stand-in for Debian's qt6-base source package, it prints the path of the
# unpacked tree and nothing else; a package that unpacks under another name is reported,
# with nothing on stdout. Needs no network; exits 77 (a skip) where dpkg-source is missing.
set -euo pipefail
library=$1
if ! command -v dpkg-source >/dev/null; then
    echo "skipped: dpkg-source is missing"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A source package of qt6-base holding one file, built as Debian builds its own; prints
# the path of its .dsc.
make_stand_in() {
    local version=$1
    local folder="$work/packages/$version/qt6-base-$version"
    mkdir -p "$folder/debian/source"
    echo "3.0 (native)" >"$folder/debian/source/format"
    printf 'Source: qt6-base\nMaintainer: Tarnwick <tests@example.invalid>\n\n%s\n' \
        "Package: qt6-base-stand-in
Architecture: all
Description: stand-in for the Qt source" >"$folder/debian/control"
    printf 'qt6-base (%s) unstable; urgency=medium\n\n  * Stand-in.\n\n%s\n' "$version" \
        " -- Tarnwick <tests@example.invalid>  Thu, 01 Jan 2026 00:00:00 +0000" \
        >"$folder/debian/changelog"
    echo "project(qtbase)" >"$folder/CMakeLists.txt"
    (cd "$folder/.." && dpkg-source -b "qt6-base-$version" >/dev/null 2>&1)
    echo "$work/packages/$version/qt6-base_$version.dsc"
}

# Unpacks the stand-in into the current folder, as apt-get source does, with its messages.
unpack_stand_in() {
    dpkg-source -x "$stand_in"
}

# Runs the source step with the given cache and download command; its stderr goes to a file.
fetch_with() {
    # shellcheck source=SCRIPTDIR/../../scripts/lib/windows-qt.sh
    TARNWICK_WINDOWS_CACHE=$1 TARNWICK_QT_SOURCE_DOWNLOAD=$2 source "$library"
    fetch_qt_source 2>"$work/stderr"
}

cache="$work/cache"
stand_in=$(make_stand_in 6.4.2+dfsg)
tree=$(fetch_with "$cache" unpack_stand_in) || fail "the source step failed: $(cat "$work/stderr")"
[ "$tree" = "$cache/src/qt6-base-6.4.2+dfsg" ] || fail "the source step printed '$tree'"
[ -f "$tree/CMakeLists.txt" ] || fail "$tree is not the unpacked source"

# With the tree in the cache, nothing is downloaded again.
tree=$(fetch_with "$cache" false) || fail "the source step downloaded again"
[ "$tree" = "$cache/src/qt6-base-6.4.2+dfsg" ] || fail "the cached step printed '$tree'"

stand_in=$(make_stand_in 6.4.3+dfsg)
if output=$(fetch_with "$work/other-cache" unpack_stand_in); then
    fail "a package of another version was taken for 6.4.2"
fi
[ -z "$output" ] || fail "the failed source step printed '$output'"
grep -q "did not unpack into $work/other-cache/src/qt6-base-6.4.2+dfsg" "$work/stderr" ||
    fail "the failed source step said: $(cat "$work/stderr")"
echo "passed: the source step prints the unpacked tree alone"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as CPack builds it from the build tree: lintian finds no error and no
# warning beyond those explained in packaging/debian/lintian-overrides (which the package
# carries); the package holds the manual pages, the completions, the metadata, the
# copyright and the changelog where Debian looks for them; and its programs, unpacked
# into a scratch root, print the version, tarnwick-cli without Qt GUI, whose painter draws
# its handover PDF from where the package put it. Exits 77 (a skip) where lintian is
# missing.
# Usage: test_debian_package.sh BUILD_DIR VERSION
set -uo pipefail
build=$1
version=$2
for tool in lintian dpkg-deb cpack; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool (Debian's lintian, dpkg and cmake) is missing"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; echo "FAIL: cpack did not build the package" >&2; exit 1; }
deb=$(find "$work" -maxdepth 1 -name 'tarnwick_*.deb')
echo "lintian $(basename "$deb"):"
lintian --fail-on error,warning --display-info "$deb" || fail "lintian reports errors or warnings"

root="$work/root"
dpkg-deb -x "$deb" "$root"
while read -r file; do
    [ -f "$root/$file" ] || fail "the package holds no $file"
done <<'FILES'
usr/share/man/man1/tarnwick.1.gz
usr/share/man/man1/tarnwick-cli.1.gz
usr/share/man/man1/logger-sim.1.gz
usr/share/bash-completion/completions/tarnwick-cli
usr/share/zsh/vendor-completions/_tarnwick-cli
usr/share/metainfo/org.tarnwick.Tarnwick.metainfo.xml
usr/share/applications/tarnwick.desktop
usr/share/doc/tarnwick/copyright
usr/share/doc/tarnwick/changelog.gz
usr/share/lintian/overrides/tarnwick
usr/lib/tarnwick/tarnwick-pdf
FILES
for program in tarnwick-cli logger-sim; do
    printed=$("$root/usr/bin/$program" --version)
    [ "$printed" = "$program $version" ] || fail "$program --version printed '$printed'"
done
ldd "$root/usr/bin/tarnwick-cli" | grep -q libQt6Gui && fail "tarnwick-cli loads Qt GUI"
echo '{"event":"done","time":"T1","serial":"SN-1","address_after":"192.0.2.9","settings":{}}' \
    >"$work/record.jsonl"
"$root/usr/bin/tarnwick-cli" report "$work/record.jsonl" --pdf "$work/handover.pdf" >/dev/null
[ "$(head -c 5 "$work/handover.pdf" 2>/dev/null)" = "%PDF-" ] ||
    fail "the unpacked tarnwick-cli drew no handover PDF"
changelog_version=$(zcat "$root/usr/share/doc/tarnwick/changelog.gz" | sed -n '1s/^tarnwick (\(.*\)).*/\1/p')
[ "$changelog_version" = "$version" ] || fail "the changelog's version is '$changelog_version'"

[ "$failures" -eq 0 ] || exit 1
echo "passed: the Debian package"

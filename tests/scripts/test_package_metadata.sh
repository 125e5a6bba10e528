#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The metadata through which desktops and software centres list the tool: the AppStream
# metainfo as the build configured it, checked by appstreamcli, and the desktop entry,
# checked by desktop-file-validate, which must say nothing at all (not even a hint).
# Exits 77 (a skip) where Debian's appstream or desktop-file-utils is missing.
# Usage: test_package_metadata.sh METAINFO DESKTOP_ENTRY
set -uo pipefail
metainfo=$1
desktop_entry=$2
for tool in appstreamcli desktop-file-validate; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool (Debian's appstream and desktop-file-utils) is missing"
        exit 77
    fi
done
failures=0
appstreamcli validate --no-net "$metainfo" || failures=$((failures + 1))
if ! said=$(desktop-file-validate "$desktop_entry" 2>&1) || [ -n "$said" ]; then
    echo "FAIL: desktop-file-validate $desktop_entry: $said" >&2
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] || exit 1
echo "passed: the AppStream metainfo and the desktop entry validate"

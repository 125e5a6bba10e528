#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows installer's tables, read back with msiinfo from an MSI built of stand-in
# programs: where it installs, the Start-menu shortcuts, the uninstall entry's version and
# publisher, 64-bit components, the fixed upgrade code that lets a newer version replace an
# older one, and the licence dialog before an install with its full interface. Exits 77 (a
# skip) where msitools is missing.
set -euo pipefail
library=$1
for tool in wixl msiinfo; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool (Debian's wixl and msitools) is missing"
        exit 77
    fi
done
# shellcheck source=SCRIPTDIR/../../scripts/lib/windows-installer.sh
source "$library"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The rows of one table, fields joined by "|", without the three header lines.
rows() {
    msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r' | tr '\t' '|'
}

# expect_row MSI TABLE ROW: the table holds exactly that row.
expect_row() {
    rows "$1" "$2" | grep -qxF "$3" || fail "$2 has no row '$3'; it holds:$(printf '\n  %s' "$(rows "$1" "$2")")"
}

property() {
    rows "$1" Property | awk -F'|' -v name="$2" '$1 == name { print $2 }'
}

mkdir "$work/programs"
for file in tarnwick.exe tarnwick-cli.exe logger-sim.exe README.md LICENSE.txt \
    THIRD-PARTY-NOTICES.txt tarnwick-pdf.exe; do
    echo "stand-in" >"$work/programs/$file"
done
msi="$work/tarnwick.msi"
build_windows_installer "$work/programs" 1.01 "$msi" 2>"$work/stderr" ||
    { cat "$work/stderr" >&2; fail "wixl did not build the installer"; exit 1; }

while IFS= read -r expected; do
    expect_row "$msi" "${expected%%|*}" "${expected#*|}"
done <<'ROWS'
Property|ProductName|Tarnwick
Property|ProductVersion|1.01
Property|Manufacturer|Tarnwick maintainers
Property|ALLUSERS|1
Property|ARPNOMODIFY|1
Directory|INSTALLDIR|ProgramFiles64Folder|Tarnwick
Directory|ProgramMenuDir|ProgramMenuFolder|Tarnwick
File|TarnwickExe|Tool|tarnwick.exe|9|||512|1
File|TarnwickCliExe|CommandLineTool|tarnwick-cli.exe|9|||512|2
File|LoggerSimExe|SubstituteLogger|logger-sim.exe|9|||512|3
File|ReadmeMd|Readme|README.md|9|||512|4
File|LicenceTxt|Licence|LICENSE.txt|9|||512|5
File|ThirdPartyNoticesTxt|Licence|THIRD-PARTY-NOTICES.txt|9|||512|6
File|TarnwickPdfExe|PdfPainter|tarnwick-pdf.exe|9|||512|7
Shortcut|ToolShortcut|ProgramMenuDir|Tarnwick|StartMenuShortcuts|[INSTALLDIR]tarnwick.exe||Find the data loggers on the LAN|||||INSTALLDIR||||
Shortcut|CommandPromptShortcut|ProgramMenuDir|Tarnwick command prompt|StartMenuShortcuts|[System64Folder]cmd.exe|/k "set PATH=[INSTALLDIR];%PATH%&& tarnwick-cli --help"|A command prompt with tarnwick-cli on the PATH|||||INSTALLDIR||||
RemoveFile|RemoveProgramMenuDir|StartMenuShortcuts||ProgramMenuDir|2
Upgrade|{BE6FE008-BB9B-4BEB-A219-BB5D656FCED6}||1.01||1||WIX_UPGRADE_DETECTED
Upgrade|{BE6FE008-BB9B-4BEB-A219-BB5D656FCED6}|1.01|||2||WIX_DOWNGRADE_DETECTED
LaunchCondition|NOT WIX_DOWNGRADE_DETECTED|A newer version of Tarnwick is already installed.
InstallExecuteSequence|RemoveExistingProducts||1401
_SummaryInformation|7|x64;1033
InstallUISequence|LicenceDialog|NOT Installed|1250
InstallUISequence|ExitDialog||-1
InstallUISequence|FatalError||-3
Control|LicenceDialog|Licence|ScrollableText|15|47|340|183|7||{\rtf1\ansi\deff0{\fonttbl{\f0\fmodern Courier New;}}\f0\fs14 stand-in\par }|Install|
ControlEvent|LicenceDialog|Install|EndDialog|Return|1|1
ControlEvent|LicenceDialog|Cancel|EndDialog|Exit|1|1
Property|DefaultUIFont|TarnwickText
ROWS

# Every component installs into the 64-bit registry and folders (msidbComponentAttributes64bit).
while IFS='|' read -r component _ _ attributes _; do
    [ $((attributes & 256)) -ne 0 ] || fail "component $component is not 64-bit ($attributes)"
done < <(rows "$msi" Component)

# The upgrade code stays from one version to the next; the product code is new each build.
newer="$work/tarnwick-newer.msi"
build_windows_installer "$work/programs" 1.02 "$newer" 2>/dev/null
[ "$(property "$newer" UpgradeCode)" = "{BE6FE008-BB9B-4BEB-A219-BB5D656FCED6}" ] ||
    fail "the upgrade code changed to $(property "$newer" UpgradeCode)"
[ "$(property "$newer" ProductCode)" != "$(property "$msi" ProductCode)" ] ||
    fail "two versions share the product code $(property "$msi" ProductCode)"

[ "$failures" -eq 0 ] || exit 1
echo "passed: the installer's tables"

# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows installer: an MSI built with wixl (Debian's msitools) from
# packaging/windows/tarnwick.wxs, and its round trip under Wine. Sourced by scripts/windows
# and by the installer's table test.

windows_installer_source="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/packaging/windows/tarnwick.wxs"
windows_installer_dialogs="$(dirname "$windows_installer_source")/dialogs"

# build_windows_installer PROGRAM_DIR VERSION OUTPUT: an MSI of the three programs, the
# README, LICENSE.txt and THIRD-PARTY-NOTICES.txt in PROGRAM_DIR, for 64-bit Windows, with
# VERSION as its product version; LICENSE.txt is also shown by the first dialog.
build_windows_installer() {
    local program_dir=$1 version=$2 output=$3
    local licence=$program_dir/LICENSE.txt
    # wixl takes the files' sources relative to the descriptor's folder, and no absolute path.
    program_dir=$(realpath -m --relative-to="$(dirname "$windows_installer_source")" "$program_dir")
    wixl --arch x64 -D Version="$version" -D ProgramDir="$program_dir" \
        -o "$output" "$windows_installer_source"
    add_windows_installer_dialogs "$output" "$licence"
}

# add_windows_installer_dialogs MSI LICENCE: the dialogs of an install with its full user
# interface, which wixl cannot build: the licence (LICENCE's text, scrollable, with Install
# and Cancel), then the end of a good install and of a failed one. Added as tables with
# msibuild; a quiet install (/qn) shows none of them.
add_windows_installer_dialogs() {
    local msi=$1 licence=$2
    local tables
    tables=$(mktemp -d)
    cp "$windows_installer_dialogs"/*.idt "$tables"
    # The licence as RTF: backslashes and braces escaped, one paragraph a line.
    printf 'LicenceDialog\tLicence\tScrollableText\t15\t47\t340\t183\t7\t\t%s\tInstall\t\n' \
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fmodern Courier New;}}\\f0\\fs14 $(
            tr -d '\r' <"$licence" | sed -e 's/\\/\\\\/g' -e 's/[{}]/\\&/g' -e 's/\t/ /g' \
                -e 's/$/\\par /' | tr -d '\n')}" >>"$tables/Control.idt"
    msiinfo export "$msi" InstallUISequence >"$tables/InstallUISequence.idt"
    msiinfo export "$msi" Property >"$tables/Property.idt"
    printf 'LicenceDialog\tNOT Installed\t1250\nExitDialog\t\t-1\nFatalError\t\t-3\n' \
        >>"$tables/InstallUISequence.idt"
    printf 'DefaultUIFont\tTarnwickText\n' >>"$tables/Property.idt"
    local table status=0
    for table in TextStyle Dialog Control ControlEvent InstallUISequence Property; do
        msibuild "$msi" -i "$tables/$table.idt" || { status=1; break; }
    done
    rm -rf "$tables"
    return "$status"
}

# The round trip under Wine below runs "$wine" in the caller's WINEPREFIX.

# The uninstall entries (what "Apps" lists on Windows) named Tarnwick, one
# "version|publisher" a line.
installed_tarnwick_entries() {
    "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
        tr -d '\r' | awk '
            /^HKEY_/ { if (name == "Tarnwick") print version "|" publisher; name = "" }
            $1 == "DisplayName" { name = $3 }
            $1 == "DisplayVersion" { version = $3 }
            $1 == "Publisher" { publisher = substr($0, index($0, "REG_SZ") + 10) }
            END { if (name == "Tarnwick") print version "|" publisher }'
}

# The shortcuts of the Start menu's Tarnwick folder, by file name.
tarnwick_start_menu_shortcuts() {
    find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Tarnwick/*.lnk' -printf '%f\n' | sort
}

installer_check_failed() {
    echo "installer check: $*" >&2
    return 1
}

# check_windows_installer MSI VERSION OLDER_MSI: installs OLDER_MSI and then MSI, which
# must replace it; runs tarnwick-cli.exe --help from the installed folder; uninstalls and
# checks that the folder, the shortcuts and the uninstall entry are gone. Stops at the
# first failure, says what it was and returns 1.
check_windows_installer() {
    local msi=$1 version=$2 older=$3
    local folder="$WINEPREFIX/drive_c/Program Files/Tarnwick"
    local entries shortcuts usage

    "$wine" msiexec /i "$older" /qn || installer_check_failed "$older did not install" || return
    "$wine" msiexec /i "$msi" /qn || installer_check_failed "$msi did not install" || return
    entries=$(installed_tarnwick_entries)
    [ "$entries" = "$version|Tarnwick maintainers" ] ||
        installer_check_failed "after the upgrade the uninstall entries are '$entries'" || return
    shortcuts=$(tarnwick_start_menu_shortcuts)
    [ "$shortcuts" = $'Tarnwick command prompt.lnk\nTarnwick.lnk' ] ||
        installer_check_failed "the Start-menu shortcuts are '$shortcuts'" || return
    usage=$("$wine" "$folder/tarnwick-cli.exe" --help) ||
        installer_check_failed "the installed tarnwick-cli.exe --help failed" || return
    grep -q "^Usage: tarnwick-cli" <<<"$usage" ||
        installer_check_failed "the installed tarnwick-cli.exe --help printed '$usage'" || return

    "$wine" msiexec /x "$msi" /qn || installer_check_failed "$msi did not uninstall" || return
    [ ! -e "$folder" ] || installer_check_failed "$folder is left after uninstalling" || return
    [ -z "$(tarnwick_start_menu_shortcuts)" ] ||
        installer_check_failed "Start-menu shortcuts are left after uninstalling" || return
    [ -z "$(installed_tarnwick_entries)" ] ||
        installer_check_failed "the uninstall entry is left after uninstalling" || return
    echo "Installer: replaced an older version, ran tarnwick-cli.exe --help, uninstalled cleanly"
}

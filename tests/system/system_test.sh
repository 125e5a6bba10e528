# SPDX-License-Identifier: GPL-3.0-or-later
# What the system test scripts share, sourced first by each run_*.sh script: the virtual
# LAN of scripts/lib/virtual-lan.sh (a test without root says "skipped" and exits 77 here),
# a plant of substitute loggers on it, and checks that each print PASS or FAIL! with their
# description, as the Qt tests do, and the totals. $here is the folder of the scripts.

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/lib/virtual-lan.sh"
lan_require_root_or_skip

# start_lossy_plant PREFIX SIM WORK SERIAL_STEM MAC_STEM: five substitute loggers on the
# LAN PREFIX, serials SERIAL_STEM1..5 and MACs MAC_STEM1..5; the third loses 30 % of its
# answers, so that retries must carry it through. Each writes its settings to
# WORK/loggerK.state after every request.
start_lossy_plant() {
    local prefix=$1 sim=$2 work=$3 serial_stem=$4 mac_stem=$5 k drop
    for k in 1 2 3 4 5; do
        drop=0
        [ "$k" -eq 3 ] && drop=0.3
        lan_start_logger "$prefix" "$k" "$sim" --serial "$serial_stem$k" \
            --logger-version "V2.0$k" --mac "$mac_stem$k" --drop-rate "$drop" \
            --state-file "$work/logger$k.state" 2>/dev/null
    done
    sleep 0.3
}

# system_lan_up PREFIX COUNT: the virtual LAN PREFIX with COUNT logger hosts, and a
# scratch folder in $work; both are gone when the script exits. Where network namespaces
# cannot be made, the test says "skipped" and exits 77.
system_lan_up() {
    prefix=$1
    work=$(mktemp -d)
    trap 'lan_down "$prefix"; rm -rf "$work"' EXIT
    if ! lan_up "$prefix" "$2" 2>/dev/null; then
        echo "skipped: network namespaces cannot be created here"
        exit 77
    fi
}

failures=0

check() {  # check DESCRIPTION COMMAND...: runs the command, reports the outcome
    local description=$1
    shift
    if "$@"; then
        echo "PASS   : $description"
    else
        echo "FAIL!  : $description"
        failures=$((failures + 1))
    fi
}

checks_done() {  # prints the totals; the status is 0 when no check failed
    echo "Totals: $failures failed"
    [ "$failures" -eq 0 ]
}

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the system test program on the PC of a virtual LAN with five substitute loggers,
# all on the real fixed ports 8000 and 23. Needs root for the network namespaces; says
# "skipped" and exits 77 elsewhere.
set -euo pipefail
sim=$1
test_program=$2
source "$(dirname "$0")/system_test.sh"
prefix="twk-st$$"
trap 'lan_down "$prefix"' EXIT
if ! lan_up "$prefix" 5 2>/dev/null; then
    echo "skipped: network namespaces cannot be created here"
    exit 77
fi

lan_start_logger "$prefix" 1 "$sim" --serial SN-ST-001 --logger-version V3.10 --mac 00-1A-2B-00-00-11
lan_start_logger "$prefix" 2 "$sim" --serial SN-ST-002 --logger-version V3.12 --mac 00-1A-2B-00-00-12
lan_start_logger "$prefix" 3 "$sim" --serial SN-ST-003 --logger-version V4.01 --mac 00-1A-2B-00-00-13 \
    --delay 300 --split
lan_start_logger "$prefix" 4 "$sim" --serial SN-ST-004 --logger-version V1.00 --drop-rate 1
lan_start_logger "$prefix" 5 "$sim" --serial SN-ST-005 --logger-version V1.01 --mac 00-1A-2B-00-00-15 \
    --drop-rate 0.5
sleep 0.3

ip netns exec "$prefix-pc" env QT_QPA_PLATFORM=offscreen "$test_program"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the plant view's system test program on the PC of a virtual LAN with five
# substitute loggers on the real ports 8000 and 23, the third dropping 30 % of its
# answers. The program reads all, applies a profile to the last three loggers and reads
# again; then the loggers' own state files must show the profile on those three and not
# a single write request received by the other two. Needs root for the network
# namespaces; says "skipped" and exits 77 elsewhere.
set -euo pipefail
sim=$1
test_program=$2
source "$(dirname "$0")/system_test.sh"
system_lan_up "twk-pl$$" 5

start_lossy_plant "$prefix" "$sim" "$work" SN-PL-00 00-1A-2B-00-00-1

ip netns exec "$prefix-pc" env QT_QPA_PLATFORM=offscreen "$test_program"

sleep 0.2
for k in 1 2; do
    check "logger $k, not selected, received no write" grep -qx "writes=0" "$work/logger$k.state"
done
for k in 3 4 5; do
    for held in apnName=plant.apn apnPassword=s3cret "telecomOperator=Field Tel" \
        dataServerAddress=198.51.100.20 ipAddress=192.168.1.100; do
        check "logger $k holds $held" grep -qx "$held" "$work/logger$k.state"
    done
done
checks_done

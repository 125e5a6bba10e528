#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tarnwick-cli on the PC of a virtual LAN with five substitute loggers on the real ports
# 8000 and 23: search of the PC's own network, read --all, writes to one logger, backup
# of that logger and apply of the file to the other four. Each logger writes its
# settings to a state file after every request; the loggers' own state is compared, not
# the tool's output. Needs root for the network namespaces; says "skipped" and exits 77
# elsewhere.
set -euo pipefail
sim=$1
cli=$2
source "$(dirname "$0")/system_test.sh"
system_lan_up "twk-fl$$" 5

start_lossy_plant "$prefix" "$sim" "$work" SN-FL-00 00-1A-2B-00-01-1

on_pc() { ip netns exec "$prefix-pc" "$@"; }
# Short waits and enough retries that a 30 % loss ends in success.
patient=(--timeout 1000 --retries 6)

# --- search of the PC's own /24 network, chosen as the window chooses it ---
on_pc "$cli" search --wait 1000 --format csv >"$work/search.csv"
expected_search="serial,ip,version
SN-FL-001,192.0.2.11,V2.01
SN-FL-002,192.0.2.12,V2.02
SN-FL-003,192.0.2.13,V2.03
SN-FL-004,192.0.2.14,V2.04
SN-FL-005,192.0.2.15,V2.05"
check "search lists the five loggers" test "$(cat "$work/search.csv")" = "$expected_search"

# --- read --all: every logger answers its own MAC ---
on_pc "$cli" read --all --wait 1000 "${patient[@]}" mac --format csv >"$work/read.csv"
check "read --all gives each logger's own MAC" \
    grep -qx "192.0.2.13,SN-FL-003,00-1A-2B-00-01-13," "$work/read.csv"
check "read --all reads five loggers" test "$(grep -c '^192\.0\.2\.' "$work/read.csv")" -eq 5

# --- the first logger is set up by hand, then backed up ---
check "write to the first logger" on_pc "$cli" write --logger 192.0.2.11 \
    data-server=198.51.100.20 apn=plant.apn,plant,s3cret operator="Field Tel" front-end=45 \
    gprs=on intervals=10,3 devices=clear "devices+=INV0001,3,A1,roof east" \
    "devices+=INV0002,4,BC2" --format csv
check "backup of the first logger" on_pc "$cli" backup --logger 192.0.2.11 --output "$work/plant.json"
check "the backup holding a password is private" test "$(stat -c %a "$work/plant.json")" = 600

# --- apply to the other four, then compare their own state with the first's ---
check "apply to the other four" on_pc "$cli" apply "$work/plant.json" \
    --logger 192.0.2.12,192.0.2.13,192.0.2.14,192.0.2.15 "${patient[@]}" --format csv
sleep 0.2
shared='^(dataServerAddress|apnName|apnUser|apnPassword|telecomOperator|frontEndMinutes|systemBlock|device)='
grep -E "$shared" "$work/logger1.state" >"$work/expected.state"
check "the first logger holds what was written" grep -qx "systemBlock=00002359025803030170" "$work/expected.state"
for k in 2 3 4 5; do
    grep -E "$shared" "$work/logger$k.state" >"$work/got$k.state"
    check "logger $k holds the first logger's settings" diff "$work/expected.state" "$work/got$k.state"
    check "logger $k keeps its own address" grep -qx "ipAddress=192.168.1.100" "$work/logger$k.state"
done

checks_done

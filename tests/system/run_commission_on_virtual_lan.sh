#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tarnwick-cli commission on a virtual LAN of seven substitute loggers on the real ports:
# a plan of five, three powered up at once, one after 4 s, one after 8 s, the second
# losing 30 % of its answers, and a sixth logger not in the plan. The loggers' own state
# files are compared, not the tool's output. Then a plan naming a logger that never
# answers ends at --max-time. Needs root for the network namespaces; says "skipped" and
# exits 77 elsewhere.
set -euo pipefail
sim=$1
cli=$2
source "$(dirname "$0")/system_test.sh"
system_lan_up "twk-cm$$" 6

power_on=(0 0 0 4000 8000 0)
drop=(0 0.3 0 0 0 0)
for k in 1 2 3 4 5 6; do
    lan_start_logger "$prefix" "$k" "$sim" --serial "SN-CM-00$k" --mac "00-1A-2B-00-02-1$k" \
        --power-on-after "${power_on[k - 1]}" --drop-rate "${drop[k - 1]}" \
        --state-file "$work/logger$k.state" 2>/dev/null
done
sleep 0.3
on_pc() { ip netns exec "$prefix-pc" "$@"; }

cat >"$work/plant.json" <<'JSON'
{"format": "tarnwick-profile", "version": 1, "settings": {
    "data_server": "198.51.100.20",
    "apn": {"name": "plant.apn", "user": "plant", "password": "s3cret"},
    "operator": "Field Tel"}}
JSON
chmod 600 "$work/plant.json"
{
    echo "serial,ip,mask,gateway"
    for k in 1 2 3 4 5; do echo "SN-CM-00$k,192.0.2.10$k,255.255.255.0,192.0.2.1"; done
} >"$work/plant.csv"

# --- the plan of five, commissioned as each logger comes up ---
status=0
on_pc "$cli" commission "$work/plant.json" --plan "$work/plant.csv" --timeout 1000 \
    --retries 1 --attempts 8 --max-time 120 --record "$work/record.jsonl" --format csv \
    >"$work/result.csv" 2>"$work/events.txt" || status=$?
check "commission ends with 0 once the fifth is done" test "$status" -eq 0
check "the sixth logger is listed as not in the plan" \
    grep -q "SN-CM-006 at 192.0.2.16: not in the plan" "$work/events.txt"
# first_line TEXT: the number of the first event line holding TEXT.
first_line() { grep -n -m1 -F "$1" "$work/events.txt" | cut -d: -f1; }
check "the fourth logger is found after the first was being written" \
    test "$(first_line 'SN-CM-004 found')" -gt "$(first_line 'SN-CM-001 writing')"
check "the fifth logger is found after the fourth was being written" \
    test "$(first_line 'SN-CM-005 found')" -gt "$(first_line 'SN-CM-004 writing')"
for k in 1 2 3 4 5; do
    check "logger $k holds the profile and its planned address" grep -qzE \
        "ipAddress=192\.0\.2\.10$k.*dataServerAddress=198\.51\.100\.20.*apnPassword=s3cret.*telecomOperator=Field Tel" \
        "$work/logger$k.state"
done
check "the sixth logger received no write" grep -qx "writes=0" "$work/logger6.state"
check "the record holds every planned logger done" \
    test "$(grep -c '"event":"done"' "$work/record.jsonl")" -eq 5
check "the record holds each change from before to after" grep -q \
    '"address_before":"192.0.2.13".*"operator":{"after":"Field Tel","before":"[^"]*","status":"changed"}' \
    "$work/record.jsonl"
check "the record holds no secret" bash -c "! grep -q s3cret '$work/record.jsonl'"
check "the handover lists each logger's operator" test "$(on_pc "$cli" report \
    "$work/record.jsonl" --format csv | grep -c ',operator,Field Tel,')" -eq 5
on_pc env -u XDG_RUNTIME_DIR "$cli" report "$work/record.jsonl" --pdf "$work/handover.pdf" \
    >/dev/null 2>"$work/pdf.err"
check "the handover is drawn as a PDF" test "$(head -c 5 "$work/handover.pdf")" = "%PDF-"
check "drawing it warns of nothing" test ! -s "$work/pdf.err"

# --- a row whose logger never answers ends the run at --max-time, naming it ---
printf 'serial,ip,mask,gateway\nSN-CM-001,192.0.2.101,255.255.255.0,192.0.2.1\nSN-CM-404,192.0.2.120,255.255.255.0,192.0.2.1\n' \
    >"$work/absent.csv"
status=0
on_pc "$cli" commission "$work/plant.json" --plan "$work/absent.csv" --max-time 5 \
    >/dev/null 2>"$work/absent.txt" || status=$?
check "a logger that never answers ends the run at --max-time with 1" test "$status" -eq 1
check "the missing row is named" grep -q "not commissioned: SN-CM-404$" "$work/absent.txt"
check "the record goes beside the plan by default" \
    test -s "$work/absent-commissioning-$(date +%F).jsonl"

checks_done

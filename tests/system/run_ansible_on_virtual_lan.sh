#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Ansible collection on the PC of a virtual LAN with two substitute loggers on the real
# ports: ansible-playbook, connection local inside the PC's namespace, applies a profile,
# applies it again, checks another value, changes it with a diff, gives the APN and the
# system block in part, reads the loggers as facts and meets a logger that does not answer
# (ansible_plant_settings.yml asserts what each task returns). Between the steps the loggers' own state files say what they hold
# and how many write requests they received. Needs root and ansible-playbook (Debian's
# ansible-core); says "skipped" and exits 77 elsewhere.
set -euo pipefail
sim=$1
cli=$(realpath "$2")
source "$(dirname "$0")/system_test.sh"
if ! command -v ansible-playbook >/dev/null; then
    echo "skipped: ansible-playbook is not installed (Debian package ansible-core)"
    exit 77
fi
system_lan_up "twk-an$$" 2

for k in 1 2; do
    lan_start_logger "$prefix" "$k" "$sim" --serial "SN-AN-00$k" --logger-version V2.0$k \
        --state-file "$work/logger$k.state" 2>/dev/null
done
sleep 0.3

export ANSIBLE_COLLECTIONS_PATH="$here/../../tools/ansible"
export ANSIBLE_HOME="$work/ansible" ANSIBLE_LOCAL_TEMP="$work/ansible/local"
export ANSIBLE_REMOTE_TEMP="$work/ansible/remote" ANSIBLE_NOCOLOR=1 PYTHONDONTWRITEBYTECODE=1
cat >"$work/inventory.ini" <<'EOF'
[site]
site-pc ansible_connection=local ansible_python_interpreter="{{ ansible_playbook_python }}"
EOF
# Secrets that must never show in what the modules return: the APN password, in the
# profile and given inline, and the PIN of the check step (7531).
apn_password=s3cret-apn
cat >"$work/plant.json" <<EOF
{
    "format": "tarnwick-profile",
    "version": 1,
    "settings": {
        "data_server": "198.51.100.20",
        "apn": {"name": "plant.apn", "user": "plant", "password": "$apn_password"},
        "operator": "Field Tel",
        "system": {
            "start": "00:00", "stop": "23:59", "data_interval_seconds": 600,
            "heartbeat_minutes": 3, "retries": 3, "wait_for_response": "yes",
            "reconnect": "yes", "transport": "tcp", "gprs": "on"
        }
    }
}
EOF
chmod 600 "$work/plant.json"

play() {  # play TAG: the playbook's step TAG on the PC, verbose, its output kept
    ip netns exec "$prefix-pc" ansible-playbook -v -i "$work/inventory.ini" \
        "$here/ansible_plant_settings.yml" --tags "$1" \
        -e "cli=$cli profile=$work/plant.json apn_password=$apn_password" \
        2>&1 | tee -a "$work/ansible.log"
}
# Each logger writes its state file once it has handled a request.
settle() { sleep 0.2; }
holds() { grep -qx "$2" "$work/logger$1.state"; }
writes() { sed -n 's/^writes=//p' "$work/logger$1.state"; }
declare -A written

check "the profile is applied and reported changed" play first
settle
for k in 1 2; do
    check "logger $k holds the profile's operator" holds "$k" "telecomOperator=Field Tel"
    check "logger $k holds the profile's data server" holds "$k" "dataServerAddress=198.51.100.20"
    written[$k]=$(writes "$k")
    check "logger $k received writes" test "${written[$k]}" -gt 0
done

check "the profile applied again reports no change" play again
settle
for k in 1 2; do
    check "logger $k received no write the second time" test "$(writes "$k")" = "${written[$k]}"
done

check "check mode reports the differing operator" play check
settle
for k in 1 2; do
    check "logger $k received no write in check mode" test "$(writes "$k")" = "${written[$k]}"
    check "logger $k keeps its operator in check mode" holds "$k" "telecomOperator=Field Tel"
done

check "diff mode shows the operator changed" play diff
settle
for k in 1 2; do
    check "logger $k holds the new operator" holds "$k" "telecomOperator=Other Tel"
    check "logger $k received the operator's write" test "$(writes "$k")" -gt "${written[$k]}"
done

check "the profile's system block is written" holds 1 "systemBlock=00002359025803030170"
check "an APN and a system block given in part are written" play partial
settle
for k in 1 2; do
    check "logger $k holds the new APN name" holds "$k" "apnName=site.apn"
    check "logger $k keeps its APN user" holds "$k" "apnUser=plant"
    check "logger $k keeps its APN password" holds "$k" "apnPassword=$apn_password"
    # GPRS off, every other field of the block as the profile left it.
    check "logger $k keeps its system block but GPRS" holds "$k" \
        "systemBlock=00002359025803030160"
done

check "the facts hold what the loggers hold" play facts
check "a logger without answer fails the task, named" play absent
check "no secret in what the modules returned" \
    bash -c "! grep -e '$apn_password' -e 7531 '$work/ansible.log'"

ansible-doc -t module tarnwick.loggers.logger_settings >"$work/doc.txt"
check "ansible-doc prints the module's documentation" \
    grep -q "^> TARNWICK.LOGGERS.LOGGER_SETTINGS" "$work/doc.txt"
check "ansible-doc lists its options" grep -q "^= loggers" "$work/doc.txt"

checks_done

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the routed-network system test on a PC with two adapters and a router:
#   segment a  192.0.2.0/24      PC eth0 .1, loggers .11 and .12
#   segment b  198.51.100.0/24   PC eth1 .1, loggers .21 and .22, router eth0 .254
#   segment c  203.0.113.0/24 and 203.0.114.0/24 (one /22 holds both), behind the
#              router (eth1 .254 in each): loggers 203.0.113.10, 203.0.113.11, 203.0.114.12
# The PC's host name resolves to 127.0.1.1, as on a fresh Debian or Ubuntu, and its
# default route goes to the router, which has no route beyond these segments. Every
# address lives only in namespaces made here. Then the same program runs once more as
# an unprivileged user, to see how a refused port 23 is explained. Needs root; says
# "skipped" and exits 77 elsewhere.
set -euo pipefail
sim=$1
test_program=$2
source "$(dirname "$0")/system_test.sh"
prefix="twk-rn$$"
trap 'lan_down "$prefix"' EXIT

build() {
    lan_segment "$prefix" a
    lan_segment "$prefix" b
    lan_segment "$prefix" c
    lan_plug "$prefix" a pc eth0 192.0.2.1/24
    lan_plug "$prefix" b pc eth1 198.51.100.1/24
    lan_plug "$prefix" b router eth0 198.51.100.254/24
    lan_plug "$prefix" c router eth1 203.0.113.254/24 203.0.114.254/24
    ip netns exec "$prefix-router" sysctl -qw net.ipv4.ip_forward=1
    ip -n "$prefix-pc" route add default via 198.51.100.254 dev eth1
    lan_plug "$prefix" a logA1 eth0 192.0.2.11/24
    lan_plug "$prefix" a logA2 eth0 192.0.2.12/24
    lan_plug "$prefix" b logB1 eth0 198.51.100.21/24
    lan_plug "$prefix" b logB2 eth0 198.51.100.22/24
    lan_plug "$prefix" c logC1 eth0 203.0.113.10/24
    lan_plug "$prefix" c logC2 eth0 203.0.113.11/24
    lan_plug "$prefix" c logC3 eth0 203.0.114.12/24
    ip -n "$prefix-logC1" route add default via 203.0.113.254
    ip -n "$prefix-logC2" route add default via 203.0.113.254
    ip -n "$prefix-logC3" route add default via 203.0.114.254
    mkdir -p "/etc/netns/$prefix-pc"
    printf '127.0.0.1 localhost\n127.0.1.1 %s\n' "$(hostname)" >"/etc/netns/$prefix-pc/hosts"
}
if ! build 2>/dev/null; then
    echo "skipped: network namespaces cannot be created here"
    exit 77
fi

lan_start_node "$prefix" logA1 "$sim" --serial SN-A-011 --logger-version V1.1
lan_start_node "$prefix" logA2 "$sim" --serial SN-A-012 --logger-version V1.2
lan_start_node "$prefix" logB1 "$sim" --serial SN-B-021 --logger-version V2.1
lan_start_node "$prefix" logB2 "$sim" --serial SN-B-022 --logger-version V2.2
lan_start_node "$prefix" logC1 "$sim" --serial SN-C-010 --logger-version V3.0 --mac 00-1A-2B-00-71-10
lan_start_node "$prefix" logC2 "$sim" --serial SN-C-011 --logger-version V3.1
lan_start_node "$prefix" logC3 "$sim" --serial SN-C-112 --logger-version V3.2
sleep 0.3

ip netns exec "$prefix-pc" env QT_QPA_PLATFORM=offscreen "$test_program"
ip netns exec "$prefix-pc" setpriv --reuid=65534 --regid=65534 --clear-groups \
    env QT_QPA_PLATFORM=offscreen HOME=/tmp "$test_program" refusedSearchPortIsExplained

# SPDX-License-Identifier: GPL-3.0-or-later
# A network namespace in which loopback addresses (127.0.0.2 and up) each sit on an
# adapter of their own, for Windows test programs under Wine whose substitute loggers share
# one port on several loopback addresses. Sourced by scripts/windows; needs root.
#
# Wine binds a UDP socket meant for an address that an adapter holds to 0.0.0.0 on that
# adapter alone; for any other address but 127.0.0.1, to 0.0.0.0 on every adapter. With
# each logger's address on its own adapter the loggers can share a port, and the tool's
# datagrams from 127.0.0.1 reach the right one. An answer then leaves through the logger's
# adapter, one end of a veth pair whose other end is in the same namespace: it carries
# 127.0.0.1 as its destination (route_localnet, and a fixed neighbour entry since nothing
# answers ARP for 127.0.0.1) and arrives from the logger's own address, a local one
# (accept_local, no reverse-path filter).

# loopback_adapters_up NAMESPACE ADDRESS...
loopback_adapters_up() {
    local namespace=$1
    shift
    ip netns add "$namespace"
    ip -n "$namespace" link set lo up
    # Adapters made after this inherit the defaults.
    ip netns exec "$namespace" sysctl -qw net.ipv4.conf.all.rp_filter=0 \
        net.ipv4.conf.default.rp_filter=0 net.ipv4.conf.default.route_localnet=1 \
        net.ipv4.conf.default.accept_local=1
    local index=0 address
    for address in "$@"; do
        index=$((index + 1))
        ip -n "$namespace" link add "lb$index" type veth peer name "lb$index-back"
        ip -n "$namespace" addr add "$address/32" dev "lb$index" scope global
        ip -n "$namespace" link set "lb$index" up
        ip -n "$namespace" link set "lb$index-back" up
        ip -n "$namespace" neigh add 127.0.0.1 dev "lb$index" nud permanent \
            lladdr "$(ip netns exec "$namespace" cat "/sys/class/net/lb$index-back/address")"
    done
}

# loopback_adapters_down NAMESPACE: ends every process in the namespace and removes it.
loopback_adapters_down() {
    local namespace=$1
    ip netns list | awk '{print $1}' | grep -qx "$namespace" || return 0
    ip netns pids "$namespace" | xargs -r kill 2>/dev/null || true
    sleep 0.2
    ip netns pids "$namespace" | xargs -r kill -9 2>/dev/null || true
    ip netns del "$namespace"
}

# SPDX-License-Identifier: GPL-3.0-or-later
# A virtual LAN of network namespaces on 192.0.2.0/24 (a documentation range):
#   <prefix>-lan   holds the bridge br0 that joins everything
#   <prefix>-pc    the technician's PC at 192.0.2.1, no default route; its host name
#                  resolves to 192.0.2.1 inside it
#   <prefix>-logK  logger K at 192.0.2.(10+K)
# Nothing is created in the caller's own namespace. Source this file; needs root.

# For the system tests: without root (or where namespaces are not allowed) says
# "skipped" and exits 77, the code ctest reads as a skip.
lan_require_root_or_skip() {
    if [ "$(id -u)" -ne 0 ] || ! ip netns list >/dev/null 2>&1; then
        echo "skipped: the system tests need root to build network namespaces"
        exit 77
    fi
}

lan_attach() {
    local prefix=$1 node=$2 address=$3
    ip netns add "$prefix-$node"
    ip -n "$prefix-lan" link add "v-$node" type veth peer name eth0 netns "$prefix-$node"
    ip -n "$prefix-lan" link set "v-$node" master br0 up
    ip -n "$prefix-$node" link set lo up
    ip -n "$prefix-$node" addr add "$address/24" dev eth0
    ip -n "$prefix-$node" link set eth0 up
}

# lan_up PREFIX LOGGER_COUNT
lan_up() {
    local prefix=$1 count=$2
    ip netns add "$prefix-lan"
    ip -n "$prefix-lan" link set lo up
    ip -n "$prefix-lan" link add br0 type bridge
    ip -n "$prefix-lan" link set br0 up
    lan_attach "$prefix" pc 192.0.2.1
    for k in $(seq 1 "$count"); do
        lan_attach "$prefix" "log$k" "192.0.2.$((10 + k))"
    done
    mkdir -p "/etc/netns/$prefix-pc"
    printf '127.0.0.1 localhost\n192.0.2.1 %s\n' "$(hostname)" >"/etc/netns/$prefix-pc/hosts"
}

# lan_down PREFIX: ends every process in the LAN's namespaces and removes them.
lan_down() {
    local prefix=$1 ns
    for ns in $(ip netns list | awk '{print $1}' | grep "^$prefix-" || true); do
        ip netns pids "$ns" 2>/dev/null | xargs -r kill 2>/dev/null || true
    done
    sleep 0.2
    for ns in $(ip netns list | awk '{print $1}' | grep "^$prefix-" || true); do
        ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
        ip netns del "$ns" 2>/dev/null || true
    done
    rm -rf "/etc/netns/$prefix-pc"
}

# lan_start_logger PREFIX K SIM_BINARY [options...]: logger K in the background.
lan_start_logger() {
    local prefix=$1 k=$2 binary=$3
    shift 3
    ip netns exec "$prefix-log$k" "$binary" "$@" &
}

# Networks of several segments, for a PC with more than one adapter and for networks
# behind a router. Each segment is a namespace <prefix>-<segment> holding a bridge br0;
# lan_down removes them with the rest.

# lan_segment PREFIX SEGMENT
lan_segment() {
    local prefix=$1 segment=$2
    ip netns add "$prefix-$segment"
    ip -n "$prefix-$segment" link set lo up
    ip -n "$prefix-$segment" link add br0 type bridge
    ip -n "$prefix-$segment" link set br0 up
}

# lan_plug PREFIX SEGMENT NODE IFNAME ADDRESS/PREFIXLEN [ADDRESS/PREFIXLEN...]: gives node
# <prefix>-NODE (made when missing) the adapter IFNAME on the segment, with its addresses.
lan_plug() {
    local prefix=$1 segment=$2 node=$3 ifname=$4
    shift 4
    if ! ip netns list | awk '{print $1}' | grep -qx "$prefix-$node"; then
        ip netns add "$prefix-$node"
        ip -n "$prefix-$node" link set lo up
    fi
    ip -n "$prefix-$segment" link add "v-$node-$ifname" type veth peer name "$ifname" netns "$prefix-$node"
    ip -n "$prefix-$segment" link set "v-$node-$ifname" master br0 up
    local address
    for address in "$@"; do
        ip -n "$prefix-$node" addr add "$address" dev "$ifname"
    done
    ip -n "$prefix-$node" link set "$ifname" up
}

# lan_start_node PREFIX NODE BINARY [options...]: a program in node <prefix>-NODE, in the
# background.
lan_start_node() {
    local prefix=$1 node=$2 binary=$3
    shift 3
    ip netns exec "$prefix-$node" "$binary" "$@" &
}

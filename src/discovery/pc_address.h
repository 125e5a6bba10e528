// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "address_range.h"

#include <QHostAddress>
#include <QList>
#include <QString>

// The PC's own IPv4 address: which local adapters can reach loggers, and which address
// "PC IP:" shows, whose /24 network the search sweeps.
namespace discovery {

struct LocalAdapter {
    QString interfaceName; // the system's name, as in the routing table ("eth0")
    QString displayName;   // the name the operator knows it by
    QHostAddress address;
    int prefixLength = 24;

    // "eth0  192.0.2.1/24"
    QString label() const;
    LocalNetwork network() const { return {address, prefixLength}; }

    bool operator==(const LocalAdapter &) const = default;
};

// An address that can be the PC's side of a search: IPv4, not 0.0.0.0, not loopback
// (127.0.0.0/8) and not link-local (169.254.0.0/16).
bool IsUsablePcAddress(const QHostAddress &address);

// The IPv4 addresses of every interface that is up, running and not loopback, in the
// system's order, leaving out the unusable ones.
QList<LocalAdapter> LocalAdapters();

// Whether an adapter that is up holds this address.
bool AdapterHolds(const QList<LocalAdapter> &adapters, const QHostAddress &address);

// Chooses the address for "PC IP:" among the adapters that are up, so that it is one the
// PC holds now (a host name can resolve to an address no adapter has, from a stale hosts
// file or an address removed since).
// - The first of the host name's IPv4 addresses that an adapter holds.
// - Else the first adapter address on the interface that carries the default route,
//   then the first adapter address at all.
// - Else an empty text: the PC has no usable IPv4 adapter.
QString ChoosePcAddress(const QList<QHostAddress> &hostNameAddresses,
                        const QList<LocalAdapter> &adapters, const QString &defaultRouteInterface);

// ChoosePcAddress with this PC's host name, adapters and routing table.
QString LocalPcAddress();

} // namespace discovery

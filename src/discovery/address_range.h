// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Addresses typed by the operator: one logger's address, or a range of addresses to
// search. Parsing never throws; a rejected input comes back as a message that says what
// is wrong with it, so that the caller shows it and sends nothing.
namespace discovery {

// The largest range one search probes: a whole /16.
inline constexpr quint64 kMaxRangeAddresses = 65536;

// A closed range of IPv4 addresses, first <= last, as host-order numbers.
struct AddressRange {
    quint32 first = 0;
    quint32 last = 0;

    quint64 size() const { return quint64(last) - first + 1; }
    bool contains(quint32 address) const { return address >= first && address <= last; }
    QHostAddress at(quint64 index) const { return QHostAddress(quint32(first + index)); }
    // "192.0.2.0/24" when the range is one CIDR block or the hosts of one (without its
    // network and broadcast addresses), else "FIRST-LAST", or the one address.
    QString toString() const;

    bool operator==(const AddressRange &) const = default;
};

// A local network the PC is attached to, as far as address checks need to know it.
struct LocalNetwork {
    QHostAddress address; // the PC's own address in it
    int prefixLength = 24;

    // The network in CIDR form, "10.20.0.0/22".
    QString cidr() const;
};

// Four decimal numbers 0..255 separated by dots, nothing else (no spaces inside, no
// hexadecimal or octal forms, no shortened forms such as "10.1").
std::optional<quint32> ParseDottedQuad(const QString &text);

// Whether a logger's address may be a loopback address (127.0.0.0/8). Only where every
// logger runs on this PC itself (a substitute logger) is one reached there; on a PC with
// a real network, 127.x is the PC, not a logger.
enum class LoopbackLoggers { Refused, Allowed };

// An address a single logger can have: the one check of a logger's address. Refused,
// each with its own message: a number with a leading zero ("010" reads as ten or as
// eight), 0.0.0.0/8 (no host has it), loopback unless allowed,
// multicast 224.0.0.0/4, the limited broadcast 255.255.255.255, and for every network
// the PC is attached to its own address there and the network's network and broadcast
// addresses (the last would reach every logger there, not one). Host addresses ending
// in .255 or .0 are accepted elsewhere: in a network wider than a /24 they are ordinary
// hosts, and the tool cannot know a remote network's mask.
// Loopback addresses are loggers' only in a run whose every logger is on loopback (the
// substitute loggers of a test bench); mixed with real ones they are a typing slip.
// Allowed when each of the addresses parses and lies in 127.0.0.0/8.
LoopbackLoggers LoopbackUse(const QStringList &addressTexts);

Checked<quint32> ParseLoggerAddress(const QString &text, const QList<LocalNetwork> &pcNetworks = {},
                                    LoopbackLoggers loopback = LoopbackLoggers::Allowed);

// Whether a search of a range probes this address of it. Left out: the network and
// broadcast addresses of the PC's own networks (of /30 or wider), which a range written
// first-last can cross. Neither is a logger's, and a probe to the broadcast address
// reaches every host of that network, inside the range or not.
bool IsRangeProbeTarget(quint32 address, const QList<LocalNetwork> &pcNetworks);

// A CIDR block ("10.20.0.0/22"), a pair "FIRST-LAST" (inclusive), or one address. A CIDR
// block of /30 or wider leaves out its own network and broadcast addresses, as a sweep
// of hosts does; bits set past the prefix are ignored ("10.20.1.7/22" is 10.20.0.0/22).
// Refused: malformed text, a number with a leading zero, an inverted pair, more than
// kMaxRangeAddresses addresses, and a range that reaches into 0.0.0.0/8, multicast or
// 255.255.255.255.
Checked<AddressRange> ParseAddressRange(const QString &text);

} // namespace discovery

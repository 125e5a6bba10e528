// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"
#include "discovery/address_range.h"
#include "discovery/pc_address.h"

#include <QCommandLineParser>
#include <QHostAddress>

#include <optional>
#include <variant>
#include <vector>

namespace cli {

// The loggers a search finds in a range. An answer from the PC's own address is not a
// logger's; without a known own address, the bind address stands for it.
struct SweptRange {
    discovery::AddressRange range;
    QHostAddress ownAddress;
};

// The /24 network of the PC's address, as the window chooses it: known only once the run
// starts, and a PC without a usable address cannot start it.
struct PcNetwork {
};

// Where to search (a range given, or the PC's network), how many times each address is
// probed, and how many loggers must answer for the search to succeed.
struct SearchArea {
    static constexpr int kDefaultProbes = 2;
    static constexpr int kMaxProbes = 10;

    std::variant<SweptRange, PcNetwork> where;
    int probes = kDefaultProbes;
    int expected = 1;
};

// The PC's network as a range; the message says why there is none.
Checked<SweptRange> ResolvePcNetwork();

// The loggers a verb works on: the addresses given with --logger, or every logger a
// search finds (--all).
using Targets = std::variant<std::vector<QHostAddress>, SearchArea>;

// Whether the targets may be more than one logger.
bool MayBeSeveral(const Targets &targets);

// --logger for verbs that work on given loggers; --all, --network, --range, --wait,
// --probes and --expect for verbs that search. Verbs that do not search wait only for serial
// numbers.
void AddLoggerOption(QCommandLineParser &parser);
enum class AllOption { Offered, NotOffered };
void AddSearchOptions(QCommandLineParser &parser, AllOption all);
void AddSerialWaitOption(QCommandLineParser &parser);
// --network and --range alone, for a verb that searches its own way.
void AddWhereOptions(QCommandLineParser &parser);

// Where --network or --range says to search, or the PC's network when neither is given.
Checked<std::variant<SweptRange, PcNetwork>> ParseWhere(const QCommandLineParser &parser);

// The range of --network or --range, or else the PC's network, with --probes and
// --expect.
Checked<SearchArea> ParseSearchArea(const QCommandLineParser &parser);
// The PC's addresses a logger cannot have: its adapters' and the address the tool sends
// from, when one is given.
QList<discovery::LocalAdapter> PcAdapters(const QHostAddress &bindAddress);

// The distinct addresses of --logger, in their order, each one a logger can have on the
// PC's networks.
Checked<std::vector<QHostAddress>>
ParseLoggerAddresses(const QCommandLineParser &parser,
                     const QList<discovery::LocalAdapter> &pcAdapters);
// --logger or --all, exactly one of them.
Checked<Targets> ParseTargets(const QCommandLineParser &parser,
                              const QList<discovery::LocalAdapter> &pcAdapters);

// A logger's new address checked against the PC of the run as --logger is: none of the
// PC's own addresses, and loopback only where the run's loggers are on loopback.
std::optional<Refusal> RefusedNewAddress(quint32 address, const Targets &targets,
                                         const QList<discovery::LocalAdapter> &pcAdapters);

} // namespace cli

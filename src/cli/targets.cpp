// SPDX-License-Identifier: GPL-3.0-or-later
#include "targets.h"

#include "discovery/pc_address.h"
#include "fleet/settings/network.h"
#include "run_options.h"

#include <QSet>

#include <algorithm>

namespace cli {

bool MayBeSeveral(const Targets &targets)
{
    const auto *addresses = std::get_if<std::vector<QHostAddress>>(&targets);
    return addresses == nullptr || addresses->size() > 1;
}

void AddLoggerOption(QCommandLineParser &parser)
{
    parser.addOption({"logger", "The loggers' addresses, separated by commas.", "ip[,ip...]"});
}

void AddSearchOptions(QCommandLineParser &parser, AllOption all)
{
    if (all == AllOption::Offered) {
        parser.addOption({"all", "Every logger a search finds."});
    }
    AddWhereOptions(parser);
    parser.addOptions({
        {"wait", "Milliseconds to wait for answers after the last probe (default 3000).", "ms",
         "3000"},
        {"probes", "Times each address is probed (default 2, at most 10).", "n", "2"},
        {"expect", "Loggers the search must find; fewer is a failure (default 1).", "n", "1"},
    });
}

void AddWhereOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {"network", "The /24 network to search.", "A.B.C.0/24"},
        {"range", "The addresses to search: a CIDR block or FIRST-LAST.", "range"},
    });
}

void AddSerialWaitOption(QCommandLineParser &parser)
{
    parser.addOption({"wait", "Milliseconds to wait for the logger's serial number (default 1000).",
                      "ms", "1000"});
}

Checked<std::variant<SweptRange, PcNetwork>> ParseWhere(const QCommandLineParser &parser)
{
    if (parser.isSet("network") && parser.isSet("range")) {
        return Refusal{QStringLiteral("give either --network or --range, not both")};
    }
    if (parser.isSet("network")) {
        const QString text = parser.value("network");
        const auto parsed = discovery::ParseAddressRange(text);
        if (!parsed.accepted() || !text.endsWith(QLatin1String("/24"))) {
            return Refusal{QStringLiteral("--network needs a /24 network such as "
                                          "192.0.2.0/24, not '%1'")
                               .arg(text)};
        }
        return {SweptRange{parsed.value(), {}}};
    }
    if (parser.isSet("range")) {
        const auto parsed = discovery::ParseAddressRange(parser.value("range"));
        if (!parsed.accepted()) {
            return Refusal{QStringLiteral("--range: ") + parsed.refusal().message};
        }
        return {SweptRange{parsed.value(), {}}};
    }
    return {PcNetwork{}};
}

Checked<SearchArea> ParseSearchArea(const QCommandLineParser &parser)
{
    Checked<std::variant<SweptRange, PcNetwork>> where = ParseWhere(parser);
    if (!where.accepted()) {
        return where.refusal();
    }
    const Checked<int> probes =
        NumberOption(parser, QStringLiteral("probes"), 1, SearchArea::kMaxProbes);
    if (!probes.accepted()) {
        return probes.refusal();
    }
    // No search finds more loggers than a range holds addresses.
    const Checked<int> expected = NumberOption(parser, QStringLiteral("expect"), 1,
                                               static_cast<int>(discovery::kMaxRangeAddresses));
    if (!expected.accepted()) {
        return expected.refusal();
    }
    return SearchArea{std::move(where).value(), probes.value(), expected.value()};
}

Checked<SweptRange> ResolvePcNetwork()
{
    const QString pc = discovery::LocalPcAddress();
    const auto parsed = discovery::ParseAddressRange(pc + QStringLiteral("/24"));
    if (!parsed.accepted()) {
        return Refusal{QStringLiteral("this PC has no address to search from ('%1'); give "
                                      "--network or --range")
                           .arg(pc)};
    }
    return SweptRange{parsed.value(), QHostAddress(pc)};
}

QList<discovery::LocalAdapter> PcAdapters(const QHostAddress &bindAddress)
{
    QList<discovery::LocalAdapter> adapters = discovery::LocalAdapters();
    if (bindAddress != QHostAddress(QHostAddress::AnyIPv4)) {
        // The address sent from is the PC's own even when no adapter lists it (loopback).
        adapters.append({QString(), QString(), bindAddress, 32});
    }
    return adapters;
}

Checked<std::vector<QHostAddress>>
ParseLoggerAddresses(const QCommandLineParser &parser,
                     const QList<discovery::LocalAdapter> &pcAdapters)
{
    std::vector<QHostAddress> addresses;
    QSet<quint32> seen;
    // Each --logger given adds its addresses.
    const QStringList texts =
        parser.values("logger").join(QLatin1Char(',')).split(QLatin1Char(','));
    QList<discovery::LocalNetwork> pcNetworks;
    for (const discovery::LocalAdapter &adapter : pcAdapters) {
        pcNetworks.append(adapter.network());
    }
    const discovery::LoopbackLoggers loopback = discovery::LoopbackUse(texts);
    for (const QString &text : texts) {
        const auto parsed = discovery::ParseLoggerAddress(text, pcNetworks, loopback);
        if (!parsed.accepted()) {
            return Refusal{QStringLiteral("--logger: ") + parsed.refusal().message};
        }
        const quint32 address = parsed.value();
        if (!seen.contains(address)) {
            seen.insert(address);
            addresses.emplace_back(address);
        }
    }
    return addresses;
}

Checked<Targets> ParseTargets(const QCommandLineParser &parser,
                              const QList<discovery::LocalAdapter> &pcAdapters)
{
    if (parser.isSet("logger") == parser.isSet("all")) {
        return Refusal{QStringLiteral("give either --logger IP[,IP...] or --all")};
    }
    if (parser.isSet("logger")) {
        for (const char *where : {"range", "network"}) {
            if (parser.isSet(where)) {
                return Refusal{
                    QStringLiteral("--%1 says where --all searches: give either --logger "
                                   "IP[,IP...] or --all --%1")
                        .arg(QLatin1String(where))};
            }
        }
        Checked<std::vector<QHostAddress>> addresses = ParseLoggerAddresses(parser, pcAdapters);
        if (!addresses.accepted()) {
            return addresses.refusal();
        }
        return Targets(std::move(addresses).value());
    }
    Checked<SearchArea> area = ParseSearchArea(parser);
    if (!area.accepted()) {
        return area.refusal();
    }
    return Targets(std::move(area).value());
}

std::optional<Refusal> RefusedNewAddress(quint32 address, const Targets &targets,
                                         const QList<discovery::LocalAdapter> &pcAdapters)
{
    QList<discovery::LocalNetwork> pcNetworks;
    for (const discovery::LocalAdapter &adapter : pcAdapters) {
        pcNetworks.append(adapter.network());
    }
    // Loopback is a logger's address only where every logger of the run is on loopback.
    bool onLoopback = false;
    if (const auto *given = std::get_if<std::vector<QHostAddress>>(&targets)) {
        onLoopback = std::all_of(given->begin(), given->end(),
                                 [](const QHostAddress &logger) { return logger.isLoopback(); });
    } else if (const auto *swept = std::get_if<SweptRange>(&std::get<SearchArea>(targets).where)) {
        onLoopback = swept->range.at(0).isLoopback() &&
                     swept->range.at(swept->range.size() - 1).isLoopback();
    }
    return fleet::RefusedNewAddress(address, pcNetworks,
                                    onLoopback ? discovery::LoopbackLoggers::Allowed
                                               : discovery::LoopbackLoggers::Refused);
}

} // namespace cli

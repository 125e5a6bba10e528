// SPDX-License-Identifier: GPL-3.0-or-later
#include "address_range.h"

#include <QLocale>
#include <QStringList>

namespace discovery {

namespace {

constexpr quint32 kMulticastFirst = 0xE0000000; // 224.0.0.0
constexpr quint32 kMulticastLast = 0xEFFFFFFF;  // 239.255.255.255
constexpr quint32 kLimitedBroadcast = 0xFFFFFFFF;
constexpr quint32 kThisNetworkLast = 0x00FFFFFF; // 0.255.255.255

QString Dotted(quint32 address)
{
    return QHostAddress(address).toString();
}

QString NotAnAddress(const QString &text)
{
    return QStringLiteral("'%1' is not an IPv4 address: give four numbers from 0 to 255 "
                          "separated by dots, such as 192.168.1.20.")
        .arg(text);
}

// An address typed by the operator, as a number. "010" could be read as ten or as eight,
// so a number with a leading zero is refused, not read one way or the other.
Checked<quint32> ParseTypedAddress(const QString &text)
{
    const std::optional<quint32> address = ParseDottedQuad(text);
    if (!address) {
        return Refusal{NotAnAddress(text)};
    }
    for (const QString &part : text.split(QLatin1Char('.'))) {
        if (part.size() > 1 && part.startsWith(QLatin1Char('0'))) {
            return Refusal{QStringLiteral("'%1' has a number with a leading zero, which could be read "
                                  "as decimal or as octal: write %2.")
                .arg(text, Dotted(*address))};
        }
    }
    return *address;
}

quint32 Mask(int prefixLength)
{
    return prefixLength == 0 ? 0 : ~quint32(0) << (32 - prefixLength);
}

std::optional<int> ParsePrefixLength(const QString &text)
{
    if (text.isEmpty() || text.size() > 2) {
        return std::nullopt;
    }
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
    }
    const int length = text.toInt();
    return length <= 32 ? std::optional<int>(length) : std::nullopt;
}

struct NetworkBounds {
    quint32 network = 0;
    quint32 broadcast = 0;
};

// The network and broadcast addresses of a local network; nothing for a /31 or /32,
// which have neither.
std::optional<NetworkBounds> BoundsOf(const LocalNetwork &local)
{
    const int prefix = local.prefixLength;
    if (prefix < 0 || prefix > 30) {
        return std::nullopt;
    }
    const quint32 network = local.address.toIPv4Address() & Mask(prefix);
    return NetworkBounds{network, network | ~Mask(prefix)};
}

// Why no address of [first, last] may be probed, or an empty text when all may.
QString ReservedInside(quint32 first, quint32 last)
{
    if (first <= kThisNetworkLast) {
        return QStringLiteral("The range reaches into 0.0.0.0/8, which holds no hosts.");
    }
    if (first <= kMulticastLast && last >= kMulticastFirst) {
        return QStringLiteral("The range reaches into the multicast addresses 224.0.0.0/4, "
                              "which hold no loggers.");
    }
    if (last == kLimitedBroadcast) {
        return QStringLiteral("The range holds the broadcast address 255.255.255.255, "
                              "which is no logger's address.");
    }
    return {};
}

Checked<AddressRange> CheckedRange(quint32 first, quint32 last)
{
    if (first > last) {
        return Refusal{QStringLiteral("The range from %1 to %2 is inverted: the first address must "
                              "not come after the last.")
            .arg(Dotted(first), Dotted(last))};
    }
    const AddressRange range{first, last};
    if (range.size() > kMaxRangeAddresses) {
        const QLocale english(QLocale::English);
        return Refusal{QStringLiteral("The range holds %1 addresses; one search takes at most %2.")
            .arg(english.toString(range.size()), english.toString(kMaxRangeAddresses))};
    }
    if (const QString reserved = ReservedInside(first, last); !reserved.isEmpty()) {
        return Refusal{reserved};
    }
    return range;
}

Checked<AddressRange> ParseCidrBlock(const QString &addressText, const QString &prefixText)
{
    const Checked<quint32> address = ParseTypedAddress(addressText);
    if (!address.accepted()) {
        return address.refusal();
    }
    const std::optional<int> prefix = ParsePrefixLength(prefixText);
    if (!prefix) {
        return Refusal{QStringLiteral("'/%1' is not a prefix length: a block ends with /0 to /32, "
                              "such as 10.20.0.0/22.")
            .arg(prefixText)};
    }
    const quint32 network = address.value() & Mask(*prefix);
    const quint32 broadcast = network | ~Mask(*prefix);
    if (quint64(broadcast) - network + 1 > kMaxRangeAddresses) {
        const QLocale english(QLocale::English);
        return Refusal{QStringLiteral("The block /%1 holds %2 addresses; one search takes at most %3 "
                              "(a /16).")
            .arg(QString::number(*prefix), english.toString(quint64(broadcast) - network + 1),
                 english.toString(kMaxRangeAddresses))};
    }
    if (*prefix <= 30) {
        return CheckedRange(network + 1, broadcast - 1);
    }
    return CheckedRange(network, broadcast);
}

} // namespace

QString AddressRange::toString() const
{
    // A whole block, or the hosts of one (as a block is parsed), reads as the block.
    const auto blockPrefix = [](quint64 start, quint64 count) -> std::optional<int> {
        if (count < 2 || (count & (count - 1)) != 0 || (start & (count - 1)) != 0) {
            return std::nullopt;
        }
        int prefix = 32;
        for (quint64 block = count; block > 1; block >>= 1) {
            --prefix;
        }
        return prefix;
    };
    if (const auto prefix = blockPrefix(first, size())) {
        return QStringLiteral("%1/%2").arg(Dotted(first)).arg(*prefix);
    }
    if (first > 0 && last < kLimitedBroadcast && size() >= 2) {
        if (const auto prefix = blockPrefix(quint64(first) - 1, size() + 2);
            prefix && *prefix <= 30) {
            return QStringLiteral("%1/%2").arg(Dotted(first - 1)).arg(*prefix);
        }
    }
    if (first == last) {
        return Dotted(first);
    }
    return QStringLiteral("%1-%2").arg(Dotted(first), Dotted(last));
}

std::optional<quint32> ParseDottedQuad(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) {
        return std::nullopt;
    }
    quint32 address = 0;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 3) {
            return std::nullopt;
        }
        int octet = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return std::nullopt;
            }
            octet = octet * 10 + (c.unicode() - '0');
        }
        if (octet > 255) {
            return std::nullopt;
        }
        address = (address << 8) | quint32(octet);
    }
    return address;
}

QString LocalNetwork::cidr() const
{
    return QStringLiteral("%1/%2")
        .arg(Dotted(address.toIPv4Address() & Mask(prefixLength)))
        .arg(prefixLength);
}

LoopbackLoggers LoopbackUse(const QStringList &addressTexts)
{
    for (const QString &text : addressTexts) {
        const std::optional<quint32> address = ParseDottedQuad(text.trimmed());
        if (!address || !QHostAddress(*address).isLoopback()) {
            return LoopbackLoggers::Refused;
        }
    }
    return addressTexts.isEmpty() ? LoopbackLoggers::Refused : LoopbackLoggers::Allowed;
}

Checked<quint32> ParseLoggerAddress(const QString &text, const QList<LocalNetwork> &pcNetworks,
                                   LoopbackLoggers loopback)
{
    const Checked<quint32> parsed = ParseTypedAddress(text.trimmed());
    if (!parsed.accepted()) {
        return parsed.refusal();
    }
    const quint32 *address = &parsed.value();
    if (*address <= kThisNetworkLast) {
        return Refusal{QStringLiteral("%1 lies in 0.0.0.0/8, which holds no hosts: give the logger's "
                              "own address.")
            .arg(Dotted(*address))};
    }
    for (const LocalNetwork &network : pcNetworks) {
        if (*address == network.address.toIPv4Address()) {
            return Refusal{QStringLiteral("%1 is an address of this PC, not of a logger.")
                .arg(Dotted(*address))};
        }
    }
    if (loopback == LoopbackLoggers::Refused && QHostAddress(*address).isLoopback()) {
        return Refusal{QStringLiteral("%1 is a loopback address: it reaches this PC itself, not a "
                              "logger.")
            .arg(Dotted(*address))};
    }
    if (*address >= kMulticastFirst && *address <= kMulticastLast) {
        return Refusal{QStringLiteral("%1 is a multicast address, not the address of one logger.")
            .arg(Dotted(*address))};
    }
    if (*address == kLimitedBroadcast) {
        return Refusal{QStringLiteral("255.255.255.255 is the broadcast address, not the address of "
                              "one logger.")};
    }
    for (const LocalNetwork &network : pcNetworks) {
        const std::optional<NetworkBounds> bounds = BoundsOf(network);
        if (bounds && (*address == bounds->network || *address == bounds->broadcast)) {
            return Refusal{QStringLiteral("%1 is the %2 address of the PC's network %3, not the "
                                  "address of one logger.")
                .arg(Dotted(*address),
                     *address == bounds->network ? QStringLiteral("network")
                                                 : QStringLiteral("broadcast"),
                     network.cidr())};
        }
    }
    return *address;
}

bool IsRangeProbeTarget(quint32 address, const QList<LocalNetwork> &pcNetworks)
{
    for (const LocalNetwork &network : pcNetworks) {
        const std::optional<NetworkBounds> bounds = BoundsOf(network);
        if (bounds && (address == bounds->network || address == bounds->broadcast)) {
            return false;
        }
    }
    return true;
}

Checked<AddressRange> ParseAddressRange(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return Refusal{QStringLiteral("Give a block such as 10.20.0.0/22 or a range such as "
                              "10.20.0.1-10.20.3.254.")};
    }
    if (const qsizetype slash = trimmed.indexOf(QLatin1Char('/')); slash >= 0) {
        return ParseCidrBlock(trimmed.left(slash).trimmed(), trimmed.mid(slash + 1).trimmed());
    }
    const QStringList ends = trimmed.split(QLatin1Char('-'));
    if (ends.size() > 2) {
        return Refusal{NotAnAddress(trimmed)};
    }
    quint32 bounds[2] = {};
    for (qsizetype end = 0; end < ends.size(); ++end) {
        const Checked<quint32> bound = ParseTypedAddress(ends.at(end).trimmed());
        if (!bound.accepted()) {
            return bound.refusal();
        }
        bounds[end] = bound.value();
    }
    return CheckedRange(bounds[0], ends.size() == 2 ? bounds[1] : bounds[0]);
}

} // namespace discovery

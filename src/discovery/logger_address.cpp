#include "logger_address.h"

namespace discovery {
namespace {

constexpr quint32 kLoopbackNetwork = 0x7F000000; // 127.0.0.0/8
constexpr quint32 kLoopbackMask = 0xFF000000;

bool IsLoopback(quint32 address)
{
    return (address & kLoopbackMask) == kLoopbackNetwork;
}

QString Dotted(quint32 address)
{
    return QHostAddress(address).toString();
}

} // namespace

LoopbackTargets LoopbackUse(const QStringList &addressTexts)
{
    for (const QString &text : addressTexts) {
        const std::optional<quint32> address = ParseDottedQuad(text.trimmed());
        if (!address || !IsLoopback(*address)) {
            return LoopbackTargets::Refused;
        }
    }
    return addressTexts.isEmpty() ? LoopbackTargets::Refused : LoopbackTargets::Accepted;
}

Parsed<quint32> CheckLoggerAddress(const QString &text, const QList<LocalAdapter> &pcAdapters,
                                   LoopbackTargets loopback)
{
    QList<LocalNetwork> pcNetworks;
    for (const LocalAdapter &adapter : pcAdapters) {
        pcNetworks.append(adapter.network());
    }
    // Malformed text, 0.0.0.0/8, multicast and the broadcast addresses.
    Parsed<quint32> parsed = ParseLoggerAddress(text, pcNetworks);
    const quint32 *address = std::get_if<quint32>(&parsed);
    if (address == nullptr) {
        return parsed;
    }
    if (IsLoopback(*address) && loopback == LoopbackTargets::Refused) {
        return QStringLiteral("%1 is a loopback address of this PC, not a logger's (loopback "
                              "addresses are taken only when every logger given is on "
                              "loopback).")
            .arg(Dotted(*address));
    }
    for (const LocalAdapter &adapter : pcAdapters) {
        if (adapter.address.toIPv4Address() == *address) {
            return QStringLiteral("%1 is this PC's own address, not a logger's.")
                .arg(Dotted(*address));
        }
    }
    for (const LocalNetwork &network : pcNetworks) {
        // A /31 or /32 has no network address of its own.
        if (network.prefixLength < 0 || network.prefixLength > 30) {
            continue;
        }
        const quint32 mask =
            network.prefixLength == 0 ? 0 : ~quint32(0) << (32 - network.prefixLength);
        const quint32 networkAddress = network.address.toIPv4Address() & mask;
        if (*address == networkAddress) {
            return QStringLiteral("%1 is the network address of the PC's network %1/%2, not "
                                  "the address of one logger.")
                .arg(Dotted(*address))
                .arg(network.prefixLength);
        }
    }
    return parsed;
}

} // namespace discovery

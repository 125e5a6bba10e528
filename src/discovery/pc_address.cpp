#include "pc_address.h"

#include "default_route.h"

#include <QHostInfo>
#include <QNetworkInterface>

namespace discovery {

QString LocalAdapter::label() const
{
    return QStringLiteral("%1  %2/%3").arg(displayName, address.toString()).arg(prefixLength);
}

bool IsUsablePcAddress(const QHostAddress &address)
{
    if (address.protocol() != QAbstractSocket::IPv4Protocol) {
        return false;
    }
    const quint32 ip = address.toIPv4Address();
    return ip != 0 && !address.isLoopback() && (ip & 0xFFFF0000) != 0xA9FE0000;
}

QList<LocalAdapter> LocalAdapters()
{
    QList<LocalAdapter> adapters;
    const auto required = QNetworkInterface::IsUp | QNetworkInterface::IsRunning;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if ((interface.flags() & required) != required ||
            interface.flags().testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (IsUsablePcAddress(entry.ip())) {
                adapters.append({interface.name(), interface.humanReadableName(), entry.ip(),
                                 entry.prefixLength()});
            }
        }
    }
    return adapters;
}

QString ChoosePcAddress(const QList<QHostAddress> &hostNameAddresses,
                        const QList<LocalAdapter> &adapters, const QString &defaultRouteInterface)
{
    QList<QHostAddress> ipv4;
    for (const QHostAddress &address : hostNameAddresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            ipv4.append(address);
        }
    }
    for (const QHostAddress &address : ipv4) {
        if (IsUsablePcAddress(address)) {
            return address.toString();
        }
    }
    if (!defaultRouteInterface.isEmpty()) {
        for (const LocalAdapter &adapter : adapters) {
            if (adapter.interfaceName == defaultRouteInterface) {
                return adapter.address.toString();
            }
        }
    }
    if (!adapters.isEmpty()) {
        return adapters.first().address.toString();
    }
    return ipv4.isEmpty() ? QString() : ipv4.first().toString();
}

QString LocalPcAddress()
{
    const QHostInfo host = QHostInfo::fromName(QHostInfo::localHostName());
    return ChoosePcAddress(host.addresses(), LocalAdapters(), DefaultRouteInterface());
}

} // namespace discovery

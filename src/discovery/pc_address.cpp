// SPDX-License-Identifier: GPL-3.0-or-later
#include "pc_address.h"

#include "default_route.h"

#include <QHostInfo>
#include <QNetworkInterface>

#include <algorithm>

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

bool AdapterHolds(const QList<LocalAdapter> &adapters, const QHostAddress &address)
{
    return std::any_of(adapters.begin(), adapters.end(), [&address](const LocalAdapter &adapter) {
        return adapter.address == address;
    });
}

QString ChoosePcAddress(const QList<QHostAddress> &hostNameAddresses,
                        const QList<LocalAdapter> &adapters, const QString &defaultRouteInterface)
{
    for (const QHostAddress &address : hostNameAddresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol &&
            AdapterHolds(adapters, address)) {
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
    return adapters.isEmpty() ? QString() : adapters.first().address.toString();
}

QString LocalPcAddress()
{
    const QHostInfo host = QHostInfo::fromName(QHostInfo::localHostName());
    return ChoosePcAddress(host.addresses(), LocalAdapters(), DefaultRouteInterface());
}

} // namespace discovery

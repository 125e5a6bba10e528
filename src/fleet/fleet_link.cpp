// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet_link.h"

#include <QUdpSocket>

namespace fleet {
namespace {

#ifndef Q_OS_WIN
// Ports below this one are bound only with a privilege.
constexpr quint16 kFirstUnprivilegedPort = 1024;
#endif

// Why a port could not be bound, in the words of someone who must do something about it.
QString BindFailureCause(const QUdpSocket &socket, quint16 port)
{
    switch (socket.error()) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("it is in use (is the tarnwick window or another tarnwick-cli "
                              "running?)");
    case QAbstractSocket::SocketAccessError:
#ifdef Q_OS_WIN
        Q_UNUSED(port)
        return QStringLiteral("access denied: another program holds it");
#else
        return port < kFirstUnprivilegedPort
                   ? QStringLiteral("permission denied: a port below %1 needs root or the "
                                    "CAP_NET_BIND_SERVICE capability")
                         .arg(kFirstUnprivilegedPort)
                   : QStringLiteral("permission denied");
#endif
    default:
        return socket.errorString();
    }
}

Refusal BindFailed(const char *role, const QUdpSocket &socket, const QHostAddress &address,
                   quint16 port)
{
    return {QStringLiteral("cannot open the %1 port %2 on %3: %4")
                .arg(QLatin1String(role))
                .arg(port)
                .arg(address.toString(), BindFailureCause(socket, port))};
}

} // namespace

FleetLink::FleetLink(const NetworkSettings &settings, QObject *parent)
    : QObject(parent), m_ownEndpoints(std::make_unique<UdpEndpoints>(settings)),
      m_ownClient(std::make_unique<LoggerClient>(*m_ownEndpoints)), m_client(*m_ownClient)
{
    relayClientSignals();
}

FleetLink::FleetLink(LoggerClient &sharedClient, QObject *parent)
    : QObject(parent), m_client(sharedClient)
{
    relayClientSignals();
}

void FleetLink::relayClientSignals()
{
    connect(&m_client, &LoggerClient::discoveryAnswered, this, &FleetLink::discoveryAnswered);
    connect(&m_client, &LoggerClient::answerSetAside, this, &FleetLink::answerSetAside);
}

std::optional<Refusal> FleetLink::openCommandPort()
{
    const NetworkSettings &settings = endpoints().settings();
    if (!endpoints().openSetSocket()) {
        return BindFailed("command", endpoints().setSocket(), settings.bindAddress,
                          settings.localSetPort);
    }
    return std::nullopt;
}

std::optional<Refusal> FleetLink::openSearchPort()
{
    if (endpoints().searchSocket().state() == QAbstractSocket::BoundState) {
        return std::nullopt; // opened for an earlier sweep or probe of the run
    }
    const NetworkSettings &settings = endpoints().settings();
    if (!endpoints().openSearchSocket()) {
        return BindFailed("search", endpoints().searchSocket(), settings.bindAddress,
                          settings.localSearchPort);
    }
    return std::nullopt;
}

LoggerReply *FleetLink::probe(const QHostAddress &host, const RequestPolicy &policy)
{
    return m_client.probe(host, policy);
}

void FleetLink::sendProbe(const QHostAddress &host)
{
    m_client.sendProbe(host);
}

} // namespace fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet_link.h"

#include "discovery/search_probe.h"
#include "protocol/answer_taking.h"
#include "protocol/datagram.h"
#include "protocol/frame.h"
#include "protocol/frame_verdicts.h"

#include <QUdpSocket>

#include <vector>

namespace fleet {
namespace {

#ifndef Q_OS_WIN
// Ports below this one are bound only with a privilege.
constexpr quint16 kFirstUnprivilegedPort = 1024;
#endif

std::string_view AsBytes(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

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
      m_endpoints(*m_ownEndpoints)
{
    connect(&m_endpoints.setSocket(), &QUdpSocket::readyRead, this, &FleetLink::readSetSocket);
    connect(&m_endpoints.searchSocket(), &QUdpSocket::readyRead, this,
            &FleetLink::readSearchSocket);
}

FleetLink::FleetLink(UdpEndpoints &sharedEndpoints, QObject *parent)
    : QObject(parent), m_endpoints(sharedEndpoints)
{
}

std::optional<Refusal> FleetLink::openCommandPort()
{
    const NetworkSettings &settings = m_endpoints.settings();
    if (!m_endpoints.openSetSocket()) {
        return BindFailed("command", m_endpoints.setSocket(), settings.bindAddress,
                          settings.localSetPort);
    }
    return std::nullopt;
}

std::optional<Refusal> FleetLink::openSearchPort()
{
    if (m_endpoints.searchSocket().state() == QAbstractSocket::BoundState) {
        return std::nullopt; // opened for an earlier sweep or probe of the run
    }
    const NetworkSettings &settings = m_endpoints.settings();
    if (!m_endpoints.openSearchSocket()) {
        return BindFailed("search", m_endpoints.searchSocket(), settings.bindAddress,
                          settings.localSearchPort);
    }
    return std::nullopt;
}

void FleetLink::attach(const QHostAddress &logger, AnswerSink sink)
{
    m_peers[logger.toIPv4Address()].sink = std::move(sink);
}

void FleetLink::detach(const QHostAddress &logger)
{
    m_peers.erase(logger.toIPv4Address());
}

int FleetLink::badCrcFrames(const QHostAddress &logger) const
{
    const auto peer = m_peers.find(logger.toIPv4Address());
    return peer == m_peers.end() ? 0 : peer->second.badCrcFrames;
}

int FleetLink::setAsideAnswers(const QHostAddress &logger) const
{
    const auto peer = m_peers.find(logger.toIPv4Address());
    return peer == m_peers.end() ? 0 : peer->second.setAsideAnswers;
}

std::optional<SendFailure> FleetLink::sendRequest(const QHostAddress &logger,
                                                  const std::string &payload,
                                                  protocol::AnswerWanted fits)
{
    if (const auto peer = m_peers.find(logger.toIPv4Address()); peer != m_peers.end()) {
        peer->second.buffer.discardCompleteCandidates();
        peer->second.awaited =
            fits ? std::move(fits) : protocol::AnswerWanted([](std::string_view) { return true; });
    }
    const std::string frame = protocol::BuildFrame(payload);
    return m_endpoints.sendToLogger(QByteArray(frame.data(), static_cast<qsizetype>(frame.size())),
                                    logger);
}

void FleetLink::stopAwaiting(const QHostAddress &logger)
{
    if (const auto peer = m_peers.find(logger.toIPv4Address()); peer != m_peers.end()) {
        peer->second.awaited = {};
    }
}

void FleetLink::sendProbe(const QHostAddress &host)
{
    m_endpoints.sendProbe(QByteArray(discovery::kSearchProbe.data(),
                                     static_cast<qsizetype>(discovery::kSearchProbe.size())),
                          host);
}

void FleetLink::readSetSocket()
{
    QUdpSocket &socket = m_endpoints.setSocket();
    while (socket.hasPendingDatagrams()) {
        const std::optional<ReceivedDatagram> datagram = m_endpoints.readDatagram(socket);
        if (!datagram) {
            break; // the read re-arms the notification for whatever still waits
        }
        takeAnswer(*datagram);
    }
}

bool FleetLink::takeAnswer(const ReceivedDatagram &datagram)
{
    const auto peer = m_peers.find(datagram.sender.toIPv4Address());
    if (peer == m_peers.end()) {
        return false;
    }
    const std::string_view text = protocol::DatagramText(AsBytes(datagram.bytes));
    if (text.empty()) {
        return true;
    }
    Peer &from = peer->second;
    for (const protocol::DatagramPiece &piece : protocol::InspectDatagram(text)) {
        from.badCrcFrames += piece.verdict == protocol::PieceVerdict::CrcBad ? 1 : 0;
    }
    from.buffer.append(text);
    std::vector<std::string> setAside;
    const std::optional<std::string> answer = protocol::TakeAnswer(
        from.buffer, protocol::LaterFrames::DroppedNow, [&](std::string_view payload) {
            if (from.awaited && from.awaited(payload)) {
                return true;
            }
            setAside.emplace_back(payload);
            return false;
        });
    // Copied first: the receivers of what follows may detach this peer or start the
    // next request.
    const AnswerSink sink = from.sink;
    if (answer) {
        from.awaited = {};
    }
    from.setAsideAnswers += static_cast<int>(setAside.size());
    for (const std::string &payload : setAside) {
        emit answerSetAside(datagram.sender, payload);
    }
    if (answer) {
        sink(*answer);
    }
    return true;
}

void FleetLink::readSearchSocket()
{
    QUdpSocket &socket = m_endpoints.searchSocket();
    while (socket.hasPendingDatagrams()) {
        std::optional<ReceivedDatagram> datagram = m_endpoints.readDatagram(socket);
        if (!datagram) {
            break; // the read re-arms the notification for whatever still waits
        }
        QByteArray &bytes = datagram->bytes;
        protocol::BlankDiscoveryFillers(bytes.data(), static_cast<std::size_t>(bytes.size()));
        m_searchBuffer.append(AsBytes(bytes));
        while (const auto candidate = m_searchBuffer.cutNextCandidate()) {
            emit discoveryAnswered(*candidate, datagram->sender);
        }
    }
}

} // namespace fleet

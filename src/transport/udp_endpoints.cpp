// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp_endpoints.h"

#include "protocol/datagram.h"

#include <QVariant>

#include <chrono>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <cerrno>
#endif

namespace {

// writeDatagram reports every refusal as one general error; the system's own code is
// still the last socket error of the thread right after the call.
int LastSocketError()
{
#ifdef Q_OS_WIN
    return WSAGetLastError();
#else
    return errno;
#endif
}

bool IsNoRoute(int systemError)
{
#ifdef Q_OS_WIN
    return systemError == WSAENETUNREACH || systemError == WSAEHOSTUNREACH;
#else
    return systemError == ENETUNREACH || systemError == EHOSTUNREACH;
#endif
}

bool IsTransient(int systemError)
{
#ifdef Q_OS_WIN
    return systemError == WSAEWOULDBLOCK || systemError == WSAENOBUFS;
#else
    // EWOULDBLOCK is EAGAIN on the systems the tool is built for.
    return systemError == EAGAIN || systemError == ENOBUFS;
#endif
}

SendFailure::Cause CauseOf(int systemError)
{
    if (IsNoRoute(systemError)) {
        return SendFailure::Cause::NoRoute;
    }
    return IsTransient(systemError) ? SendFailure::Cause::Transient : SendFailure::Cause::Refused;
}

} // namespace

UdpEndpoints::UdpEndpoints(const NetworkSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_readArea(kMaxDatagramBytes, '\0')
{
}

bool UdpEndpoints::openSetSocket()
{
    // No address sharing: a second program on the same port must make this fail.
    return m_setSocket.bind(m_settings.bindAddress, m_settings.localSetPort,
                            QAbstractSocket::DontShareAddress);
}

bool UdpEndpoints::openSearchSocket()
{
    if (!m_searchSocket.bind(m_settings.bindAddress, m_settings.localSearchPort,
                             QAbstractSocket::DontShareAddress)) {
        return false;
    }
    m_searchSocket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                   QVariant(kSearchReceiveBufferBytes));
    return true;
}

void UdpEndpoints::closeSetSocket()
{
    m_setSocket.close();
}

std::optional<SendFailure> UdpEndpoints::sendToLogger(const QByteArray &frame,
                                                      const QHostAddress &logger)
{
    return send(m_setSocket, m_settings.localSetPort, frame, logger, m_settings.remoteSetPort);
}

std::optional<SendFailure> UdpEndpoints::sendProbe(const QHostAddress &host)
{
    static const QByteArray probe(protocol::kSearchProbe.data(),
                                  static_cast<qsizetype>(protocol::kSearchProbe.size()));
    return send(m_searchSocket, m_settings.localSearchPort, probe, host,
                m_settings.remoteSearchPort);
}

std::optional<SendFailure> UdpEndpoints::send(QUdpSocket &socket, quint16 port,
                                              const QByteArray &bytes, const QHostAddress &peer,
                                              quint16 peerPort)
{
    std::optional<SendFailure> failure;
    // A socket that failed to open stays closed (writing would bind it to a random port);
    // its error is still the one its bind left.
    if (socket.state() != QAbstractSocket::BoundState) {
        const bool inUse = socket.error() == QAbstractSocket::AddressInUseError;
        failure = SendFailure{
            inUse ? SendFailure::Cause::PortInUse : SendFailure::Cause::PortNotOpen, peer, port,
            socket.error() == QAbstractSocket::UnknownSocketError
                ? QStringLiteral("the socket is not open")
                : socket.errorString()};
    } else if (socket.writeDatagram(bytes, peer, peerPort) < 0) {
        const int systemError = LastSocketError();
        failure = SendFailure{CauseOf(systemError), peer, port, qt_error_string(systemError)};
    }
    if (m_observer) {
        tellObserver(socket,
                     failure ? ObservedDatagram::Direction::SendFailed
                             : ObservedDatagram::Direction::Sent,
                     bytes, peer, peerPort, failure ? failure->reason : QString());
    }
    return failure;
}

std::optional<ReceivedDatagram> UdpEndpoints::readDatagram(QUdpSocket &socket)
{
    if (socket.pendingDatagramSize() > kMaxDatagramBytes) {
        socket.readDatagram(nullptr, 0);
        return std::nullopt;
    }
    QHostAddress peer;
    quint16 peerPort = 0;
    const qint64 read = socket.readDatagram(m_readArea.data(), kMaxDatagramBytes, &peer, &peerPort);
    if (read < 0) {
        return std::nullopt;
    }
    // A copy of the datagram's own size: the traffic log keeps what it is shown.
    ReceivedDatagram datagram{QByteArray(m_readArea.constData(), static_cast<qsizetype>(read)),
                              QHostAddress(peer.toIPv4Address()), peerPort};
    if (m_observer) {
        tellObserver(socket, ObservedDatagram::Direction::Received, datagram.bytes, peer, peerPort);
    }
    if (read == 0) {
        return std::nullopt;
    }
    return datagram;
}

void UdpEndpoints::reportLeftOverDiscarded(const QByteArray &frame, const QHostAddress &sender)
{
    if (m_observer) {
        tellObserver(m_setSocket, ObservedDatagram::Direction::LeftOverDiscarded, frame, {}, 0,
                     {}, sender);
    }
}

void UdpEndpoints::reportSetAside(const ReceivedDatagram &datagram)
{
    if (m_observer) {
        tellObserver(m_setSocket, ObservedDatagram::Direction::SetAside, datagram.bytes,
                     datagram.sender, datagram.senderPort);
    }
}

void UdpEndpoints::tellObserver(const QUdpSocket &socket, ObservedDatagram::Direction direction,
                                const QByteArray &bytes, const QHostAddress &peer, quint16 peerPort,
                                const QString &failure, const QHostAddress &leftOverFrom)
{
    ObservedDatagram datagram;
    datagram.microsecondsSinceEpoch = std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count();
    datagram.direction = direction;
    datagram.endpoint = &socket == &m_setSocket ? ObservedDatagram::Endpoint::Set
                                                : ObservedDatagram::Endpoint::Search;
    datagram.localAddress = socket.localAddress();
    datagram.localPort = socket.localPort();
    if (!peer.isNull()) {
        datagram.peerAddress = QHostAddress(peer.toIPv4Address());
    }
    datagram.peerPort = peerPort;
    datagram.bytes = bytes;
    datagram.failure = failure;
    if (!leftOverFrom.isNull()) {
        datagram.leftOverFrom = QHostAddress(leftOverFrom.toIPv4Address());
    }
    m_observer->datagramObserved(datagram);
}

#include "udp_endpoints.h"

#include <QVariant>

#include <chrono>

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

void UdpEndpoints::sendToLogger(const QByteArray &frame, const QHostAddress &logger)
{
    send(m_setSocket, frame, logger, m_settings.remoteSetPort);
}

void UdpEndpoints::sendProbe(const QByteArray &probe, const QHostAddress &host)
{
    send(m_searchSocket, probe, host, m_settings.remoteSearchPort);
}

void UdpEndpoints::send(QUdpSocket &socket, const QByteArray &bytes, const QHostAddress &peer,
                        quint16 peerPort)
{
    // The result is not looked at: a lost request shows up as the timeout. A socket that
    // failed to open stays closed (writing would bind it to a random port).
    if (socket.state() != QAbstractSocket::BoundState) {
        return;
    }
    const qint64 written = socket.writeDatagram(bytes, peer, peerPort);
    if (m_observer && written == bytes.size()) {
        tellObserver(socket, ObservedDatagram::Direction::Sent, bytes, peer, peerPort);
    }
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
                              QHostAddress(peer.toIPv4Address())};
    if (m_observer) {
        tellObserver(socket, ObservedDatagram::Direction::Received, datagram.bytes, peer, peerPort);
    }
    if (read == 0) {
        return std::nullopt;
    }
    return datagram;
}

void UdpEndpoints::reportLeftOverDiscarded(const QByteArray &frame)
{
    if (m_observer) {
        tellObserver(m_setSocket, ObservedDatagram::Direction::LeftOverDiscarded, frame, {}, 0);
    }
}

void UdpEndpoints::tellObserver(const QUdpSocket &socket, ObservedDatagram::Direction direction,
                                const QByteArray &bytes, const QHostAddress &peer, quint16 peerPort)
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
    m_observer->datagramObserved(datagram);
}

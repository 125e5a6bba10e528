#pragma once

#include <QByteArray>
#include <QHostAddress>

// One datagram as it crossed one of the tool's two sockets.
struct ObservedDatagram {
    enum class Direction { Sent, Received };
    enum class Endpoint { Set, Search };

    qint64 microsecondsSinceEpoch = 0;
    Direction direction = Direction::Sent;
    Endpoint endpoint = Endpoint::Set;
    // The tool's own side: the socket's bound address (0.0.0.0 when bound to every
    // interface) and port.
    QHostAddress localAddress;
    quint16 localPort = 0;
    QHostAddress peerAddress;
    quint16 peerPort = 0;
    QByteArray bytes;
};

// Is told of every datagram the endpoints send or receive, on the GUI thread, right after
// the socket call. It must return quickly: it runs inside the exchange.
class DatagramObserver
{
public:
    virtual ~DatagramObserver() = default;
    virtual void datagramObserved(const ObservedDatagram &datagram) = 0;
};

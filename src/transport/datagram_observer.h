// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

// One datagram as it crossed one of the tool's two sockets, one the system refused to
// send, a frame the set socket's receive buffer let go of unanswered, or a datagram set
// aside because another address than the one asked sent it.
struct ObservedDatagram {
    // SendFailed is a datagram the system did not send; `failure` says why.
    // LeftOverDiscarded is no datagram on the wire: a whole frame that earlier answers
    // left in the receive buffer, dropped when a request went out. Its bytes are that
    // frame and its peer is unknown (null).
    // SetAside repeats a datagram received on the set socket that was taken as no answer:
    // it came from another address than the logger the request went to.
    enum class Direction { Sent, Received, SendFailed, LeftOverDiscarded, SetAside };
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
    QString failure; // SendFailed only: the system's reason, in its own words
    // Received on the set socket: the datagram of the request last sent to its sender, the
    // one it answers, so that the secret an answer carries can be hidden. Set by whoever
    // records the traffic; empty when nothing was asked.
    QByteArray answeredRequest;
    // LeftOverDiscarded: the logger that sent the frame, when known (null otherwise), so
    // that the secret of a discarded answer is hidden as a received one's is.
    QHostAddress leftOverFrom;
};

// Is told of every datagram the endpoints send, fail to send or receive, on the GUI
// thread, right after the socket call. It must return quickly: it runs inside the exchange.
class DatagramObserver
{
public:
    virtual ~DatagramObserver() = default;
    virtual void datagramObserved(const ObservedDatagram &datagram) = 0;
};

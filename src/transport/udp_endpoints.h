// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "datagram_observer.h"
#include "settings.h"

#include <QObject>
#include <QUdpSocket>

#include <optional>

// One datagram as read from one of the two sockets.
struct ReceivedDatagram {
    QByteArray bytes;
    QHostAddress sender; // as an IPv4 address
    quint16 senderPort = 0;
};

// Why the system did not send a datagram.
struct SendFailure {
    enum class Cause {
        PortInUse,   // the socket is not open: another program held its port at start-up
        PortNotOpen, // the socket is not open for another reason
        NoRoute,     // the system knows no way to the peer
        // The system could not take the datagram now (its queue towards the neighbour, or
        // its buffers, are full): the same send may well pass a moment later.
        Transient,
        Refused,     // any other refusal
    };
    Cause cause = Cause::Refused;
    QHostAddress peer;
    quint16 localPort = 0; // the port the socket was to use
    QString reason;        // the system's words ("Network is unreachable")
};

// The two UDP endpoints of the tool: the set socket, on which commands go out and
// answers come back, and the search socket for the discovery probe and its answers.
class UdpEndpoints : public QObject
{
    Q_OBJECT

public:
    // Large enough for a whole /24 answering the probe at once.
    static constexpr int kSearchReceiveBufferBytes = 1 << 20;
    // The datagram area: longer datagrams are dropped whole.
    static constexpr qint64 kMaxDatagramBytes = 10230;

    explicit UdpEndpoints(const NetworkSettings &settings, QObject *parent = nullptr);

    bool openSetSocket();
    bool openSearchSocket();
    void closeSetSocket();

    const NetworkSettings &settings() const { return m_settings; }
    QUdpSocket &setSocket() { return m_setSocket; }
    QUdpSocket &searchSocket() { return m_searchSocket; }

    // Each send says why the system refused it, and nothing when it went out.
    std::optional<SendFailure> sendToLogger(const QByteArray &frame, const QHostAddress &logger);
    // The discovery probe, to the search port of `host`.
    std::optional<SendFailure> sendProbe(const QHostAddress &host);

    // Reads the next datagram of one of the two sockets and shows it to the observer.
    // Nothing when nothing usable waited: no datagram, an empty one, or one longer than
    // the datagram area (dropped whole, unseen). The socket is read even when nothing
    // seems to wait: a read is what re-arms its read notification, and a notification
    // whose datagram an earlier read already took must re-arm it too, or the socket
    // stays silent for good.
    std::optional<ReceivedDatagram> readDatagram(QUdpSocket &socket);

    // Tells the observer that a whole frame left over from earlier answers was dropped
    // from a receive buffer of the set socket; `sender` is whose buffer, when known.
    void reportLeftOverDiscarded(const QByteArray &frame, const QHostAddress &sender = {});
    // Tells the observer that a datagram read from the set socket was not taken as an
    // answer: it came from another address than the logger the request went to.
    void reportSetAside(const ReceivedDatagram &datagram);

    // Sees every datagram sent and received from now on; nullptr for none. Not owned.
    void setObserver(DatagramObserver *observer) { m_observer = observer; }

private:
    std::optional<SendFailure> send(QUdpSocket &socket, quint16 port, const QByteArray &bytes,
                                    const QHostAddress &peer, quint16 peerPort);
    void tellObserver(const QUdpSocket &socket, ObservedDatagram::Direction direction,
                      const QByteArray &bytes, const QHostAddress &peer, quint16 peerPort,
                      const QString &failure = {}, const QHostAddress &leftOverFrom = {});

    NetworkSettings m_settings;
    QUdpSocket m_setSocket;
    QUdpSocket m_searchSocket;
    QByteArray m_readArea; // every datagram is read into it first
    DatagramObserver *m_observer = nullptr;
};

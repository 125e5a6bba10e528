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

    void sendToLogger(const QByteArray &frame, const QHostAddress &logger);
    void sendProbe(const QByteArray &probe, const QHostAddress &host);

    // Reads the next datagram of one of the two sockets and shows it to the observer.
    // Nothing when nothing usable waited: no datagram, an empty one, or one longer than
    // the datagram area (dropped whole, unseen). The socket is read even when nothing
    // seems to wait: a read is what re-arms its read notification, and a notification
    // whose datagram an earlier read already took must re-arm it too, or the socket
    // stays silent for good.
    std::optional<ReceivedDatagram> readDatagram(QUdpSocket &socket);

    // Tells the observer that a whole frame left over from earlier answers was dropped
    // from the set socket's receive buffer.
    void reportLeftOverDiscarded(const QByteArray &frame);

    // Sees every datagram sent and received from now on; nullptr for none. Not owned.
    void setObserver(DatagramObserver *observer) { m_observer = observer; }

private:
    void send(QUdpSocket &socket, const QByteArray &bytes, const QHostAddress &peer,
              quint16 peerPort);
    void tellObserver(const QUdpSocket &socket, ObservedDatagram::Direction direction,
                      const QByteArray &bytes, const QHostAddress &peer, quint16 peerPort);

    NetworkSettings m_settings;
    QUdpSocket m_setSocket;
    QUdpSocket m_searchSocket;
    QByteArray m_readArea; // every datagram is read into it first
    DatagramObserver *m_observer = nullptr;
};

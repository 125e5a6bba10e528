#pragma once

#include "settings.h"

#include <QObject>
#include <QUdpSocket>

// The two UDP endpoints of the tool: the set socket, on which commands go out and
// answers come back, and the search socket for the discovery probe and its answers.
class UdpEndpoints : public QObject
{
    Q_OBJECT

public:
    // Large enough for a whole /24 answering the probe at once.
    static constexpr int kSearchReceiveBufferBytes = 1 << 20;

    explicit UdpEndpoints(const NetworkSettings &settings, QObject *parent = nullptr);

    bool openSetSocket();
    bool openSearchSocket();
    void closeSetSocket();

    const NetworkSettings &settings() const { return m_settings; }
    QUdpSocket &setSocket() { return m_setSocket; }
    QUdpSocket &searchSocket() { return m_searchSocket; }

    void sendToLogger(const QByteArray &frame, const QHostAddress &logger);
    void sendProbe(const QByteArray &probe, const QHostAddress &host);

private:
    NetworkSettings m_settings;
    QUdpSocket m_setSocket;
    QUdpSocket m_searchSocket;
};

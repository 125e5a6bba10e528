#include "udp_endpoints.h"

#include <QVariant>

UdpEndpoints::UdpEndpoints(const NetworkSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings)
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
    // The result is not looked at: a lost request shows up as the timeout. A socket that
    // failed to open stays closed (writing would bind it to a random port).
    if (m_setSocket.state() != QAbstractSocket::BoundState) {
        return;
    }
    m_setSocket.writeDatagram(frame, logger, m_settings.remoteSetPort);
}

void UdpEndpoints::sendProbe(const QByteArray &probe, const QHostAddress &host)
{
    if (m_searchSocket.state() != QAbstractSocket::BoundState) {
        return;
    }
    m_searchSocket.writeDatagram(probe, host, m_settings.remoteSearchPort);
}

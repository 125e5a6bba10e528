#include "fleet_link.h"

#include "discovery/search_probe.h"
#include "protocol/datagram.h"
#include "protocol/frame.h"

#include <QUdpSocket>

namespace fleet {
namespace {

constexpr qint64 kMaxDatagramBytes = 10230;

std::string_view AsBytes(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// Reads one waiting datagram; false when nothing usable was read.
bool ReadDatagram(QUdpSocket &socket, QByteArray &bytes, QHostAddress &sender)
{
    if (socket.pendingDatagramSize() > kMaxDatagramBytes) {
        socket.readDatagram(nullptr, 0);
        return false;
    }
    bytes.resize(kMaxDatagramBytes);
    const qint64 read = socket.readDatagram(bytes.data(), kMaxDatagramBytes, &sender);
    if (read < 1) {
        return false;
    }
    bytes.resize(read);
    sender = QHostAddress(sender.toIPv4Address());
    return true;
}

QString PortTaken(const char *role, const QHostAddress &address, quint16 port)
{
    return QStringLiteral("cannot open the %1 port %2 on %3: it is in use (is the tarnwick "
                          "window or another tarnwick-cli running?)")
        .arg(QLatin1String(role))
        .arg(port)
        .arg(address.toString());
}

} // namespace

FleetLink::FleetLink(const NetworkSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_endpoints(settings)
{
    m_clock.start();
    connect(&m_endpoints.setSocket(), &QUdpSocket::readyRead, this, &FleetLink::readSetSocket);
    connect(&m_endpoints.searchSocket(), &QUdpSocket::readyRead, this,
            &FleetLink::readSearchSocket);
}

std::optional<QString> FleetLink::open()
{
    if (!m_endpoints.openSetSocket()) {
        return PortTaken("command", m_settings.bindAddress, m_settings.localSetPort);
    }
    if (!m_endpoints.openSearchSocket()) {
        return PortTaken("search", m_settings.bindAddress, m_settings.localSearchPort);
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

void FleetLink::sendRequest(const QHostAddress &logger, const std::string &payload)
{
    const std::string frame = protocol::BuildFrame(payload);
    const QByteArray bytes(frame.data(), static_cast<qsizetype>(frame.size()));
    trace(true, false, logger, bytes);
    m_endpoints.sendToLogger(bytes, logger);
}

void FleetLink::sendProbe(const QHostAddress &host)
{
    const QByteArray probe(discovery::kSearchProbe.data(),
                           static_cast<qsizetype>(discovery::kSearchProbe.size()));
    trace(true, true, host, probe);
    m_endpoints.sendProbe(probe, host);
}

// A datagram carries at most one answer to the one request pending with its sender:
// further complete frames in it are dropped, so that they cannot be taken for the answer
// to a request not even sent yet.
void FleetLink::readSetSocket()
{
    QUdpSocket &socket = m_endpoints.setSocket();
    QByteArray datagram;
    QHostAddress sender;
    while (socket.hasPendingDatagrams()) {
        if (!ReadDatagram(socket, datagram, sender)) {
            break; // the read re-arms the notification for whatever still waits
        }
        trace(false, false, sender, datagram);
        const auto peer = m_peers.find(sender.toIPv4Address());
        if (peer == m_peers.end()) {
            continue;
        }
        const std::string_view text = protocol::DatagramText(AsBytes(datagram));
        if (text.empty()) {
            continue;
        }
        peer->second.buffer.append(text);
        std::optional<std::string> answer;
        while (const auto candidate = peer->second.buffer.cutNextCandidate()) {
            protocol::DecodedFrame frame = protocol::DecodeFrame(*candidate);
            if (!answer && frame.valid && protocol::IsAnswerPayload(frame.payload)) {
                answer = std::move(frame.payload);
            }
        }
        if (answer) {
            // The sink may detach this peer or start the next request.
            const AnswerSink sink = peer->second.sink;
            sink(*answer);
        }
    }
}

void FleetLink::readSearchSocket()
{
    QUdpSocket &socket = m_endpoints.searchSocket();
    QByteArray datagram;
    QHostAddress sender;
    while (socket.hasPendingDatagrams()) {
        if (!ReadDatagram(socket, datagram, sender)) {
            break; // the read re-arms the notification for whatever still waits
        }
        trace(false, true, sender, datagram);
        protocol::BlankDiscoveryFillers(datagram.data(), static_cast<std::size_t>(datagram.size()));
        m_searchBuffer.append(AsBytes(datagram));
        while (const auto candidate = m_searchBuffer.cutNextCandidate()) {
            if (m_discoverySink) {
                m_discoverySink(*candidate, sender);
            }
        }
    }
}

void FleetLink::trace(bool sent, bool searchPort, const QHostAddress &peer, const QByteArray &bytes)
{
    if (m_trace) {
        m_trace({m_clock.elapsed(), sent, searchPort, peer, bytes});
    }
}

} // namespace fleet

#include "receive_path.h"

#include "command_exchange.h"
#include "protocol/datagram.h"
#include "protocol/frame.h"
#include "udp_endpoints.h"

#include <QUdpSocket>

namespace {

std::string_view AsBytes(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

ReceivePath::ReceivePath(UdpEndpoints &endpoints, CommandExchange &exchange, QObject *parent)
    : QObject(parent), m_endpoints(endpoints), m_exchange(exchange)
{
    connect(&m_endpoints.setSocket(), &QUdpSocket::readyRead, this, &ReceivePath::ReceivePathRun);
    connect(&m_endpoints.searchSocket(), &QUdpSocket::readyRead, this,
            &ReceivePath::ReceivePathRun);
    connect(&m_exchange, &CommandExchange::requestSending, this,
            &ReceivePath::discardLeftOverAnswers);
}

void ReceivePath::setDiscoveryHandler(DiscoveryHandler handler)
{
    m_discoveryHandler = std::move(handler);
}

bool ReceivePath::readDatagram(QUdpSocket &socket, QByteArray &bytes, QString &sender)
{
    // The socket is read even when nothing seems to wait: a read is what re-arms its read
    // notification, and a notification whose datagram an earlier run already took must
    // re-arm it too, or the socket stays silent for good.
    if (socket.pendingDatagramSize() > kMaxDatagramBytes) {
        socket.readDatagram(nullptr, 0);  // too long for the datagram area: lost
        return false;
    }
    bytes.resize(kMaxDatagramBytes);
    QHostAddress senderAddress;
    const qint64 read =
        m_endpoints.receive(socket, bytes.data(), kMaxDatagramBytes, &senderAddress);
    if (read < 1) {
        return false;
    }
    bytes.resize(read);
    sender = QHostAddress(senderAddress.toIPv4Address()).toString();
    return true;
}

void ReceivePath::ReceivePathRun()
{
    m_runQueued = false;
    QByteArray datagram;
    QString sender;
    if (readDatagram(m_endpoints.setSocket(), datagram, sender)) {
        runSetPath(std::move(datagram));
    } else if (readDatagram(m_endpoints.searchSocket(), datagram, sender)) {
        runSearchPath(std::move(datagram), sender);
    }
    queueRunIfDatagramsWait();
}

void ReceivePath::discardLeftOverAnswers()
{
    for (const std::string &frame : m_setBuffer.discardCompleteCandidates()) {
        m_endpoints.reportLeftOverDiscarded(
            QByteArray(frame.data(), static_cast<qsizetype>(frame.size())));
    }
}

void ReceivePath::queueRunIfDatagramsWait()
{
    // A socket's read notification is re-armed only when that socket is read. One run
    // reads a single datagram, so whatever still waits gets a run of its own.
    if (m_runQueued) {
        return;
    }
    if (m_endpoints.setSocket().hasPendingDatagrams() ||
        m_endpoints.searchSocket().hasPendingDatagrams()) {
        m_runQueued = true;
        QMetaObject::invokeMethod(this, &ReceivePath::ReceivePathRun, Qt::QueuedConnection);
    }
}

void ReceivePath::runSetPath(QByteArray datagram)
{
    const std::string_view text = protocol::DatagramText(AsBytes(datagram));
    if (text.empty()) {
        return;
    }
    m_setBuffer.append(text);
    if (!m_setBuffer.holdsEscAndEnq()) {
        return;
    }
    // Only one answer is handed on per datagram; later candidates wait for the next.
    while (const auto candidate = m_setBuffer.cutNextCandidate()) {
        const protocol::DecodedFrame frame = protocol::DecodeFrame(*candidate);
        if (!frame.valid || !protocol::IsAnswerPayload(frame.payload)) {
            continue;
        }
        if (m_exchange.dispatchAnswer(frame.payload)) {
            return;
        }
    }
}

void ReceivePath::runSearchPath(QByteArray datagram, const QString &sender)
{
    protocol::BlankDiscoveryFillers(datagram.data(), static_cast<std::size_t>(datagram.size()));
    m_searchBuffer.append(AsBytes(datagram));
    if (!m_searchBuffer.holdsEscAndEnq()) {
        return;
    }
    // The search decides which answers it takes: a range search listens while other
    // commands run.
    while (const auto candidate = m_searchBuffer.cutNextCandidate()) {
        if (m_discoveryHandler) {
            m_discoveryHandler(*candidate, sender);
        }
    }
}

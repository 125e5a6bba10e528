// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive_path.h"

#include "command_exchange.h"
#include "protocol/answer_taking.h"
#include "protocol/datagram.h"
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

void ReceivePath::setSetDatagramClaim(SetDatagramClaim claim)
{
    m_setDatagramClaim = std::move(claim);
}

void ReceivePath::ReceivePathRun()
{
    m_runQueued = false;
    if (std::optional<ReceivedDatagram> datagram =
            m_endpoints.readDatagram(m_endpoints.setSocket())) {
        if (!m_setDatagramClaim || !m_setDatagramClaim(*datagram)) {
            runSetPath(*datagram);
        }
    } else if ((datagram = m_endpoints.readDatagram(m_endpoints.searchSocket()))) {
        runSearchPath(std::move(datagram->bytes), datagram->sender.toString());
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

void ReceivePath::runSetPath(const ReceivedDatagram &datagram)
{
    if (!m_exchange.mayAnswer(datagram.sender)) {
        // Said only while an answer is awaited: otherwise it would be dropped anyway, and
        // a flood of strangers would fill the traffic log twice over.
        if (m_exchange.awaitsAnswer()) {
            m_endpoints.reportSetAside(datagram);
        }
        return;
    }
    const std::string_view text = protocol::DatagramText(AsBytes(datagram.bytes));
    if (text.empty()) {
        return;
    }
    m_setBuffer.append(text);
    // Only one answer is handed on per datagram; later candidates wait for the next.
    const std::optional<std::string> answer =
        protocol::TakeAnswer(m_setBuffer, protocol::LaterFrames::StayForNextSend,
                             [this](std::string_view payload) { return m_exchange.takesAnswer(payload); });
    if (answer) {
        m_exchange.dispatchAnswer(*answer);
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

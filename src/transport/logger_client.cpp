// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_client.h"

#include "protocol/datagram.h"
#include "protocol/frame.h"
#include "protocol/frame_verdicts.h"

#include <QPointer>
#include <QUdpSocket>

#include <utility>
#include <vector>

namespace {

std::string_view AsBytes(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

bool IsOpen(const QUdpSocket &socket)
{
    return socket.state() == QAbstractSocket::BoundState;
}

// A probe the system refused, in words that name the cause it gave, not a guess.
LoggerError ProbeNotSent(const SendFailure &failure)
{
    QString cause;
    switch (failure.cause) {
    case SendFailure::Cause::PortInUse:
        cause = QStringLiteral("the search port is not open: another program holds UDP port %1")
                    .arg(failure.localPort);
        break;
    case SendFailure::Cause::PortNotOpen:
        cause = QStringLiteral("the search port is not open: %1").arg(failure.reason);
        break;
    case SendFailure::Cause::NoRoute:
        cause = QStringLiteral("no route to %1 (%2)").arg(failure.peer.toString(), failure.reason);
        break;
    case SendFailure::Cause::Transient:
    case SendFailure::Cause::Refused:
        cause = QStringLiteral("the system refused to send to %1: %2")
                    .arg(failure.peer.toString(), failure.reason);
        break;
    }
    return {LoggerError::Kind::SendFailed, cause,
            failure.cause == SendFailure::Cause::Transient};
}

} // namespace

LoggerClient::LoggerClient(UdpEndpoints &endpoints, QObject *parent)
    : QObject(parent), m_endpoints(endpoints)
{
    m_standing.standing = true;
    connect(&m_endpoints.setSocket(), &QUdpSocket::readyRead, this, &LoggerClient::readRun);
    connect(&m_endpoints.searchSocket(), &QUdpSocket::readyRead, this, &LoggerClient::readRun);
}

LoggerClient::~LoggerClient()
{
    qDeleteAll(findChildren<LoggerReply *>(Qt::FindDirectChildrenOnly));
}

void LoggerClient::attach(const QHostAddress &logger)
{
    Peer &peer = m_peers[logger.toIPv4Address()];
    if (m_standingAnswerDue && logger == m_standingLogger) {
        peer.holdNext = true;
        m_standingAnswerDue = false;
    }
}

void LoggerClient::detach(const QHostAddress &logger)
{
    const auto peer = m_peers.find(logger.toIPv4Address());
    if (peer == m_peers.end()) {
        return;
    }
    if (LoggerReply *reply = peer->second.reply) {
        reply->abandon();
    }
    m_peers.erase(peer);
}

void LoggerClient::moveAttachment(const QHostAddress &from, const QHostAddress &to)
{
    const auto peer = m_peers.find(from.toIPv4Address());
    const bool holdNext = peer != m_peers.end() && peer->second.holdNext;
    detach(from);
    m_peers[to.toIPv4Address()].holdNext = holdNext;
}

LoggerReply *LoggerClient::send(const protocol::Request &request, const QHostAddress &logger,
                                const RequestPolicy &policy, protocol::AnswerWanted fits)
{
    auto *reply = new LoggerReply(*this, logger, request, std::move(fits), policy);
    bool holdBack = false;
    if (const auto peer = m_peers.find(logger.toIPv4Address()); peer != m_peers.end()) {
        holdBack = std::exchange(peer->second.holdNext, false);
    }
    reply->start(holdBack);
    return reply;
}

LoggerReply *LoggerClient::probe(const QHostAddress &host, const RequestPolicy &policy)
{
    auto *reply = new LoggerReply(*this, host, std::nullopt, {}, policy);
    m_probes.push_back(reply);
    reply->start(false);
    return reply;
}

std::optional<LoggerError> LoggerClient::sendProbe(const QHostAddress &host)
{
    if (const std::optional<SendFailure> failure = m_endpoints.sendProbe(host)) {
        return ProbeNotSent(*failure);
    }
    return std::nullopt;
}

std::optional<SendFailure> LoggerClient::transmit(LoggerReply &reply)
{
    const QHostAddress &logger = reply.logger();
    if (!reply.m_request) {
        return m_endpoints.sendProbe(logger);
    }
    if (const auto peer = m_peers.find(logger.toIPv4Address()); peer != m_peers.end()) {
        discardLeftOvers(peer->second.buffer, logger);
        peer->second.awaited = reply.m_fits ? reply.m_fits
                                            : protocol::AnswerWanted(
                                                  [](std::string_view) { return true; });
        peer->second.reply = &reply;
    }
    return sendFrame(logger, *reply.m_request);
}

void LoggerClient::forget(const LoggerReply &reply)
{
    std::erase(m_probes, &reply);
    if (const auto peer = m_peers.find(reply.logger().toIPv4Address());
        peer != m_peers.end() && peer->second.reply == &reply) {
        peer->second.reply = nullptr;
        peer->second.awaited = {};
    }
}

void LoggerClient::giveUp(const QHostAddress &logger)
{
    if (const auto peer = m_peers.find(logger.toIPv4Address()); peer != m_peers.end()) {
        peer->second.awaited = {};
        peer->second.holdNext = true;
    }
}

int LoggerClient::badCrcFrames(const QHostAddress &logger) const
{
    const auto peer = m_peers.find(logger.toIPv4Address());
    return peer == m_peers.end() ? 0 : peer->second.badCrcFrames;
}

int LoggerClient::setAsideAnswers(const QHostAddress &logger) const
{
    const auto peer = m_peers.find(logger.toIPv4Address());
    return peer == m_peers.end() ? 0 : peer->second.setAsideAnswers;
}

void LoggerClient::setStandingReceiver(AnswerSink sink, protocol::AnswerWanted wanted,
                                       std::function<bool()> awaits)
{
    m_standing.sink = std::move(sink);
    m_standing.awaited = std::move(wanted);
    m_standingAwaits = std::move(awaits);
}

std::optional<LoggerError> LoggerClient::sendStanding(const QHostAddress &logger,
                                                      const protocol::Request &request)
{
    const QHostAddress &heard =
        m_standingLogger.isNull() ? m_standingBufferSender : m_standingLogger;
    discardLeftOvers(m_standing.buffer, heard);
    if (logger != heard) {
        // Another sender's buffer: the end of a frame it began would come from it alone.
        m_standing.buffer = protocol::ReceiveBuffer();
    }
    m_standingLogger = logger;
    const std::optional<SendFailure> failure = sendFrame(logger, request);
    m_standingAnswerDue = !failure;
    if (failure) {
        return LoggerError{LoggerError::Kind::SendFailed, failure->reason};
    }
    return std::nullopt;
}

std::optional<SendFailure> LoggerClient::sendFrame(const QHostAddress &logger,
                                                   const protocol::Request &request)
{
    const std::string frame = protocol::BuildFrame(request.payload);
    return m_endpoints.sendToLogger(QByteArray(frame.data(), static_cast<qsizetype>(frame.size())),
                                    logger);
}

void LoggerClient::discardLeftOvers(protocol::ReceiveBuffer &buffer, const QHostAddress &sender)
{
    for (const std::string &frame : buffer.discardCompleteCandidates()) {
        reportLeftOver(frame, sender);
    }
}

void LoggerClient::reportLeftOver(const std::string &frame, const QHostAddress &sender)
{
    m_endpoints.reportLeftOverDiscarded(
        QByteArray(frame.data(), static_cast<qsizetype>(frame.size())), sender);
}

void LoggerClient::readRun()
{
    m_runQueued = false;
    // The window reads one datagram a run: an answer handler may open a modal box, whose
    // loop runs the path again. Without it, a run takes every datagram waiting.
    if (readOne() && !m_standing.sink) {
        while (readOne()) {
        }
    }
    queueRunIfDatagramsWait();
}

bool LoggerClient::readOne()
{
    QUdpSocket &setSocket = m_endpoints.setSocket();
    QUdpSocket &searchSocket = m_endpoints.searchSocket();
    std::optional<ReceivedDatagram> datagram;
    if (IsOpen(setSocket) && (datagram = m_endpoints.readDatagram(setSocket))) {
        takeSetDatagram(*datagram);
        return true;
    }
    if (IsOpen(searchSocket) && (datagram = m_endpoints.readDatagram(searchSocket))) {
        takeDiscoveryDatagram(std::move(*datagram));
        return true;
    }
    return false;
}

void LoggerClient::queueRunIfDatagramsWait()
{
    // A socket's read notification is re-armed only when that socket is read. One run
    // reads a single datagram, so whatever still waits gets a run of its own.
    if (m_runQueued) {
        return;
    }
    const auto waits = [](QUdpSocket &socket) {
        return IsOpen(socket) && socket.hasPendingDatagrams();
    };
    if (waits(m_endpoints.setSocket()) || waits(m_endpoints.searchSocket())) {
        m_runQueued = true;
        QMetaObject::invokeMethod(this, &LoggerClient::readRun, Qt::QueuedConnection);
    }
}

void LoggerClient::takeSetDatagram(const ReceivedDatagram &datagram)
{
    if (const auto peer = m_peers.find(datagram.sender.toIPv4Address()); peer != m_peers.end()) {
        takeAnswer(peer->second, datagram);
        return;
    }
    if ((m_claim && m_claim(datagram)) || !m_standing.sink) {
        return;
    }
    if (!m_standingLogger.isNull() && datagram.sender != m_standingLogger) {
        // Said only while an answer is awaited: otherwise it would be dropped anyway, and
        // a flood of strangers would fill the traffic log twice over.
        if (m_standingAwaits && m_standingAwaits()) {
            m_endpoints.reportSetAside(datagram);
        }
        return;
    }
    if (m_standingLogger.isNull() && datagram.sender != m_standingBufferSender) {
        // Before the first send anyone may answer, but one sender's bytes never join
        // another's: one buffer is kept, for the latest sender.
        discardLeftOvers(m_standing.buffer, m_standingBufferSender);
        m_standing.buffer = protocol::ReceiveBuffer();
        m_standingBufferSender = datagram.sender;
    }
    takeAnswer(m_standing, datagram);
}

void LoggerClient::takeAnswer(Peer &peer, const ReceivedDatagram &datagram)
{
    const std::string_view text = protocol::DatagramText(AsBytes(datagram.bytes));
    if (text.empty()) {
        return;
    }
    for (const protocol::DatagramPiece &piece : protocol::InspectDatagram(text)) {
        peer.badCrcFrames += piece.verdict == protocol::PieceVerdict::CrcBad ? 1 : 0;
    }
    peer.buffer.append(text);
    std::vector<std::string> setAside;
    // The standing receiver's later frames wait in the buffer, one answer a datagram; an
    // attached logger's go once its answer is taken, shown as discarded.
    const std::optional<std::string> answer = protocol::TakeAnswer(
        peer.buffer,
        peer.standing ? protocol::LaterFrames::StayForNextSend : protocol::LaterFrames::DroppedNow,
        [&](std::string_view payload) {
            // The logger asked has answered, whether the receiver takes the answer or not.
            m_standingAnswerDue = m_standingAnswerDue && !peer.standing;
            if (peer.awaited && peer.awaited(payload)) {
                return true;
            }
            if (!peer.standing) {
                setAside.emplace_back(payload);
            }
            return false;
        },
        [this, &datagram](const std::string &frame) { reportLeftOver(frame, datagram.sender); });
    // Copied first: the receivers of what follows may detach this peer or send the next
    // request.
    const AnswerSink sink = peer.sink;
    const QPointer<LoggerReply> reply = peer.reply;
    if (answer && !peer.standing) {
        peer.awaited = {};
    }
    peer.setAsideAnswers += static_cast<int>(setAside.size());
    for (const std::string &payload : setAside) {
        emit answerSetAside(datagram.sender, payload);
    }
    if (answer && sink) {
        sink(*answer);
    }
    if (answer && reply) {
        reply->answered(*answer);
    }
}

void LoggerClient::takeDiscoveryDatagram(ReceivedDatagram datagram)
{
    QByteArray &bytes = datagram.bytes;
    protocol::BlankDiscoveryFillers(bytes.data(), static_cast<std::size_t>(bytes.size()));
    m_searchBuffer.append(AsBytes(bytes));
    if (!m_searchBuffer.holdsEscAndEnq()) {
        return;
    }
    // Every candidate is handed on: whoever listens decides which answers it takes (a
    // range search listens while other commands run).
    while (const auto candidate = m_searchBuffer.cutNextCandidate()) {
        emit discoveryAnswered(*candidate, datagram.sender);
        // Copied: a probe's reply leaves the list as it finishes.
        std::vector<QPointer<LoggerReply>> probes(m_probes.begin(), m_probes.end());
        for (const QPointer<LoggerReply> &probe : probes) {
            if (probe && probe->logger().toIPv4Address() == datagram.sender.toIPv4Address()) {
                probe->answered(*candidate);
            }
        }
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_error.h"
#include "logger_reply.h"
#include "protocol/answer_taking.h"
#include "protocol/receive_buffer.h"
#include "protocol/request.h"
#include "udp_endpoints.h"

#include <QHostAddress>
#include <QObject>

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// The one client of the loggers over the two endpoints, for the window and the fleet
// alike. It reads the sockets (one datagram per run, the set socket first), keeps one
// receive buffer per sender it listens to, takes answers by one rule and sends.
//
// Answers are taken only from the logger asked, of the shape awaited; frames left over
// from earlier answers are discarded when the next request goes to that logger, and each
// is shown to the endpoints' observer (the traffic log, the trace). Two kinds of receiver
// listen:
//
// - attached loggers (the fleet): each request is a `LoggerReply`, carried out under its
//   timeout and retries; it awaits one answer, the first that fits it; every other answer
//   of that logger is set aside (`answerSetAside`), and the frames a datagram holds beyond
//   the answer are discarded at once.
// - the standing receiver (the window's exchange): its own rule decides every answer of
//   the last logger it sent to (of anyone before its first send), asked for or not, one
//   answer per datagram; later frames wait for that logger's next datagram or next send.
//   A datagram of another sender is set aside, and shown so while the receiver awaits an
//   answer.
//
// An attached logger is heard first; a claim (see setClaim) comes next.
class LoggerClient : public QObject
{
    Q_OBJECT

public:
    using AnswerSink = std::function<void(const std::string &payload)>;
    // Offered each set-socket datagram of a sender nobody attached; returns whether it
    // took it, which the standing receiver then never sees.
    using Claim = std::function<bool(const ReceivedDatagram &datagram)>;

    explicit LoggerClient(UdpEndpoints &endpoints, QObject *parent = nullptr);
    // Its replies go first: they deregister from it.
    ~LoggerClient() override;

    UdpEndpoints &endpoints() { return m_endpoints; }

    // Answers from this address go to the requests sent to it until it is detached. When
    // the standing receiver's last request went to this logger and no answer has come, the
    // logger's first request is held back one timeout, as after a request of its own that
    // went unanswered: the late answer is set aside, never taken for that request's.
    void attach(const QHostAddress &logger);
    void detach(const QHostAddress &logger);
    // Detaches `from` and attaches `to`, the same logger at its new address: when its last
    // request went unanswered, the next one is still held back, since the late answer may
    // come from the new address.
    void moveAttachment(const QHostAddress &from, const QHostAddress &to);

    // Sends the request to an attached logger under the policy: the logger's left-over
    // frames are discarded, one answer that `fits` (any answer when none is given) is
    // awaited, and the request is resent after each timeout up to the retries. When the
    // logger's last request went unanswered, the first try waits one timeout more. The
    // reply finishes with the answer, or with no answer, a bad CRC (only such answers
    // came), a send the system refused, or a second answer to the request.
    LoggerReply *send(const protocol::Request &request, const QHostAddress &logger,
                      const RequestPolicy &policy, protocol::AnswerWanted fits = {});
    // Sends the discovery probe to `host` under the policy, again after each timeout up to
    // the retries; the reply finishes with the first discovery answer from that host, or
    // with no answer.
    LoggerReply *probe(const QHostAddress &host, const RequestPolicy &policy);
    // Sends the discovery probe to `host` once, awaiting nothing: every answer on the
    // search port is handed on as `discoveryAnswered`. When the system refused it, a send
    // failure that names the cause ("no route to 203.0.113.10 (Network is unreachable)"),
    // transient when the same probe may pass a moment later.
    std::optional<LoggerError> sendProbe(const QHostAddress &host);

    // The standing receiver: `wanted` decides each answer, `awaits` says whether an
    // answer is awaited at all.
    void setStandingReceiver(AnswerSink sink, protocol::AnswerWanted wanted,
                             std::function<bool()> awaits);
    // Sends for the standing receiver, which hears this logger alone from now on. When the
    // system refused the send, a send failure in the system's words ("Network is
    // unreachable"): the receiver names the request in words of its own.
    std::optional<LoggerError> sendStanding(const QHostAddress &logger,
                                            const protocol::Request &request);
    // The logger the standing receiver last sent to; null before its first send.
    const QHostAddress &standingLogger() const { return m_standingLogger; }
    const protocol::ReceiveBuffer &standingBuffer() const { return m_standing.buffer; }
    void setClaim(Claim claim) { m_claim = std::move(claim); }

    const protocol::ReceiveBuffer &searchBuffer() const { return m_searchBuffer; }

public slots:
    // Reads one datagram, the set socket's first, and hands on what it holds (every one
    // waiting when there is no standing receiver); queues another run while either socket
    // still holds a datagram.
    void readRun();

signals:
    // One candidate of a discovery answer, as cut from the search socket's buffer.
    void discoveryAnswered(const std::string &candidate, const QHostAddress &sender);
    // An answer from an attached logger that was not taken: late, repeated, or not the
    // answer of the request it waits on.
    void answerSetAside(const QHostAddress &logger, const std::string &payload);

private:
    friend class LoggerReply;

    struct Peer {
        protocol::ReceiveBuffer buffer;
        AnswerSink sink;          // the standing receiver's
        LoggerReply *reply = nullptr; // an attached logger's request under way
        // Its last request went unanswered: the next one is held back one timeout.
        bool holdNext = false;
        // Attached loggers: the answer awaited, empty when none is. The standing
        // receiver: its rule for every answer.
        protocol::AnswerWanted awaited;
        bool standing = false;
        int badCrcFrames = 0;
        int setAsideAnswers = 0;
    };

    // Reads and hands on one datagram; false when neither socket held one.
    bool readOne();
    void takeSetDatagram(const ReceivedDatagram &datagram);
    void takeAnswer(Peer &peer, const ReceivedDatagram &datagram);
    void takeDiscoveryDatagram(ReceivedDatagram datagram);
    // Drops the buffer's whole frames, each shown as left over by `sender`.
    void discardLeftOvers(protocol::ReceiveBuffer &buffer, const QHostAddress &sender);
    void reportLeftOver(const std::string &frame, const QHostAddress &sender);
    std::optional<SendFailure> sendFrame(const QHostAddress &logger,
                                         const protocol::Request &request);
    void queueRunIfDatagramsWait();
    // For the replies: sends a reply's request or probe (one try).
    std::optional<SendFailure> transmit(LoggerReply &reply);
    // The reply no longer awaits anything.
    void forget(const LoggerReply &reply);
    // The logger's request went unanswered: no answer is taken from it until its next
    // request, which is held back one timeout.
    void giveUp(const QHostAddress &logger);
    // Frames with a bad CRC, and answers set aside, of an attached logger since it was
    // attached.
    int badCrcFrames(const QHostAddress &logger) const;
    int setAsideAnswers(const QHostAddress &logger) const;

    UdpEndpoints &m_endpoints;
    std::unordered_map<quint32, Peer> m_peers;
    Peer m_standing;
    std::function<bool()> m_standingAwaits;
    QHostAddress m_standingLogger;
    // The standing receiver's last request went out and no answer of its logger has come.
    bool m_standingAnswerDue = false;
    // Before the standing receiver's first send: the sender whose bytes its buffer holds.
    QHostAddress m_standingBufferSender;
    Claim m_claim;
    protocol::ReceiveBuffer m_searchBuffer;
    std::vector<LoggerReply *> m_probes; // under way
    bool m_runQueued = false;
};

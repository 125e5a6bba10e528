// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// The one client of the loggers over the two endpoints, for the window and the fleet
// alike. It reads the sockets (one datagram per run, the set socket first), keeps one
// receive buffer per sender it listens to, takes answers by one rule and sends.
//
// Answers are taken only from the logger asked, of the shape awaited; frames left over
// from earlier answers are discarded when the next request goes to that logger, and each
// is shown to the endpoints' observer (the traffic log, the trace). Two kinds of receiver
// listen:
//
// - attached loggers (the fleet): each request awaits one answer, the first that fits
//   it; every other answer of that logger is set aside (`answerSetAside`), and the frames
//   a datagram holds beyond the answer are discarded at once.
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

    UdpEndpoints &endpoints() { return m_endpoints; }

    // Answers from this address go to the sink until it is detached.
    void attach(const QHostAddress &logger, AnswerSink sink);
    void detach(const QHostAddress &logger);
    // Discards the logger's left-over frames, awaits one answer that `fits` (any answer
    // when none is given) and sends the request. What the system said when it did not
    // send it.
    std::optional<SendFailure> send(const QHostAddress &logger, const protocol::Request &request,
                                    protocol::AnswerWanted fits = {});
    // Takes no answer from this logger until its next request: a request given up on may
    // still be answered late, and that answer belongs to nothing.
    void stopAwaiting(const QHostAddress &logger);
    // Frames with a bad CRC, and answers set aside, of an attached logger since it was
    // attached.
    int badCrcFrames(const QHostAddress &logger) const;
    int setAsideAnswers(const QHostAddress &logger) const;

    // The standing receiver: `wanted` decides each answer, `awaits` says whether an
    // answer is awaited at all.
    void setStandingReceiver(AnswerSink sink, protocol::AnswerWanted wanted,
                             std::function<bool()> awaits);
    // Sends for the standing receiver, which hears this logger alone from now on.
    std::optional<SendFailure> sendStanding(const QHostAddress &logger,
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
    struct Peer {
        protocol::ReceiveBuffer buffer;
        AnswerSink sink;
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

    UdpEndpoints &m_endpoints;
    std::unordered_map<quint32, Peer> m_peers;
    Peer m_standing;
    std::function<bool()> m_standingAwaits;
    QHostAddress m_standingLogger;
    // Before the standing receiver's first send: the sender whose bytes its buffer holds.
    QHostAddress m_standingBufferSender;
    Claim m_claim;
    protocol::ReceiveBuffer m_searchBuffer;
    bool m_runQueued = false;
};

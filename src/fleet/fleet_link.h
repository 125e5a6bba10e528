// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/answer_taking.h"
#include "protocol/request.h"
#include "refusal.h"
#include "transport/logger_client.h"
#include "transport/settings.h"
#include "transport/udp_endpoints.h"

#include <QHostAddress>
#include <QObject>

#include <memory>
#include <optional>

namespace fleet {

// The two sockets shared by every logger of a run, through the one client of the loggers:
// requests go out on the set socket and each answer is handed to the logger it came from,
// matched by sender address; probes and their answers use the search socket. Every
// datagram crosses the endpoints, so an observer attached to them (the traffic log, the
// trace) sees the fleet's traffic too.
class FleetLink : public QObject
{
    Q_OBJECT

public:
    using AnswerSink = LoggerClient::AnswerSink;

    // Over sockets of its own, which its own client reads.
    explicit FleetLink(const NetworkSettings &settings, QObject *parent = nullptr);
    // Over the client of sockets another part already opened (the window's): no second
    // socket, no second port, and the window's own answers still reach the window.
    explicit FleetLink(LoggerClient &sharedClient, QObject *parent = nullptr);

    // Open the set socket, and the search socket for probes: only a run that probes needs
    // it, and its port is one that may need a privilege; once open, it stays open. The
    // refusal names the port, the address and why (in use, or not permitted).
    std::optional<Refusal> openCommandPort();
    std::optional<Refusal> openSearchPort();

    UdpEndpoints &endpoints() { return m_client.endpoints(); }
    LoggerClient &client() { return m_client; }

    // Answers from this address go to the sink until it is detached; answers from an
    // address nobody attached are not the fleet's.
    void attach(const QHostAddress &logger, AnswerSink sink)
    {
        m_client.attach(logger, std::move(sink));
    }
    void detach(const QHostAddress &logger) { m_client.detach(logger); }

    // Frames left over in that logger's buffer from earlier answers are discarded first:
    // they can no longer answer anything. One answer is taken for the request, the first
    // that `fits` (any answer when none is given); every other answer is set aside.
    // What the system said when it did not send the request.
    std::optional<SendFailure> sendRequest(const QHostAddress &logger,
                                           const protocol::Request &request,
                                           protocol::AnswerWanted fits = {})
    {
        return m_client.send(logger, request, std::move(fits));
    }
    // How many frames with a bad CRC that logger has sent while attached, so that a request
    // that got only such answers is told from one that got none.
    int badCrcFrames(const QHostAddress &logger) const { return m_client.badCrcFrames(logger); }
    // How many answers of that logger have been set aside while it was attached: one that
    // comes right behind the answer taken is a second answer to the same request.
    int setAsideAnswers(const QHostAddress &logger) const
    {
        return m_client.setAsideAnswers(logger);
    }
    // Takes no answer from this logger until its next request: a request given up on
    // may still be answered late, and that answer belongs to nothing.
    void stopAwaiting(const QHostAddress &logger) { m_client.stopAwaiting(logger); }
    // What the system said when it did not send the probe.
    std::optional<SendFailure> sendProbe(const QHostAddress &host);

signals:
    // One candidate of a discovery answer, as cut from the search socket's buffer.
    void discoveryAnswered(const std::string &candidate, const QHostAddress &sender);
    // An answer from an attached logger that was not taken: late, repeated, or not the
    // answer of the request it waits on.
    void answerSetAside(const QHostAddress &logger, const std::string &payload);

private:
    void relayClientSignals();

    std::unique_ptr<UdpEndpoints> m_ownEndpoints; // none over a shared client
    std::unique_ptr<LoggerClient> m_ownClient;
    LoggerClient &m_client;
};

} // namespace fleet

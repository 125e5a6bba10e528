// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"
#include "protocol/answer_taking.h"
#include "protocol/request.h"
#include "transport/logger_client.h"
#include "transport/logger_reply.h"
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

    // Answers from this address go to the requests sent to it until it is detached;
    // answers from an address nobody attached are not the fleet's.
    void attach(const QHostAddress &logger) { m_client.attach(logger); }
    void detach(const QHostAddress &logger) { m_client.detach(logger); }
    // The same logger at its new address (see LoggerClient::moveAttachment).
    void moveAttachment(const QHostAddress &from, const QHostAddress &to)
    {
        m_client.moveAttachment(from, to);
    }

    // Sends the request to an attached logger under the policy (see LoggerClient::send):
    // frames left over in that logger's buffer from earlier answers are discarded first, as
    // they can no longer answer anything; one answer is taken for the request, the first
    // that `fits` (any answer when none is given); every other answer is set aside.
    LoggerReply *sendRequest(const QHostAddress &logger, const protocol::Request &request,
                             const RequestPolicy &policy, protocol::AnswerWanted fits = {})
    {
        return m_client.send(request, logger, policy, std::move(fits));
    }
    // Probes `host` under the policy; the reply holds the discovery answer from there.
    LoggerReply *probe(const QHostAddress &host, const RequestPolicy &policy);
    // Sends the probe once, through the client. A probe the system refused is shown to the
    // endpoints' observer and otherwise goes unanswered: an address being changed may have
    // no route yet.
    void sendProbe(const QHostAddress &host);

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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_error.h"
#include "protocol/answer_taking.h"
#include "protocol/request.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <optional>
#include <string>

class LoggerClient;

// How long to wait for an answer and how often to resend a request that got none.
struct RequestPolicy {
    int timeoutMs = 5000;
    int retries = 2;
};

// The fate of one request to one logger, or of one probe of an address, as the client
// carries it out under its policy: sent, resent after each timeout up to the retries, and
// finished once, with the answer or with the error that ended it. The client creates it;
// whoever asked deletes it (deleteLater) once it has finished or is of no more use.
//
// A request's answer is handed on only after a settle: after a resent request is answered,
// the answer to another try may still be on its way, and it must not be taken for the next
// request's; an answer that comes right behind the first is a second answer to the same
// request (a logger that repeats itself, or two at one address) and ends the reply as such.
class LoggerReply : public QObject
{
    Q_OBJECT

public:
    ~LoggerReply() override;

    const QHostAddress &logger() const { return m_logger; }
    bool isFinished() const { return m_state == State::Finished; }
    // Whether a try is under way or held back: neither answered nor given up on yet.
    bool awaitsAnswer() const { return m_state == State::HeldBack || m_state == State::Waiting; }
    // Once finished: the error that ended it, or nothing when it was answered.
    const std::optional<LoggerError> &error() const { return m_error; }
    // Once answered: the answer's payload (of a probe, the discovery answer).
    const std::string &answer() const { return m_answer; }

    // Sends no further try: the try under way may still be answered; when it is not, the
    // reply finishes as interrupted (as it does at once when a try was held back).
    void stopSending() { m_stopSending = true; }
    // Takes no more answers and stops every timer: the reply never finishes.
    void abandon();

signals:
    void finished();

private:
    friend class LoggerClient;
    // Closing: answered and settling, or failed and finishing at the next turn of the loop.
    enum class State { HeldBack, Waiting, Closing, Finished };

    // A request, or without one the discovery probe of `logger`.
    LoggerReply(LoggerClient &client, const QHostAddress &logger,
                std::optional<protocol::Request> request, protocol::AnswerWanted fits,
                const RequestPolicy &policy);

    // Held back for one timeout first when the logger's last request went unanswered, so
    // that its late answer arrives while nothing is awaited.
    void start(bool holdBack);
    void sendTry();
    void transmit();
    // An answer of the logger that fits the request, or a discovery answer from the host.
    void answered(const std::string &payload);
    void timedOut();
    void settled();
    void finish(std::optional<LoggerError> error);
    // "ER", or "the probe" of a probe.
    QString asked() const;

    LoggerClient *m_client;
    QHostAddress m_logger;
    std::optional<protocol::Request> m_request;
    protocol::AnswerWanted m_fits;
    RequestPolicy m_policy;
    State m_state = State::HeldBack;
    int m_triesSent = 0;
    bool m_stopSending = false;
    int m_badCrcBefore = 0;
    // The answers set aside before the answer taken: any more by the end of the settle
    // time are a second answer to the request.
    std::optional<int> m_setAsideBefore;
    QTimer m_timeout;
    QTimer m_holdBack;
    QTimer m_settle;
    QElapsedTimer m_roundTrip;
    std::string m_answer;
    std::optional<LoggerError> m_error;
};

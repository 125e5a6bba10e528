// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_error.h"
#include "logger_reply.h"
#include "protocol/answer_taking.h"
#include "protocol/request.h"
#include "settings.h"
#include "udp_endpoints.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

class LoggerClient;
class Notifier;

// What the exchange needs of the window: making it inert while an answer is awaited,
// making it usable again, and the logger the operator has selected.
class ExchangeWindow
{
public:
    virtual ~ExchangeWindow() = default;
    virtual void lockControls() = 0;
    virtual void unlockControls() = 0;
    // The address text of the selected logger row, or nothing without a selection.
    virtual std::optional<QString> selectedLoggerAddress() const = 0;
};

// One command at a time: the current command says what the next answer on the set
// socket means; tmr1 unlocks the window when no answer comes. The window's policy is one
// try and tmr1's time: a request is never resent, and tmr1 runs across a chain's requests.
//
// The current command is an answer step, not a wire code: the text of the code of the
// request that went out, or a name a command family gives a step of its own chain (a read
// that goes on to a write, a clear sent with another code) so that its handler knows what
// the answer stands for. Steps are registered and compared as text; requests always go
// out with a code of the protocol's table.
class CommandExchange : public QObject
{
    Q_OBJECT

public:
    using AnswerHandler = std::function<void(const std::string &payload)>;
    using AnswerStep = std::string;

    // The exchange is the client's standing receiver: it hears the logger it sent to last.
    CommandExchange(LoggerClient &client, ExchangeWindow &window, Notifier &notifier,
                    const Timing &timing, QObject *parent = nullptr);

    // Every command family registers the handler for each answer step it starts, with
    // the shape its answer has when the codec can tell it (an answer of another shape,
    // such as a late acknowledgement of an earlier write, is not this step's and is
    // dropped; the exchange goes on waiting).
    void registerAnswerHandler(const AnswerStep &step, AnswerHandler handler,
                               protocol::AnswerWanted fits = {});
    void registerAnswerHandler(protocol::CommandCode code, AnswerHandler handler,
                               protocol::AnswerWanted fits = {})
    {
        registerAnswerHandler(code.str(), std::move(handler), std::move(fits));
    }
    // The step the unlock routine runs when it finds an upstream-server code current.
    void setRetryStep(std::function<void()> retryStep);

    // The common send pattern, the answer going to the handler of the request's code.
    // Without a selected logger it shows the message and returns false, touching nothing
    // else.
    bool SendCommand(const protocol::Request &request);
    // The same with the answer going to the handler of a step of the family's own.
    bool SendCommand(const AnswerStep &step, const protocol::Request &request);
    bool hasSelectedLogger() const { return m_window.selectedLoggerAddress().has_value(); }
    // Without a selected logger, shows "Please choose a PV data logger first" and returns
    // false. Handlers whose own input checks come after the selection check call it first.
    bool requireSelectedLogger();
    // Frames the request and sends it to the selected logger (no lock, no timer, the
    // current command left as it is).
    void sendToSelectedLogger(const protocol::Request &request);
    // The same to a logger named by its address, for work that stays with one logger
    // whatever row is selected later.
    void sendToLogger(const QHostAddress &logger, const protocol::Request &request);

    // Whether the current command has a handler, so that an answer is awaited.
    bool awaitsAnswer() const { return m_answerHandlers.contains(m_currentCommand); }

    const AnswerStep &currentCommand() const { return m_currentCommand; }
    void setCurrentCommand(const AnswerStep &step) { m_currentCommand = step; }
    void setCurrentCommand(protocol::CommandCode code) { m_currentCommand = code.str(); }
    void clearCurrentCommand() { m_currentCommand.clear(); }

    // Whether the current command has a handler that takes this answer payload.
    bool takesAnswer(std::string_view payload) const;
    // Hands an answer payload to the handler of the current command. Returns false
    // (and drops the answer) when no handler is registered for it.
    bool dispatchAnswer(const std::string &payload);

    void lockWindow();
    // The unlock routine, also run by the tick of tmr1.
    void tmr1Timer();
    // Enabling a running tmr1 does not restart its interval.
    void enableTimeout();
    // Stops and starts tmr1, for chains that need a fresh interval.
    void restartTimeout();
    bool timeoutActive() const { return m_tmr1.isActive(); }
    // Milliseconds until tmr1 fires; -1 when it is not running.
    int timeoutRemainingMs() const { return m_tmr1.remainingTime(); }

    // The logger the last request went to: the one whose answer the exchange awaits. An
    // answer counts only from it (from anyone before the first request): a late answer of
    // another logger must never fill the form while this one is asked.
    const QHostAddress &askedLogger() const;
    // Whether the system refused to send the last request.
    bool lastSendFailed() const { return m_lastSendFailed; }

    Notifier &notifier() { return m_notifier; }
    const Timing &timing() const { return m_timing; }
    // No retries, tmr1's interval.
    const RequestPolicy &policy() const { return m_policy; }

signals:
    // An answer went to the handler of `step`; `logger` is the one that was asked.
    void answerTaken(const std::string &step, const QHostAddress &logger);
    // The request of `step` to `logger` came to nothing:
    // - a send failure, in the system's words: the system refused to send it (told once
    //   the sender's handler has returned); the exchange ends in its timeout as before,
    //   with nothing asked;
    // - no answer: tmr1 fired with `step` current, told before the unlock routine runs.
    void failed(const std::string &step, const QHostAddress &logger, const LoggerError &error);

private:
    LoggerClient &m_client;
    ExchangeWindow &m_window;
    Notifier &m_notifier;
    Timing m_timing;
    RequestPolicy m_policy;
    QTimer m_tmr1;
    AnswerStep m_currentCommand;
    bool m_lastSendFailed = false;
    struct AnswerTaker {
        AnswerHandler handle;
        protocol::AnswerWanted fits; // empty: any answer
    };
    std::map<AnswerStep, AnswerTaker> m_answerHandlers;
    std::function<void()> m_retryStep;
};

#pragma once

#include "settings.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <optional>
#include <string>

class Notifier;
class UdpEndpoints;

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
// socket means; tmr1 unlocks the window when no answer comes.
class CommandExchange : public QObject
{
    Q_OBJECT

public:
    using AnswerHandler = std::function<void(const std::string &payload)>;

    CommandExchange(UdpEndpoints &endpoints, ExchangeWindow &window, Notifier &notifier,
                    const Timing &timing, QObject *parent = nullptr);

    // Every command family registers the handler for each command code it sends.
    void registerAnswerHandler(const std::string &code, AnswerHandler handler);
    // The step the unlock routine runs when it finds an upstream-server code current.
    void setRetryStep(std::function<void()> retryStep);

    // The common send pattern. Without a selected logger it shows the message and
    // returns false, touching nothing else.
    bool SendCommand(const std::string &code, const std::string &payload);
    bool hasSelectedLogger() const { return m_window.selectedLoggerAddress().has_value(); }
    // Without a selected logger, shows "Please choose a PV data logger first" and returns
    // false. Handlers whose own input checks come after the selection check call it first.
    bool requireSelectedLogger();
    // Frames the payload and sends it to the selected logger (no lock, no timer).
    void sendToSelectedLogger(const std::string &payload);
    // The same to a logger named by its address, for work that stays with one logger
    // whatever row is selected later.
    void sendToLogger(const QHostAddress &logger, const std::string &payload);

    const std::string &currentCommand() const { return m_currentCommand; }
    void setCurrentCommand(const std::string &code) { m_currentCommand = code; }
    void clearCurrentCommand() { m_currentCommand.clear(); }

    // Whether the current command has a handler to take an answer.
    bool takesAnswers() const { return m_answerHandlers.contains(m_currentCommand); }
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

    Notifier &notifier() { return m_notifier; }
    const Timing &timing() const { return m_timing; }

signals:
    // A request is about to go to a logger: whatever earlier answers left unread can no
    // longer answer anything.
    void requestSending();

private:
    UdpEndpoints &m_endpoints;
    ExchangeWindow &m_window;
    Notifier &m_notifier;
    Timing m_timing;
    QTimer m_tmr1;
    std::string m_currentCommand;
    std::map<std::string, AnswerHandler> m_answerHandlers;
    std::function<void()> m_retryStep;
};

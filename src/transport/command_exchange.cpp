// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_exchange.h"

#include "logger_client.h"
#include "notifier.h"

#include <algorithm>
#include <array>

namespace {

// The upstream-server codes: current only while their write and read-back chain runs.
bool IsServerAddressStep(const std::string &step)
{
    using namespace protocol::command_codes;
    static constexpr std::array codes{kGprsServerWrite, kGprsServerRead, kEthernetServerWrite,
                                      kEthernetServerRead};
    return std::any_of(codes.begin(), codes.end(),
                       [&step](protocol::CommandCode code) { return code.text() == step; });
}

}  // namespace

CommandExchange::CommandExchange(LoggerClient &client, ExchangeWindow &window, Notifier &notifier,
                                 const Timing &timing, QObject *parent)
    : QObject(parent), m_client(client), m_window(window), m_notifier(notifier), m_timing(timing),
      m_policy{timing.commandTimeoutMs, 0}
{
    m_client.setStandingReceiver([this](const std::string &payload) { dispatchAnswer(payload); },
                                 [this](std::string_view payload) { return takesAnswer(payload); },
                                 [this] { return awaitsAnswer(); });
    m_tmr1.setObjectName(QStringLiteral("tmr1"));
    m_tmr1.setInterval(m_policy.timeoutMs);
    // A coarse timer may fire up to 5 % early: 4.75 s instead of 5 s.
    m_tmr1.setTimerType(Qt::PreciseTimer);
    connect(&m_tmr1, &QTimer::timeout, this, [this] {
        emit failed(m_currentCommand, askedLogger(),
                    LoggerError{LoggerError::Kind::NoAnswer,
                                QStringLiteral("no answer within %1 ms").arg(m_policy.timeoutMs)});
        tmr1Timer();
    });
}

void CommandExchange::registerAnswerHandler(const AnswerStep &step, AnswerHandler handler,
                                            protocol::AnswerWanted fits)
{
    m_answerHandlers[step] = {std::move(handler), std::move(fits)};
}

bool CommandExchange::takesAnswer(std::string_view payload) const
{
    const auto taker = m_answerHandlers.find(m_currentCommand);
    return taker != m_answerHandlers.end() && (!taker->second.fits || taker->second.fits(payload));
}

void CommandExchange::setRetryStep(std::function<void()> retryStep)
{
    m_retryStep = std::move(retryStep);
}

bool CommandExchange::requireSelectedLogger()
{
    if (hasSelectedLogger()) {
        return true;
    }
    m_notifier.inform(QStringLiteral("Please choose a PV data logger first"));
    return false;
}

bool CommandExchange::SendCommand(const protocol::Request &request)
{
    return SendCommand(request.code.str(), request);
}

bool CommandExchange::SendCommand(const AnswerStep &step, const protocol::Request &request)
{
    if (!requireSelectedLogger()) {
        return false;
    }
    m_currentCommand = step;
    lockWindow();
    enableTimeout();
    sendToSelectedLogger(request);
    return true;
}

void CommandExchange::sendToSelectedLogger(const protocol::Request &request)
{
    const std::optional<QString> address = m_window.selectedLoggerAddress();
    QHostAddress logger;
    if (!address || !logger.setAddress(*address)) {
        return;  // nowhere to send: the exchange ends in its timeout
    }
    sendToLogger(logger, request);
}

void CommandExchange::sendToLogger(const QHostAddress &logger, const protocol::Request &request)
{
    const std::optional<LoggerError> error = m_client.sendStanding(logger, request);
    m_lastSendFailed = error.has_value();
    if (error) {
        // Told once the sender's handler has returned, as an answer would come: a chain
        // names its step only after its send.
        QMetaObject::invokeMethod(
            this, [this, logger, error = *error] { emit failed(m_currentCommand, logger, error); },
            Qt::QueuedConnection);
    }
}

const QHostAddress &CommandExchange::askedLogger() const
{
    return m_client.standingLogger();
}

bool CommandExchange::dispatchAnswer(const std::string &payload)
{
    const auto handler = m_answerHandlers.find(m_currentCommand);
    if (handler == m_answerHandlers.end()) {
        return false;
    }
    // Copied: a handler may register or replace handlers while it runs.
    const AnswerHandler run = handler->second.handle;
    // Taken before the handler, which may send a chain's next request.
    const AnswerStep step = m_currentCommand;
    const QHostAddress asked = askedLogger();
    RunGuarded(m_notifier, [&] { run(payload); });
    emit answerTaken(step, asked);
    return true;
}

void CommandExchange::lockWindow()
{
    m_window.lockControls();
}

void CommandExchange::tmr1Timer()
{
    m_window.unlockControls();
    m_tmr1.stop();
    if (IsServerAddressStep(m_currentCommand) && m_retryStep) {
        m_retryStep();
    }
}

void CommandExchange::enableTimeout()
{
    if (!m_tmr1.isActive()) {
        m_tmr1.start();
    }
}

void CommandExchange::restartTimeout()
{
    m_tmr1.stop();
    m_tmr1.start();
}

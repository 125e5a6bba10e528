// SPDX-License-Identifier: GPL-3.0-or-later
#include "signal_watch.h"

#include "transport/command_exchange.h"

SignalWatch::SignalWatch(CommandExchange &exchange, QObject *parent)
    : QObject(parent), m_exchange(exchange), m_clock(&QDateTime::currentDateTimeUtc)
{
    m_tick.setTimerType(Qt::PreciseTimer);
    m_tick.setInterval(kDefaultInterval);
    connect(&m_tick, &QTimer::timeout, this, &SignalWatch::takeReading);
    m_replyDeadline.setSingleShot(true);
    m_replyDeadline.setInterval(m_exchange.timing().commandTimeoutMs);
    connect(&m_replyDeadline, &QTimer::timeout, this, &SignalWatch::recordMissed);
    m_exchange.registerAnswerHandler(kAnswerStep,
                                     [this](const std::string &payload) { answer(payload); });
}

void SignalWatch::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void SignalWatch::start(const QHostAddress &logger)
{
    stop();
    m_logger = logger;
    m_history.clear();
    resume();
}

void SignalWatch::resume()
{
    if (isRunning()) {
        return;
    }
    m_exchange.lockWindow();
    m_tick.start();
    emit runningChanged(true);
    takeReading();
}

void SignalWatch::stop()
{
    if (!isRunning()) {
        return;
    }
    m_tick.stop();
    m_replyDeadline.stop();
    m_turns.drop();
    releaseCurrentCommand();
    m_exchange.tmr1Timer();
    emit runningChanged(false);
}

void SignalWatch::setInterval(std::chrono::milliseconds interval)
{
    m_tick.setInterval(interval);
}

void SignalWatch::takeReading()
{
    if (!m_turns.takeTurn(now())) {
        return; // its answer or its timeout comes first
    }
    m_exchange.setCurrentCommand(kAnswerStep);
    m_exchange.sendToLogger(m_logger, SignalWatchTurns::ReadingRequest());
    m_replyDeadline.start();
}

void SignalWatch::answer(const std::string &payload)
{
    m_replyDeadline.stop();
    releaseCurrentCommand();
    record(m_turns.answered(payload));
}

void SignalWatch::recordMissed()
{
    releaseCurrentCommand();
    record(m_turns.missed());
}

void SignalWatch::record(SignalSample sample)
{
    m_history.append(sample);
    emit sampleTaken(sample);
}

void SignalWatch::releaseCurrentCommand()
{
    if (m_exchange.currentCommand() == kAnswerStep) {
        m_exchange.clearCurrentCommand();
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signal_history.h"
#include "signal_watch_turns.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class CommandExchange;

// Reads one logger's signal quality again and again through the window's exchange, so
// that a technician turning an antenna sees the signal change. While the watch runs the
// form is locked as during a command. The watch takes its turns as SignalWatchTurns
// says, one request out at a time: a request without answer within the command timeout
// is a missed reading, and the watch goes on.
class SignalWatch : public QObject
{
    Q_OBJECT

public:
    // The answer step while a watch request is out. No button starts it, so the answer
    // reaches the watch, never the form's own Read of the signal quality.
    static constexpr char kAnswerStep[] = "IFW";
    static constexpr std::chrono::milliseconds kDefaultInterval{1000};

    // The time of each reading, and the end of the span the window looks back over.
    using Clock = std::function<QDateTime()>;

    explicit SignalWatch(CommandExchange &exchange, QObject *parent = nullptr);

    // The system's clock unless replaced; tests hand in their own and set the time.
    void setClock(Clock clock);
    QDateTime now() const { return m_clock(); }

    // Starts a new watch of `logger`: the history is emptied, the form locked, and the
    // first request goes out at once.
    void start(const QHostAddress &logger);
    // Goes on watching the same logger after a stop, keeping the history.
    void resume();
    // Unlocks the form; an answer still on its way is dropped.
    void stop();
    bool isRunning() const { return m_tick.isActive(); }

    // Takes effect at once: the next reading is due one interval from now.
    void setInterval(std::chrono::milliseconds interval);
    std::chrono::milliseconds interval() const { return m_tick.intervalAsDuration(); }

    const QHostAddress &logger() const { return m_logger; }
    // How long a request waits for its answer before it counts as missed.
    int replyTimeoutMs() const { return m_replyDeadline.interval(); }
    const SignalHistory &history() const { return m_history; }

signals:
    void sampleTaken(const SignalSample &sample);
    void runningChanged(bool running);

private:
    void takeReading();
    void answer(const std::string &payload);
    void recordMissed();
    void record(SignalSample sample);
    // Clears the current command when it is still the watch's, so a late answer is dropped.
    void releaseCurrentCommand();

    CommandExchange &m_exchange;
    Clock m_clock;
    QTimer m_tick;
    QTimer m_replyDeadline;
    QHostAddress m_logger;
    SignalHistory m_history;
    SignalWatchTurns m_turns;
};

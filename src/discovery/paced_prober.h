// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "address_range.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <functional>

// Sends the search probe to every address of a range at a steady pace, from the event
// loop: each tick sends the probes that are due by then, so a large range neither
// floods the LAN (or the sending socket) nor blocks the loop.
class PacedProber : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultProbesPerSecond = 2000;
    static constexpr int kMinProbesPerSecond = 1;
    static constexpr int kMaxProbesPerSecond = 100000;
    // How often the due probes are sent. Short enough that a burst stays small (20
    // probes at the default pace), long enough to leave the loop time for answers.
    static constexpr int kTickMs = 10;

    using SendProbe = std::function<void(const QHostAddress &target)>;
    // What became of one probe: sent (or failed for good, which the sender counts), or
    // refused for a moment by the system, to be sent again.
    enum class ProbeSend { Done, TryAgain };
    // lastTry: the sender counts a refusal now as the probe's failure and returns Done.
    using TrySendProbe = std::function<ProbeSend(const QHostAddress &target, bool lastTry)>;
    // A probe the system refuses for a moment is tried this often in all, after a pause
    // that doubles from kFirstBackOffMs; each refusal halves the pace.
    static constexpr int kTransientTries = 6;
    static constexpr int kFirstBackOffMs = 10;
    // Milliseconds on a clock that never goes back. The pace is computed from it, not
    // from the number of ticks, so tests hand in a clock of their own and drive time.
    using MonotonicClock = std::function<qint64()>;

    explicit PacedProber(SendProbe send, QObject *parent = nullptr);
    PacedProber(SendProbe send, MonotonicClock clock, QObject *parent = nullptr);
    explicit PacedProber(TrySendProbe send, QObject *parent = nullptr);
    PacedProber(TrySendProbe send, MonotonicClock clock, QObject *parent = nullptr);

    // Starts probing the range, replacing any run in progress. The pace is clamped to
    // kMinProbesPerSecond..kMaxProbesPerSecond.
    void start(const discovery::AddressRange &range, int probesPerSecond);
    // Stops before the next probe; finished(false) follows when a run was in progress.
    void stop();

    bool isRunning() const { return m_timer.isActive(); }
    quint64 sent() const { return m_sent; }
    quint64 total() const { return m_range.size(); }
    int probesPerSecond() const { return m_probesPerSecond; }
    const discovery::AddressRange &range() const { return m_range; }

signals:
    void progressed(quint64 sent, quint64 total);
    // completed: every address was probed; false when stopped first.
    void finished(bool completed);

private:
    void sendDueProbes();
    // Sends the next probe; false when the system asked to wait (a retry is then due).
    bool sendNext(qint64 nowMs);
    // From now on the pace counts from the next probe, at the pace now set.
    void restartPace(qint64 nowMs);

    TrySendProbe m_send;
    MonotonicClock m_clock;
    QTimer m_timer;
    qint64 m_startedAtMs = 0;
    // Probes sent before the present pace began.
    quint64 m_sentBeforePace = 0;
    // The next probe's tries refused for a moment so far, and when it may go again.
    int m_refusedTries = 0;
    qint64 m_retryAtMs = 0;
    discovery::AddressRange m_range;
    int m_probesPerSecond = kDefaultProbesPerSecond;
    quint64 m_sent = 0;
};

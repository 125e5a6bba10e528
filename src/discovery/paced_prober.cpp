// SPDX-License-Identifier: GPL-3.0-or-later
#include "paced_prober.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <utility>

PacedProber::PacedProber(SendProbe send, QObject *parent)
    : PacedProber(
          std::move(send), [] { return QDeadlineTimer::current().deadline(); }, parent)
{
}

PacedProber::PacedProber(SendProbe send, MonotonicClock clock, QObject *parent)
    : PacedProber(
          [send = std::move(send)](const QHostAddress &target, bool) {
              send(target);
              return ProbeSend::Done;
          },
          std::move(clock), parent)
{
}

PacedProber::PacedProber(TrySendProbe send, QObject *parent)
    : PacedProber(
          std::move(send), [] { return QDeadlineTimer::current().deadline(); }, parent)
{
}

PacedProber::PacedProber(TrySendProbe send, MonotonicClock clock, QObject *parent)
    : QObject(parent), m_send(std::move(send)), m_clock(std::move(clock))
{
    m_timer.setInterval(kTickMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PacedProber::sendDueProbes);
}

void PacedProber::start(const discovery::AddressRange &range, int probesPerSecond)
{
    m_timer.stop();
    m_range = range;
    m_probesPerSecond = std::clamp(probesPerSecond, kMinProbesPerSecond, kMaxProbesPerSecond);
    m_sent = 0;
    m_refusedTries = 0;
    restartPace(m_clock());
    m_timer.start();
    sendDueProbes(); // the first probe leaves at once
}

void PacedProber::stop()
{
    if (!m_timer.isActive()) {
        return;
    }
    m_timer.stop();
    emit finished(false);
}

void PacedProber::restartPace(qint64 nowMs)
{
    m_startedAtMs = nowMs;
    m_sentBeforePace = m_sent;
}

bool PacedProber::sendNext(qint64 nowMs)
{
    const bool lastTry = m_refusedTries + 1 >= kTransientTries;
    if (m_send(m_range.at(m_sent), lastTry) == ProbeSend::TryAgain && !lastTry) {
        // The system's queue is full: wait, then go on more slowly.
        m_retryAtMs = nowMs + (qint64{kFirstBackOffMs} << m_refusedTries);
        ++m_refusedTries;
        m_probesPerSecond = std::max(m_probesPerSecond / 2, kMinProbesPerSecond);
        return false;
    }
    ++m_sent;
    if (std::exchange(m_refusedTries, 0) > 0) {
        restartPace(nowMs);
        // The probe just sent counts as the first of the new pace.
        --m_sentBeforePace;
    }
    return true;
}

void PacedProber::sendDueProbes()
{
    const qint64 nowMs = m_clock();
    if (m_refusedTries > 0 && nowMs < m_retryAtMs) {
        return;
    }
    // Due = everything the pace allows since it began, counting its first probe at 0 ms,
    // so a late tick catches up and the average pace holds.
    const quint64 allowed = m_sentBeforePace +
                            quint64(std::max<qint64>(nowMs - m_startedAtMs, 0)) *
                                quint64(m_probesPerSecond) / 1000 +
                            1;
    const quint64 due = std::min(m_refusedTries > 0 ? std::max(allowed, m_sent + 1) : allowed,
                                 m_range.size());
    if (due <= m_sent) {
        return;
    }
    const quint64 sentBefore = m_sent;
    while (m_sent < due) {
        // A probe sent after refusals begins a slower pace: the rest waits for it.
        const bool afterRefusals = m_refusedTries > 0;
        if (!sendNext(nowMs) || afterRefusals) {
            break;
        }
    }
    if (m_sent != sentBefore) {
        emit progressed(m_sent, m_range.size());
    }
    if (m_sent == m_range.size()) {
        m_timer.stop();
        emit finished(true);
    }
}

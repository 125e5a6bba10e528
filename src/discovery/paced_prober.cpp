#include "paced_prober.h"

#include <QDeadlineTimer>

#include <algorithm>

PacedProber::PacedProber(SendProbe send, QObject *parent)
    : PacedProber(
          std::move(send), [] { return QDeadlineTimer::current().deadline(); }, parent)
{
}

PacedProber::PacedProber(SendProbe send, MonotonicClock clock, QObject *parent)
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
    m_startedAtMs = m_clock();
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

void PacedProber::sendDueProbes()
{
    // Due = everything the pace allows since the start, counting the first probe at 0 s,
    // so a late tick catches up and the average pace holds.
    const quint64 allowed = quint64(std::max<qint64>(m_clock() - m_startedAtMs, 0)) * quint64(m_probesPerSecond) / 1000 + 1;
    const quint64 due = std::min(allowed, m_range.size());
    if (due <= m_sent) {
        return;
    }
    while (m_sent < due) {
        m_send(m_range.at(m_sent));
        ++m_sent;
    }
    emit progressed(m_sent, m_range.size());
    if (m_sent == m_range.size()) {
        m_timer.stop();
        emit finished(true);
    }
}

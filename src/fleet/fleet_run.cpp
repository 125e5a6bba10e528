#include "fleet_run.h"

#include <algorithm>

namespace fleet {

FleetRun::FleetRun(FleetLink &link, const ExchangePolicy &policy, int parallel, QObject *parent)
    : QObject(parent), m_link(link), m_policy(policy), m_parallel(std::max(1, parallel))
{
}

void FleetRun::start(std::vector<LoggerTarget> targets, JobPlan plan)
{
    m_targets = std::move(targets);
    m_plan = std::move(plan);
    m_outcomes.assign(m_targets.size(), {});
    m_nextTarget = 0;
    m_running = 0;
    m_progress = {0, 0, static_cast<int>(m_targets.size()), 0};
    m_clock.start();
    while (m_running < m_parallel && startNextJob()) {
    }
    if (m_targets.empty()) {
        QMetaObject::invokeMethod(this, &FleetRun::finished, Qt::QueuedConnection);
    }
}

bool FleetRun::startNextJob()
{
    if (m_nextTarget >= m_targets.size()) {
        return false;
    }
    const std::size_t index = m_nextTarget++;
    auto *job = new LoggerJob(m_link, m_targets[index], m_policy, this);
    m_plan(*job, m_targets[index]);
    ++m_running;
    connect(job, &LoggerJob::finished, this,
            [this, index](LoggerJob *finished) { recordFinishedJob(index, finished); });
    job->start();
    return true;
}

void FleetRun::recordFinishedJob(std::size_t index, LoggerJob *job)
{
    m_outcomes[index] = job->outcome();
    job->deleteLater();
    --m_running;
    ++m_progress.done;
    m_progress.failed += job->outcome().succeeded() ? 0 : 1;
    m_progress.elapsedMs = m_clock.elapsed();
    emit progressed(m_progress);
    // From the event loop, so that a job that finishes at once does not nest the next one
    // inside its own steps.
    if (m_progress.done == m_progress.total) {
        QMetaObject::invokeMethod(this, &FleetRun::finished, Qt::QueuedConnection);
    } else {
        QMetaObject::invokeMethod(
            this, [this] { startNextJob(); }, Qt::QueuedConnection);
    }
}

} // namespace fleet

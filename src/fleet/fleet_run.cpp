// SPDX-License-Identifier: GPL-3.0-or-later
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
    m_running.clear();
    m_active = true;
    m_progress = {0, 0, static_cast<int>(m_targets.size())};
    while (static_cast<int>(m_running.size()) < m_parallel && startNextJob()) {
    }
    if (m_targets.empty()) {
        finishRun();
    }
}

void FleetRun::stop()
{
    if (!m_active) {
        return;
    }
    m_nextTarget = m_targets.size();
    // Never called from inside a job's own step, so the jobs can go at once; with them go
    // their timers, and nothing of theirs is sent again.
    for (const auto &[index, job] : m_running) {
        delete job;
    }
    m_running.clear();
    finishRun();
}

void FleetRun::interrupt()
{
    if (!m_active) {
        return;
    }
    for (std::size_t index = m_nextTarget; index < m_targets.size(); ++index) {
        m_outcomes[index] = {m_targets[index].address, m_targets[index].serial,
                             LoggerError{LoggerError::Kind::Interrupted,
                                         QStringLiteral("interrupted before anything was sent")}};
        ++m_progress.done;
        ++m_progress.failed;
    }
    m_nextTarget = m_targets.size();
    // Copied: a job may finish at once and leave m_running.
    std::vector<LoggerJob *> running;
    for (const auto &[index, job] : m_running) {
        running.push_back(job);
    }
    for (LoggerJob *job : running) {
        job->interrupt();
    }
    if (m_running.empty() && m_active) {
        finishRun();
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
    m_running.emplace(index, job);
    connect(job, &LoggerJob::finished, this,
            [this, index](LoggerJob *finished) { recordFinishedJob(index, finished); });
    emit loggerStarted(index);
    job->start();
    return true;
}

void FleetRun::recordFinishedJob(std::size_t index, LoggerJob *job)
{
    m_outcomes[index] = job->outcome();
    m_running.erase(index);
    job->deleteLater();
    ++m_progress.done;
    m_progress.failed += job->outcome().succeeded() ? 0 : 1;
    emit loggerFinished(index);
    emit progressed(m_progress);
    // A caller may have stopped or interrupted the run from those signals, which finished
    // it already. The next job starts from the event loop, so that a job that finishes at
    // once does not nest the next one inside its own steps.
    if (!m_active) {
        return;
    }
    if (m_progress.done == m_progress.total) {
        finishRun();
    } else {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_active && static_cast<int>(m_running.size()) < m_parallel) {
                    startNextJob();
                }
            },
            Qt::QueuedConnection);
    }
}

void FleetRun::finishRun()
{
    m_active = false;
    QMetaObject::invokeMethod(this, &FleetRun::finished, Qt::QueuedConnection);
}

} // namespace fleet

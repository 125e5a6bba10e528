#include "fleet_run.h"

#include <QEventLoop>

#include <algorithm>

namespace fleet {

FleetRun::FleetRun(FleetLink &link, const ExchangePolicy &policy, int parallel, QObject *parent)
    : QObject(parent), m_link(link), m_policy(policy), m_parallel(std::max(1, parallel))
{
}

std::vector<LoggerOutcome> FleetRun::run(const std::vector<LoggerTarget> &targets,
                                         const JobPlan &plan)
{
    m_targets = &targets;
    m_plan = &plan;
    m_outcomes.assign(targets.size(), {});
    m_nextTarget = 0;
    m_running = 0;
    m_state = {0, 0, static_cast<int>(targets.size()), 0};
    m_clock.start();
    if (targets.empty()) {
        return {};
    }
    QEventLoop loop;
    m_allDone = [&loop] { loop.quit(); };
    while (m_running < m_parallel && startNext()) {
    }
    if (m_state.done < m_state.total) {
        loop.exec();
    }
    m_allDone = nullptr;
    m_targets = nullptr;
    m_plan = nullptr;
    return std::move(m_outcomes);
}

bool FleetRun::startNext()
{
    if (m_nextTarget >= m_targets->size()) {
        return false;
    }
    const std::size_t index = m_nextTarget++;
    const LoggerTarget &target = (*m_targets)[index];
    auto *job = new LoggerJob(m_link, target.address, m_policy, this);
    job->outcome().serial = target.serial;
    (*m_plan)(*job, target);
    ++m_running;
    job->start([this, index](LoggerJob &finished) {
        m_outcomes[index] = finished.outcome();
        finished.deleteLater();
        --m_running;
        ++m_state.done;
        m_state.failed += finished.outcome().succeeded() ? 0 : 1;
        m_state.elapsedMs = m_clock.elapsed();
        if (m_progress) {
            m_progress(m_state);
        }
        // Started from the event loop, so that a job that finishes at once does not
        // nest the next one inside its own steps.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_targets == nullptr) {
                    return; // the run has returned already
                }
                startNext();
                if (m_state.done == m_state.total && m_allDone) {
                    m_allDone();
                }
            },
            Qt::QueuedConnection);
    });
    return true;
}

} // namespace fleet

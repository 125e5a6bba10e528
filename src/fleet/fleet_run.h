#pragma once

#include "logger_job.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>

#include <functional>
#include <vector>

namespace fleet {

// A logger to work with: its address and, when a search or the caller knows it, its
// serial number.
struct LoggerTarget {
    QHostAddress address;
    QString serial;
    QString version;
};

// How far a run has come, for a progress line.
struct RunProgress {
    int done = 0;
    int failed = 0;
    int total = 0;
    qint64 elapsedMs = 0;
};

// Runs one job per logger, many loggers at once: at most `parallel` jobs are under way,
// and a finished one makes room for the next logger.
class FleetRun : public QObject
{
    Q_OBJECT

public:
    // Adds the steps of one logger's job.
    using JobPlan = std::function<void(LoggerJob &job, const LoggerTarget &target)>;
    using ProgressSink = std::function<void(const RunProgress &)>;

    FleetRun(FleetLink &link, const ExchangePolicy &policy, int parallel,
             QObject *parent = nullptr);

    void setProgressSink(ProgressSink sink) { m_progress = std::move(sink); }

    // Runs the jobs in a local event loop until all have finished; outcomes in the
    // order of the targets.
    std::vector<LoggerOutcome> run(const std::vector<LoggerTarget> &targets, const JobPlan &plan);

private:
    bool startNext();

    FleetLink &m_link;
    ExchangePolicy m_policy;
    int m_parallel;
    ProgressSink m_progress;
    const std::vector<LoggerTarget> *m_targets = nullptr;
    const JobPlan *m_plan = nullptr;
    std::vector<LoggerOutcome> m_outcomes;
    std::size_t m_nextTarget = 0;
    int m_running = 0;
    RunProgress m_state;
    QElapsedTimer m_clock;
    std::function<void()> m_allDone;
};

} // namespace fleet

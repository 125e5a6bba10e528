// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_job.h"

#include <QObject>

#include <functional>
#include <map>
#include <vector>

namespace fleet {

// How far a run has come, for a progress line.
struct RunProgress {
    int done = 0;
    int failed = 0;
    int total = 0;
};

// Runs one job per logger, many loggers at once, from whatever event loop runs: at most
// `parallel` jobs are under way, and a finished one makes room for the next logger.
class FleetRun : public QObject
{
    Q_OBJECT

public:
    // Adds the steps of one logger's job.
    using JobPlan = std::function<void(LoggerJob &job, const LoggerTarget &target)>;

    FleetRun(FleetLink &link, const ExchangePolicy &policy, int parallel,
             QObject *parent = nullptr);

    // Starts the jobs and returns; finished follows once every job has finished (queued,
    // also for no targets). One run at a time.
    void start(std::vector<LoggerTarget> targets, JobPlan plan);

    // Ends the run: no job starts any more, and the jobs under way end at once, so
    // nothing more is sent to any logger. Their loggers have no outcome (loggerFinished
    // was never emitted for them); finished follows (queued).
    void stop();
    // Ends the run once the requests already sent are answered or timed out: no job starts
    // any more, and the jobs under way send nothing more (LoggerJob::interrupt). Every
    // logger has its outcome; those not started fail as interrupted.
    void interrupt();
    bool running() const { return m_active; }

    // In the order of the targets; complete once finished has been emitted.
    const std::vector<LoggerOutcome> &outcomes() const { return m_outcomes; }

signals:
    // The index is the target's; its outcome stands in outcomes() from loggerFinished on.
    void loggerStarted(std::size_t index);
    void loggerFinished(std::size_t index);
    void progressed(const fleet::RunProgress &progress);
    void finished();

private:
    bool startNextJob();
    void recordFinishedJob(std::size_t index, LoggerJob *job);
    void finishRun();

    FleetLink &m_link;
    ExchangePolicy m_policy;
    int m_parallel;
    std::vector<LoggerTarget> m_targets;
    JobPlan m_plan;
    std::vector<LoggerOutcome> m_outcomes;
    std::size_t m_nextTarget = 0;
    // The jobs under way, by target index.
    std::map<std::size_t, LoggerJob *> m_running;
    bool m_active = false;
    RunProgress m_progress;
};

} // namespace fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli_app.h"
#include "console_output.h"
#include "fleet/fleet_link.h"
#include "fleet/fleet_run.h"
#include "fleet/logger_sweep.h"
#include "interruption.h"
#include "run_options.h"
#include "targets.h"

#include <QEventLoop>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace cli {

using fleet::AddressClash;

// One verb's run on the fleet: the sockets, the one event loop every step runs in, and
// the exit status it ends with. Steps are chained: each hands what it found to the next,
// and the last one finishes the run.
class Session
{
public:
    using Loggers = std::vector<fleet::LoggerTarget>;
    using Outcomes = std::vector<fleet::LoggerOutcome>;
    // A check of the loggers found before anything is sent to them.
    using LoggerCheck = std::function<std::optional<Refusal>(const Loggers &)>;

    enum class Serials { NotNeeded, Needed };

    Session(const QString &verbName, Console &console, const RunOptions &options);
    ~Session();

    // Prints the refusal; exit status 2, nothing sent.
    int refuse(const Refusal &refusal);

    // Opens the command socket (the trace attached). False after saying why: exit status 1.
    // The search socket is opened by the steps that probe (a search, and the serial
    // numbers of given loggers), so that a run on given loggers needs no search port.
    bool open();

    // The loggers of the area that answer the probe. Fewer than the area expects end the
    // run with exit status 1, saying what was probed and how many answered.
    void search(const SearchArea &area, std::function<void(Loggers)> next);
    // The loggers of the targets: those a search finds, or the addresses given, with
    // their serial numbers when needed.
    void findLoggers(const Targets &targets, Serials serials, std::function<void(Loggers)> next);
    // One job per logger, at most --parallel at once.
    void runJobs(Loggers loggers, fleet::FleetRun::JobPlan plan,
                 std::function<void(const Outcomes &)> next);

    // Finds the loggers, checks them, runs one job each and prints the outcomes with the
    // keys; the status once the loop ends.
    int runOnTargets(const Targets &targets, Serials serials, fleet::FleetRun::JobPlan plan,
                     const QStringList &keys, LoggerCheck check = {});

    // Prints the outcomes; the status of a run that ends with them.
    int printOutcomes(const Outcomes &outcomes, const QStringList &keys);
    // Ends the loop with this status.
    void finish(int status);
    // Runs the loop until a step finishes the run.
    int exec();

    Console &console() { return m_console; }
    fleet::FleetLink &link() { return m_link; }
    const RunOptions &options() const { return m_options; }

private:
    int startFailed(const QString &message);
    // Opens the search socket, or finishes the run saying why.
    bool openSearchPort();
    fleet::SweepPlan sweepPlan(const QHostAddress &ownAddress, int rounds) const;
    void sweep(const SweptRange &range, const SearchArea &area, std::function<void(Loggers)> next);
    int tooFewFound(const SweptRange &range, const SearchArea &area, std::size_t found);

    QString m_verbName;
    Console &m_console;
    RunOptions m_options;
    fleet::FleetLink m_link;
    std::unique_ptr<TracePrinter> m_trace;
    std::unique_ptr<fleet::LoggerSweep> m_sweep;
    std::unique_ptr<fleet::FleetRun> m_run;
    // On a terminal, while jobs run.
    std::unique_ptr<ProgressLine> m_progress;
    // While jobs run: an interrupt lets the requests under way end, sends nothing more,
    // and the report of what was done is printed.
    std::unique_ptr<Interruption> m_interruption;
    bool m_interrupted = false;
    QEventLoop m_loop;
    std::optional<int> m_status;
};

} // namespace cli

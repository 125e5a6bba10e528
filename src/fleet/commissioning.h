// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/address_range.h"
#include "fleet_run.h"
#include "ip_plan.h"
#include "logger_sweep.h"
#include "profile.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <list>
#include <map>
#include <memory>

namespace fleet {

// Where a plan row has got to.
enum class RowState { Waiting, Found, Writing, Done, Failed };

// "waiting", "found", "writing", "done", "failed".
const char *RowStateName(RowState state);

struct CommissionRow {
    RowState state = RowState::Waiting;
    QString address; // where it answered last, before any change
    QString now;     // where it answers after its address change
    QString why;     // of a failure, or why nothing was sent
    int attempts = 0;
};

// Why a commissioning ended.
enum class CommissionEnd {
    AllDone,      // every row done
    AttemptsUsed, // every row done or given up
    TimeUp,       // the time limit reached
    Interrupted,  // ended by its caller
};

struct CommissionSetup {
    Profile profile;
    IpPlan plan;
    discovery::AddressRange range;
    QHostAddress ownAddress; // an answer from here is the PC's own
    int intervalMs = 2000;   // from one round of probes to the next
    int waitMs = 1000;       // for answers after a round's last probe
    int attempts = 3;        // per logger, before it is given up
    int maxTimeMs = 0;       // after which the run ends; 0: no limit
    ExchangePolicy policy;
    int parallel = 64;
};

// Watches the network and commissions each logger of the plan as it answers: the profile
// as a difference, then its planned address, each written setting read back. A logger not
// in the plan is listed and never written; one that failed is tried again when it answers
// again, up to the attempts. Reports each change through its signals.
class Commissioning : public QObject
{
    Q_OBJECT

public:
    Commissioning(FleetLink &link, CommissionSetup setup, QObject *parent = nullptr);

    // Probes at once, then each interval, until ended follows.
    void start();
    // Sends nothing more: the jobs under way end, then ended follows with Interrupted.
    void interrupt();

    const CommissionSetup &setup() const { return m_setup; }
    // By serial number, one per plan row.
    const std::map<QString, CommissionRow> &rows() const { return m_rows; }
    // The loggers that answered and are not in the plan: serial -> address.
    const std::map<QString, QString> &notInPlan() const { return m_notInPlan; }

signals:
    // A plan row's state or address changed, or a logger not in the plan was listed.
    void rowChanged(const QString &serial);
    // One event of the run: the object a record keeps (secrets hidden) and its line.
    void event(const QJsonObject &recorded, const QString &line);
    // Once, after the jobs under way have ended; missing are the rows not done.
    void ended(fleet::CommissionEnd end, const QStringList &missing);

private:
    void sweep();
    void take(const std::vector<LoggerTarget> &found);
    void startJobs(std::vector<LoggerTarget> loggers);
    void jobFinished(const LoggerOutcome &outcome);
    void endIfSettled();
    void end(CommissionEnd end);
    void conclude();

    FleetLink &m_link;
    CommissionSetup m_setup;
    std::map<QString, CommissionRow> m_rows;
    std::map<QString, QString> m_notInPlan;
    std::unique_ptr<LoggerSweep> m_sweep;
    std::list<std::unique_ptr<FleetRun>> m_runs;
    QTimer m_cycle;
    QTimer m_maxTime;
    QElapsedTimer m_cycleClock;
    bool m_ending = false;
    CommissionEnd m_end = CommissionEnd::AllDone;
};

// A job's outcome as a record keeps it, secrets hidden: each setting with its status,
// the value before and after, and the error of a failed one.
QJsonObject RecordedSettings(const LoggerOutcome &outcome);

} // namespace fleet

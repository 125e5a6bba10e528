// SPDX-License-Identifier: GPL-3.0-or-later
#include "commissioning.h"

#include "discovery/pc_address.h"
#include "outcome_report.h"
#include "profile_apply.h"
#include "settings/catalogue.h"
#include "settings/cellular.h"

#include <algorithm>

namespace fleet {

const char *RowStateName(RowState state)
{
    switch (state) {
    case RowState::Waiting:
        return "waiting";
    case RowState::Found:
        return "found";
    case RowState::Writing:
        return "writing";
    case RowState::Done:
        return "done";
    case RowState::Failed:
        return "failed";
    }
    return "";
}

Commissioning::Commissioning(FleetLink &link, CommissionSetup setup, QObject *parent)
    : QObject(parent), m_link(link), m_setup(std::move(setup))
{
    for (const auto &[serial, planned] : m_setup.plan) {
        m_rows[serial] = {};
    }
    m_cycle.setSingleShot(true);
    connect(&m_cycle, &QTimer::timeout, this, &Commissioning::sweep);
    m_maxTime.setSingleShot(true);
    connect(&m_maxTime, &QTimer::timeout, this, [this] { end(CommissionEnd::TimeUp); });
}

void Commissioning::start()
{
    if (m_setup.maxTimeMs > 0) {
        m_maxTime.start(m_setup.maxTimeMs);
    }
    QMetaObject::invokeMethod(this, &Commissioning::sweep, Qt::QueuedConnection);
}

void Commissioning::interrupt()
{
    end(CommissionEnd::Interrupted);
}

// One round of probes, a new sweep each time: an address clash is judged within one round,
// and a logger that moved away leaves no trace.
void Commissioning::sweep()
{
    if (m_ending) {
        return;
    }
    m_cycleClock.start();
    SweepPlan plan;
    plan.waitMs = m_setup.waitMs;
    plan.rounds = 1;
    plan.ownAddress = m_setup.ownAddress;
    for (const discovery::LocalAdapter &adapter : discovery::LocalAdapters()) {
        plan.pcNetworks.append(adapter.network());
    }
    m_sweep = std::make_unique<LoggerSweep>(m_link, plan);
    connect(m_sweep.get(), &LoggerSweep::finished, m_sweep.get(), [this] {
        const std::vector<LoggerTarget> found = m_sweep->loggers();
        m_sweep->disconnect();
        m_sweep.release()->deleteLater();
        take(found);
        if (!m_ending) {
            m_cycle.start(static_cast<int>(
                std::max<qint64>(0, m_setup.intervalMs - m_cycleClock.elapsed())));
        }
    });
    m_sweep->sweep(m_setup.range);
}

// The loggers that answered this round: each planned one not done nor under way is worked
// on, unless its answer or its planned address is shared with another logger.
void Commissioning::take(const std::vector<LoggerTarget> &found)
{
    std::map<quint32, QString> serialAt;
    for (const LoggerTarget &logger : found) {
        serialAt[logger.address.toIPv4Address()] = logger.serial;
    }
    std::vector<LoggerTarget> batch;
    for (const LoggerTarget &logger : found) {
        const QString address = logger.address.toString();
        for (const QString &serial : {logger.serial, logger.clashingSerial}) {
            if (!serial.isEmpty() && !m_rows.contains(serial) && m_notInPlan[serial] != address) {
                m_notInPlan[serial] = address;
                emit rowChanged(serial);
                emit event({{"event", "not_in_plan"}, {"serial", serial}, {"address", address}},
                           QStringLiteral("%1 at %2: not in the plan, nothing written")
                               .arg(serial, address));
            }
        }
        if (!m_rows.contains(logger.serial)) {
            continue;
        }
        CommissionRow &row = m_rows[logger.serial];
        if (row.state == RowState::Done || row.state == RowState::Found ||
            row.state == RowState::Writing || row.attempts >= m_setup.attempts) {
            continue;
        }
        const PlannedIp &planned = m_setup.plan.at(logger.serial);
        QString why;
        if (!logger.clashingSerial.isEmpty()) {
            why = AddressClash(logger) + QStringLiteral("; nothing was sent there");
        } else if (const auto other = serialAt.find(planned.ip.address);
                   other != serialAt.end() && other->second != logger.serial) {
            why = QStringLiteral("line %1 gives it the address %2, where logger %3 answers "
                                 "now; nothing was written")
                      .arg(planned.line)
                      .arg(QHostAddress(planned.ip.address).toString(), other->second);
        }
        if (!why.isEmpty()) {
            if (row.why != why || row.state != RowState::Failed) {
                row.state = RowState::Failed;
                row.why = why;
                row.address = address;
                emit rowChanged(logger.serial);
                emit event({{"event", "held_back"}, {"serial", logger.serial},
                            {"address", address}, {"error", why}},
                           QStringLiteral("%1 at %2: %3").arg(logger.serial, address, why));
            }
            continue;
        }
        row.state = RowState::Found;
        row.address = address;
        emit rowChanged(logger.serial);
        emit event({{"event", "found"}, {"serial", logger.serial}, {"address", address}},
                   QStringLiteral("%1 found at %2").arg(logger.serial, address));
        batch.push_back(logger);
    }
    if (!batch.empty()) {
        startJobs(std::move(batch));
    }
    endIfSettled();
}

// One run per round's batch: each logger gets the apply's job, the profile's settings,
// then its planned address with its own probe and read-back.
void Commissioning::startJobs(std::vector<LoggerTarget> loggers)
{
    FleetRun *run =
        m_runs.emplace_back(std::make_unique<FleetRun>(m_link, m_setup.policy, m_setup.parallel))
            .get();
    connect(run, &FleetRun::loggerStarted, run, [this, loggers](std::size_t index) {
        const QString &serial = loggers[index].serial;
        CommissionRow &row = m_rows[serial];
        row.state = RowState::Writing;
        ++row.attempts;
        emit rowChanged(serial);
        emit event({{"event", "writing"},
                    {"serial", serial},
                    {"address", row.address},
                    {"attempt", row.attempts}},
                   QStringLiteral("%1 writing (attempt %2 of %3)")
                       .arg(serial)
                       .arg(row.attempts)
                       .arg(m_setup.attempts));
    });
    connect(run, &FleetRun::loggerFinished, run,
            [this, run](std::size_t index) { jobFinished(run->outcomes()[index]); });
    connect(run, &FleetRun::finished, run, [this, run] {
        // Loggers a stopped run never started go back to waiting for an answer.
        for (auto &[serial, row] : m_rows) {
            if (row.state == RowState::Found && m_ending) {
                row.state = RowState::Waiting;
                emit rowChanged(serial);
            }
        }
        run->disconnect();
        run->deleteLater();
        for (auto &held : m_runs) {
            if (held.get() == run) {
                held.release();
            }
        }
        m_runs.remove(nullptr);
        if (m_ending && m_runs.empty()) {
            conclude();
        }
    });
    const Profile &profile = m_setup.profile;
    const IpPlan &plan = m_setup.plan;
    run->start(std::move(loggers), [&profile, &plan](LoggerJob &job, const LoggerTarget &target) {
        for (const ProfileSetting &setting : profile.settings) {
            AddApplySteps(job, setting, ApplyMode::Write);
        }
        const SettingWrite &row = plan.at(target.serial).write;
        AddApplySteps(job, {row.setting, {row}, row.wanted, {}}, ApplyMode::Write);
    });
}

void Commissioning::jobFinished(const LoggerOutcome &outcome)
{
    CommissionRow &row = m_rows[outcome.serial];
    const IpSetting *ip = outcome.settings.get<IpSetting>(Setting::Ip);
    row.now = ip == nullptr || ip->answersAt.isEmpty() ? row.address : ip->answersAt;
    QJsonObject recorded{{"serial", outcome.serial},
                         {"attempt", row.attempts},
                         {"address_before", row.address},
                         {"address_after", row.now},
                         {"settings", RecordedSettings(outcome)}};
    QString line;
    if (outcome.succeeded()) {
        row.state = RowState::Done;
        row.why.clear();
        recorded.insert("event", "done");
        line = QStringLiteral("%1 done: %2 -> %3").arg(outcome.serial, row.address, row.now);
    } else {
        row.state = RowState::Failed;
        row.why = outcome.failure->message;
        recorded.insert("event", "failed");
        recorded.insert("error", row.why);
        const QString next = m_ending ? QStringLiteral("the run ends")
                             : row.attempts < m_setup.attempts
                                 ? QStringLiteral("tried again when it answers")
                                 : QStringLiteral("given up");
        line = QStringLiteral("%1 failed (attempt %2 of %3, %4): %5")
                   .arg(outcome.serial)
                   .arg(row.attempts)
                   .arg(m_setup.attempts)
                   .arg(next, row.why);
    }
    emit rowChanged(outcome.serial);
    emit event(recorded, line);
    endIfSettled();
}

// Every row done ends the run; so does every row done or given up, as nothing more can
// change then.
void Commissioning::endIfSettled()
{
    if (m_ending) {
        return;
    }
    bool allDone = true;
    for (const auto &[serial, row] : m_rows) {
        if (row.state != RowState::Done) {
            allDone = false;
            if (row.attempts < m_setup.attempts || row.state == RowState::Writing) {
                return;
            }
        }
    }
    end(allDone ? CommissionEnd::AllDone : CommissionEnd::AttemptsUsed);
}

// Sends nothing more: the runs under way are interrupted, and the run ends once they
// have finished.
void Commissioning::end(CommissionEnd end)
{
    if (m_ending) {
        return;
    }
    m_ending = true;
    m_end = end;
    m_cycle.stop();
    m_maxTime.stop();
    m_sweep.reset();
    if (m_runs.empty()) {
        conclude();
        return;
    }
    for (auto &run : m_runs) {
        run->interrupt();
    }
}

void Commissioning::conclude()
{
    QStringList missing;
    for (const auto &[serial, row] : m_rows) {
        if (row.state != RowState::Done) {
            missing.append(serial);
        }
    }
    emit ended(m_end, missing);
}

QJsonObject RecordedSettings(const LoggerOutcome &outcome)
{
    namespace status = apply_status;
    QJsonObject settings;
    const QJsonObject values = WithSecretsHidden(SettingsReport(outcome));
    for (auto field = values.begin(); field != values.end(); ++field) {
        const QJsonObject entry = field.value().toObject();
        const QString state = entry.value("status").toString();
        QJsonObject recorded{{"status", state}};
        if (state == QLatin1String(status::kChanged)) {
            recorded.insert("before", entry.value("was"));
            recorded.insert("after", entry.value("value"));
        } else if (state == QLatin1String(status::kUnchanged)) {
            recorded.insert("before", entry.value("value"));
            recorded.insert("after", entry.value("value"));
        } else if (state == QLatin1String(status::kFailed)) {
            if (entry.contains("value")) {
                recorded.insert("before", entry.value("value"));
            }
            recorded.insert("error", entry.value("error"));
        } else if (state == QLatin1String(status::kNotWritten)) {
            recorded.insert("reason", entry.value("reason"));
        }
        settings.insert(field.key(), recorded);
    }
    return settings;
}

} // namespace fleet

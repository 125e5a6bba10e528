// SPDX-License-Identifier: GPL-3.0-or-later
#include "commission_record.h"
#include "discovery/pc_address.h"
#include "fleet/ip_plan.h"
#include "fleet/profile.h"
#include "fleet/profile_apply.h"
#include "fleet/settings/catalogue.h"
#include "session.h"
#include "verbs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <list>
#include <map>

namespace cli {
namespace {

void AddOptions(QCommandLineParser &parser)
{
    AddWhereOptions(parser);
    parser.addOptions({
        {"plan", "The loggers to commission and their IP configurations (CSV).", "file"},
        {"interval", "Milliseconds from one round of probes to the next (default 2000).", "ms",
         "2000"},
        {"wait", "Milliseconds to listen for answers after each round's last probe "
                 "(default 1000).",
         "ms", "1000"},
        {"attempts", "Times a logger is worked on before it is given up (default 3).", "n", "3"},
        {"max-time", "Seconds after which the run ends, done or not (default: no limit).",
         "seconds", "0"},
        {"record", "The record, appended to (default: beside the plan, named with the date).",
         "file"},
    });
}

// Where a plan row has got to.
enum class RowState { Waiting, Found, Writing, Done, Failed };

const char *StateName(RowState state)
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

struct PlanRow {
    RowState state = RowState::Waiting;
    QString address; // where it answered last, before any change
    QString now;     // where it answers after its address change
    QString why;     // of a failure, or why nothing was sent
    int attempts = 0;
};

struct Setup {
    fleet::Profile profile;
    fleet::IpPlan plan;
    SweptRange where;
    int intervalMs = 2000;
    int waitMs = 1000;
    int attempts = 3;
    int maxTimeS = 0;
};

// Watches the network and commissions each logger of the plan as it answers: the profile
// as a difference, then its planned address, each written setting read back. A logger not
// in the plan is listed and never written.
class Commissioning
{
public:
    Commissioning(Session &session, Setup setup, CommissionRecord &record)
        : m_session(session), m_setup(std::move(setup)), m_record(record)
    {
        for (const auto &[serial, planned] : m_setup.plan) {
            m_rows[serial] = {};
        }
        m_cycle.setSingleShot(true);
        QObject::connect(&m_cycle, &QTimer::timeout, [this] { sweep(); });
        m_maxTime.setSingleShot(true);
        QObject::connect(&m_maxTime, &QTimer::timeout, [this] {
            m_endedBy = QStringLiteral("--max-time %1 s reached").arg(m_setup.maxTimeS);
            end(kSomeFailed);
        });
    }

    int run()
    {
        m_clock.start();
        m_record.write({{"event", "started"}, {"rows", static_cast<int>(m_rows.size())}});
        m_interruption = std::make_unique<Interruption>([this] {
            m_endedBy = QStringLiteral("interrupted");
            end(kInterrupted);
        });
        if (m_setup.maxTimeS > 0) {
            m_maxTime.start(m_setup.maxTimeS * 1000);
        }
        QMetaObject::invokeMethod(&m_cycle, [this] { sweep(); }, Qt::QueuedConnection);
        redraw();
        return m_session.exec();
    }

private:
    Console &console() { return m_session.console(); }

    void sweep()
    {
        if (m_ending) {
            return;
        }
        m_cycleClock.start();
        fleet::SweepPlan plan;
        plan.waitMs = m_setup.waitMs;
        plan.rounds = 1;
        plan.ownAddress = m_setup.where.ownAddress.isNull()
                              ? m_session.options().network.bindAddress
                              : m_setup.where.ownAddress;
        for (const discovery::LocalAdapter &adapter : discovery::LocalAdapters()) {
            plan.pcNetworks.append(adapter.network());
        }
        m_sweep = std::make_unique<fleet::LoggerSweep>(m_session.link(), plan);
        QObject::connect(m_sweep.get(), &fleet::LoggerSweep::finished, m_sweep.get(), [this] {
            const std::vector<fleet::LoggerTarget> found = m_sweep->loggers();
            m_sweep->disconnect();
            m_sweep.release()->deleteLater();
            take(found);
            if (!m_ending) {
                m_cycle.start(static_cast<int>(
                    std::max<qint64>(0, m_setup.intervalMs - m_cycleClock.elapsed())));
            }
        });
        m_sweep->sweep(m_setup.where.range);
    }

    // The loggers that answered this round: each planned one not done nor under way is
    // worked on, unless its answer or its planned address is shared with another logger.
    void take(const std::vector<fleet::LoggerTarget> &found)
    {
        std::map<quint32, QString> serialAt;
        for (const fleet::LoggerTarget &logger : found) {
            serialAt[logger.address.toIPv4Address()] = logger.serial;
        }
        std::vector<fleet::LoggerTarget> batch;
        for (const fleet::LoggerTarget &logger : found) {
            const QString address = logger.address.toString();
            for (const QString &serial : {logger.serial, logger.clashingSerial}) {
                if (!serial.isEmpty() && !m_rows.contains(serial) &&
                    m_notInPlan[serial] != address) {
                    m_notInPlan[serial] = address;
                    event({{"event", "not_in_plan"}, {"serial", serial}, {"address", address}},
                          QStringLiteral("%1 at %2: not in the plan, nothing written")
                              .arg(serial, address));
                }
            }
            if (!m_rows.contains(logger.serial)) {
                continue;
            }
            PlanRow &row = m_rows[logger.serial];
            if (row.state == RowState::Done || row.state == RowState::Found ||
                row.state == RowState::Writing || row.attempts >= m_setup.attempts) {
                continue;
            }
            const fleet::PlannedIp &planned = m_setup.plan.at(logger.serial);
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
                    event({{"event", "held_back"}, {"serial", logger.serial},
                           {"address", address}, {"error", why}},
                          QStringLiteral("%1 at %2: %3").arg(logger.serial, address, why));
                }
                continue;
            }
            row.state = RowState::Found;
            row.address = address;
            event({{"event", "found"}, {"serial", logger.serial}, {"address", address}},
                  QStringLiteral("%1 found at %2").arg(logger.serial, address));
            batch.push_back(logger);
        }
        if (!batch.empty()) {
            startJobs(std::move(batch));
        }
        redraw();
        endIfSettled();
    }

    void startJobs(std::vector<fleet::LoggerTarget> loggers)
    {
        auto &run = m_runs.emplace_back(std::make_unique<fleet::FleetRun>(
            m_session.link(), m_session.options().policy, m_session.options().parallel));
        fleet::FleetRun *fleetRun = run.get();
        QObject::connect(fleetRun, &fleet::FleetRun::loggerStarted, fleetRun,
                         [this, fleetRun, loggers](std::size_t index) {
                             PlanRow &row = m_rows[loggers[index].serial];
                             row.state = RowState::Writing;
                             ++row.attempts;
                             event({{"event", "writing"},
                                    {"serial", loggers[index].serial},
                                    {"address", row.address},
                                    {"attempt", row.attempts}},
                                   QStringLiteral("%1 writing (attempt %2 of %3)")
                                       .arg(loggers[index].serial)
                                       .arg(row.attempts)
                                       .arg(m_setup.attempts));
                             redraw();
                         });
        QObject::connect(fleetRun, &fleet::FleetRun::loggerFinished, fleetRun,
                         [this, fleetRun](std::size_t index) {
                             finished(fleetRun->outcomes()[index]);
                         });
        QObject::connect(fleetRun, &fleet::FleetRun::finished, fleetRun, [this, fleetRun] {
            // Loggers a stopped run never started go back to waiting for an answer.
            for (auto &[serial, row] : m_rows) {
                if (row.state == RowState::Found && m_ending) {
                    row.state = RowState::Waiting;
                }
            }
            // A run interrupted as its last job ends says finished twice.
            const auto done = std::find_if(m_runs.begin(), m_runs.end(),
                                           [fleetRun](const auto &r) { return r.get() == fleetRun; });
            if (done == m_runs.end()) {
                return;
            }
            // Nothing of it reaches this object once it is gone, not even that second call.
            fleetRun->disconnect();
            done->release()->deleteLater();
            m_runs.erase(done);
            if (m_ending && m_runs.empty()) {
                conclude();
            }
        });
        const fleet::Profile &profile = m_setup.profile;
        const fleet::IpPlan &plan = m_setup.plan;
        fleetRun->start(std::move(loggers), [&profile, &plan](fleet::LoggerJob &job,
                                                              const fleet::LoggerTarget &target) {
            for (const fleet::ProfileSetting &setting : profile.settings) {
                fleet::AddApplySteps(job, setting, fleet::ApplyMode::Write);
            }
            const fleet::SettingWrite &row = plan.at(target.serial).write;
            fleet::AddApplySteps(job, {row.setting, {row}, row.wanted, {}},
                                 fleet::ApplyMode::Write);
        });
    }

    void finished(const fleet::LoggerOutcome &outcome)
    {
        PlanRow &row = m_rows[outcome.serial];
        const QJsonObject ip = outcome.values.value(fleet::ReportKey(fleet::Setting::Ip)).toObject();
        const QString answersAt = ip.value("value").toObject().value("answers_at").toString();
        row.now = answersAt.isEmpty() ? row.address : answersAt;
        QJsonObject recorded{{"serial", outcome.serial},
                             {"attempt", row.attempts},
                             {"address_before", row.address},
                             {"address_after", row.now},
                             {"settings", RecordedSettings(outcome)}};
        if (outcome.succeeded()) {
            row.state = RowState::Done;
            row.why.clear();
            recorded.insert("event", "done");
            event(recorded, QStringLiteral("%1 done: %2 -> %3").arg(outcome.serial, row.address,
                                                                     row.now));
        } else {
            row.state = RowState::Failed;
            row.why = outcome.failure->message;
            recorded.insert("event", "failed");
            recorded.insert("error", row.why);
            const QString next = m_ending ? QStringLiteral("the run ends")
                                 : row.attempts < m_setup.attempts
                                     ? QStringLiteral("tried again when it answers")
                                     : QStringLiteral("given up");
            event(recorded, QStringLiteral("%1 failed (attempt %2 of %3, %4): %5")
                                .arg(outcome.serial)
                                .arg(row.attempts)
                                .arg(m_setup.attempts)
                                .arg(next, row.why));
        }
        redraw();
        endIfSettled();
    }

    // Every row done ends the run; so does every row done or given up, as nothing more
    // can change then.
    void endIfSettled()
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
        m_endedBy = allDone ? QString() : QStringLiteral("every attempt used");
        end(allDone ? kAllSucceeded : kSomeFailed);
    }

    // Sends nothing more: the requests under way end, then the result is printed.
    void end(int status)
    {
        if (m_ending) {
            return;
        }
        m_ending = true;
        m_status = status;
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

    void conclude()
    {
        m_interruption.reset();
        QStringList missing;
        for (const auto &[serial, row] : m_rows) {
            if (row.state != RowState::Done) {
                missing.append(serial);
            }
        }
        m_record.write({{"event", "ended"},
                        {"missing", QJsonArray::fromStringList(missing)},
                        {"status", m_status}});
        if (m_console.errIsTerminal) {
            redraw();
        }
        console().out << FormatHandoverTable();
        console().out.flush();
        if (!missing.isEmpty()) {
            console().err << QStringLiteral("%1; not commissioned: %2\n")
                                 .arg(m_endedBy, missing.join(QStringLiteral(", ")));
        }
        if (m_status == kInterrupted) {
            m_session.finish(kInterrupted);
        } else {
            m_session.finish(missing.isEmpty() ? kAllSucceeded : kSomeFailed);
        }
    }

    // The result on standard output: each plan row, then each logger not in the plan.
    QString FormatHandoverTable()
    {
        const QStringList header{"serial", "state", "planned_ip", "answered_at", "attempts",
                                 "error"};
        std::vector<QStringList> rows;
        QJsonArray list;
        for (const auto &[serial, row] : m_rows) {
            const QString planned = QHostAddress(m_setup.plan.at(serial).ip.address).toString();
            const QString at = row.state == RowState::Done ? row.now : row.address;
            const QString error = row.state == RowState::Done ? QString() : row.why;
            rows.push_back({serial, QLatin1String(StateName(row.state)), planned, at,
                            QString::number(row.attempts), error});
            list.append(QJsonObject{{"serial", serial},
                                    {"state", QLatin1String(StateName(row.state))},
                                    {"planned_ip", planned},
                                    {"answered_at", at},
                                    {"attempts", row.attempts},
                                    {"error", error}});
        }
        for (const auto &[serial, address] : m_notInPlan) {
            rows.push_back({serial, QStringLiteral("not_in_plan"), QString(), address,
                            QStringLiteral("0"), QString()});
            list.append(QJsonObject{{"serial", serial},
                                    {"state", "not_in_plan"},
                                    {"planned_ip", QString()},
                                    {"answered_at", address},
                                    {"attempts", 0},
                                    {"error", QString()}});
        }
        if (m_session.options().format == Format::Json) {
            return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented));
        }
        return FormatRows(header, rows, m_session.options().format);
    }

    // Recorded, and printed as a line unless the checklist stands on the terminal.
    void event(QJsonObject recorded, const QString &line)
    {
        m_record.write(std::move(recorded));
        if (!m_console.errIsTerminal) {
            console().err << QStringLiteral("%1 s  %2\n")
                                 .arg(static_cast<double>(m_clock.elapsed()) / 1000.0, 6, 'f', 1)
                                 .arg(ForTerminal(line));
            console().err.flush();
        }
    }

    // The checklist, drawn again in place: one line per plan row, the loggers not in the
    // plan, and the summary.
    void redraw()
    {
        if (!m_console.errIsTerminal) {
            return;
        }
        QString text;
        if (m_linesDrawn > 0) {
            text += QStringLiteral("\x1b[%1A").arg(m_linesDrawn);
        }
        int counts[5] = {};
        int lines = 0;
        const auto line = [&text, &lines](const QString &content) {
            text += QStringLiteral("\r\x1b[2K") + content + QLatin1Char('\n');
            ++lines;
        };
        for (const auto &[serial, row] : m_rows) {
            ++counts[static_cast<int>(row.state)];
            QString shown = QStringLiteral("%1  %2").arg(ForTerminal(serial), -12).arg(
                QLatin1String(StateName(row.state)), -8);
            if (!row.address.isEmpty()) {
                shown += QStringLiteral("  ") +
                         (row.state == RowState::Done && row.now != row.address
                              ? row.address + QStringLiteral(" -> ") + row.now
                              : row.address);
            }
            if (row.state == RowState::Failed) {
                shown += QStringLiteral("  ") + ForTerminal(row.why);
            }
            line(shown);
        }
        for (const auto &[serial, address] : m_notInPlan) {
            line(QStringLiteral("%1  not in the plan  %2").arg(ForTerminal(serial), -12).arg(address));
        }
        line(QStringLiteral("%1 of %2 done, %3 writing, %4 waiting, %5 failed, %6 not in the "
                            "plan, %7 s")
                 .arg(counts[static_cast<int>(RowState::Done)])
                 .arg(m_rows.size())
                 .arg(counts[static_cast<int>(RowState::Writing)] +
                      counts[static_cast<int>(RowState::Found)])
                 .arg(counts[static_cast<int>(RowState::Waiting)])
                 .arg(counts[static_cast<int>(RowState::Failed)])
                 .arg(m_notInPlan.size())
                 .arg(static_cast<double>(m_clock.elapsed()) / 1000.0, 0, 'f', 1));
        m_linesDrawn = lines;
        console().err << text;
        console().err.flush();
    }

    Session &m_session;
    Console &m_console = m_session.console();
    Setup m_setup;
    CommissionRecord &m_record;
    std::map<QString, PlanRow> m_rows;
    std::map<QString, QString> m_notInPlan; // serial -> address
    std::unique_ptr<fleet::LoggerSweep> m_sweep;
    std::list<std::unique_ptr<fleet::FleetRun>> m_runs;
    std::unique_ptr<Interruption> m_interruption;
    QTimer m_cycle;
    QTimer m_maxTime;
    QElapsedTimer m_clock;
    QElapsedTimer m_cycleClock;
    int m_linesDrawn = 0;
    bool m_ending = false;
    int m_status = kAllSucceeded;
    QString m_endedBy;
};

int Run(const QCommandLineParser &parser, Session &session)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1) {
        return session.refuse({QStringLiteral("commission takes one profile file")});
    }
    if (!parser.isSet("plan")) {
        return session.refuse({QStringLiteral("commission needs --plan PLAN.csv")});
    }
    fleet::Checked<fleet::Profile> loaded = fleet::LoadProfile(arguments.first());
    if (!loaded.accepted()) {
        return session.refuse(loaded.refusal());
    }
    fleet::Checked<fleet::IpPlan> planned = fleet::LoadIpPlan(parser.value("plan"));
    if (!planned.accepted()) {
        return session.refuse(planned.refusal());
    }
    Setup setup{std::move(loaded).value(), std::move(planned).value(), {}};
    const struct {
        const char *name;
        int lowest;
        int highest;
        int *value;
    } numbers[] = {{"interval", 200, 60000, &setup.intervalMs},
                   {"wait", 50, 60000, &setup.waitMs},
                   {"attempts", 1, 100, &setup.attempts},
                   {"max-time", 0, 7 * 24 * 3600, &setup.maxTimeS}};
    for (const auto &number : numbers) {
        const fleet::Checked<int> value =
            NumberOption(parser, QLatin1String(number.name), number.lowest, number.highest);
        if (!value.accepted()) {
            return session.refuse(value.refusal());
        }
        *number.value = value.value();
    }
    const fleet::Checked<std::variant<SweptRange, PcNetwork>> where = ParseWhere(parser);
    if (!where.accepted()) {
        return session.refuse(where.refusal());
    }
    if (const auto *range = std::get_if<SweptRange>(&where.value())) {
        setup.where = *range;
    } else {
        const fleet::Checked<SweptRange> pcNetwork = ResolvePcNetwork();
        if (!pcNetwork.accepted()) {
            return session.refuse(pcNetwork.refusal());
        }
        setup.where = pcNetwork.value();
    }
    const QList<discovery::LocalAdapter> pcAdapters =
        PcAdapters(session.options().network.bindAddress);
    const Targets targets = SearchArea{setup.where};
    for (const auto &[serial, row] : setup.plan) {
        if (auto refusal = RefusedNewAddress(row.ip.address, targets, pcAdapters)) {
            return session.refuse(*refusal);
        }
    }
    constexpr auto kReadableByOthers = QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (setup.profile.holdsSecrets &&
        (QFile::permissions(arguments.first()) & kReadableByOthers)) {
        session.console().err << QStringLiteral("tarnwick-cli commission: warning: %1 holds a "
                                                "secret and other users of this PC can read "
                                                "it; chmod 600 %1\n")
                                     .arg(arguments.first());
    }
    const QString recordPath = parser.isSet("record")
                                   ? parser.value("record")
                                   : DefaultRecordPath(parser.value("plan"),
                                                       QDate::currentDate());
    CommissionRecord record;
    // The PC's address as the loggers see it: the one searched from, the one sent from, or
    // the address the window would show.
    QString pc = setup.where.ownAddress.toString();
    if (setup.where.ownAddress.isNull()) {
        const QHostAddress bind = session.options().network.bindAddress;
        pc = bind == QHostAddress(QHostAddress::AnyIPv4) ? discovery::LocalPcAddress()
                                                         : bind.toString();
    }
    if (const auto refusal = record.open(recordPath, pc)) {
        return session.refuse(*refusal);
    }
    if (!session.open()) {
        return kSomeFailed;
    }
    if (const auto refusal = session.link().openSearchPort()) {
        session.console().err << "tarnwick-cli commission: " << refusal->message << '\n';
        return kSomeFailed;
    }
    Commissioning commissioning(session, std::move(setup), record);
    return commissioning.run();
}

} // namespace

Verb CommissionVerb()
{
    return {"commission",
            "commission FILE.json --plan PLAN.csv [--network A.B.C.0/24 | --range RANGE] "
            "[--attempts N] [--max-time SECONDS] [--record FILE]",
            QStringLiteral(
                "Keeps probing the network and commissions each logger of the plan as it\n"
                "answers, matched by serial number: the profile's settings that differ are\n"
                "written and read back, then its planned IP configuration, the new address\n"
                "probed first. A logger not in the plan is listed and never written. A logger\n"
                "that fails is tried again when it answers again, up to --attempts times.\n"
                "Ends with exit status 0 once every row of the plan is done; at --max-time,\n"
                "or once every attempt is used, with 1 and the rows still missing; Ctrl+C\n"
                "ends it with 130. On a terminal a checklist shows each row's state,\n"
                "otherwise each event is one line on standard error. Every event is\n"
                "appended to the record (JSON Lines, secrets masked); tarnwick-cli report\n"
                "turns it into the handover document."),
            AddOptions, Run};
}

} // namespace cli

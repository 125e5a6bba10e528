// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/pc_address.h"
#include "fleet/commission_record.h"
#include "fleet/commissioning.h"
#include "private_file/private_file.h"
#include "session.h"
#include "verbs.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <memory>

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

// Presents a commissioning on the console: each event a line on standard error, or the
// checklist drawn again in place on a terminal; every event appended to the record; the
// handover table once it has ended.
class CommissionConsole
{
public:
    CommissionConsole(Session &session, fleet::CommissionSetup setup, int maxTimeS,
                      fleet::CommissionRecord &record)
        : m_session(session), m_maxTimeS(maxTimeS), m_record(record),
          m_engine(session.link(), std::move(setup))
    {
        QObject::connect(&m_engine, &fleet::Commissioning::rowChanged, &m_engine,
                         [this] { redrawSoon(); });
        QObject::connect(&m_engine, &fleet::Commissioning::event, &m_engine,
                         [this](const QJsonObject &recorded, const QString &line) {
                             event(recorded, line);
                         });
        QObject::connect(&m_engine, &fleet::Commissioning::ended, &m_engine,
                         [this](fleet::CommissionEnd end, const QStringList &missing) {
                             conclude(end, missing);
                         });
    }

    int run()
    {
        m_clock.start();
        m_record.write({{"event", "started"}, {"rows", static_cast<int>(m_engine.rows().size())}});
        m_interruption = std::make_unique<Interruption>([this] { m_engine.interrupt(); });
        m_engine.start();
        redraw();
        return m_session.exec();
    }

private:
    Console &console() { return m_session.console(); }

    void conclude(fleet::CommissionEnd end, const QStringList &missing)
    {
        m_interruption.reset();
        m_concluded = true;
        const int status = end == fleet::CommissionEnd::AllDone       ? kAllSucceeded
                           : end == fleet::CommissionEnd::Interrupted ? kInterrupted
                                                                      : kSomeFailed;
        m_record.write({{"event", "ended"},
                        {"missing", QJsonArray::fromStringList(missing)},
                        {"status", status}});
        redraw();
        console().out << FormatHandoverTable();
        console().out.flush();
        if (!missing.isEmpty()) {
            const QString endedBy =
                end == fleet::CommissionEnd::Interrupted ? QStringLiteral("interrupted")
                : end == fleet::CommissionEnd::TimeUp
                    ? QStringLiteral("--max-time %1 s reached").arg(m_maxTimeS)
                    : QStringLiteral("every attempt used");
            console().err << QStringLiteral("%1; not commissioned: %2\n")
                                 .arg(endedBy, missing.join(QStringLiteral(", ")));
        }
        if (status == kInterrupted) {
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
        const auto add = [&rows, &list](const QStringList &cells, int attempts) {
            rows.push_back(cells);
            list.append(QJsonObject{{"serial", cells[0]},
                                    {"state", cells[1]},
                                    {"planned_ip", cells[2]},
                                    {"answered_at", cells[3]},
                                    {"attempts", attempts},
                                    {"error", cells[5]}});
        };
        for (const auto &[serial, row] : m_engine.rows()) {
            const bool done = row.state == fleet::RowState::Done;
            add({serial, QLatin1String(fleet::RowStateName(row.state)),
                 QHostAddress(m_engine.setup().plan.at(serial).ip.address).toString(),
                 done ? row.now : row.address, QString::number(row.attempts),
                 done ? QString() : row.why},
                row.attempts);
        }
        for (const auto &[serial, address] : m_engine.notInPlan()) {
            add({serial, QStringLiteral("not_in_plan"), QString(), address, QStringLiteral("0"),
                 QString()},
                0);
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

    // Once for however many rows changed at one time.
    void redrawSoon()
    {
        if (!m_console.errIsTerminal || m_redrawPending) {
            return;
        }
        m_redrawPending = true;
        QMetaObject::invokeMethod(
            &m_engine,
            [this] {
                m_redrawPending = false;
                if (!m_concluded) {
                    redraw();
                }
            },
            Qt::QueuedConnection);
    }

    // The checklist, drawn again in place: one line per plan row, the loggers not in the
    // plan, and the summary.
    void redraw()
    {
        if (!m_console.errIsTerminal) {
            return;
        }
        using fleet::RowState;
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
        for (const auto &[serial, row] : m_engine.rows()) {
            ++counts[static_cast<int>(row.state)];
            QString shown = QStringLiteral("%1  %2").arg(ForTerminal(serial), -12).arg(
                QLatin1String(fleet::RowStateName(row.state)), -8);
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
        for (const auto &[serial, address] : m_engine.notInPlan()) {
            line(QStringLiteral("%1  not in the plan  %2").arg(ForTerminal(serial), -12).arg(address));
        }
        line(QStringLiteral("%1 of %2 done, %3 writing, %4 waiting, %5 failed, %6 not in the "
                            "plan, %7 s")
                 .arg(counts[static_cast<int>(RowState::Done)])
                 .arg(m_engine.rows().size())
                 .arg(counts[static_cast<int>(RowState::Writing)] +
                      counts[static_cast<int>(RowState::Found)])
                 .arg(counts[static_cast<int>(RowState::Waiting)])
                 .arg(counts[static_cast<int>(RowState::Failed)])
                 .arg(m_engine.notInPlan().size())
                 .arg(static_cast<double>(m_clock.elapsed()) / 1000.0, 0, 'f', 1));
        m_linesDrawn = lines;
        console().err << text;
        console().err.flush();
    }

    Session &m_session;
    Console &m_console = m_session.console();
    int m_maxTimeS;
    fleet::CommissionRecord &m_record;
    fleet::Commissioning m_engine;
    std::unique_ptr<Interruption> m_interruption;
    QElapsedTimer m_clock;
    int m_linesDrawn = 0;
    bool m_redrawPending = false;
    bool m_concluded = false;
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
    Checked<fleet::Profile> loaded = fleet::LoadProfile(arguments.first());
    if (!loaded.accepted()) {
        return session.refuse(loaded.refusal());
    }
    Checked<fleet::IpPlan> planned = fleet::LoadIpPlan(parser.value("plan"));
    if (!planned.accepted()) {
        return session.refuse(planned.refusal());
    }
    fleet::CommissionSetup engine;
    engine.profile = std::move(loaded).value();
    engine.plan = std::move(planned).value();
    SweptRange where;
    int maxTimeS = 0;
    const struct {
        const char *name;
        int lowest;
        int highest;
        int *value;
    } numbers[] = {{"interval", 200, 60000, &engine.intervalMs},
                   {"wait", 50, 60000, &engine.waitMs},
                   {"attempts", 1, 100, &engine.attempts},
                   {"max-time", 0, 7 * 24 * 3600, &maxTimeS}};
    for (const auto &number : numbers) {
        const Checked<int> value =
            NumberOption(parser, QLatin1String(number.name), number.lowest, number.highest);
        if (!value.accepted()) {
            return session.refuse(value.refusal());
        }
        *number.value = value.value();
    }
    const Checked<std::variant<SweptRange, PcNetwork>> area = ParseWhere(parser);
    if (!area.accepted()) {
        return session.refuse(area.refusal());
    }
    if (const auto *range = std::get_if<SweptRange>(&area.value())) {
        where = *range;
    } else {
        const Checked<SweptRange> pcNetwork = ResolvePcNetwork();
        if (!pcNetwork.accepted()) {
            return session.refuse(pcNetwork.refusal());
        }
        where = pcNetwork.value();
    }
    const QList<discovery::LocalAdapter> pcAdapters =
        PcAdapters(session.options().network.bindAddress);
    const Targets targets = SearchArea{where};
    for (const auto &[serial, row] : engine.plan) {
        if (auto refusal = RefusedNewAddress(row.ip.address, targets, pcAdapters)) {
            return session.refuse(*refusal);
        }
    }
    if (engine.profile.holdsSecrets && private_file::ReadableByOthers(arguments.first())) {
        session.console().err << QStringLiteral("tarnwick-cli commission: warning: %1 holds a "
                                                "secret and other users of this PC can read "
                                                "it; chmod 600 %1\n")
                                     .arg(arguments.first());
    }
    const QString recordPath =
        parser.isSet("record")
            ? parser.value("record")
            : fleet::DefaultRecordPath(parser.value("plan"), QDate::currentDate());
    fleet::CommissionRecord record(QStringLiteral("tarnwick-cli"));
    // The PC's address as the loggers see it: the one searched from, the one sent from, or
    // the address the window would show.
    QString pc = where.ownAddress.toString();
    if (where.ownAddress.isNull()) {
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
    engine.maxTimeMs = maxTimeS * 1000;
    engine.range = where.range;
    engine.ownAddress =
        where.ownAddress.isNull() ? session.options().network.bindAddress : where.ownAddress;
    engine.policy = session.options().policy;
    engine.parallel = session.options().parallel;
    CommissionConsole console(session, std::move(engine), maxTimeS, record);
    return console.run();
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

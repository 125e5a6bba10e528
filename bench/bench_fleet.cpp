// SPDX-License-Identifier: GPL-3.0-or-later
// bench_fleet: tarnwick-cli (a child process) against substitute loggers on loopback, served
// by a thread of this program as devices on a LAN.
//
// 254 loggers on 127.0.0.2 to 127.0.0.255:
//   read --all   search of the range, then every setting of every logger
//   apply --dry-run       the profile against loggers that do not hold it: reads only
//   apply                 a full profile written to every logger, each setting read back
//   apply, profile holds  the profile again once every logger holds it: reads only
//   apply, 10 %           a full apply while every logger drops a tenth of its answers
//   commission            the profile and a planned IP configuration to every logger of a
//                         plan as it answers, the record written
//   peak RSS              the largest resident set of any tarnwick-cli run
// The dry run and the apply of a profile that holds count the writes the loggers receive,
// which must be none.
//
// --wide: 1,016 loggers on 127.0.4.0/22, every address but each /24's .0 and .255:
//   read --all   search of the /22, then every setting of every logger
//   peak RSS     the largest resident set of those runs
//
// Each plant is a run of this program of its own, so that the peak resident set of its
// children is that plant's. Prints one Markdown table row per figure on stdout and the
// details on stderr.

#include "simulated_logger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

struct Options {
    QString cli;
    int runs = 5;
    int lossyRuns = 3;
    bool wide = false;
};

// The 254 hosts of 127.0.0.0/24 after the tool's own 127.0.0.1.
std::vector<QHostAddress> LanAddresses()
{
    std::vector<QHostAddress> addresses;
    for (int host = 2; host <= 255; ++host) {
        addresses.emplace_back(QStringLiteral("127.0.0.%1").arg(host));
    }
    return addresses;
}

// 127.0.4.0/22 less each /24's .0 and .255: 1,016 loggers. A search of the /22 probes
// the six addresses left out inside it as well; they stay silent, as unused addresses do.
const char kWideRange[] = "127.0.4.0/22";

std::vector<QHostAddress> WideAddresses()
{
    std::vector<QHostAddress> addresses;
    for (int network = 4; network <= 7; ++network) {
        for (int host = 1; host <= 254; ++host) {
            addresses.emplace_back(QStringLiteral("127.0.%1.%2").arg(network).arg(host));
        }
    }
    return addresses;
}

// A full profile: every writable setting but the IP configuration and the PIN.
const char kProfile[] = R"({
  "format": "tarnwick-profile",
  "version": 1,
  "settings": {
    "data_server": "198.51.100.20",
    "apn": {"name": "plant.apn", "user": "plant", "password": "s3cret"},
    "operator": "Field Tel",
    "front_end": {"address": "10.9.8.7", "port": 7001, "minutes": 45},
    "devices": [
      {"serial": "INV0001", "address": 3, "type": "A1", "append": "roof east#string 1"},
      {"serial": "INV0002", "address": 4, "type": "BC2", "append": ""}
    ],
    "system": {"start": "06:00", "stop": "18:30", "data_interval_seconds": 600,
               "heartbeat_minutes": 3, "retries": 3, "wait_for_response": "yes",
               "reconnect": "yes", "transport": "tcp", "gprs": "on"}
  }
})";

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// The loggers live in a thread of their own, with its own event loop.
class LoggerFarm
{
public:
    explicit LoggerFarm(std::vector<QHostAddress> addresses) : m_addresses(std::move(addresses))
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context, [this] { start(); }, Qt::BlockingQueuedConnection);
    }
    ~LoggerFarm()
    {
        QMetaObject::invokeMethod(
            &m_context, [this] { m_loggers.clear(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    quint16 commandPort() const { return m_commandPort; }
    quint16 searchPort() const { return m_searchPort; }
    int size() const { return static_cast<int>(m_addresses.size()); }
    bool started() const { return m_loggers.size() == m_addresses.size(); }

    void setDropRate(double rate)
    {
        QMetaObject::invokeMethod(
            &m_context,
            [this, rate] {
                for (auto &logger : m_loggers) {
                    logger->endpoint().misbehaviour().dropRate = rate;
                }
            },
            Qt::BlockingQueuedConnection);
    }

    // Every logger's settings back to a new logger's, so that a profile written before no
    // longer holds.
    void restoreSettings()
    {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                for (auto &logger : m_loggers) {
                    logger->settings() = LoggerSettings{};
                }
            },
            Qt::BlockingQueuedConnection);
    }

    struct Received {
        long requests = 0; // every request, resends included
        long writes = 0;
    };
    // The requests every logger has received since it started, and how many of them were
    // writes.
    Received received()
    {
        static const std::set<std::string> kWriteCodes{"EW", "R4", "GW", "RW", "AW", "PW",
                                                       "PC", "CW", "QW", "DA", "DE", "SW"};
        Received received;
        QMetaObject::invokeMethod(
            &m_context,
            [this, &received] {
                for (auto &logger : m_loggers) {
                    const std::vector<std::string> &requests = logger->endpoint().requests();
                    received.requests += static_cast<long>(requests.size());
                    for (const std::string &request : requests) {
                        received.writes += kWriteCodes.count(request.substr(0, 2)) > 0 ? 1 : 0;
                    }
                }
            },
            Qt::BlockingQueuedConnection);
        return received;
    }

private:
    void start()
    {
        for (std::size_t index = 0; index < m_addresses.size(); ++index) {
            auto logger = std::make_unique<SimulatedLogger>(
                m_addresses[index], m_commandPort, m_searchPort,
                LoggerIdentity{
                    QStringLiteral("SN-%1").arg(index + 1, 3, 10, QLatin1Char('0')).toStdString(),
                    "V1.0"});
            if (!logger->endpoint().start()) {
                return;
            }
            logger->endpoint().setSeed(static_cast<unsigned>(index + 1));
            m_commandPort = logger->endpoint().commandPort();
            m_searchPort = logger->endpoint().searchPort();
            m_loggers.push_back(std::move(logger));
        }
    }

    const std::vector<QHostAddress> m_addresses;
    QThread m_thread;
    QObject m_context;
    std::vector<std::unique_ptr<SimulatedLogger>> m_loggers;
    quint16 m_commandPort = 0;
    quint16 m_searchPort = 0;
};

struct CliRun {
    double seconds = 0.0;
    double cpuSeconds = 0.0; // user and system time of the tarnwick-cli process
    int status = -1;
    QByteArray output;
    QString errors;
};

// The CPU time of every tarnwick-cli run of this program so far: beside a run's wall time,
// it tells the tool's own work from waiting for a core on a busy machine.
double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval &time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

CliRun RunCli(const Options &options, const LoggerFarm &farm, QStringList arguments)
{
    arguments += {"--bind",
                  "127.0.0.1",
                  "--local-command-port",
                  "0",
                  "--local-search-port",
                  "0",
                  "--command-port",
                  QString::number(farm.commandPort()),
                  "--search-port",
                  QString::number(farm.searchPort())};
    QProcess process;
    const double cpuBefore = ChildrenCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    process.start(options.cli, arguments);
    process.waitForFinished(120000);
    CliRun run;
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.cpuSeconds = ChildrenCpuSeconds() - cpuBefore;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = process.readAllStandardOutput();
    run.errors = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return run;
}

// How many loggers a run's report shows as the figure wants them.
using ReportCheck = std::function<int(const QByteArray &report)>;
const QStringList kCsv{"--format", "csv"};
const QStringList kJson{"--format", "json"};

// CSV: the lines of loggers that succeeded, which end with an empty error field.
int SucceededCsvLines(const QByteArray &report)
{
    int lines = 0;
    for (const QByteArray &line : report.split('\n')) {
        lines += line.startsWith("127.") && line.endsWith(',') ? 1 : 0;
    }
    return lines;
}

// JSON of apply: the loggers without an error whose every setting of the profile has one
// of these statuses.
ReportCheck SettingsWithStatuses(const QStringList &statuses)
{
    return [statuses](const QByteArray &report) {
        static const QStringList kProfileSettings{"data_server", "apn",     "operator",
                                                  "front_end",   "devices", "system"};
        int loggers = 0;
        for (const QJsonValue &entry : QJsonDocument::fromJson(report).array()) {
            const QJsonObject logger = entry.toObject();
            const bool settled =
                !logger.contains(QLatin1String("error")) &&
                std::all_of(kProfileSettings.begin(), kProfileSettings.end(),
                            [&](const QString &setting) {
                                return statuses.contains(logger.value(setting)
                                                             .toObject()
                                                             .value(QLatin1String("status"))
                                                             .toString());
                            });
            loggers += settled ? 1 : 0;
        }
        return loggers;
    };
}

void Row(const QString &figure, const QString &measured, const QString &bound, bool met)
{
    std::printf("| %s | %s | | | %s | %s |\n", qPrintable(figure), qPrintable(measured),
                qPrintable(bound), met ? "met" : "MISSED");
}

// Runs one command `runs` times; every run must end with status 0 and every logger.
struct Series {
    std::vector<double> seconds;
    int loggers = 0;
    int worstLoggers = 0;
    bool allSucceeded = true;
    long writes = 0; // write requests the loggers received during the runs

    bool complete() const { return allSucceeded && worstLoggers == loggers; }
    bool met(double boundSeconds) const { return complete() && Median(seconds) < boundSeconds; }
    QString medianText() const
    {
        return QStringLiteral("%1 s, %2/%3 ok")
            .arg(Median(seconds), 0, 'f', 2)
            .arg(worstLoggers)
            .arg(loggers);
    }
};

struct Command {
    QStringList arguments;
    const char *name;
    ReportCheck check = SucceededCsvLines;
    // Run before each run, outside the time taken.
    std::function<void()> prepare = [] {};
};

Series Repeat(const Options &options, LoggerFarm &farm, const Command &command, int runs)
{
    Series series;
    series.loggers = farm.size();
    series.worstLoggers = farm.size();
    for (int run = 0; run < runs; ++run) {
        command.prepare();
        const LoggerFarm::Received before = farm.received();
        const CliRun result = RunCli(options, farm, command.arguments);
        const LoggerFarm::Received after = farm.received();
        series.writes += after.writes - before.writes;
        const int loggers = command.check(result.output);
        series.seconds.push_back(result.seconds);
        series.worstLoggers = std::min(series.worstLoggers, loggers);
        series.allSucceeded = series.allSucceeded && result.status == 0;
        // The requests a logger received tell how many exchanges the run waited through.
        std::fprintf(stderr,
                     "%s run %d: %.3f s (tarnwick-cli CPU %.3f s), status %d, %d of %d "
                     "loggers, %.1f requests a logger%s%s\n",
                     command.name, run + 1, result.seconds, result.cpuSeconds, result.status,
                     loggers, farm.size(),
                     static_cast<double>(after.requests - before.requests) / farm.size(),
                     result.errors.isEmpty() ? "" : "\n  ", qPrintable(result.errors.left(400)));
    }
    return series;
}

// The largest resident set of any tarnwick-cli run of this program so far.
double ChildrenPeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void MeasureLan(const Options &options, LoggerFarm &farm)
{
    QTemporaryDir directory;
    const QString profile = directory.filePath(QStringLiteral("plant.json"));
    {
        // The profile holds a password: readable by its owner alone, as the tool asks.
        QFile file(profile);
        file.open(QIODevice::WriteOnly);
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        file.write(kProfile);
    }
    const QStringList everyLogger{"--all", "--range", "127.0.0.2-127.0.0.255", "--wait", "200"};
    const QStringList applyProfile = QStringList{"apply", profile} + everyLogger;
    // Each apply starts from loggers that do not hold the profile, so that it writes it.
    const auto restoreSettings = [&farm] { farm.restoreSettings(); };

    const Series read = Repeat(
        options, farm, {QStringList{"read"} + everyLogger + kCsv, "read --all"}, options.runs);
    const Series dryRun = Repeat(
        options, farm,
        {applyProfile + QStringList{"--dry-run"} + kJson, "apply --dry-run",
         SettingsWithStatuses({"unchanged", "would_change", "would_write"}), restoreSettings},
        options.runs);
    const Series apply =
        Repeat(options, farm, {applyProfile + kCsv, "apply", SucceededCsvLines, restoreSettings},
               options.runs);
    const Series holds =
        Repeat(options, farm,
               {applyProfile + kJson, "apply, profile holds", SettingsWithStatuses({"unchanged"})},
               options.runs);
    // Commissioning: every logger of the plan answers the first round of probes; each keeps
    // its address, given a new mask and gateway, so that no probe waits out a timeout at a
    // free address. The record is written as in the field.
    const QString plan = directory.filePath(QStringLiteral("plant.csv"));
    {
        QFile file(plan);
        file.open(QIODevice::WriteOnly);
        file.write("serial,ip,mask,gateway\n");
        for (int index = 0; index < farm.size(); ++index) {
            file.write(QStringLiteral("SN-%1,127.0.0.%2,255.0.0.0,127.0.0.1\n")
                           .arg(index + 1, 3, 10, QLatin1Char('0'))
                           .arg(index + 2)
                           .toLatin1());
        }
    }
    const QString record = directory.filePath(QStringLiteral("plant.jsonl"));
    const Series commission = Repeat(
        options, farm,
        {QStringList{"commission", profile, "--plan", plan, "--range", "127.0.0.2-127.0.0.255",
                     "--wait", "200", "--record", record} +
             kCsv,
         "commission",
         [](const QByteArray &report) { return static_cast<int>(report.count(",done,")); },
         restoreSettings},
        options.runs);
    farm.setDropRate(0.1);
    const Series lossy =
        Repeat(options, farm,
               {applyProfile + QStringList{"--timeout", "300", "--retries", "6"} + kCsv,
                "apply, 10 % dropped", SucceededCsvLines, restoreSettings},
               options.lossyRuns);
    farm.setDropRate(0.0);
    const double peakMegabytes = ChildrenPeakMegabytes();

    Row(QStringLiteral("tarnwick-cli read --all, every setting, 254 loggers (median of %1)")
            .arg(options.runs),
        read.medianText(), QStringLiteral("< 2 s"), read.met(2.0));
    Row(QStringLiteral(
            "tarnwick-cli apply, full profile with read-back, 254 loggers (median of %1)")
            .arg(options.runs),
        apply.medianText(), QStringLiteral("< 4 s"), apply.met(4.0));
    Row(QStringLiteral("tarnwick-cli commission, full profile and planned IP configuration, "
                       "254 loggers answering at once, record included (median of %1)")
            .arg(options.runs),
        commission.medianText(), QStringLiteral("< 3 s"), commission.met(3.0));
    const auto readsOnly = [](const Series &series, const char *settled) {
        return QStringLiteral("%1 s, %2/%3 %4, %5 writes")
            .arg(Median(series.seconds), 0, 'f', 2)
            .arg(series.worstLoggers)
            .arg(series.loggers)
            .arg(QLatin1String(settled))
            .arg(series.writes);
    };
    Row(QStringLiteral("tarnwick-cli apply --dry-run, full profile, 254 loggers that do not "
                       "hold it (median of %1)")
            .arg(options.runs),
        readsOnly(dryRun, "reported"), QStringLiteral("< 1 s, no write"),
        dryRun.met(1.0) && dryRun.writes == 0);
    Row(QStringLiteral("tarnwick-cli apply of a profile all 254 loggers hold (median of %1)")
            .arg(options.runs),
        readsOnly(holds, "unchanged"), QStringLiteral("< 1 s, no write"),
        holds.met(1.0) && holds.writes == 0);
    const double slowest = *std::max_element(lossy.seconds.begin(), lossy.seconds.end());
    Row(QStringLiteral(
            "the same apply, 10 % of answers dropped, timeout 300 ms, 6 retries (slowest of %1)")
            .arg(options.lossyRuns),
        QStringLiteral("%1 s, %2/254 ok").arg(slowest, 0, 'f', 2).arg(lossy.worstLoggers),
        QStringLiteral("254/254, < 15 s"), lossy.complete() && slowest < 15.0);
    Row(QStringLiteral("tarnwick-cli peak resident set, any of the runs above"),
        QStringLiteral("%1 MB").arg(peakMegabytes, 0, 'f', 1), QStringLiteral("< 60 MB"),
        peakMegabytes < 60.0);
}

void MeasureWide(const Options &options, LoggerFarm &farm)
{
    // --expect makes a search that falls short fail at once, naming what it found.
    const Series read = Repeat(options, farm,
                               {QStringList{"read", "--all", "--range", kWideRange, "--wait", "200",
                                            "--expect", QString::number(farm.size())} +
                                    kCsv,
                                "read --all of a /22"},
                               options.runs);
    const double peakMegabytes = ChildrenPeakMegabytes();
    Row(QStringLiteral("tarnwick-cli read --all over %1, every setting, %2 loggers (median of %3)")
            .arg(QLatin1String(kWideRange))
            .arg(farm.size())
            .arg(options.runs),
        read.medianText(), QStringLiteral("< 4 s"), read.met(4.0));
    Row(QStringLiteral("tarnwick-cli peak resident set, read --all of %1 loggers").arg(farm.size()),
        QStringLiteral("%1 MB").arg(peakMegabytes, 0, 'f', 1), QStringLiteral("< 80 MB"),
        peakMegabytes < 80.0);
}

// Two sockets a logger: 1,016 loggers need more descriptors than a soft limit of 1,024.
void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    Options options;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        const QString &name = arguments[index];
        const QString value = arguments.value(index + 1);
        if (name == QLatin1String("--wide")) {
            options.wide = true;
            continue;
        }
        if (name == QLatin1String("--cli")) {
            options.cli = value;
        } else if (name == QLatin1String("--runs")) {
            options.runs = std::max(1, value.toInt());
        } else if (name == QLatin1String("--lossy-runs")) {
            options.lossyRuns = std::max(1, value.toInt());
        }
        ++index;
    }
    if (options.cli.isEmpty()) {
        std::fprintf(stderr, "usage: bench_fleet --cli PATH [--runs N] [--lossy-runs N] "
                             "[--wide]\n");
        return 2;
    }
    RaiseDescriptorLimit();
    LoggerFarm farm(options.wide ? WideAddresses() : LanAddresses());
    if (!farm.started()) {
        std::fprintf(stderr, "bench_fleet: the substitute loggers cannot bind on loopback\n");
        return 1;
    }
    if (options.wide) {
        MeasureWide(options, farm);
    } else {
        MeasureLan(options, farm);
    }
    return 0;
}

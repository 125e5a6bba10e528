// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/signal_watch_turns.h"
#include "fleet/logger_job.h"
#include "interruption.h"
#include "session.h"
#include "verbs.h"
#include "watch_report.h"

#include <QTimer>

#include <deque>
#include <memory>
#include <optional>

namespace cli {
namespace {

// The intervals the window's watch offers, in milliseconds.
constexpr int kShortestInterval = 500;
constexpr int kLongestInterval = 60000;
// How many of the latest readings the terminal's sparkline shows.
constexpr std::size_t kSparklineReadings = 30;

// Reads one logger's signal quality every interval in the watch's turns, one request out
// at a time: a reading due while the previous one still waits for its answer (or its
// retries) is skipped. Each
// reading is printed as it comes; on a terminal a status line below the readings shows
// the latest one as a bar and the recent ones as a sparkline.
class SignalWatch
{
public:
    SignalWatch(Session &session, const QHostAddress &logger, int intervalMs,
                std::optional<int> count)
        : m_session(session), m_logger{logger, {}, {}}, m_count(count)
    {
        m_tick.setInterval(intervalMs);
        QObject::connect(&m_tick, &QTimer::timeout, &m_tick, [this] { takeReading(); });
    }

    // Runs until the count of readings or an interrupt; the exit status says whether
    // every reading was answered.
    int run()
    {
        Console &console = m_session.console();
        console.out << WatchHeader(m_session.options().format);
        console.out.flush();
        const Interruption interruption([this] { end(); });
        m_tick.start();
        QMetaObject::invokeMethod(
            &m_tick, [this] { takeReading(); }, Qt::QueuedConnection);
        return m_session.exec();
    }

private:
    void takeReading()
    {
        if (!m_turns.takeTurn(QDateTime::currentDateTimeUtc())) {
            return;
        }
        // The previous reading's job has finished; it goes before the next one attaches
        // to the same logger.
        m_job.reset();
        m_job = std::make_unique<fleet::LoggerJob>(m_session.link(), m_logger,
                                                   m_session.options().policy);
        fleet::LoggerJob &job = *m_job;
        job.then([this, &job] {
            job.ask(SignalWatchTurns::ReadingRequest(), [this, &job](const std::string &payload) {
                m_answered = m_turns.answered(payload);
                job.next();
            });
        });
        QObject::connect(&job, &fleet::LoggerJob::finished, &job,
                         [this](fleet::LoggerJob *finished) { record(finished->outcome()); });
        job.start();
    }

    // The turn ends with its job: answered, or missed once the job's tries are spent.
    void record(const fleet::LoggerOutcome &outcome)
    {
        const SignalSample sample =
            outcome.succeeded() && m_answered ? *m_answered : m_turns.missed();
        m_answered.reset();
        WatchReading reading{sample.takenAt, cellular::SignalReading{}};
        if (sample.reading) {
            reading.result = *sample.reading;
        } else {
            reading.result = *outcome.failure;
            ++m_missed;
        }
        ++m_readings;
        m_recent.push_back(reading);
        if (m_recent.size() > kSparklineReadings) {
            m_recent.pop_front();
        }
        print(WatchRecord(reading, m_session.options().format));
        if (m_count && m_readings >= *m_count) {
            end();
        }
    }

    // The reading goes to standard output; on a terminal the status line is cleared for
    // it and written again below it.
    void print(const QString &record)
    {
        Console &console = m_session.console();
        const bool terminal = console.errIsTerminal;
        if (m_statusLength > 0) {
            console.err << '\r' << QString(m_statusLength, QLatin1Char(' ')) << '\r';
            console.err.flush();
        }
        console.out << record;
        console.out.flush();
        if (terminal) {
            const QString status = WatchStatusLine(m_recent, m_readings, m_missed);
            m_statusLength = status.size();
            console.err << status;
            console.err.flush();
        }
    }

    void end()
    {
        m_tick.stop();
        Console &console = m_session.console();
        if (m_statusLength > 0) {
            console.err << '\n';
        }
        if (m_missed > 0) {
            console.err
                << QStringLiteral("%1 of %2 readings missed\n").arg(m_missed).arg(m_readings);
        }
        console.err.flush();
        m_session.finish(m_missed == 0 ? kAllSucceeded : kSomeFailed);
    }

    Session &m_session;
    fleet::LoggerTarget m_logger;
    std::optional<int> m_count;
    QTimer m_tick;
    std::unique_ptr<fleet::LoggerJob> m_job;
    SignalWatchTurns m_turns;
    // The answer of the turn under way, once it came.
    std::optional<SignalSample> m_answered;
    std::deque<WatchReading> m_recent;
    int m_readings = 0;
    int m_missed = 0;
    qsizetype m_statusLength = 0;
};

void AddOptions(QCommandLineParser &parser)
{
    AddLoggerOption(parser);
    parser.addOptions({
        {"interval",
         QStringLiteral("Milliseconds from one reading to the next, %1 to %2 (default 1000).")
             .arg(kShortestInterval)
             .arg(kLongestInterval),
         "ms", "1000"},
        {"count", "Readings to take (default: until Ctrl+C).", "n"},
    });
    // Every verb's run options include --wait; the watch searches for nothing and waits
    // for no serial number, so it takes the option without offering it.
    QCommandLineOption wait("wait");
    wait.setValueName("ms");
    wait.setDefaultValue("0");
    wait.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(wait);
}

int Run(const QCommandLineParser &parser, Session &session)
{
    if (!parser.positionalArguments().isEmpty()) {
        return session.refuse(
            {QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first())});
    }
    const Checked<std::vector<QHostAddress>> addresses =
        ParseLoggerAddresses(parser, PcAdapters(session.options().network.bindAddress));
    if (!addresses.accepted()) {
        return session.refuse(addresses.refusal());
    }
    if (addresses.value().size() != 1) {
        return session.refuse({QStringLiteral("watch takes exactly one --logger")});
    }
    const Checked<int> interval =
        NumberOption(parser, QStringLiteral("interval"), kShortestInterval, kLongestInterval);
    if (!interval.accepted()) {
        return session.refuse(interval.refusal());
    }
    std::optional<int> count;
    if (parser.isSet("count")) {
        const Checked<int> checked = NumberOption(parser, QStringLiteral("count"), 1, 1000000000);
        if (!checked.accepted()) {
            return session.refuse(checked.refusal());
        }
        count = checked.value();
    }
    if (!session.open()) {
        return kSomeFailed;
    }
    SignalWatch watch(session, addresses.value().front(), interval.value(), count);
    return watch.run();
}

} // namespace

Verb WatchVerb()
{
    return {"watch",
            "watch --logger IP [--interval MS] [--count N]",
            QStringLiteral(
                "Reads one logger's signal quality again and again, one line per reading "
                "(time, raw, value,\ndBm); on a terminal a bar and a sparkline of the latest "
                "readings follow on stderr. A\nreading without an answer is printed as missed "
                "and the watch goes on; exit status 1 when\nany was missed."),
            AddOptions,
            Run,
            false};
}

} // namespace cli

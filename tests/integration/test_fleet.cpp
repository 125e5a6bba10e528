// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli run in-process against substitute loggers on 127.0.0.2 and up, which share
// one free command port and one free search port; the tool sends from 127.0.0.1.

#include "cli/cli_app.h"
#include "discovery/pc_address.h"
#include "private_file/private_file.h"
#include "protocol/frame.h"
#include "simulated_logger.h"
#include "wire_text/wire_text.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <chrono>
#include <csignal>
#include <memory>

Q_DECLARE_METATYPE(LoggerMisbehaviour)

namespace {

struct CliResult {
    int status = -1;
    QString out;
    QString err;
};

QHostAddress LoggerAddress(int index)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(index + 2));
}

QJsonArray JsonOf(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).array();
}

// Each setting's status in the first logger's record of an apply's JSON report.
QMap<QString, QString> StatusesOf(const QString &applyReport)
{
    QMap<QString, QString> statuses;
    const QJsonObject record = JsonOf(applyReport).at(0).toObject();
    for (auto field = record.begin(); field != record.end(); ++field) {
        if (field.value().isObject()) {
            statuses.insert(field.key(), field.value().toObject().value("status").toString());
        }
    }
    return statuses;
}

// One apply of a sequence: its arguments, each setting's status and the writes it sends.
struct ApplyRun {
    QStringList arguments;
    QMap<QString, QString> statuses;
    QStringList writes;
};

// The write requests a logger received, by command code.
QStringList WritesAmong(const std::vector<std::string> &requests)
{
    static const QStringList writeCodes{"EW", "R4", "AW", "PW", "PC",
                                        "CW", "QW", "DA", "DE", "SW"};
    QStringList writes;
    for (const std::string &request : requests) {
        const QString code = QString::fromStdString(request.substr(0, 2));
        if (writeCodes.contains(code)) {
            writes.append(code);
        }
    }
    return writes;
}

} // namespace

class TestFleet : public QObject
{
    Q_OBJECT

private:
    void startLoggers(int count)
    {
        m_loggers.clear();
        quint16 commandPort = 0;
        quint16 searchPort = 0;
        for (int index = 0; index < count; ++index) {
            LoggerSettings settings;
            settings.network.mac = QStringLiteral("00-1A-2B-00-00-%1")
                                       .arg(index, 2, 16, QLatin1Char('0'))
                                       .toStdString();
            auto logger = std::make_unique<SimulatedLogger>(
                LoggerAddress(index), commandPort, searchPort,
                LoggerIdentity{
                    QStringLiteral("SN-%1").arg(index + 1, 3, 10, QLatin1Char('0')).toStdString(),
                    "V1.0"},
                settings);
            QVERIFY2(logger->endpoint().start(), "a substitute logger cannot bind");
            commandPort = logger->endpoint().commandPort();
            searchPort = logger->endpoint().searchPort();
            m_loggers.push_back(std::move(logger));
        }
    }

    SimulatedLogger &logger(int index) { return *m_loggers.at(static_cast<std::size_t>(index)); }

    QString addresses(int first, int count)
    {
        QStringList list;
        for (int index = first; index < first + count; ++index) {
            list.append(LoggerAddress(index).toString());
        }
        return list.join(QLatin1Char(','));
    }

    QString allRange() const
    {
        return QStringLiteral("127.0.0.2-127.0.0.%1").arg(m_loggers.size() + 1);
    }

    // Runs the program with the loggers' ports, local ports chosen by the system.
    CliResult run(QStringList arguments, bool errIsTerminal = false)
    {
        // Defaults first: an option the test gives as well comes later and wins.
        QStringList defaults{"--bind",
                             "127.0.0.1",
                             "--local-command-port",
                             "0",
                             "--local-search-port",
                             "0",
                             "--timeout",
                             "150",
                             "--wait",
                             "200"};
        if (!m_loggers.empty()) {
            defaults += {"--command-port", QString::number(logger(0).endpoint().commandPort()),
                         "--search-port", QString::number(logger(0).endpoint().searchPort())};
        }
        const QString verb = arguments.takeFirst();
        arguments = QStringList{"tarnwick-cli", verb} + defaults + arguments;
        CliResult result;
        QTextStream out(&result.out);
        QTextStream err(&result.err);
        // Standard input holds the lines of m_standardInput, each read once.
        cli::Console console{out, err, errIsTerminal,
                             [this](const QString &) -> std::optional<QString> {
                                 if (m_standardInput.isEmpty()) {
                                     return std::nullopt;
                                 }
                                 return m_standardInput.takeFirst();
                             },
                             m_progressPace,
                             // A tenth of a second more at each look.
                             [clock = qint64(0)]() mutable { return (clock++) * 100; }};
        result.status = cli::RunCli(arguments, console);
        return result;
    }

    int requestsTo(int index)
    {
        return static_cast<int>(logger(index).endpoint().requests().size());
    }

    std::vector<std::unique_ptr<SimulatedLogger>> m_loggers;
    QStringList m_standardInput;
    // No redraw of the progress line while requests wait, unless a test asks for it.
    std::chrono::milliseconds m_progressPace = std::chrono::hours(1);
    QTemporaryDir m_scratch;

private slots:
    void cleanup()
    {
        m_loggers.clear();
        m_standardInput.clear();
        m_progressPace = std::chrono::hours(1);
    }

    void searchListsSerialIpAndVersion()
    {
        startLoggers(3);
        // A responder on the tool's own address is the PC itself, no logger.
        SimulatedLogger self(QHostAddress(QStringLiteral("127.0.0.1")),
                             logger(0).endpoint().commandPort(), logger(0).endpoint().searchPort(),
                             LoggerIdentity{"SN-PC", "V1.0"});
        if (!self.endpoint().start()) {
#ifdef Q_OS_WIN
            QSKIP("Wine binds each logger's adapter address as 0.0.0.0 on that adapter, which "
                  "holds the port on every address: nothing can answer at 127.0.0.1 beside it");
#endif
            QFAIL("nothing can answer at the PC's own address");
        }
        const CliResult result =
            run({"search", "--range", "127.0.0.1-127.0.0.8", "--format", "csv"});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QStringLiteral("serial,ip,version\nSN-001,127.0.0.2,V1.0\n"
                                            "SN-002,127.0.0.3,V1.0\nSN-003,127.0.0.4,V1.0\n"));
    }

    // A host outside the range answers a probe of the range (as every host of a network
    // answers a probe to its broadcast address): it is no logger of the search.
    void answerFromOutsideTheRangeIsNoLogger()
    {
        startLoggers(3);
        logger(2).endpoint().misbehaviour().probeAnswerFrom =
            QHostAddress(QStringLiteral("127.0.0.9"));
        const CliResult result =
            run({"search", "--range", "127.0.0.2-127.0.0.4", "--format", "csv"});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QStringLiteral("serial,ip,version\nSN-001,127.0.0.2,V1.0\n"
                                            "SN-002,127.0.0.3,V1.0\n"));
    }

    // Each address is probed twice by default: a logger whose first probe is lost is still
    // found, and listed once however many probes it answered.
    // Two loggers answer at one address: the search says so, and nothing is sent there.
    void addressClashIsNamedAndNotWritten_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("search") << QStringList{"search", "--range", "127.0.0.2-127.0.0.3"};
        QTest::newRow("write --all")
            << QStringList{"write", "--all", "--range", "127.0.0.2-127.0.0.3", "operator=X"};
    }

    void addressClashIsNamedAndNotWritten()
    {
        QFETCH(QStringList, arguments);
        startLoggers(2);
        logger(1).endpoint().misbehaviour().probeAnswerFrom =
            QHostAddress(QStringLiteral("127.0.0.2"));
        const CliResult result = run(arguments);
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.contains(QStringLiteral("address clash: ")) &&
                     result.err.contains(QStringLiteral(" both answer at 127.0.0.2")),
                 qPrintable(result.err));
        QCOMPARE(requestsTo(0), 0);
    }

    void searchProbesEachAddressAgain_data()
    {
        QTest::addColumn<QStringList>("probes");
        QTest::addColumn<int>("unanswered");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        const QString both = "serial,ip,version\nSN-001,127.0.0.2,V1.0\nSN-002,127.0.0.3,V1.0\n";
        QTest::newRow("default, first probe lost") << QStringList{} << 1 << 0 << both;
        QTest::newRow("three, all answered") << QStringList{"--probes", "3"} << 0 << 0 << both;
        QTest::newRow("one, first probe lost") << QStringList{"--probes", "1"} << 1 << 1
                                               << "serial,ip,version\nSN-001,127.0.0.2,V1.0\n";
    }

    void searchProbesEachAddressAgain()
    {
        QFETCH(QStringList, probes);
        QFETCH(int, unanswered);
        QFETCH(int, status);
        QFETCH(QString, out);
        startLoggers(2);
        logger(1).endpoint().misbehaviour().probesUnanswered = unanswered;
        const CliResult result = run(QStringList{"search", "--range", "127.0.0.2-127.0.0.3",
                                                 "--format", "csv", "--expect", "2"} +
                                     probes);
        QCOMPARE(result.status, status);
        QCOMPARE(result.out, status == 0 ? out : QString());
    }

    // A search that finds fewer loggers than expected fails, names what it probed and
    // sends nothing more to the loggers it found.
    void tooFewLoggersFound_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("search finds none")
            << QStringList{"search", "--range", "127.0.0.5-127.0.0.7"}
            << "no logger answered the search of 127.0.0.5-127.0.0.7";
        QTest::newRow("search finds fewer")
            << QStringList{"search", "--range", "127.0.0.2-127.0.0.6", "--expect", "3"}
            << "the search of 127.0.0.2-127.0.0.6 found 2 loggers, 3 expected";
        QTest::newRow("read all finds fewer")
            << QStringList{"read",     "--all", "--range", "127.0.0.2-127.0.0.6",
                           "--expect", "3",     "mac"}
            << "the search of 127.0.0.2-127.0.0.6 found 2 loggers, 3 expected";
    }

    void tooFewLoggersFound()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        startLoggers(2);
        const CliResult result = run(arguments);
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(result.out, QString());
        for (int index = 0; index < 2; ++index) {
            QCOMPARE(requestsTo(index), 0);
        }
    }

    void tableColumnsAreAligned()
    {
        startLoggers(2);
        logger(1).settings().cellular.telecomOperator = "A much longer name";
        const CliResult result =
            run({"read", "--logger", addresses(0, 3), "operator", "signal", "--retries", "0"});
        QCOMPARE(result.status, 1);
        QCOMPARE(
            result.out,
            QStringLiteral(
                "ip         serial  operator            signal  error\n"
                "127.0.0.2          Operator            23\n"
                "127.0.0.3          A much longer name  23\n"
                "127.0.0.4                                      no answer to CR after 1 tries\n"));
    }

    void manyLoggersAreReadInParallel()
    {
        startLoggers(40);
        QElapsedTimer clock;
        clock.start();
        const CliResult result = run({"read", "--all", "--range", allRange(), "mac", "--format",
                                      "json", "--parallel", "16"});
        QCOMPARE(result.status, 0);
        const QJsonArray records = JsonOf(result.out);
        QCOMPARE(records.size(), 40);
        for (int index = 0; index < 40; ++index) {
            const QJsonObject record = records.at(index).toObject();
            QCOMPARE(record.value("ip").toString(), LoggerAddress(index).toString());
            QCOMPARE(record.value("serial").toString(),
                     QStringLiteral("SN-%1").arg(index + 1, 3, 10, QLatin1Char('0')));
            QCOMPARE(record.value("mac").toString(),
                     QStringLiteral("00-1A-2B-00-00-%1").arg(index, 2, 16, QLatin1Char('0')));
            QCOMPARE(logger(index).endpoint().requests(), std::vector<std::string>{"MR"});
        }
    }

    void repeatedLoggerOptionAddsItsAddresses()
    {
        startLoggers(2);
        const CliResult result = run(
            {"read", "--logger", "127.0.0.2", "--logger", "127.0.0.3", "mac", "--format", "csv"});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QStringLiteral("ip,serial,mac,error\n127.0.0.2,,00-1A-2B-00-00-00,\n"
                                            "127.0.0.3,,00-1A-2B-00-00-01,\n"));
    }

    // What a logger holds cannot drive the terminal: a table writes control characters as
    // \xHH; CSV stays plain for the programs that read it.
    void controlCharactersReachNoTerminal_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("out");
        QTest::newRow("table") << "table"
                               << "ip         serial  operator     error\n"
                                  "127.0.0.2          Tele\\x1B[2J\n";
        QTest::newRow("csv") << "csv"
                             << "ip,serial,operator,error\n127.0.0.2,,Tele\x1b[2J,\n";
    }

    void controlCharactersReachNoTerminal()
    {
        QFETCH(QString, format);
        QFETCH(QString, out);
        startLoggers(1);
        logger(0).settings().cellular.telecomOperator = "Tele\x1b[2J";
        const CliResult result =
            run({"read", "--logger", addresses(0, 1), "operator", "--format", format});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, out);
    }

    // Each verb's help names the program and lists what the verb takes.
    void helpNamesTheProgramAndItsForms_data()
    {
        QTest::addColumn<QString>("verb");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("notShown");
        QTest::newRow("write") << "write"
                               << QStringList{"Usage: tarnwick-cli [options] write", "pin=-",
                                              "apn=NAME,USER,-", "pin=DIGITS"}
                               << QStringList();
        QTest::newRow("read") << "read"
                              << QStringList{"Usage: tarnwick-cli [options] read", "--parallel"}
                              << QStringList();
        QTest::newRow("watch") << "watch" << QStringList{"--interval"}
                               << QStringList{"--parallel", "--wait"};
    }

    void helpNamesTheProgramAndItsForms()
    {
        QFETCH(QString, verb);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, notShown);
        CliResult result;
        QTextStream out(&result.out);
        QTextStream err(&result.err);
        cli::Console console{out, err, false, {}};
        QCOMPARE(cli::RunCli({"/some/path/tarnwick-cli", verb, "--help"}, console), 0);
        out.flush();
        for (const QString &text : shown) {
            QVERIFY2(result.out.contains(text), qPrintable(result.out));
        }
        for (const QString &text : notShown) {
            QVERIFY2(!result.out.contains(text), qPrintable(result.out));
        }
    }

    void everySettingIsRead()
    {
        startLoggers(1);
        logger(0).settings().devices.devices.push_back(
            {"INV0001         0003A1", "roof east" + std::string(75, ' ')});
        const CliResult result = run({"read", "--logger", addresses(0, 1), "--format", "json"});
        QCOMPARE(result.status, 0);
        const QJsonObject record = JsonOf(result.out).at(0).toObject();
        QCOMPARE(record.value("ip").toString(), QStringLiteral("127.0.0.2"));
        QCOMPARE(record.value("ip_configuration").toObject(),
                 (QJsonObject{{"address", "192.168.1.100"},
                              {"mask", "255.255.255.0"},
                              {"gateway", "192.168.1.1"}}));
        QCOMPARE(record.value("data_server").toString(), QStringLiteral("192.0.2.20"));
        QCOMPARE(record.value("apn").toObject(),
                 (QJsonObject{{"name", "internet"}, {"user", ""}, {"password", ""}}));
        QCOMPARE(record.value("operator").toString(), QStringLiteral("Operator"));
        QCOMPARE(record.value("signal"), QJsonValue(23));
        QCOMPARE(record.value("front_end").toObject(),
                 (QJsonObject{{"address", "192.0.2.60"}, {"port", 6004}, {"minutes", 30}}));
        QCOMPARE(
            record.value("devices").toArray(),
            (QJsonArray{QJsonObject{
                {"serial", "INV0001"}, {"address", 3}, {"type", "A1"}, {"append", "roof east#"}}}));
        QCOMPARE(record.value("system").toObject().value("gprs").toString(), QStringLiteral("off"));
        QCOMPARE(record.value("system").toObject().value("data_interval_seconds").toInt(), 300);
        QVERIFY(!record.contains("error"));
    }

    // A failure is named for what it is: a logger whose answers all come with a bad CRC is
    // there, and one that answers twice never has a value of another field reported.
    void failureIsNamedForWhatItIs_data()
    {
        QTest::addColumn<QString>("misbehaviour");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("error");
        QTest::newRow("silent") << "silent"
                                << "no_answer"
                                << "no answer to AR after 2 tries";
        QTest::newRow("bad CRC") << "bad CRC"
                                 << "bad_crc"
                                 << "the answers to AR had a bad CRC, 2 tries";
        QTest::newRow("answers twice") << "answers twice"
                                       << "answers_twice"
                                       << "answers twice: a second answer to AR came";
    }

    void failureIsNamedForWhatItIs()
    {
        QFETCH(QString, misbehaviour);
        QFETCH(QString, kind);
        QFETCH(QString, error);
        startLoggers(1);
        logger(0).settings().cellular.apnPassword = "s3cret";
        LoggerMisbehaviour &faults = logger(0).endpoint().misbehaviour();
        faults.dropRate = misbehaviour == QLatin1String("silent") ? 1.0 : 0.0;
        faults.badCrc = misbehaviour == QLatin1String("bad CRC");
        faults.answerTwice = misbehaviour == QLatin1String("answers twice");
        const CliResult result = run({"read", "--logger", addresses(0, 1), "apn", "operator",
                                      "--retries", "1", "--format", "json", "--show-secrets"});
        QCOMPARE(result.status, 1);
        const QJsonObject record = JsonOf(result.out).at(0).toObject();
        QCOMPARE(record.value("error_kind").toString(), kind);
        QVERIFY2(record.value("error").toString().startsWith(error), qPrintable(result.out));
        QVERIFY2(!result.out.contains(QLatin1String("s3cret")), qPrintable(result.out));
    }

    // The first answers of MR are lost; the request is sent again until the retries run out.
    void droppedAnswersAreRetried_data()
    {
        QTest::addColumn<int>("lostAnswers");
        QTest::addColumn<QString>("retries");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("error");
        QTest::newRow("one lost, answered on the second try") << 1 << "2" << 0 << 2 << "";
        QTest::newRow("two lost, answered on the last try") << 2 << "2" << 0 << 3 << "";
        QTest::newRow("three lost, no retries left")
            << 3 << "2" << 1 << 3 << "no answer to MR after 3 tries";
        QTest::newRow("no retries") << 1 << "0" << 1 << 1 << "no answer to MR after 1 tries";
    }

    void droppedAnswersAreRetried()
    {
        QFETCH(int, lostAnswers);
        QFETCH(QString, retries);
        QFETCH(int, status);
        QFETCH(int, requests);
        QFETCH(QString, error);
        startLoggers(1);
        LoggerSim &sim = logger(0).endpoint();
        connect(&sim, &LoggerSim::datagramReceived, this, [&sim, lostAnswers](const QByteArray &) {
            sim.misbehaviour().dropRate =
                static_cast<int>(sim.requests().size()) < lostAnswers ? 1.0 : 0.0;
        });
        const CliResult result = run(
            {"read", "--logger", addresses(0, 1), "mac", "--retries", retries, "--format", "json"});
        QCOMPARE(result.status, status);
        QCOMPARE(requestsTo(0), requests);
        QCOMPARE(JsonOf(result.out).at(0).toObject().value("error").toString(), error);
    }

    // Answers cut over two datagrams, sent twice in one, or after stray bytes are read as
    // the window reads them; a frame beyond the first in a datagram is not kept for the
    // next request.
    void unusualAnswersAreReadCorrectly_data()
    {
        QTest::addColumn<LoggerMisbehaviour>("misbehaviour");
        LoggerMisbehaviour split;
        split.splitFrame = true;
        LoggerMisbehaviour twice;
        twice.doubleFrame = true;
        LoggerMisbehaviour garbage;
        garbage.garbageBefore = "\x05xx";
        LoggerMisbehaviour late;
        late.delayMs = 60;
        QTest::newRow("split over two datagrams") << split;
        QTest::newRow("twice in one datagram") << twice;
        QTest::newRow("stray bytes before") << garbage;
        QTest::newRow("60 ms late") << late;
    }

    void unusualAnswersAreReadCorrectly()
    {
        QFETCH(LoggerMisbehaviour, misbehaviour);
        startLoggers(1);
        logger(0).endpoint().misbehaviour() = misbehaviour;
        const CliResult result = run(
            {"read", "--logger", addresses(0, 1), "mac", "operator", "signal", "--format", "csv"});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QStringLiteral("ip,serial,mac,operator,signal,error\n127.0.0.2,,00-1A-"
                                            "2B-00-00-00,Operator,23,\n"));
        QCOMPARE(requestsTo(0), 3);
    }

    // Every answer comes 200 ms late, after the 150 ms timeout: the first try's answer
    // answers MR, and the second try's answer must not be taken for the answer to CR.
    void lateAnswerOfAnEarlierTryIsNotTakenForTheNext()
    {
        startLoggers(1);
        logger(0).endpoint().misbehaviour().delayMs = 200;
        const CliResult result =
            run({"read", "--logger", addresses(0, 1), "mac", "operator", "--format", "csv"});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out,
                 QStringLiteral(
                     "ip,serial,mac,operator,error\n127.0.0.2,,00-1A-2B-00-00-00,Operator,\n"));
        QCOMPARE(logger(0).endpoint().requests(),
                 (std::vector<std::string>{"MR", "MR", "CR", "CR"}));
    }

    // The add reaches the logger but its answer is lost, or the add itself is lost: the
    // registry is read and the add is resent only in the second case.
    void deviceAddIsNotDoubledAfterALostAnswer_data()
    {
        QTest::addColumn<bool>("addArrives");
        QTest::addColumn<int>("addsSent");
        QTest::newRow("answer lost") << true << 1;
        QTest::newRow("request lost") << false << 2;
    }

    void deviceAddIsNotDoubledAfterALostAnswer()
    {
        QFETCH(bool, addArrives);
        QFETCH(int, addsSent);
        startLoggers(1);
        SimulatedLogger &sim = logger(0);
        int adds = 0;
        connect(&sim.endpoint(), &LoggerSim::datagramReceived, this, [&](const QByteArray &bytes) {
            const bool add = bytes.mid(1, 2) == "DA";
            adds += add ? 1 : 0;
            const bool first = add && adds == 1;
            sim.endpoint().misbehaviour().dropRate = first ? 1.0 : 0.0;
            if (first && !addArrives) {
                // Undone before the tool looks: as if the request had never arrived.
                QTimer::singleShot(0, this, [&sim] { sim.settings().devices.devices.pop_back(); });
            }
        });
        const CliResult result =
            run({"write", "--logger", addresses(0, 1), "devices+=INV7,12,B2", "--format", "csv"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.status, 0);
        QCOMPARE(adds, addsSent);
        QCOMPARE(sim.settings().devices.devices.size(), std::size_t{1});
        QCOMPARE(sim.settings().devices.devices.front().record,
                 std::string("INV7            000CB2"));
    }

    // The add is answered after its timeout, while the registry count that follows would
    // still wait for its own answer: the late answer is set aside (and traced), not taken
    // for the count, and the registry confirms the add.
    void lateAnswerOfADeviceAddIsSetAside()
    {
        startLoggers(1);
        SimulatedLogger &sim = logger(0);
        sim.endpoint().misbehaviour().delayMs = 80;
        sim.endpoint().misbehaviour().lateOnce = LoggerMisbehaviour::LateAnswer{"DA", 250};
        const CliResult result = run({"write", "--logger", addresses(0, 1), "devices+=INV7,12,B2",
                                      "--timeout", "200", "--format", "csv", "--trace"});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.err.contains(QStringLiteral("set aside: an answer from 127.0.0.2 "
                                                    "beginning RDA is not the answer awaited")),
                 qPrintable(result.err));
        const std::vector<std::string> &requests = sim.endpoint().requests();
        QCOMPARE(
            std::count_if(requests.begin(), requests.end(),
                          [](const std::string &request) { return request.starts_with("DA"); }),
            1);
        QCOMPARE(sim.settings().devices.devices.size(), std::size_t{1});
    }

    // A stray frame ahead of the answer in the same datagram does not parse as the read's
    // answer: it is set aside and the answer behind it is taken.
    void strayAnswerIsNotTakenForTheRead_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("stray");
        QTest::newRow("apn") << "apn" << QByteArray("AR") << QByteArray("RAW");
        QTest::newRow("front-end") << "front-end" << QByteArray("QR") << QByteArray("RQW");
        QTest::newRow("ip") << "ip" << QByteArray("ER") << QByteArray("ROK");
        QTest::newRow("device count") << "devices" << QByteArray("DN") << QByteArray("ROK");
    }

    void strayAnswerIsNotTakenForTheRead()
    {
        QFETCH(QString, setting);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, stray);
        startLoggers(1);
        LoggerSim &sim = logger(0).endpoint();
        connect(&sim, &LoggerSim::datagramReceived, this, [&](const QByteArray &bytes) {
            sim.misbehaviour().garbageBefore =
                bytes.mid(1, 2) == command ? protocol::BuildFrame(stray.toStdString()) : "";
        });
        const CliResult result =
            run({"read", "--logger", addresses(0, 1), setting, "--format", "json"});
        QCOMPARE(result.status, 0);
        QCOMPARE(requestsTo(0), 1);
    }

    void readBackThatDiffersIsReported()
    {
        startLoggers(3);
        // The second logger answers the operator write but keeps its old operator.
        logger(1).endpoint().setCommandHandler(
            "CW", [](const std::string &) { return std::optional<std::string>("ROK"); });
        // The third answers the device add but holds another append info than the one sent.
        connect(&logger(2).endpoint(), &LoggerSim::datagramReceived, this, [this] {
            for (auto &device : logger(2).settings().devices.devices) {
                device.appendInfo.replace(60, 4, "west");
            }
        });
        const CliResult result = run({"write", "--logger", addresses(0, 3), "operator=Tele Net",
                                      "devices+=INV1,3,A1,roof#east", "--format", "csv"});
        QCOMPARE(result.status, 1);
        QCOMPARE(result.out,
                 QStringLiteral(
                     "ip,serial,operator,devices,error\n127.0.0.2,,Tele Net,address=3 "
                     "append=roof#east serial=INV1 type=A1,\n"
                     "127.0.0.3,,,,\"read-back differs: operator is \"\"Operator\"\", "
                     "expected \"\"Tele Net\"\"\"\n"
                     "127.0.0.4,,Tele Net,,\"read-back differs: devices is "
                     "\"\"INV1,3,A1,roof#west\"\", expected \"\"INV1,3,A1,roof#east\"\"\"\n"));
        QVERIFY(result.err.contains(QStringLiteral("2 of 3 loggers failed")));
    }

    void writtenSettingsAreHeldByTheLogger()
    {
        startLoggers(1);
        const CliResult result = run(
            {"write", "--logger", addresses(0, 1), "ip=127.0.2.3,255.255.0.0,127.0.0.1",
             "apn=field.apn,tech,secret", "gprs=on", "intervals=10, 3", "data-server=198.51.100.7",
             "front-end=15", "pin=1234", "devices=clear", "devices+=INV1,3,A1,roof#east"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.status, 0);
        const LoggerSettings &held = logger(0).settings();
        QCOMPARE(held.network.ipAddress, std::string("127.0.2.3"));
        QCOMPARE(held.network.dataServerAddress, std::string("198.51.100.7"));
        QCOMPARE(held.cellular.apnPassword, std::string("secret"));
        QCOMPARE(held.cellular.pin, std::string("1234"));
        QCOMPARE(held.cellular.frontEndMinutes, std::string("15"));
        QCOMPARE(held.systemParameters.block, std::string("00002359025803030170"));
        QCOMPARE(held.devices.devices.size(), std::size_t{1});
        // The address change is the last write, after every other setting was read back.
        const std::vector<std::string> &requests = logger(0).endpoint().requests();
        QCOMPARE(requests.at(requests.size() - 2),
                 std::string("EW127.0.2.3,255.255.0.0,127.0.0.1,6001"));
        QCOMPARE(requests.back(), std::string("ER"));
    }

    // The window takes "+5" minutes as 5; the report gives the number, not the text.
    void signedIntervalIsReportedAsItsNumber()
    {
        startLoggers(1);
        const CliResult result =
            run({"write", "--logger", addresses(0, 1), "intervals=+5, 3", "--format", "json"});
        QCOMPARE(result.status, 0);
        QCOMPARE(JsonOf(result.out).at(0).toObject().value("intervals"),
                 QJsonValue(QJsonObject{{"data_minutes", 5}, {"heartbeat_minutes", 3}}));
    }

    // Every refused value names its setting and rule, exits with 2 and sends nothing.
    void badInputSendsNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QStringList write{"write", "--logger", "127.0.0.2"};
        QTest::newRow("ip incomplete") << write + QStringList{"ip=10.0.0.1,255.255.255.0,"}
                                       << "ip: Please complete the Gateway address.";
        QTest::newRow("ip octet 256") << write + QStringList{"ip=10.0.0.256,255.0.0.0,10.0.0.1"}
                                      << "ip: The IP address must be four numbers from 0 to 255.";
        QTest::newRow("ip three fields") << write + QStringList{"ip=10.0.0.1"}
                                         << "ip: expected ip=dhcp or ip=ADDRESS,MASK,GATEWAY";
        QTest::newRow("ip broadcast of its /22")
            << write + QStringList{"ip=10.0.3.255,255.255.252.0,10.0.0.1"}
            << "ip: 10.0.3.255 is the broadcast address of 10.0.0.0/22, not a logger's";
        QTest::newRow("ip gateway outside")
            << write + QStringList{"ip=10.0.0.11,255.255.255.0,10.0.1.1"}
            << "ip: the gateway 10.0.1.1 is outside 10.0.0.0/24, the network of 10.0.0.11";
        QTest::newRow("ip mask with a hole")
            << write + QStringList{"ip=10.0.0.11,255.0.255.0,10.0.0.1"}
            << "ip: the mask 255.0.255.0 is not a network mask (ones, then zeros)";
        QTest::newRow("ip the PC's own address")
            << write + QStringList{"ip=127.0.0.1,255.0.0.0,127.0.0.254"}
            << "ip: 127.0.0.1 is an address of this PC, not of a logger.";
        QTest::newRow("ip multicast")
            << write + QStringList{"ip=224.0.0.5,255.255.255.0,224.0.0.1"}
            << "ip: 224.0.0.5 is a multicast address, not the address of one logger.";
        QTest::newRow("ip mask 0.0.0.0") << write + QStringList{"ip=10.0.0.11,0.0.0.0,10.0.0.1"}
                                         << "ip: the mask 0.0.0.0 makes every address";
        QTest::newRow("ip gateway its own address")
            << write + QStringList{"ip=10.0.0.11,255.255.255.0,10.0.0.11"}
            << "ip: the gateway 10.0.0.11 is the logger's own address";
        QTest::newRow("ip gateway the broadcast address")
            << write + QStringList{"ip=10.0.0.11,255.255.255.0,10.0.0.255"}
            << "ip: the gateway 10.0.0.255 is the broadcast address of 10.0.0.0/24";
        QTest::newRow("data server octet") << write + QStringList{"data-server=192.0.2"}
                                           << "data-server: Please complete the IP address.";
        QTest::newRow("data server with a port")
            << write + QStringList{"data-server=198.51.100.7:6000"}
            << "data-server: every data server is written with port 9040, which the system "
               "fixes: give the address alone";
        QTest::newRow("apn tab at the end of the user")
            << write + QStringList{"apn=web,user\t,p"}
            << "apn: the user must not hold control characters";
        QTest::newRow("operator line feed at the end")
            << write + QStringList{"operator=Tele\n"}
            << "operator: must not hold control characters";
        QTest::newRow("apn two parts")
            << write + QStringList{"apn=web,user"} << "apn: expected apn=NAME,USER,PASSWORD";
        QTest::newRow("apn quote")
            << write + QStringList{"apn=we\"b,u,p"} << "apn: the name must not hold a double quote";
        QTest::newRow("pin empty") << write + QStringList{"pin="} << "pin: Please enter the Pin.";
        QTest::newRow("pin letters")
            << write + QStringList{"pin=12a4"} << "pin: must be digits only";
        QTest::newRow("operator quote")
            << write + QStringList{"operator=a\"b"} << "operator: must not hold a double quote";
        QTest::newRow("front-end zero") << write + QStringList{"front-end=0"}
                                        << "front-end: Please complete Front-End Computer Time";
        QTest::newRow("front-end text") << write + QStringList{"front-end=soon"}
                                        << "front-end: Please complete Front-End Computer Time";
        QTest::newRow("front-end minutes with a sign")
            << write + QStringList{"front-end=+15"}
            << "front-end: the minutes must be decimal digits without sign or leading zero";
        QTest::newRow("front-end two parts")
            << write + QStringList{"front-end=10.9.8.7,7001"}
            << "front-end: expected front-end=ADDRESS,PORT,MINUTES";
        QTest::newRow("front-end address leading zero")
            << write + QStringList{"front-end=10.9.8.07,7001,15"}
            << "front-end: the address must be four decimal numbers from 0 to 255";
        QTest::newRow("front-end address three octets")
            << write + QStringList{"front-end=10.9.8,7001,15"}
            << "front-end: the address must be four decimal numbers from 0 to 255";
        QTest::newRow("front-end port 0") << write + QStringList{"front-end=10.9.8.7,0,15"}
                                          << "front-end: the port must be a decimal number";
        QTest::newRow("front-end port 65536") << write + QStringList{"front-end=10.9.8.7,65536,15"}
                                              << "front-end: the port must be a decimal number";
        QTest::newRow("front-end minutes beyond 32 bits")
            << write + QStringList{"front-end=10.9.8.7,7001,2147483648"}
            << "front-end: Please complete Front-End Computer Time";
        QTest::newRow("gprs maybe")
            << write + QStringList{"gprs=maybe"} << "gprs: expected gprs=on or gprs=off";
        QTest::newRow("intervals 21") << write + QStringList{"intervals=21,3"}
                                      << "intervals: Data Time can not be greater than 20";
        QTest::newRow("intervals heart 0")
            << write + QStringList{"intervals=5,0"} << "intervals: Heart Time invalid";
        QTest::newRow("intervals one")
            << write + QStringList{"intervals=5"}
            << "intervals: expected intervals=DATA_MINUTES,HEART_MINUTES";
        QTest::newRow("device address 256") << write + QStringList{"devices+=INV1,256,A1"}
                                            << "devices: Device Address must be 0 to 255";
        QTest::newRow("device address text") << write + QStringList{"devices+=INV1,3z,A1"}
                                             << "devices: '3z' is not a valid integer value";
        QTest::newRow("device type 1 char") << write + QStringList{"devices+=INV1,3,A"}
                                            << "devices: Type Code must be 2 or 3 characters";
        QTest::newRow("device serial 17") << write + QStringList{"devices+=12345678901234567,3,A1"}
                                          << "devices: Serial No must be at most 16 characters";
        QTest::newRow("device append info a#b#c")
            << write + QStringList{"devices+=INV1,3,A1,a#b#c"}
            << "devices: the append info may hold one \"#\", between its two parts";
        QTest::newRow("device serial with #") << write + QStringList{"devices+=IN#V1,3,A1"}
                                              << "devices: the serial number must not hold \"#\"";
        QTest::newRow("devices other")
            << write + QStringList{"devices=all"} << "devices: expected devices=clear";
        QTest::newRow("fixed ip to two loggers")
            << QStringList{"write", "--logger", "127.0.0.2,127.0.0.3",
                           "ip=10.0.0.9,255.0.0.0,10.0.0.1"}
            << "ip: a fixed address would go to every logger";
        QTest::newRow("fixed ip to all")
            << QStringList{"write", "--all", "--range", "127.0.0.2-127.0.0.3",
                           "ip=10.0.0.9,255.0.0.0,10.0.0.1"}
            << "ip: a fixed address would go to every logger";
        QTest::newRow("read-only setting")
            << write + QStringList{"mac=00-11"} << "mac: not a setting that can be written";
        QTest::newRow("good then bad")
            << write + QStringList{"gprs=on", "pin=x"} << "pin: must be digits only";
        QTest::newRow("unknown setting read")
            << QStringList{"read", "--logger", "127.0.0.2", "colour"}
            << "'colour' is not a setting";
        QTest::newRow("bad logger address")
            << QStringList{"read", "--logger", "127.0.0.300"} << "--logger:";
        QTest::newRow("logger with a leading zero")
            << QStringList{"read", "--logger", "127.0.0.02"}
            << "--logger: '127.0.0.02' has a number with a leading zero";
        QTest::newRow("range with a leading zero")
            << QStringList{"search", "--range", "127.0.0.2-127.0.0.03"}
            << "--range: '127.0.0.03' has a number with a leading zero";
        QTest::newRow("logger and range")
            << QStringList{"read", "--logger", "127.0.0.2", "--range", "127.0.0.2-127.0.0.3"}
            << "give either --logger IP[,IP...] or --all --range";
        QTest::newRow("logger is the address sent from")
            << QStringList{"read", "--logger", "127.0.0.1"}
            << "--logger: 127.0.0.1 is an address of this PC, not of a logger.";
        QTest::newRow("loopback beside another address")
            << QStringList{"read", "--logger", "127.0.0.2,192.0.2.7"}
            << "--logger: 127.0.0.2 is a loopback address: it reaches this PC itself";
        // The PC's own network, as the operator would mistype it on a plant's LAN.
        for (const discovery::LocalAdapter &adapter : discovery::LocalAdapters()) {
            if (adapter.prefixLength > 30) {
                continue;
            }
            const quint32 mask = ~quint32(0) << (32 - adapter.prefixLength);
            const quint32 network = adapter.address.toIPv4Address() & mask;
            const QString broadcast = QHostAddress(network | ~mask).toString();
            const QString own = adapter.address.toString();
            QTest::newRow("the PC network's broadcast address")
                << QStringList{"write", "--logger", broadcast, "operator=X"}
                << broadcast + " is the broadcast address of the PC's network";
            QTest::newRow("the PC network's address")
                << QStringList{"write", "--logger", QHostAddress(network).toString(), "operator=X"}
                << QHostAddress(network).toString() + " is the network address of the PC's network";
            QTest::newRow("the PC's own address")
                << QStringList{"read", "--logger", own, "data-server"}
                << own + " is an address of this PC";
            break;
        }
        QTest::newRow("logger and all") << QStringList{"read", "--logger", "127.0.0.2", "--all"}
                                        << "give either --logger IP[,IP...] or --all";
        QTest::newRow("neither") << QStringList{"read"}
                                 << "give either --logger IP[,IP...] or --all";
        QTest::newRow("format xml")
            << QStringList{"read", "--logger", "127.0.0.2", "--format", "xml"}
            << "--format needs table, json or csv, not 'xml'";
        QTest::newRow("timeout zero")
            << QStringList{"read", "--logger", "127.0.0.2", "--timeout", "0"}
            << "--timeout needs a whole number";
        const QStringList search{"search", "--range", "127.0.0.2-127.0.0.3"};
        QTest::newRow("probes 0") << search + QStringList{"--probes", "0"}
                                  << "--probes needs a whole number from 1 to 10, not '0'";
        QTest::newRow("probes 11") << search + QStringList{"--probes", "11"}
                                   << "--probes needs a whole number from 1 to 10, not '11'";
        QTest::newRow("expect 0 with all")
            << QStringList{"read", "--all",    "--range", "127.0.0.2-127.0.0.3",
                           "mac",  "--expect", "0"}
            << "--expect needs a whole number from 1 to 65536, not '0'";
        QTest::newRow("expect text") << search + QStringList{"--expect", "two"}
                                     << "--expect needs a whole number from 1 to 65536, not 'two'";
        QTest::newRow("no verb") << QStringList{"frobnicate"} << "'frobnicate' is not a verb";
        // On Windows the link is a shortcut, which is one only when its name ends in .lnk.
        QVERIFY(QFile::link(m_scratch.filePath("elsewhere.json"), m_scratch.filePath("link.lnk")));
        QTest::newRow("backup to a symbolic link")
            << QStringList{"backup", "--logger", "127.0.0.2", "--output",
                           m_scratch.filePath("link.lnk")}
            << "--output: " + m_scratch.filePath("link.lnk") + " is a symbolic link";
        QTest::newRow("backup to a folder that is not there")
            << QStringList{"backup", "--logger", "127.0.0.2", "--output",
                           m_scratch.filePath("missing/profile.json")}
            << "--output: cannot write " + m_scratch.filePath("missing/profile.json");
        QTest::newRow("backup two loggers")
            << QStringList{"backup", "--logger", "127.0.0.2,127.0.0.3", "--output", "x.json"}
            << "backup takes exactly one --logger";
        const QStringList watch{"watch", "--logger", "127.0.0.2", "--count", "1"};
        QTest::newRow("watch interval 499")
            << watch + QStringList{"--interval", "499"}
            << "--interval needs a whole number from 500 to 60000, not '499'";
        QTest::newRow("watch interval 60001")
            << watch + QStringList{"--interval", "60001"}
            << "--interval needs a whole number from 500 to 60000, not '60001'";
        QTest::newRow("watch count 0")
            << watch + QStringList{"--count", "0"} << "--count needs a whole number from 1";
        QTest::newRow("commission without a plan")
            << QStringList{"commission", "plant.json"} << "commission needs --plan PLAN.csv";
        QTest::newRow("watch two loggers")
            << QStringList{"watch", "--logger", "127.0.0.2,127.0.0.3"}
            << "watch takes exactly one --logger";
    }

    void badInputSendsNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        startLoggers(2);
        const CliResult result = run(arguments);
        QCOMPARE(result.status, 2);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(result.out, QString());
        for (int index = 0; index < 2; ++index) {
            QCOMPARE(requestsTo(index), 0);
            QCOMPARE(logger(index).endpoint().probesReceived(), 0);
        }
    }

    // A text the loggers' code page cannot hold is refused as the window refuses it, before
    // anything is sent; no character goes out as "?" or is dropped.
    void textOutsideTheCodePageSendsNothing_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after a profile's "apply FILE", if any
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<QString>("message");
        const QString chinese = QString::fromUtf8("\u4E2D\u6587");
        const QString refusal = QString::fromUtf8(
            "The loggers' code page has no character '\u4E2D': nothing was sent.");
        const QStringList write{"write", "--logger", "127.0.0.2"};
        QTest::newRow("write operator")
            << write + QStringList{"operator=" + chinese} << QByteArray() << "operator: " + refusal;
        QTest::newRow("write apn password")
            << write + QStringList{"apn=web,user," + chinese} << QByteArray() << "apn: " + refusal;
        QTest::newRow("write device append info")
            << write + QStringList{"devices+=INV1,3,A1,roof " + chinese} << QByteArray()
            << "devices: " + refusal;
        QTest::newRow("apply operator")
            << QStringList{"--logger", "127.0.0.2"}
            << QByteArray(R"({"format":"tarnwick-profile","version":1,"settings":{"operator":")") +
                   chinese.toUtf8() + "\"}}"
            << "operator: " + refusal;
    }

    void textOutsideTheCodePageSendsNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, profile);
        QFETCH(QString, message);
        QVERIFY(wire_text::SelectCodePage(QStringLiteral("windows-1252")));
        const auto systemCodePage = qScopeGuard(
            [] { wire_text::SelectCodePage(QLatin1String(wire_text::kSystemCodePage)); });
        startLoggers(1);
        QTemporaryDir directory;
        if (!profile.isEmpty()) {
            QFile file(directory.filePath("profile.json"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(profile);
            arguments = QStringList{"apply", file.fileName()} + arguments;
        }
        const CliResult result = run(arguments);
        QCOMPARE(result.status, 2);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(requestsTo(0), 0);
    }

    // A profile or plan that cannot be used: exit 2, no command sent to any logger.
    void badProfileOrPlanSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<QByteArray>("plan");
        QTest::addColumn<QString>("message");
        const QByteArray good =
            R"({"format":"tarnwick-profile","version":1,"settings":{"operator":"Tele"}})";
        const QByteArray plan = "serial,ip,mask,gateway\nSN-001,10.0.0.11,255.255.255.0,10.0.0.1\n"
                                "SN-002,10.0.0.12,255.255.255.0,10.0.0.1\n";
        QTest::newRow("truncated") << good.left(40) << QByteArray() << "not a profile:";
        QTest::newRow("not an object") << QByteArray("[1,2]") << QByteArray()
                                       << "not a profile: the document is not a JSON object";
        QTest::newRow("other format")
            << QByteArray(R"({"format":"other","version":1,"settings":{}})") << QByteArray()
            << "\"format\" must be \"tarnwick-profile\"";
        QTest::newRow("version 2")
            << QByteArray(R"({"format":"tarnwick-profile","version":2,"settings":{}})")
            << QByteArray() << "profile version 2 is not supported";
        QTest::newRow("unknown top key")
            << QByteArray(R"({"format":"tarnwick-profile","version":1,"settings":{},"extra":1})")
            << QByteArray() << "unknown key \"extra\"";
        QTest::newRow("unknown setting")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"colour":"red"}})")
            << QByteArray() << "unknown key \"settings.colour\"";
        QTest::newRow("apn name twice")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"apn":{"name":"a","name":"b"}}})")
            << QByteArray() << "the key \"settings.apn.name\" is given twice";
        QTest::newRow("unknown apn key")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"apn":{"name":"a","pasword":"x"}}})")
            << QByteArray() << "unknown key \"settings.apn.pasword\"";
        QTest::newRow("bad value")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"front_end":"0"}})")
            << QByteArray() << "front-end: Please complete Front-End Computer Time";
        QTest::newRow("bad device")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"devices":[{"serial":"A","address":"300","type":"A1"}]}})")
            << QByteArray() << "devices: Device Address must be 0 to 255";
        QTest::newRow("bad system")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"system":{"start":"25:00","stop":"23:59","data_interval_seconds":300,"heartbeat_minutes":5,"retries":3,"wait_for_response":"yes","reconnect":"yes","transport":"tcp","gprs":"on"}}})")
            << QByteArray() << "system: Log Start Stop Time Invalid";
        // A number is a whole number without sign: none is cut to one.
        const auto system = [](const char *interval) {
            return QByteArray(
                       R"({"format":"tarnwick-profile","version":1,"settings":{"system":{"start":"00:00","stop":"23:59","data_interval_seconds":)") +
                   interval +
                   R"(,"heartbeat_minutes":5,"retries":3,"wait_for_response":"yes","reconnect":"yes","transport":"tcp","gprs":"on"}}})";
        };
        QTest::newRow("interval with a fraction")
            << system("600.5") << QByteArray()
            << "\"settings.system.data_interval_seconds\" must be a whole number without sign, "
               "not 600.5";
        QTest::newRow("interval with a sign")
            << system("-300") << QByteArray()
            << "\"settings.system.data_interval_seconds\" must be a whole number without sign, "
               "not -300";
        QTest::newRow("interval as other text")
            << system("\"300s\"") << QByteArray()
            << "\"settings.system.data_interval_seconds\" must be a whole number without sign, "
               "not \"300s\"";
        QTest::newRow("interval beyond the whole numbers")
            << system("1000000000") << QByteArray()
            << "\"settings.system.data_interval_seconds\" must be a whole number without sign, "
               "not 1000000000";
        QTest::newRow("front-end minutes with a fraction")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"front_end":15.5}})")
            << QByteArray()
            << "\"settings.front_end\" must be a whole number without sign, not 15.5";
        // An endpoint without its port keeps the logger's port (partialSettingKeeps...).
        QTest::newRow("front-end endpoint with an empty port")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"front_end":{"address":"10.9.8.7","port":"","minutes":"45"}}})")
            << QByteArray() << "front-end: the port must be a decimal number";
        QTest::newRow("front-end port number out of range")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"front_end":{"address":"10.9.8.7","port":70000,"minutes":45}}})")
            << QByteArray() << "front-end: the port must be a decimal number from 1 to 65535";
        QTest::newRow("front-end port with a fraction")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"front_end":{"address":"10.9.8.7","port":7001.5,"minutes":45}}})")
            << QByteArray()
            << "\"settings.front_end.port\" must be a whole number without sign, not 7001.5";
        for (const char *port : {"7001.0", "7.001e3"}) {
            QTest::newRow(qPrintable(QStringLiteral("front-end port %1").arg(port)))
                << QByteArray(
                       R"({"format":"tarnwick-profile","version":1,"settings":{"front_end":{"address":"10.9.8.7","port":)") +
                       port + R"(,"minutes":45}}})"
                << QByteArray()
                << "\"settings.front_end.port\" must be a whole number without sign, not " +
                       QString::fromLatin1(port);
        }
        QTest::newRow("device address number out of range")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"devices":[{"serial":"A","address":300,"type":"A1"}]}})")
            << QByteArray() << "devices: Device Address must be 0 to 255";
        QTest::newRow("front-end endpoint unknown key")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"front_end":{"address":"10.9.8.7","port":"7001","minutes":"45","host":"x"}}})")
            << QByteArray() << "unknown key \"settings.front_end.host\"";
        QTest::newRow("plan unknown serial")
            << good << plan + "SN-999,10.0.0.19,255.255.255.0,10.0.0.1\n"
            << "the plan names serial SN-999";
        QTest::newRow("plan bad address")
            << good
            << QByteArray("serial,ip,mask,gateway\nSN-001,10.0.0.300,255.255.255.0,10.0.0.1\n")
            << "line 2: ip: The IP address must be four numbers from 0 to 255.";
        QTest::newRow("plan no header")
            << good << QByteArray("SN-001,10.0.0.11,255.255.255.0,10.0.0.1\n")
            << "line 1: the first line must be serial,ip,mask,gateway";
        QTest::newRow("plan missing logger") << good << plan.left(plan.indexOf("SN-002"))
                                             << "logger SN-002 (127.0.0.3) has no row in the plan";
        QTest::newRow("plan serial twice")
            << good << plan + "SN-001,10.0.0.13,255.255.255.0,10.0.0.1\n"
            << "lines 2 and 4 both give serial SN-001";
        const QByteArray header = "serial,ip,mask,gateway\n";
        QTest::newRow("plan address twice") << good
                                            << header + "SN-001,10.0.0.11,255.255.255.0,10.0.0.1\n"
                                                        "SN-002,10.0.0.11,255.255.255.0,10.0.0.1\n"
                                            << "lines 2 and 3 both give the address 10.0.0.11";
        QTest::newRow("plan network address")
            << good << header + "SN-001,10.0.0.0,255.255.255.0,10.0.0.1\n"
            << "line 2: ip: 10.0.0.0 is the network address of 10.0.0.0/24, not a logger's";
        QTest::newRow("plan broadcast address")
            << good << header + "SN-001,10.0.0.255,255.255.255.0,10.0.0.1\n"
            << "line 2: ip: 10.0.0.255 is the broadcast address of 10.0.0.0/24, not a logger's";
        QTest::newRow("plan gateway outside")
            << good << header + "SN-001,10.0.0.11,255.255.255.0,10.0.1.1\n"
            << "line 2: ip: the gateway 10.0.1.1 is outside 10.0.0.0/24, the network of "
               "10.0.0.11";
        QTest::newRow("plan the PC's own address")
            << good
            << header + "SN-001,127.0.0.1,255.255.255.0,127.0.0.254\n"
                        "SN-002,127.0.0.12,255.255.255.0,127.0.0.254\n"
            << "ip: 127.0.0.1 is an address of this PC, not of a logger.";
        QTest::newRow("plan gateway its own address")
            << good << header + "SN-001,10.0.0.11,255.255.255.0,10.0.0.11\n"
            << "line 2: ip: the gateway 10.0.0.11 is the logger's own address";
        QTest::newRow("plan address of another target")
            << good
            << header + "SN-001,127.0.0.3,255.255.255.0,127.0.0.1\n"
                        "SN-002,127.0.0.12,255.255.255.0,127.0.0.1\n"
            << "line 2 gives SN-001 the address 127.0.0.3, where logger SN-002 answers now";
        QTest::newRow("profile address is its network's broadcast")
            << QByteArray(
                   R"({"format":"tarnwick-profile","version":1,"settings":{"ip_configuration":{"address":"10.0.0.255","mask":"255.255.255.0","gateway":"10.0.0.1"}}})")
            << QByteArray()
            << "ip: 10.0.0.255 is the broadcast address of 10.0.0.0/24, not a logger's";
    }

    void badProfileOrPlanSendsNothing()
    {
        QFETCH(QByteArray, profile);
        QFETCH(QByteArray, plan);
        QFETCH(QString, message);
        startLoggers(2);
        QTemporaryDir directory;
        const QString profilePath = directory.filePath("profile.json");
        const QString planPath = directory.filePath("plan.csv");
        {
            QFile file(profilePath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(profile);
        }
        QStringList arguments{"apply", profilePath, "--logger", addresses(0, 2)};
        if (!plan.isEmpty()) {
            QFile file(planPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(plan);
            file.close();
            arguments += {"--with-ip", "--plan", planPath};
        }
        const CliResult result = run(arguments);
        QCOMPARE(result.status, 2);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        for (int index = 0; index < 2; ++index) {
            QCOMPARE(requestsTo(index), 0);
        }
    }

    // A logger other than the target answers at the new address: the target keeps its
    // address, the failure names who answered, and the other logger is sent nothing.
    void addressInUseIsNotTaken_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("write, the target's serial unknown")
            << QStringList{"write", "--logger", "127.0.0.2", "ip=127.0.0.3,255.255.255.0,127.0.0.1"}
            << "ip: logger SN-002 answers at 127.0.0.3, the new address and this logger's serial "
               "number is not known; the address was not changed";
        QTest::newRow("apply with a plan, another serial answers")
            << QStringList{"apply", "--logger", "127.0.0.2", "--with-ip", "--plan"}
            << "ip: logger SN-002 answers at 127.0.0.3, the new address; the address was not "
               "changed";
    }

    void addressInUseIsNotTaken()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        startLoggers(2);
        QTemporaryDir directory;
        if (arguments.first() == QLatin1String("apply")) {
            const QString profile = directory.filePath("profile.json");
            const QString plan = directory.filePath("plan.csv");
            QFile profileFile(profile);
            QVERIFY(profileFile.open(QIODevice::WriteOnly));
            profileFile.write(R"({"format":"tarnwick-profile","version":1,"settings":{}})");
            QFile planFile(plan);
            QVERIFY(planFile.open(QIODevice::WriteOnly));
            planFile.write("serial,ip,mask,gateway\nSN-001,127.0.0.3,255.255.255.0,127.0.0.1\n");
            arguments.insert(1, profile);
            arguments.append(plan);
        }
        const CliResult result = run(arguments + QStringList{"--format", "json"});
        QCOMPARE(result.status, 1);
        const QJsonObject record = JsonOf(result.out).at(0).toObject();
        QCOMPARE(record.value("error").toString(), error);
        QCOMPARE(record.value("error_kind").toString(), QStringLiteral("refused"));
        for (const std::string &request : logger(0).endpoint().requests()) {
            QVERIFY2(!request.starts_with("EW"), request.c_str());
        }
        QCOMPARE(logger(0).settings().network.ipAddress, std::string("192.168.1.100"));
        QCOMPARE(requestsTo(1), 0);
    }

    // A plan run again after a run that changed some addresses: a row that keeps a logger
    // at the address it answers at is no clash.
    void planRowKeepingItsAddressIsAccepted()
    {
        startLoggers(2);
        QTemporaryDir directory;
        const QString profile = directory.filePath("profile.json");
        const QString plan = directory.filePath("plan.csv");
        QFile profileFile(profile);
        QVERIFY(profileFile.open(QIODevice::WriteOnly));
        profileFile.write(R"({"format":"tarnwick-profile","version":1,"settings":{}})");
        profileFile.close();
        QFile planFile(plan);
        QVERIFY(planFile.open(QIODevice::WriteOnly));
        planFile.write("serial,ip,mask,gateway\nSN-001,127.0.0.2,255.255.255.0,127.0.0.1\n"
                       "SN-002,127.0.0.13,255.255.255.0,127.0.0.1\n");
        planFile.close();
        const CliResult result =
            run({"apply", profile, "--logger", addresses(0, 2), "--with-ip", "--plan", plan});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.status, 0);
    }

    // After the change the logger is looked for at its new address, then at its old one;
    // the report says where it answered.
    void addressChangeIsReadBackWhereTheLoggerAnswers_data()
    {
        QTest::addColumn<bool>("moves");
        QTest::addColumn<bool>("changeAnswerLost");
        QTest::addColumn<QString>("answersAt");
        QTest::newRow("at the new address") << true << false << "127.0.0.20";
        QTest::newRow("at the new address, the change's answer lost")
            << true << true << "127.0.0.20";
        QTest::newRow("still at the old address") << false << false << "127.0.0.2";
    }

    void addressChangeIsReadBackWhereTheLoggerAnswers()
    {
        QFETCH(bool, moves);
        QFETCH(bool, changeAnswerLost);
        QFETCH(QString, answersAt);
        startLoggers(1);
        logger(0).settings().network.movesToAWrittenAddress = moves;
        LoggerSim &sim = logger(0).endpoint();
        connect(&sim, &LoggerSim::datagramReceived, this,
                [&sim, changeAnswerLost](const QByteArray &bytes) {
                    sim.misbehaviour().dropRate =
                        changeAnswerLost && bytes.mid(1, 2) == "EW" ? 1.0 : 0.0;
                });
        const CliResult result = run({"write", "--logger", "127.0.0.2",
                                      "ip=127.0.0.20,255.255.255.0,127.0.0.1", "--format", "json"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.status, 0);
        QCOMPARE(JsonOf(result.out).at(0).toObject().value("ip_configuration").toObject(),
                 (QJsonObject{{"address", "127.0.0.20"},
                              {"mask", "255.255.255.0"},
                              {"gateway", "127.0.0.1"},
                              {"answers_at", answersAt}}));
        QCOMPARE(logger(0).endpoint().address().toString(), answersAt);
    }

    void backupOfOneLoggerAppliedToTheOthers()
    {
        startLoggers(3);
        LoggerSettings &source = logger(0).settings();
        source.network.dataServerAddress = "198.51.100.20";
        source.cellular.apnName = "plant.apn";
        source.cellular.apnUser = "plant";
        source.cellular.apnPassword = "s3cret";
        source.cellular.telecomOperator = "Field Tel";
        source.cellular.frontEndAddress = "10.9.8.7";
        source.cellular.frontEndPort = "7001";
        source.cellular.frontEndMinutes = "45";
        source.systemParameters.block = "06001830025803030170";
        source.devices.devices = {{"INV0001         0003A1", "east" + std::string(80, ' ')},
                                  {"INV0002         B004C2", std::string(84, ' ')}};
        logger(2).settings().devices.devices = {{"OLD0001         0009Z9", std::string(84, ' ')}};
        QTemporaryDir directory;
        const QString path = directory.filePath("plant.json");

        const CliResult backup = run({"backup", "--logger", addresses(0, 1), "--output", path});
        QCOMPARE(backup.err, QString());
        QCOMPARE(backup.status, 0);
        QVERIFY(!private_file::ReadableByOthers(path));

        const QByteArray plan =
            "serial,ip,mask,gateway\nSN-002,127.0.0.12,255.255.255.0,127.0.0.1\n"
            "SN-003,127.0.0.13,255.255.255.0,127.0.0.1\n";
        const QString planPath = directory.filePath("plan.csv");
        {
            QFile file(planPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(plan);
        }
        const CliResult apply =
            run({"apply", path, "--logger", addresses(1, 2), "--with-ip", "--plan", planPath});
        QCOMPARE(apply.err, QString());
        QCOMPARE(apply.status, 0);
        for (int index : {1, 2}) {
            const LoggerSettings &target = logger(index).settings();
            QCOMPARE(target.network.dataServerAddress, source.network.dataServerAddress);
            QCOMPARE(target.cellular.apnName, source.cellular.apnName);
            QCOMPARE(target.cellular.apnPassword, source.cellular.apnPassword);
            QCOMPARE(target.cellular.telecomOperator, source.cellular.telecomOperator);
            QCOMPARE(target.cellular.frontEndAddress, source.cellular.frontEndAddress);
            QCOMPARE(target.cellular.frontEndPort, source.cellular.frontEndPort);
            QCOMPARE(target.cellular.frontEndMinutes, source.cellular.frontEndMinutes);
            QCOMPARE(target.systemParameters.block, source.systemParameters.block);
            QCOMPARE(target.devices.devices.size(), std::size_t{2});
            for (std::size_t device = 0; device < 2; ++device) {
                QCOMPARE(target.devices.devices[device].record,
                         source.devices.devices[device].record);
                QCOMPARE(target.devices.devices[device].appendInfo,
                         source.devices.devices[device].appendInfo);
            }
            QCOMPARE(target.network.ipAddress,
                     QStringLiteral("127.0.0.1%1").arg(index + 1).toStdString());
        }
    }

    // A setting has one JSON value in every verb: as written, read, kept by a backup,
    // wanted by a dry run and held after an apply; numbers as numbers.
    void settingHasOneShapeInEveryVerb_data()
    {
        QTest::addColumn<QString>("assignment");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::newRow("device added")
            << "devices+=INV1,3,A1,roof#east"
            << "devices"
            << QJsonValue(QJsonArray{QJsonObject{
                   {"serial", "INV1"}, {"address", 3}, {"type", "A1"}, {"append", "roof#east"}}});
        // The window writes a double quote in a device text; a profile that holds one applies.
        QTest::newRow("device with a double quote")
            << "devices+=INV1,3,A1,roof \"east\""
            << "devices"
            << QJsonValue(QJsonArray{QJsonObject{{"serial", "INV1"},
                                                 {"address", 3},
                                                 {"type", "A1"},
                                                 {"append", "roof \"east\"#"}}});
        QTest::newRow("devices cleared") << "devices=clear"
                                         << "devices" << QJsonValue(QJsonArray());
        QTest::newRow("front-end endpoint")
            << "front-end=10.1.1.1,7002,20"
            << "front_end"
            << QJsonValue(QJsonObject{{"address", "10.1.1.1"}, {"port", 7002}, {"minutes", 20}});
    }

    void settingHasOneShapeInEveryVerb()
    {
        QFETCH(QString, assignment);
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        startLoggers(2);
        // The second logger holds another registry, so that applying the first's changes it.
        logger(1).settings().devices.devices = {{"OLD0001         0009Z9", std::string(84, ' ')}};
        const QString setting = key == QLatin1String("front_end") ? "front-end" : key;
        const auto only = [](const CliResult &result, const QString &field) {
            return JsonOf(result.out).at(0).toObject().value(field);
        };
        const QStringList json{"--format", "json"};

        const CliResult written =
            run(QStringList{"write", "--logger", addresses(0, 1), assignment} + json);
        QCOMPARE(written.status, 0);
        QCOMPARE(only(written, key), value);
        const CliResult read =
            run(QStringList{"read", "--logger", addresses(0, 1), setting} + json);
        QCOMPARE(only(read, key), value);

        QTemporaryDir directory;
        const QString path = directory.filePath("backup.json");
        QCOMPARE(run({"backup", "--logger", addresses(0, 1), "--output", path}).status, 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(file.readAll())
                     .object()
                     .value("settings")
                     .toObject()
                     .value(key),
                 value);

        const QStringList apply{"apply", path, "--logger", addresses(1, 1)};
        const CliResult dryRun = run(apply + json + QStringList{"--dry-run"});
        QCOMPARE(only(dryRun, key).toObject().value("wanted"), value);
        const CliResult applied = run(apply + json);
        QCOMPARE(applied.status, 0);
        QCOMPARE(only(applied, key).toObject().value("status").toString(),
                 QStringLiteral("changed"));
        QCOMPARE(only(applied, key).toObject().value("value"), value);
        const CliResult again =
            run(QStringList{"read", "--logger", addresses(1, 1), setting} + json);
        QCOMPARE(only(again, key), value);
    }

    // The signal is a level of the scale as a number; what is no level says so in words or
    // stands as received.
    void signalIsALevelOrSaysWhyNot_data()
    {
        QTest::addColumn<QByteArray>("reported");
        QTest::addColumn<QJsonValue>("value");
        QTest::newRow("level") << QByteArray("07") << QJsonValue(7);
        QTest::newRow("modem does not know") << QByteArray("99") << QJsonValue("unknown");
        QTest::newRow("off the scale") << QByteArray("45") << QJsonValue("45");
        QTest::newRow("not digits") << QByteArray("4x") << QJsonValue("4x");
    }

    void signalIsALevelOrSaysWhyNot()
    {
        QFETCH(QByteArray, reported);
        QFETCH(QJsonValue, value);
        startLoggers(1);
        logger(0).settings().cellular.signalQuality = reported.toStdString();
        const CliResult result =
            run({"read", "--logger", addresses(0, 1), "signal", "--format", "json"});
        QCOMPARE(result.status, 0);
        QCOMPARE(JsonOf(result.out).at(0).toObject().value("signal"), value);
    }

    // The minutes alone keep the logger's address and port: the endpoint is read first.
    void frontEndWriteKeepsOrSetsTheEndpoint_data()
    {
        QTest::addColumn<QString>("assignment");
        QTest::addColumn<QString>("endpoint");
        QTest::newRow("minutes alone") << "front-end=15"
                                       << "10.9.8.7,7001,15";
        QTest::newRow("whole endpoint") << "front-end=10.1.1.1,7002,20"
                                        << "10.1.1.1,7002,20";
    }

    void frontEndWriteKeepsOrSetsTheEndpoint()
    {
        QFETCH(QString, assignment);
        QFETCH(QString, endpoint);
        startLoggers(1);
        CellularState &held = logger(0).settings().cellular;
        held.frontEndAddress = "10.9.8.7";
        held.frontEndPort = "7001";
        const CliResult result =
            run({"write", "--logger", addresses(0, 1), assignment, "--format", "csv"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.status, 0);
        QCOMPARE(QString::fromStdString(held.frontEndAddress + "," + held.frontEndPort + "," +
                                        held.frontEndMinutes),
                 endpoint);
        const QStringList parts = endpoint.split(',');
        QCOMPARE(result.out,
                 QStringLiteral("ip,serial,front_end,error\n127.0.0.2,,address=%1 minutes=%3 "
                                "port=%2,\n")
                     .arg(parts[0], parts[1], parts[2]));
    }

    // A dry run reads and writes nothing; apply writes only what differs; a second apply
    // writes nothing at all.
    void applyWritesOnlyWhatDiffers()
    {
        startLoggers(1);
        LoggerSettings &held = logger(0).settings();
        held.cellular.telecomOperator = "Field Tel";
        held.devices.devices = {{"INV0001         0003A1", std::string(84, ' ')}};
        QTemporaryDir directory;
        const QString path = directory.filePath("plant.json");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(R"({"format":"tarnwick-profile","version":1,"settings":{)"
                       R"("data_server":"198.51.100.20","operator":"Field Tel",)"
                       R"("apn":{"name":"plant.apn","user":"plant","password":"s3cret"},)"
                       "\"devices\":[{\"serial\":\"INV0001\",\"address\":\"3\","
                       "\"type\":\"A1\",\"append\":\"#\"}]}}");
        }
        const QStringList apply{"apply", path, "--logger", addresses(0, 1), "--format", "json"};
        const QMap<QString, QString> differences{{"data_server", "would_change"},
                                                 {"apn", "would_change"},
                                                 {"operator", "unchanged"},
                                                 {"devices", "unchanged"}};
        const QMap<QString, QString> changes{{"data_server", "changed"},
                                             {"apn", "changed"},
                                             {"operator", "unchanged"},
                                             {"devices", "unchanged"}};
        const QMap<QString, QString> holds{{"data_server", "unchanged"},
                                           {"apn", "unchanged"},
                                           {"operator", "unchanged"},
                                           {"devices", "unchanged"}};
        const std::vector<ApplyRun> runs{{apply + QStringList{"--dry-run"}, differences, {}},
                                         {apply, changes, {"R4", "AW"}},
                                         {apply, holds, {}}};
        for (const ApplyRun &run : runs) {
            const auto before = static_cast<std::ptrdiff_t>(requestsTo(0));
            const CliResult result = this->run(run.arguments);
            QCOMPARE(result.status, 0);
            QCOMPARE(StatusesOf(result.out), run.statuses);
            const std::vector<std::string> &requests = logger(0).endpoint().requests();
            QCOMPARE(WritesAmong({requests.begin() + before, requests.end()}), run.writes);
        }
        QCOMPARE(held.network.dataServerAddress, std::string("198.51.100.20"));
        QCOMPARE(held.cellular.apnPassword, std::string("s3cret"));
    }

    // A setting given in part is read first: the fields left out keep the logger's values.
    void partialSettingKeepsWhatItDoesNotName_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("held");
        QTest::newRow("apn name alone")
            << QByteArray(R"({"apn":{"name":"new.apn"}})") << "apn"
            << QJsonValue(
                   QJsonObject{{"name", "new.apn"}, {"user", "plant"}, {"password", "s3cret"}});
        QTest::newRow("front-end minutes alone")
            << QByteArray(R"({"front_end":{"minutes":45}})") << "front_end"
            << QJsonValue(QJsonObject{{"address", "10.9.8.7"}, {"port", 7001}, {"minutes", 45}});
        QTest::newRow("device without append info")
            << QByteArray(R"({"devices":[{"serial":"INV0001","address":3,"type":"A1"},)"
                          R"({"serial":"INV0002","address":4,"type":"B2"}]})")
            << "devices"
            << QJsonValue(QJsonArray{
                   QJsonObject{{"serial", "INV0001"},
                               {"address", 3},
                               {"type", "A1"},
                               {"append", "roof#east"}},
                   QJsonObject{
                       {"serial", "INV0002"}, {"address", 4}, {"type", "B2"}, {"append", "#"}}});
        QTest::newRow("system stop and gprs alone")
            << QByteArray(R"({"system":{"stop":"19:45","gprs":"on"}})") << "system"
            << QJsonValue(QJsonObject{{"start", "06:00"},
                                      {"stop", "19:45"},
                                      {"data_interval_seconds", 600},
                                      {"heartbeat_minutes", 10},
                                      {"retries", 7},
                                      {"wait_for_response", "yes"},
                                      {"reconnect", "yes"},
                                      {"transport", "tcp"},
                                      {"gprs", "on"}});
    }

    void partialSettingKeepsWhatItDoesNotName()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, key);
        QFETCH(QJsonValue, held);
        startLoggers(1);
        LoggerSettings &logger0 = logger(0).settings();
        logger0.cellular.apnName = "plant.apn";
        logger0.cellular.apnUser = "plant";
        logger0.cellular.apnPassword = "s3cret";
        logger0.cellular.frontEndAddress = "10.9.8.7";
        logger0.cellular.frontEndPort = "7001";
        logger0.cellular.frontEndMinutes = "15";
        logger0.devices.devices = {{"INV0001         0003A1",
                                    "roof" + std::string(56, ' ') + "east" + std::string(20, ' ')}};
        logger0.systemParameters.block = "0600183002580A070160";
        QTemporaryDir directory;
        const QString path = directory.filePath("plant.json");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(R"({"format":"tarnwick-profile","version":1,"settings":)" + settings + "}");
        }
        const CliResult applied = run({"apply", path, "--logger", addresses(0, 1)});
        QVERIFY2(applied.status == 0, qPrintable(applied.err + applied.out));
        // Compared by the given fields alone: once they hold, nothing is written again.
        const auto writes = WritesAmong(logger(0).endpoint().requests()).size();
        QCOMPARE(run({"apply", path, "--logger", addresses(0, 1)}).status, 0);
        QCOMPARE(WritesAmong(logger(0).endpoint().requests()).size(), writes);
        const QString setting = key == QLatin1String("front_end") ? "front-end" : key;
        const CliResult read = run(
            {"read", "--logger", addresses(0, 1), setting, "--format", "json", "--show-secrets"});
        QCOMPARE(JsonOf(read.out).at(0).toObject().value(key), held);
    }

    // Every data server write sends port 9040: a logger that holds another port reports it,
    // and the dry run shows that the apply changes it.
    void dataServerPortIsShownWithItsChange()
    {
        startLoggers(1);
        LoggerSettings &held = logger(0).settings();
        held.network.dataServerAddress = "198.51.100.20";
        held.network.dataServerPort = "6000";
        QTemporaryDir directory;
        const QString path = directory.filePath("plant.json");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(R"({"format":"tarnwick-profile","version":1,)"
                       R"("settings":{"data_server":"198.51.100.20"}})");
        }
        const QStringList apply{"apply", path, "--logger", addresses(0, 1), "--format", "json"};
        const auto entry = [](const CliResult &result) {
            return JsonOf(result.out).at(0).toObject().value("data_server").toObject();
        };
        const QJsonObject dryRun = entry(run(apply + QStringList{"--dry-run"}));
        QCOMPARE(dryRun.value("status").toString(), QStringLiteral("would_change"));
        QCOMPARE(dryRun.value("value").toString(), QStringLiteral("198.51.100.20:6000"));
        QCOMPARE(entry(run(apply)).value("status").toString(), QStringLiteral("changed"));
        QCOMPARE(held.network.dataServerPort, std::string("9040"));
    }

    // A setting that fails is named; the settings after it are still applied.
    void aFailedSettingLeavesTheOthers()
    {
        startLoggers(1);
        // The logger answers the data server's write but keeps its old address.
        logger(0).endpoint().setCommandHandler(
            "R4", [](const std::string &) { return std::string("ROK"); });
        QTemporaryDir directory;
        const QString path = directory.filePath("plant.json");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(R"({"format":"tarnwick-profile","version":1,"settings":{)"
                       R"("data_server":"198.51.100.20","operator":"Field Tel"}})");
        }
        const CliResult result =
            run({"apply", path, "--logger", addresses(0, 1), "--format", "json"});
        QCOMPARE(result.status, 1);
        const QJsonObject record = JsonOf(result.out).at(0).toObject();
        QCOMPARE(record.value("data_server").toObject().value("error_kind").toString(),
                 QStringLiteral("differs"));
        QCOMPARE(StatusesOf(result.out),
                 (QMap<QString, QString>{{"data_server", "failed"}, {"operator", "changed"}}));
        QVERIFY(record.value("error").toString().contains("data-server"));
        QCOMPARE(logger(0).settings().cellular.telecomOperator, std::string("Field Tel"));
    }

    // A logger whose SR answer is cut short (the link flags "7" for "70"): a write after
    // the block's read would clear flags the block did hold, so none goes out.
    void shortSystemBlockIsNotWrittenBack_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("system");
        QTest::newRow("gprs=on") << QStringList{"write", "gprs=on"} << QByteArray();
        QTest::newRow("intervals=5,5") << QStringList{"write", "intervals=5,5"} << QByteArray();
        QTest::newRow("apply, system block")
            << QStringList{"apply"}
            << QByteArray(
                   R"({"start":"06:00","stop":"18:30","data_interval_seconds":300,"heartbeat_minutes":5,"retries":3,"wait_for_response":"yes","reconnect":"yes","transport":"tcp","gprs":"on"})");
        QTest::newRow("apply, system block in part")
            << QStringList{"apply"} << QByteArray(R"({"gprs":"on"})");
    }

    void shortSystemBlockIsNotWrittenBack()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, system);
        startLoggers(1);
        const std::string shortBlock = "06001830012C0503017";
        logger(0).settings().systemParameters.block = shortBlock;
        QTemporaryDir directory;
        if (arguments.first() == QLatin1String("apply")) {
            const QString path = directory.filePath("plant.json");
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(R"({"format":"tarnwick-profile","version":1,"settings":{"system":)" +
                       system + "}}");
            arguments.append(path);
        }
        const CliResult result =
            run(arguments + QStringList{"--logger", addresses(0, 1), "--format", "json"});
        QCOMPARE(result.status, 1);
        QVERIFY2((result.out + result.err)
                     .contains(QLatin1String("the system parameters read from the logger are "
                                             "incomplete, so nothing was written")),
                 qPrintable(result.out + result.err));
        QCOMPARE(WritesAmong(logger(0).endpoint().requests()), QStringList{});
        QCOMPARE(logger(0).settings().systemParameters.block, shortBlock);
    }

    // A profile of the earlier version holds the minutes alone: the endpoint is not
    // touched, and the report says why.
    void profileWithMinutesAloneLeavesTheEndpoint()
    {
        startLoggers(1);
        CellularState &held = logger(0).settings().cellular;
        held.frontEndAddress = "10.9.8.7";
        held.frontEndPort = "7001";
        QTemporaryDir directory;
        const QString path = directory.filePath("old.json");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                R"({"format":"tarnwick-profile","version":1,"settings":{"front_end":"45"}})");
        }
        const CliResult result =
            run({"apply", path, "--logger", addresses(0, 1), "--format", "json"});
        QCOMPARE(result.status, 0);
        const QJsonObject entry = JsonOf(result.out).at(0).toObject().value("front_end").toObject();
        QCOMPARE(entry.value("status").toString(), QStringLiteral("not_written"));
        QCOMPARE(entry.value("reason").toString(),
                 QStringLiteral("the profile holds the minutes alone, without address and port"));
        QCOMPARE(held.frontEndAddress, std::string("10.9.8.7"));
        QCOMPARE(held.frontEndPort, std::string("7001"));
        QCOMPARE(held.frontEndMinutes, std::string("30"));
        const std::vector<std::string> &requests = logger(0).endpoint().requests();
        QVERIFY(std::none_of(requests.begin(), requests.end(),
                             [](const std::string &request) { return request.starts_with("QW"); }));
    }

    // The APN password stands in no report nor trace unless asked for; the PIN's bytes
    // are hidden in the trace, and so is an answer's second copy, discarded as left over.
    // The backup's file keeps the password: it is the backup.
    void secretsAreHiddenUnlessShown_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("answersTwice");
        const QStringList read{"read", "apn"};
        const QStringList write{"write", "apn=plant.apn,plant,s3cret", "pin=4711"};
        for (const char *format : {"table", "csv", "json"}) {
            QTest::addRow("read, %s", format) << read + QStringList{"--format", format} << false
                                              << false;
            QTest::addRow("write, %s", format) << write + QStringList{"--format", format} << false
                                               << false;
        }
        QTest::newRow("write, pin of 8 digits")
            << QStringList{"write", "apn=plant.apn,plant,s3cret", "pin=31415926"} << false << false;
        QTest::newRow("backup") << QStringList{"backup"} << false << false;
        QTest::newRow("apply, json") << QStringList{"apply", "--format", "json"} << false << false;
        QTest::newRow("read, each answer twice in a datagram") << read << false << true;
        QTest::newRow("read, shown") << read + QStringList{"--show-secrets"} << true << false;
        QTest::newRow("write, shown") << write + QStringList{"--show-secrets"} << true << false;
    }

    void secretsAreHiddenUnlessShown()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, shown);
        QFETCH(bool, answersTwice);
        startLoggers(1);
        logger(0).endpoint().misbehaviour().doubleFrame = answersTwice;
        LoggerSettings &held = logger(0).settings();
        held.cellular.apnName = "plant.apn";
        held.cellular.apnUser = "plant";
        held.cellular.apnPassword = "s3cret";
        QTemporaryDir directory;
        const QString profile = directory.filePath("plant.json");
        if (arguments.first() == QLatin1String("backup")) {
            arguments += {"--output", profile};
        }
        if (arguments.first() == QLatin1String("apply")) {
            // A new APN: the report holds the one the logger had, as it was.
            const QString applied = directory.filePath("apply.json");
            QFile file(applied);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(R"({"format":"tarnwick-profile","version":1,"settings":)"
                       R"({"apn":{"name":"new.apn","user":"plant","password":"n3w"}}})");
            arguments.insert(1, applied);
        }
        const CliResult result =
            run(arguments + QStringList{"--logger", addresses(0, 1), "--trace"});
        QCOMPARE(result.status, 0);
        // As text in the reports or the trace's printable column, and as the trace's bytes.
        QStringList secrets{"s3cret", "73 33 63 72 65 74"};
        for (const QString &argument : arguments) {
            if (argument.startsWith(QLatin1String("pin="))) {
                const QByteArray pin = argument.mid(4).toLatin1();
                secrets += {QLatin1String("PW" + pin), QLatin1String(pin.toHex(' '))};
                // Neither the PIN, nor how many digits it has, nor its frame's CRC.
                QVERIFY2(shown || result.err.contains(QLatin1String("|.PW************.|")),
                         qPrintable(result.err));
            }
        }
        for (const QString &secret : secrets) {
            QVERIFY2((result.out + result.err).contains(secret) == shown,
                     qPrintable(secret + QLatin1Char('\n') + result.out + result.err));
        }
        if (!shown) {
            QVERIFY2(result.out.contains(QLatin1String("********")), qPrintable(result.out));
        }
        QCOMPARE(result.err.contains(QLatin1String("discarded: left over from 127.0.0.2")),
                 answersTwice);
        if (QFile file(profile); file.open(QIODevice::ReadOnly)) {
            QVERIFY(file.readAll().contains("\"password\": \"s3cret\""));
        }
    }

    // pin=- and apn=NAME,USER,- read the secret from standard input; an input that has
    // ended refuses the write before anything is sent.
    void secretsFromStandardInput_data()
    {
        QTest::addColumn<QStringList>("assignments");
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<int>("status");
        QTest::newRow("both") << QStringList{"pin=-", "apn=plant.apn,plant,-"}
                              << QStringList{"4711", "s3cret"} << 0;
        QTest::newRow("input ended")
            << QStringList{"pin=-", "apn=plant.apn,plant,-"} << QStringList{"4711"} << 2;
    }

    void secretsFromStandardInput()
    {
        QFETCH(QStringList, assignments);
        QFETCH(QStringList, input);
        QFETCH(int, status);
        startLoggers(1);
        m_standardInput = input;
        const CliResult result =
            run(QStringList{"write", "--logger", addresses(0, 1)} + assignments);
        QCOMPARE(result.status, status);
        const LoggerSettings &held = logger(0).settings();
        if (status == 0) {
            QCOMPARE(held.cellular.pin, std::string("4711"));
            QCOMPARE(held.cellular.apnPassword, std::string("s3cret"));
        } else {
            QCOMPARE(requestsTo(0), 0);
            QVERIFY2(result.err.contains(QLatin1String("apn=plant.apn,plant,- reads the secret")),
                     qPrintable(result.err));
        }
    }

    // A profile with a secret that other users can read is still applied, with a warning
    // naming the file.
    void profileReadableByOthersIsAppliedWithAWarning_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QFileDevice::Permissions>("permissions");
        QTest::addColumn<bool>("warned");
        const QByteArray withPassword = R"({"apn": {"name": "a", "user": "u", "password": "pw"}})";
        const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        QTest::newRow("password, readable by others")
            << withPassword << (owner | QFileDevice::ReadOther) << true;
        QTest::newRow("password, readable by the group")
            << withPassword << (owner | QFileDevice::ReadGroup) << true;
        QTest::newRow("password, owner only") << withPassword << owner << false;
        QTest::newRow("no secret, readable by others") << QByteArray(R"({"operator": "Field Tel"})")
                                                       << (owner | QFileDevice::ReadOther) << false;
    }

    void profileReadableByOthersIsAppliedWithAWarning()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QFileDevice::Permissions, permissions);
        QFETCH(bool, warned);
        startLoggers(1);
        QTemporaryDir directory;
        const QString path = directory.filePath("plant.json");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Owner-only the way the tool makes its own files so, which on Windows is an access
        // list; a file there is readable by others from the start.
        if (permissions == (QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            QCOMPARE(private_file::MakeOwnerOnly(file), std::nullopt);
        }
        file.write(R"({"format": "tarnwick-profile", "version": 1, "settings": )" + settings + "}");
        file.close();
        QVERIFY(file.setPermissions(permissions));
        const CliResult result = run({"apply", path, "--logger", addresses(0, 1)});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.err.contains(path + QStringLiteral(" holds a secret")), warned);
    }

    void progressLineOnlyOnATerminal_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<int>("paceMs");
        QTest::addColumn<QString>("progress");
        const int never = 3600 * 1000;
        QTest::newRow("terminal")
            << true << never
            << "^\\r1/2 loggers done, 1 under way, 0 failed, 0\\.0 s"
               "\\r2/2 loggers done, 0 under way, 0 failed, 0\\.1 s\\n$";
        QTest::newRow("pipe") << false << 0 << "^$";
        // Redrawn while the requests wait, and never after its last line.
        QTest::newRow("terminal, while requests wait")
            << true << 0
            << "^\\r0/2 loggers done, 2 under way, 0 failed, \\d+\\.\\d s.*"
               "\\r2/2 loggers done, 0 under way, 0 failed, \\d+\\.\\d s\\n$";
    }

    void progressLineOnlyOnATerminal()
    {
        QFETCH(bool, terminal);
        QFETCH(int, paceMs);
        QFETCH(QString, progress);
        m_progressPace = std::chrono::milliseconds(paceMs);
        startLoggers(2);
        const CliResult result = run({"read", "--logger", addresses(0, 2), "mac"}, terminal);
        QCOMPARE(result.status, 0);
        QVERIFY2(QRegularExpression(progress, QRegularExpression::DotMatchesEverythingOption)
                     .match(result.err)
                     .hasMatch(),
                 qPrintable(result.err.left(2000)));
    }

    void traceShowsEveryDatagram()
    {
        startLoggers(1);
        const CliResult result = run({"read", "--logger", addresses(0, 1), "signal", "--trace"});
        QCOMPARE(result.status, 0);
        const QStringList lines = result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].endsWith(
                     QStringLiteral(" -> command 127.0.0.2 1b 49 46 42 37 44 32 05 |.IFB7D2.|")),
                 qPrintable(lines[0]));
        QVERIFY2(lines[1].contains(QStringLiteral(" <- command 127.0.0.2 1b 52 ")),
                 qPrintable(lines[1]));
    }

    // One line per reading as it comes, in each format; the time of each line is replaced
    // by T. On a terminal, the status line ends with the latest reading and the sparkline.
    void watchPrintsEachReading_data()
    {
        QTest::addColumn<QStringList>("sequence");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("statusLine");
        QTest::newRow("five answered, csv")
            << QStringList{"05", "12", "18", "25", "31"}
            << QStringList{"--count", "5", "--format", "csv"} << true << 0
            << "time,raw,value,dBm,error\nT,05,5,-103,\nT,12,12,-89,\nT,18,18,-77,\n"
               "T,25,25,-63,\nT,31,31,-51,\n"
            << QStringLiteral("[#####] -51 dBm or better  \u2582\u2583\u2585\u2586\u2588  5 "
                              "read, 0 missed");
        QTest::newRow("missed, unreadable and unknown, json")
            << QStringList{"12", "", "x9", "99"} << QStringList{"--count", "4", "--format", "json"}
            << true << 1
            << "{\"dBm\":-89,\"raw\":\"12\",\"time\":\"T\",\"value\":12}\n"
               "{\"error\":\"no answer to IF after 1 tries\",\"error_kind\":\"no_answer\",\"time\":"
               "\"T\"}\n"
               "{\"dBm\":null,\"raw\":\"x9\",\"time\":\"T\",\"value\":null}\n"
               "{\"dBm\":null,\"raw\":\"99\",\"time\":\"T\",\"value\":99}\n"
            << "[     ] unknown            \u2583 ??  4 read, 1 missed";
        QTest::newRow("silent logger, table")
            << QStringList{""} << QStringList{"--count", "2"} << false << 1
            << "time  raw  value  dBm   error\n"
               "T                    missed: no answer to IF after 1 tries\n"
               "T                    missed: no answer to IF after 1 tries\n"
            << QString();
    }

    void watchPrintsEachReading()
    {
        QFETCH(QStringList, sequence);
        QFETCH(QStringList, arguments);
        QFETCH(bool, terminal);
        startLoggers(1);
        for (const QString &value : sequence) {
            logger(0).settings().cellular.signalQualitySequence.push_back(value.toStdString());
        }
        const CliResult result = run(QStringList{"watch", "--logger", addresses(0, 1), "--interval",
                                                 "500", "--retries", "0"} +
                                         arguments,
                                     terminal);
        QTEST(result.status, "status");
        // In a table, a time stamp is its column's widest cell, two spaces before the next.
        static const QRegularExpression time(QStringLiteral(
            "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d)"));
        QString out = result.out;
        out.replace(time, QStringLiteral("T"));
        static const QRegularExpression header(QStringLiteral("^time +raw"));
        out.replace(header, QStringLiteral("time  raw"));
        QTEST(out, "out");
        QCOMPARE(requestsTo(0), arguments.at(1).toInt());
        QFETCH(QString, statusLine);
        if (terminal) {
            const QString lastLine = result.err.split(QLatin1Char('\r')).last();
            QVERIFY2(lastLine.startsWith(statusLine + QLatin1Char('\n')), qPrintable(result.err));
        } else {
            QVERIFY2(!result.err.contains(QLatin1Char('\r')), qPrintable(result.err));
        }
    }

    // Without a count the watch runs until Ctrl+C, which ends it with the readings printed
    // so far and their status, and leaves the program's own handling of Ctrl+C as it was.
    void interruptEndsTheWatch()
    {
        startLoggers(1);
        const auto handlerBefore = std::signal(SIGINT, SIG_DFL);
        std::signal(SIGINT, handlerBefore);
        QTimer interrupter;
        QObject::connect(&interrupter, &QTimer::timeout, &interrupter, [this, &interrupter] {
            // The second request goes out once the first reading has been printed.
            if (requestsTo(0) >= 2) {
                interrupter.stop();
                std::raise(SIGINT);
            }
        });
        interrupter.start(10);
        const CliResult result =
            run({"watch", "--logger", addresses(0, 1), "--interval", "500", "--format", "csv"});
        QCOMPARE(result.status, 0);
        const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 2 && lines[1].endsWith(QLatin1String(",23,23,-67,")),
                 qPrintable(result.out));
        QVERIFY(std::signal(SIGINT, handlerBefore) == handlerBefore);
    }

    // Ctrl+C during an apply: the request under way is answered, nothing more is sent, and
    // the report says what was done (exit status 130).
    void interruptedApplySaysWhatItDid()
    {
        startLoggers(1);
        logger(0).endpoint().misbehaviour().delayMs = 100;
        QTemporaryDir directory;
        const QString path = directory.filePath("plant.json");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(R"({"format":"tarnwick-profile","version":1,"settings":{)"
                       R"("data_server":"198.51.100.20","operator":"Field Tel",)"
                       R"("front_end":{"address":"10.9.8.7","port":7001,"minutes":45}}})");
        }
        const auto handlerBefore = std::signal(SIGINT, SIG_DFL);
        std::signal(SIGINT, handlerBefore);
        QTimer interrupter;
        QObject::connect(&interrupter, &QTimer::timeout, &interrupter, [this, &interrupter] {
            if (requestsTo(0) >= 2) { // the data server read, then its write
                interrupter.stop();
                std::raise(SIGINT);
            }
        });
        interrupter.start(10);
        const CliResult result =
            run({"apply", path, "--logger", addresses(0, 1), "--format", "json"});
        QCOMPARE(result.status, 130);
        const QJsonObject record = JsonOf(result.out).at(0).toObject();
        QCOMPARE(record.value("error_kind").toString(), QStringLiteral("interrupted"));
        QVERIFY2(!record.contains("front_end"), qPrintable(result.out));
        const int sent = requestsTo(0);
        QVERIFY2(sent < 9, qPrintable(QString::number(sent))); // a whole apply sends 9
        QTest::qWait(300);
        QCOMPARE(requestsTo(0), sent);
        QVERIFY(std::signal(SIGINT, handlerBefore) == handlerBefore);
    }

    // Each planned logger that answers is commissioned; the third logger, not in the
    // plan, is never written; a row whose logger never answers ends the run at --max-time.
    void commissionWritesThePlannedLoggersAlone_data()
    {
        QTest::addColumn<QStringList>("serials");
        // Seconds: a bound alone where every planned logger answers; where one never does,
        // the other's writes must be done by then, however slowly its system runs them.
        QTest::addColumn<QString>("maxTime");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("both planned answer") << QStringList{"SN-001", "SN-002"} << "60" << 0
                                             << "SN-003 at 127.0.0.4: not in the plan";
        QTest::newRow("one planned never answers")
            << QStringList{"SN-001", "SN-404"} << "10" << 1
            << "--max-time 10 s reached; not commissioned: SN-404\n";
    }

    void commissionWritesThePlannedLoggersAlone()
    {
        QFETCH(QStringList, serials);
        QFETCH(QString, maxTime);
        QFETCH(int, status);
        QFETCH(QString, message);
        startLoggers(3);
        logger(0).settings().cellular.apnPassword = "0ld";
        QTemporaryDir directory;
        const QString profile = directory.filePath("plant.json");
        const QString plan = directory.filePath("plant.csv");
        const QString record = directory.filePath("record.jsonl");
        QFile file(profile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"format":"tarnwick-profile","version":1,"settings":{)"
                   R"("apn":{"name":"plant.apn","user":"plant","password":"s3cret"},)"
                   R"("operator":"Field Tel"}})");
        file.close();
        QFile planFile(plan);
        QVERIFY(planFile.open(QIODevice::WriteOnly));
        planFile.write("serial,ip,mask,gateway\n");
        for (int row = 0; row < serials.size(); ++row) {
            // Each logger keeps its address: the plan gives it the mask and gateway.
            planFile.write(QStringLiteral("%1,%2,255.0.0.0,127.0.0.1\n")
                               .arg(serials[row], LoggerAddress(row).toString())
                               .toLatin1());
        }
        planFile.close();
        const CliResult result =
            run({"commission", profile, "--plan", plan, "--range", allRange(), "--record",
                 record, "--interval", "200", "--max-time", maxTime});
        QCOMPARE(result.status, status);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(logger(0).settings().cellular.apnPassword, std::string("s3cret"));
        QCOMPARE(logger(0).settings().network.gateway, std::string("127.0.0.1"));
        QCOMPARE(WritesAmong(logger(2).endpoint().requests()), QStringList());
        QFile written(record);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray lines = written.readAll();
        QVERIFY2(!lines.contains("s3cret") && !lines.contains("0ld"), lines.constData());
        QVERIFY2(lines.contains(R"("apn":{"after":{"name":"plant.apn","password":"********")"),
                 lines.constData());
    }

    // The handover document gives what each logger holds after its last run and when
    // each value was set: a value found held already keeps the time it was written.
    void handoverHoldsTheLatestValues_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("table")
            << "table"
            << "serial  ip        commissioned_at  setting   value        set_at\n"
               "SN-1    10.0.0.9  T2               operator  Field Tel    T1\n"
               "SN-1    10.0.0.9  T2               ip        ip=10.0.0.9  T2\n";
        QTest::newRow("csv") << "csv"
                             << "serial,ip,commissioned_at,setting,value,set_at\n"
                                "SN-1,10.0.0.9,T2,operator,Field Tel,T1\n"
                                "SN-1,10.0.0.9,T2,ip,ip=10.0.0.9,T2\n";
        QTest::newRow("json")
            << "json"
            << R"([{"commissioned_at":"T2","ip":"10.0.0.9","serial":"SN-1","settings":)"
               R"({"ip":{"set_at":"T2","value":{"ip":"10.0.0.9"}},)"
               R"("operator":{"set_at":"T1","value":"Field Tel"}}}])";
    }

    void handoverHoldsTheLatestValues()
    {
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QTemporaryDir directory;
        const QString record = directory.filePath("record.jsonl");
        QFile file(record);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"event":"failed","time":"T1","serial":"SN-1","address_after":"10.0.0.5",)"
                   R"("settings":{"operator":{"status":"changed","after":"Field Tel"},)"
                   R"("ip":{"status":"failed","error":"no answer"}}})"
                   "\n"
                   R"({"event":"done","time":"T2","serial":"SN-1","address_after":"10.0.0.9",)"
                   R"("settings":{"operator":{"status":"unchanged","after":"Field Tel"},)"
                   R"("ip":{"status":"changed","after":{"ip":"10.0.0.9"}}}})"
                   "\n");
        file.close();
        // Nothing is sent: none of the defaults of run(), which set up the sockets.
        CliResult result;
        QTextStream out(&result.out);
        QTextStream err(&result.err);
        cli::Console console{out, err, false, {}};
        result.status = cli::RunCli({"tarnwick-cli", "report", record, "--format", format}, console);
        QCOMPARE(result.status, 0);
        QCOMPARE(format == QLatin1String("json")
                     ? QString::fromUtf8(QJsonDocument::fromJson(result.out.toUtf8())
                                             .toJson(QJsonDocument::Compact))
                     : result.out,
                 expected);
    }

    // A run on given loggers binds the command port alone; only a search binds the search
    // port. A port that cannot be bound is named with its address and the reason.
    void portThatCannotBeBoundIsNamed_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("portOption");
        QTest::addColumn<quint16>("port"); // 0: one the test holds itself
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QStringList read{"read", "--logger", "127.0.0.2", "mac"};
        const QStringList search{"search", "--range", "127.0.0.2-127.0.0.2"};
        const QString inUse = QStringLiteral("it is in use");
        QTest::newRow("read, command port in use") << read << "--local-command-port" << quint16(0)
                                                   << 1 << "command port %1 on 127.0.0.1: " + inUse;
        QTest::newRow("read, search port in use: not needed")
            << read << "--local-search-port" << quint16(0) << 0 << QString();
        QTest::newRow("search, search port in use") << search << "--local-search-port" << quint16(0)
                                                    << 1 << "search port %1 on 127.0.0.1: " + inUse;
        QTest::newRow("search, privileged search port")
            << search << "--local-search-port" << quint16(23) << 1
            << "search port %1 on 127.0.0.1: permission denied: a port below 1024 needs root";
        QTest::newRow("read, privileged search port: not needed")
            << read << "--local-search-port" << quint16(23) << 0 << QString();
    }

    void portThatCannotBeBoundIsNamed()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, portOption);
        QFETCH(quint16, port);
        QFETCH(int, status);
        QFETCH(QString, message);
        if (port != 0) {
            QUdpSocket privileged;
            if (privileged.bind(QHostAddress(QStringLiteral("127.0.0.1")), port)) {
                QSKIP("this user may bind a port below 1024");
            }
        }
        startLoggers(1);
        QUdpSocket taken;
        if (port == 0) {
            QVERIFY(taken.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
            port = taken.localPort();
        }
        const CliResult result = run(arguments + QStringList{portOption, QString::number(port)});
        QCOMPARE(result.status, status);
        if (status == 0) {
            QCOMPARE(result.err, QString());
            QCOMPARE(requestsTo(0), 1);
        } else {
            QVERIFY2(result.err.contains(message.arg(port)), qPrintable(result.err));
            QCOMPARE(requestsTo(0), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestFleet)
#include "test_fleet.moc"

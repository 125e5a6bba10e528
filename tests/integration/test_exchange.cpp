// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/text.h"
#include "sim_network.h"
#include "transport/command_exchange.h"
#include "transport/receive_path.h"
#include "transport/udp_endpoints.h"
#include "wirelog/traffic_log.h"
#include "ui/traffic_log_model.h"
#include "window_harness.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

#include <array>

namespace {

constexpr int kWaitMs = 2000;

template <typename Control>
QList<QWidget *> ExactlyOfClass(QWidget &form)
{
    QList<QWidget *> found;
    for (QWidget *widget : form.findChildren<QWidget *>()) {
        if (widget->metaObject() == &Control::staticMetaObject && !widget->objectName().isEmpty()) {
            found.append(widget);
        }
    }
    return found;
}

}  // namespace

class TestExchange : public QObject
{
    Q_OBJECT

private:
    // Registers a handler for "ZZ" that records each payload and unlocks, as an answer
    // handler does; the logger answers "ZZ" with "RZZ".
    static QStringList *RecordAnswers(WindowHarness &harness)
    {
        auto *answers = new QStringList;
        harness.logger().setCommandHandler("ZZ", [](const std::string &) { return std::string("RZZ"); });
        harness.window().exchange().registerAnswerHandler(
            "ZZ", [answers, &harness](const std::string &payload) {
                harness.window().exchange().tmr1Timer();
                answers->append(QString::fromStdString(payload));
            });
        return answers;
    }

    static void SendToWindow(WindowHarness &harness, const std::string &bytes)
    {
        harness.logger().sendFromCommandPort(bytes, QHostAddress(QStringLiteral("127.0.0.1")),
                                             harness.windowSetPort());
    }

private slots:
    void noSelectedLoggerShowsMessageAndSendsNothing()
    {
        WindowHarness harness;
        harness.window().exchange().setCurrentCommand("ER");
        QVERIFY(!harness.window().exchange().SendCommand(
            protocol::Request::Bare(protocol::command_codes::kMacRead)));
        QCOMPARE(harness.notifier().informed,
                 QStringList{QStringLiteral("Please choose a PV data logger first")});
        QCOMPARE(harness.window().exchange().currentCommand(), std::string("ER"));
        QVERIFY(!harness.window().exchange().timeoutActive());
        QVERIFY(harness.control<QPushButton>("btnsearch")->isEnabled());
        QTest::qWait(100);
        QVERIFY(harness.logger().requests().empty());
    }

    void lockDisablesCommandControlsByExactClass()
    {
        WindowHarness harness;
        harness.selectLogger();
        QVERIFY(harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"}));

        for (QWidget *edit : ExactlyOfClass<QLineEdit>(harness.window())) {
            QVERIFY2(!edit->isEnabled(), qPrintable(edit->objectName()));
        }
        for (QWidget *list : ExactlyOfClass<QComboBox>(harness.window()) +
                                 ExactlyOfClass<QTreeWidget>(harness.window())) {
            QVERIFY2(!list->isEnabled(), qPrintable(list->objectName()));
        }
        for (QWidget *button : ExactlyOfClass<QPushButton>(harness.window())) {
            QCOMPARE(button->isEnabled(), button->objectName() == QLatin1String("btnsearch"));
        }
        QVERIFY(harness.control<QRadioButton>("rbautoip")->isEnabled());
        QVERIFY(harness.control<QRadioButton>("rbhandip")->isEnabled());
        QVERIFY(harness.control<QTextEdit>("redtappendinfo")->isEnabled());
        QVERIFY(harness.window().exchange().timeoutActive());
    }

    void lockedStateIsPaintedOnlyWhenTheCommandOutlastsAFrame()
    {
        WindowHarness harness;
        harness.selectLogger();
        harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
        QVERIFY(!harness.window().updatesEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(harness.window().updatesEnabled(), 200);
        QVERIFY(!harness.control<QPushButton>("btnER")->isEnabled());

        harness.window().exchange().tmr1Timer();
        harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
        harness.window().exchange().tmr1Timer();  // answered within the frame
        QVERIFY(harness.window().updatesEnabled());
    }

    void unlockFollowsItsRules_data()
    {
        QTest::addColumn<bool>("manualAddress");
        QTest::newRow("rbhandip selected") << true;
        QTest::newRow("rbautoip selected") << false;
    }

    void unlockFollowsItsRules()
    {
        QFETCH(bool, manualAddress);
        WindowHarness harness;
        harness.selectLogger();
        harness.control<QRadioButton>(manualAddress ? "rbhandip" : "rbautoip")->setChecked(true);
        harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
        harness.window().exchange().tmr1Timer();

        // Each control's own state: the edits of grp5 are enabled inside a disabled group.
        for (QWidget *edit : ExactlyOfClass<QLineEdit>(harness.window())) {
            QCOMPARE(!edit->testAttribute(Qt::WA_ForceDisabled),
                     edit->objectName() != QLatin1String("edt3gshow"));
        }
        for (QWidget *list : ExactlyOfClass<QComboBox>(harness.window())) {
            QVERIFY2(!list->isEnabled(), qPrintable(list->objectName()));
        }
        for (QWidget *control : ExactlyOfClass<QPushButton>(harness.window()) +
                                    ExactlyOfClass<QTreeWidget>(harness.window())) {
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        }
        QVERIFY(harness.control<QLineEdit>("edtshour")->isEnabled());
        QCOMPARE(harness.control<QWidget>("grp5")->isEnabled(), manualAddress);
        QVERIFY(!harness.window().exchange().timeoutActive());
    }

    void answerGoesToTheCurrentCommandsHandler()
    {
        WindowHarness harness;
        std::unique_ptr<QStringList> answers(RecordAnswers(harness));
        harness.selectLogger();
        harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
        QTRY_COMPARE_WITH_TIMEOUT(answers->size(), 1, kWaitMs);
        QCOMPARE(answers->first(), QStringLiteral("RZZ"));
        QCOMPARE(harness.logger().requests(), std::vector<std::string>{"ZZ"});
        QVERIFY(harness.control<QPushButton>("btnER")->isEnabled());
        QVERIFY(harness.notifier().all().isEmpty());
    }

    void timeoutUnlocksSilentlyAndLateAnswerIsStillHandled()
    {
        WindowHarness harness;
        std::unique_ptr<QStringList> answers(RecordAnswers(harness));
        harness.logger().misbehaviour().delayMs = WindowHarness::FastTiming().commandTimeoutMs + 200;
        harness.selectLogger();
        harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
        QVERIFY(!harness.control<QPushButton>("btnER")->isEnabled());

        QTRY_VERIFY_WITH_TIMEOUT(harness.control<QPushButton>("btnER")->isEnabled(), kWaitMs);
        QVERIFY(answers->isEmpty());
        QCOMPARE(harness.window().exchange().currentCommand(), std::string("ZZ"));
        QVERIFY(harness.notifier().all().isEmpty());

        QTRY_COMPARE_WITH_TIMEOUT(answers->size(), 1, kWaitMs);
    }

    // A command without answer, or one the system did not send, is named in the status
    // bar, and stays named once the timeout has unlocked the form; no message box is added.
    void timeoutIsNamedInTheStatusBar_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("setSocketClosed");
        QTest::addColumn<QString>("notice");
        QTest::newRow("read") << "btnER" << false
            << "No answer from 127.0.0.2 to the IP address Read within 0.4 s: the form keeps the values it held";
        QTest::newRow("write") << "btnRC" << false
            << "No answer from 127.0.0.2 to the data server Clear within 0.4 s: the logger may or may not have taken it";
        QTest::newRow("chain's read") << "btngprson" << false
            << "No answer from 127.0.0.2 to GPRS ON within 0.4 s: nothing was written";
        QTest::newRow("read not sent") << "btnER" << true
            << "The IP address Read was not sent to 127.0.0.2: the socket is not open";
        QTest::newRow("chain's read not sent") << "btngprson" << true
            << "GPRS ON was not sent to 127.0.0.2: the socket is not open";
    }

    void timeoutIsNamedInTheStatusBar()
    {
        QFETCH(QString, button);
        QFETCH(bool, setSocketClosed);
        QFETCH(QString, notice);
        WindowHarness harness;
        harness.logger().misbehaviour().dropRate = 1.0;
        if (setSocketClosed) {
            harness.window().findChild<UdpEndpoints *>()->closeSetSocket();
        }
        harness.selectLogger();
        harness.control<QPushButton>(qPrintable(button))->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.control<QLabel>("StatusBar1Notice")->text(), notice, kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(harness.control<QPushButton>("btnER")->isEnabled(), kWaitMs);
        QCOMPARE(harness.control<QLabel>("StatusBar1Notice")->text(), notice);
        QVERIFY(harness.notifier().all().isEmpty());
    }

    void enablingTheTimeoutDoesNotRestartIt()
    {
        Timing timing = WindowHarness::FastTiming();
        timing.commandTimeoutMs = 5000; // long enough that it is still running after the wait
        WindowHarness harness(1, timing);
        harness.selectLogger();
        CommandExchange &exchange = harness.window().exchange();
        exchange.SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
        QTest::qWait(250);
        const int remainingBefore = exchange.timeoutRemainingMs();
        QVERIFY(remainingBefore >= 0 && remainingBefore <= timing.commandTimeoutMs - 250);
        exchange.enableTimeout();
        QVERIFY(exchange.timeoutActive());
        QVERIFY2(exchange.timeoutRemainingMs() <= remainingBefore,
                 qPrintable(QString::number(exchange.timeoutRemainingMs())));
    }

    void timeoutNeverEndsTheExchangeEarly()
    {
        // A coarse timer may fire up to 5 % before its interval; tmr1 must not.
        WindowHarness harness;
        harness.selectLogger();
        CommandExchange &exchange = harness.window().exchange();
        for (int attempt = 0; attempt < 5; ++attempt) {
            QElapsedTimer clock;
            clock.start();
            exchange.SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
            while (exchange.timeoutActive() && clock.elapsed() < kWaitMs) {
                QTest::qWait(1);
            }
            QVERIFY2(clock.elapsed() >= WindowHarness::FastTiming().commandTimeoutMs,
                     qPrintable(QString::number(clock.elapsed())));
        }
    }

    void framesThatFailTheChecksAreDroppedSilently_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        const auto frame = [](const char *payload) { return QByteArray::fromStdString(LoggerSim::Frame(payload)); };
        QTest::newRow("altered CRC") << QByteArray("\x1BRZZ0000\x05");
        QTest::newRow("lower-case CRC") << frame("RZZ").toLower().replace("\x1Brzz", "\x1BRZZ");
        QTest::newRow("payload without R") << frame("ZZ");
        QTest::newRow("empty payload") << frame("");
        QTest::newRow("zero byte cuts the frame") << frame("RZZ").insert(3, '\0');
    }

    void framesThatFailTheChecksAreDroppedSilently()
    {
        QFETCH(QByteArray, datagram);
        WindowHarness harness;
        std::unique_ptr<QStringList> answers(RecordAnswers(harness));
        harness.selectLogger();
        harness.window().exchange().setCurrentCommand("ZZ");
        SendToWindow(harness, datagram.toStdString());
        SendToWindow(harness, "\x05");  // ends what a zero byte cut short
        SendToWindow(harness, LoggerSim::Frame("RAFTER"));
        QTRY_COMPARE_WITH_TIMEOUT(*answers, QStringList{QStringLiteral("RAFTER")}, kWaitMs);
        QVERIFY(harness.notifier().all().isEmpty());
    }

    void secondFrameOfADatagramWaitsForTheNextDatagram()
    {
        WindowHarness harness;
        std::unique_ptr<QStringList> answers(RecordAnswers(harness));
        harness.window().exchange().setCurrentCommand("ZZ");
        SendToWindow(harness, LoggerSim::Frame("RONE") + LoggerSim::Frame("RTWO"));
        QTRY_COMPARE_WITH_TIMEOUT(answers->size(), 1, kWaitMs);
        QTest::qWait(50);
        QCOMPARE(*answers, QStringList{QStringLiteral("RONE")});

        SendToWindow(harness, LoggerSim::Frame("RTHREE"));
        QTRY_COMPARE_WITH_TIMEOUT(answers->size(), 2, kWaitMs);
        QCOMPARE(answers->last(), QStringLiteral("RTWO"));
        SendToWindow(harness, "\x05");
        QTRY_COMPARE_WITH_TIMEOUT(answers->size(), 3, kWaitMs);
        QCOMPARE(answers->last(), QStringLiteral("RTHREE"));
    }

    // A logger that answers twice in one datagram leaves a whole frame behind; the next
    // request discards it, so every later command gets its own logger's answer.
    void frameLeftOverFromAnEarlierAnswerNeverAnswersTheNextCommand()
    {
        WindowHarness harness(4);
        const QStringList macs{"00-1A-2B-00-00-66", "00-1A-2B-00-00-14", "00-1A-2B-00-00-12",
                               "00-1A-2B-00-00-11"};
        std::array<NetworkState, 4> states;
        for (int index = 0; index < 4; ++index) {
            states.at(std::size_t(index)).mac = macs.at(index).toStdString();
            InstallNetworkCommands(harness.logger(index), states.at(std::size_t(index)));
        }
        harness.logger(0).misbehaviour().doubleFrame = true;
        auto *readMac = harness.control<QPushButton>("btnMR");
        QStringList shown;
        for (int index = 0; index < 4; ++index) {
            harness.selectLogger(index);
            readMac->click();
            QTRY_VERIFY_WITH_TIMEOUT(readMac->isEnabled(), kWaitMs);
            shown.append(harness.control<QLineEdit>("EDTMAC")->text());
        }
        QCOMPARE(shown, macs);

        const TrafficLog &log = harness.window().trafficLog();
        TrafficLogModel model(log);
        QStringList discarded;
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.datagramAt(row).direction == ObservedDatagram::Direction::LeftOverDiscarded) {
                const QStringList line = TrafficLogLine(model.datagramAt(row)).split('\t');
                discarded.append(model.index(row, TrafficLogModel::DirectionColumn).data().toString() +
                                 '|' + line.mid(1, 4).join('|') + '|' + line.at(6));
                QVERIFY2(line.at(5).endsWith("00-1A-2B-00-00-66"), qPrintable(line.at(5)));
            }
        }
        QCOMPARE(discarded, QStringList{"discarded: left over|discarded: left over|set||24|CRC good"});
    }

    void misbehavingLoggerAnswers_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("handled");
        QTest::newRow("split over two datagrams") << "split" << true;
        QTest::newRow("garbage before the frame") << "garbage" << true;
        QTest::newRow("from another address") << "other address" << false;
        QTest::newRow("bad CRC") << "bad crc" << false;
        QTest::newRow("lower-case CRC") << "lower case" << false;
    }

    void misbehavingLoggerAnswers()
    {
        QFETCH(QString, fault);
        QFETCH(bool, handled);
        WindowHarness harness;
        std::unique_ptr<QStringList> answers(RecordAnswers(harness));
        LoggerSim::Misbehaviour &misbehaviour = harness.logger().misbehaviour();
        misbehaviour.splitFrame = fault == QLatin1String("split");
        misbehaviour.garbageBefore = fault == QLatin1String("garbage") ? "\x05junk\x1Bjunk\x05" : "";
        if (fault == QLatin1String("other address")) {
            misbehaviour.answerFrom = QHostAddress(QStringLiteral("127.0.0.9"));
        }
        misbehaviour.badCrc = fault == QLatin1String("bad crc");
        misbehaviour.lowerCaseCrc = fault == QLatin1String("lower case");
        harness.selectLogger();
        harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
        if (handled) {
            QTRY_COMPARE_WITH_TIMEOUT(*answers, QStringList{QStringLiteral("RZZ")}, kWaitMs);
        } else {
            QTest::qWait(WindowHarness::FastTiming().commandTimeoutMs + 100);
            QVERIFY(answers->isEmpty());
        }
        const TrafficLogModel model(harness.window().trafficLog());
        QStringList setAside;
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.datagramAt(row).direction == ObservedDatagram::Direction::SetAside) {
                setAside.append(model.index(row, TrafficLogModel::DirectionColumn).data().toString() +
                                ' ' + PeerText(model.datagramAt(row)).section(':', 0, 0));
            }
        }
        QCOMPARE(setAside, fault == QLatin1String("other address")
                               ? QStringList{"from another address: set aside 127.0.0.9"}
                               : QStringList{});
    }

    // Logger A's read times out; B is selected and read; A's late answer arrives during
    // B's exchange. The form shows B's own values and "Set" writes them to B.
    void lateAnswerOfAnotherLoggerNeverFillsTheForm()
    {
        WindowHarness harness(2);
        std::array<NetworkState, 2> states;
        for (int index = 0; index < 2; ++index) {
            states.at(std::size_t(index)).ipAddress = "192.0.2." + std::to_string(11 + index);
            states.at(std::size_t(index)).gateway = "192.0.2.1";
            InstallNetworkCommands(harness.logger(index), states.at(std::size_t(index)));
        }
        harness.logger(0).misbehaviour().dropRate = 1.0;
        auto *read = harness.control<QPushButton>("btnER");
        harness.selectLogger(0);
        read->click();
        QTRY_VERIFY_WITH_TIMEOUT(read->isEnabled(), kWaitMs);

        harness.selectLogger(1);
        SendToWindow(harness, LoggerSim::Frame("R192.0.2.11,255.255.255.0,192.0.2.1"));
        read->click();
        QTRY_VERIFY_WITH_TIMEOUT(read->isEnabled(), kWaitMs);
        QTest::qWait(50); // a later answer would still change the edits
        QCOMPARE(harness.control<QLineEdit>("edtip4")->text(), QStringLiteral("12"));

        harness.control<QPushButton>("btnEW")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().informed,
                                  QStringList{"Set IP Address successful"}, kWaitMs);
        QCOMPARE(states[1].ipAddress, std::string("192.0.2.12"));
    }

    void socketKeepsListeningAfterAnAnswerInTwoDatagrams()
    {
        WindowHarness harness;
        std::unique_ptr<QStringList> answers(RecordAnswers(harness));
        harness.logger().misbehaviour().splitFrame = true;
        harness.selectLogger();
        for (int exchange = 1; exchange <= 3; ++exchange) {
            harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
            QTRY_COMPARE_WITH_TIMEOUT(answers->size(), exchange, kWaitMs);
        }
    }

    void everyWaitingDatagramOnBothSocketsIsHandled()
    {
        WindowHarness harness;
        QStringList setAnswers;
        QStringList discoveryAnswers;
        harness.window().exchange().registerAnswerHandler(
            "SS", [&setAnswers](const std::string &payload) { setAnswers.append(QString::fromStdString(payload)); });
        harness.window().receivePath().setDiscoveryHandler(
            [&discoveryAnswers](const std::string &candidate, const QString &) {
                discoveryAnswers.append(QString::fromStdString(candidate));
            });
        harness.window().exchange().setCurrentCommand("SS");

        // Queue all four before the event loop runs, so both sockets hold two at once.
        const QHostAddress window(QStringLiteral("127.0.0.1"));
        harness.logger().sendFromCommandPort(LoggerSim::Frame("RA"), window, harness.windowSetPort());
        harness.logger().sendFromCommandPort(LoggerSim::Frame("RB"), window, harness.windowSetPort());
        harness.logger().sendFromSearchPort("\x1BS1#V\x05", window, harness.windowSearchPort());
        harness.logger().sendFromSearchPort("\x1BS2#V\x05", window, harness.windowSearchPort());

        QTRY_COMPARE_WITH_TIMEOUT(setAnswers.size() + discoveryAnswers.size(), 4, kWaitMs);
        QCOMPARE(setAnswers, (QStringList{QStringLiteral("RA"), QStringLiteral("RB")}));
        QCOMPARE(discoveryAnswers, (QStringList{QStringLiteral("\x1BS1#V\x05"), QStringLiteral("\x1BS2#V\x05")}));
    }

    void notAnIntegerInAHandlerIsReported()
    {
        WindowHarness harness;
        int before = 0;
        harness.window().exchange().registerAnswerHandler("ZZ", [&before](const std::string &) {
            ++before;
            protocol::ParseHexField("Q7");
        });
        harness.window().exchange().setCurrentCommand("ZZ");
        SendToWindow(harness, LoggerSim::Frame("RZZ"));
        QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().errors.size(), 1, kWaitMs);
        QCOMPARE(harness.notifier().errors.first(), QStringLiteral("'Q7' is not a valid integer value"));
        QCOMPARE(before, 1);
    }

    void portsInUseAreReportedInTheStatusBar_data()
    {
        QTest::addColumn<bool>("setPortTaken");
        QTest::addColumn<QString>("panel0");
        QTest::addColumn<QString>("panel1");
        QTest::newRow("set port taken") << true << "Fail to create Socket!" << "Search port opened!";
        QTest::newRow("search port taken") << false << "" << "Fail to create Socket!";
    }

    void portsInUseAreReportedInTheStatusBar()
    {
        QFETCH(bool, setPortTaken);
        QFETCH(QString, panel0);
        QFETCH(QString, panel1);
        QUdpSocket squatter;
        QVERIFY(squatter.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        NetworkSettings settings;
        settings.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        settings.localSetPort = setPortTaken ? squatter.localPort() : 0;
        settings.localSearchPort = setPortTaken ? 0 : squatter.localPort();
        RecordingNotifier notifier;
        MainWindow window(notifier, settings, WindowHarness::FastTiming(),
                          [] { return QStringLiteral("127.0.0.1"); });
        window.show();
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("StatusBar1Panel0"))->text(), panel0);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("StatusBar1Panel1"))->text(), panel1);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lbl3"))->text(), QStringLiteral("127.0.0.1"));
    }

    void bothPortsOpenAreReported()
    {
        WindowHarness harness;
        QCOMPARE(harness.control<QLabel>("StatusBar1Panel0")->text(), QStringLiteral("Set Port opened!"));
        QCOMPARE(harness.control<QLabel>("StatusBar1Panel1")->text(), QStringLiteral("Search port opened!"));
    }
};

QTEST_MAIN(TestExchange)
#include "test_exchange.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_system_parameters.h"
#include "transport/command_exchange.h"
#include "window_harness.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using Requests = std::vector<std::string>;

namespace {

constexpr int kWaitMs = 2000;
// Long enough for a request that should not have been sent to reach the logger.
constexpr int kSettleMs = 100;

const char *const kBlockEdits[] = {"edtshour",  "edtsminute",   "edtehour", "edteminute",
                                   "edtcjtime", "edthearttime", "edtretry"};
const char *const kBlockLists[] = {"cbresponse", "cb485422", "cbtcpudp", "cbgprs"};

// A logger that keeps its block in `state`, selected in the logger list.
void ServeBlock(WindowHarness &harness, SystemParameterState &state, const char *block)
{
    state.block = block;
    InstallSystemParameterCommands(harness.logger(), state);
    harness.selectLogger();
}

// 06:00 to 18:30, 300 s, 5 min, 3 retries, Yes, Reconnect, TCP, GPRS On.
void EnterExampleBlock(WindowHarness &harness)
{
    const char *const texts[] = {"06", "00", "18", "30", "300", "5", "3"};
    for (int at = 0; at < 7; ++at) {
        harness.control<QLineEdit>(kBlockEdits[at])->setText(QString::fromLatin1(texts[at]));
    }
    for (const char *list : kBlockLists) {
        harness.control<QComboBox>(list)->setCurrentIndex(1);
    }
}

QString Text(WindowHarness &harness, const char *edit)
{
    return harness.control<QLineEdit>(edit)->text();
}

void Click(WindowHarness &harness, const char *button)
{
    harness.control<QPushButton>(button)->click();
}

// The one message expected, or none for an empty text.
QStringList Listed(const QString &message)
{
    return message.isEmpty() ? QStringList() : QStringList{message};
}

// Nothing pending: the window usable, tmr1 off, no current command.
void VerifyIdle(WindowHarness &harness)
{
    QVERIFY(harness.control<QPushButton>("btnSR")->isEnabled());
    QVERIFY(!harness.window().exchange().timeoutActive());
    QCOMPARE(harness.window().exchange().currentCommand(), std::string());
}

} // namespace

class TestSystemParameters : public QObject
{
    Q_OBJECT

private slots:
    void readFillsEveryControl()
    {
        WindowHarness harness;
        SystemParameterState state;
        ServeBlock(harness, state, "06001830012C05030170");
        Click(harness, "btnSR");
        QTRY_COMPARE_WITH_TIMEOUT(Text(harness, "edtshour"), QStringLiteral("06"), kWaitMs);

        const QStringList edits{"06", "00", "18", "30", "300", "5", "3"};
        for (int at = 0; at < 7; ++at) {
            QCOMPARE(Text(harness, kBlockEdits[at]), edits[at]);
        }
        const QStringList lists{"Yes", "Reconnect", "TCP", "GPRS On"};
        for (int at = 0; at < 4; ++at) {
            QCOMPARE(harness.control<QComboBox>(kBlockLists[at])->currentText(), lists[at]);
        }
        QCOMPARE(Text(harness, "edtcjset"), QStringLiteral("5"));
        QCOMPARE(Text(harness, "edtheartset"), QStringLiteral("5"));
        QCOMPARE(Text(harness, "edt3gshow"), QStringLiteral("ON"));
        QCOMPARE(harness.logger().requests(), Requests{"SR"});
        QVERIFY(harness.notifier().all().isEmpty());
        VerifyIdle(harness);
    }

    void brokenAnswerKeepsTheFieldsReadBeforeIt_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("dataInterval");
        QTest::newRow("cut short after the times") << "R0715" << "''" << "300";
        QTest::newRow("heartbeat not hexadecimal") << "R07152200003CZZ030170" << "'ZZ'" << "60";
    }

    void brokenAnswerKeepsTheFieldsReadBeforeIt()
    {
        QFETCH(QString, answer);
        QFETCH(QString, error);
        QFETCH(QString, dataInterval);
        WindowHarness harness;
        harness.logger().setCommandHandler(
            "SR", [answer](const std::string &) { return answer.toStdString(); });
        harness.selectLogger();
        EnterExampleBlock(harness);
        Click(harness, "btnSR");
        QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().errors,
                                  QStringList{error + QStringLiteral(" is not a valid integer value")},
                                  kWaitMs);
        QCOMPARE(Text(harness, "edtshour"), QStringLiteral("07"));
        QCOMPARE(Text(harness, "edtsminute"), QStringLiteral("15"));
        QCOMPARE(Text(harness, "edtcjtime"), dataInterval);
        QCOMPARE(Text(harness, "edthearttime"), QStringLiteral("5"));  // from before the read
        QCOMPARE(harness.window().exchange().currentCommand(), std::string("SR"));
        QVERIFY(harness.control<QPushButton>("btnSR")->isEnabled());
    }

    void writeSendsTheBlockOfTheControls()
    {
        WindowHarness harness;
        SystemParameterState state;
        ServeBlock(harness, state, "00000000000000000000");
        EnterExampleBlock(harness);
        harness.control<QLineEdit>("edtshour")->setText(QStringLiteral(" 7"));
        Click(harness, "btnSW");
        QCOMPARE(Text(harness, "edtshour"), QStringLiteral("07"));
        QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().informed,
                                  QStringList{QStringLiteral("Set System Params Successful")},
                                  kWaitMs);
        QCOMPARE(harness.logger().requests(), Requests{"SW07001830012C05030170"});
        QCOMPARE(state.block, std::string("07001830012C05030170"));
        VerifyIdle(harness);
    }

    void writeAfterReadRepeatsTheBlock()
    {
        WindowHarness harness;
        SystemParameterState state;
        ServeBlock(harness, state, "06001830012c050302FF");
        Click(harness, "btnSR");
        QTRY_COMPARE_WITH_TIMEOUT(Text(harness, "edtcjtime"), QStringLiteral("300"), kWaitMs);
        Click(harness, "btnSW");
        QTRY_COMPARE_WITH_TIMEOUT(harness.logger().requests().size(), std::size_t(2), kWaitMs);
        QCOMPARE(harness.logger().requests().back(), "SW06001830012C05030170");
    }

    // Each row breaks its own check and every later one, so only the first may speak.
    void writeChecksRunInOrder_data()
    {
        QTest::addColumn<int>("firstBroken");
        QTest::addColumn<QString>("message");
        QTest::newRow("no logger selected") << 0 << "Please choose a PV data logger first";
        QTest::newRow("stop minute empty") << 1 << "Please complete Log Start/Stop Time";
        QTest::newRow("heartbeat blank") << 2 << "Please complete Log Interval/HeartPack Interval";
        QTest::newRow("retries empty") << 3 << "Please complete Retry Times";
        QTest::newRow("no response choice") << 4 << "Please select Wait Response After Send Data";
        QTest::newRow("no reconnect choice") << 5 << "Please select Reconnect or Not";
        QTest::newRow("no transport choice") << 6 << "Please select UDP or TCP";
        QTest::newRow("no GPRS choice") << 7 << "Please select GPRS On or Off";
        QTest::newRow("stop hour 24") << 8 << "Log Start Stop Time Invalid";
    }

    void writeChecksRunInOrder()
    {
        QFETCH(int, firstBroken);
        QFETCH(QString, message);
        WindowHarness harness;
        SystemParameterState state;
        ServeBlock(harness, state, "06001830012C05030170");
        EnterExampleBlock(harness);
        const std::function<void()> breakers[] = {
            [&] { harness.control<QTreeWidget>("listview1")->clearSelection(); },
            [&] { harness.control<QLineEdit>("edteminute")->clear(); },
            [&] { harness.control<QLineEdit>("edthearttime")->setText(QStringLiteral("  ")); },
            [&] { harness.control<QLineEdit>("edtretry")->clear(); },
            [&] { harness.control<QComboBox>("cbresponse")->setCurrentIndex(-1); },
            [&] { harness.control<QComboBox>("cb485422")->setCurrentIndex(-1); },
            [&] { harness.control<QComboBox>("cbtcpudp")->setCurrentIndex(-1); },
            [&] { harness.control<QComboBox>("cbgprs")->setCurrentIndex(-1); },
            [&] { harness.control<QLineEdit>("edtehour")->setText(QStringLiteral("24")); },
        };
        for (std::size_t at = static_cast<std::size_t>(firstBroken); at < std::size(breakers);
             ++at) {
            breakers[at]();
        }
        Click(harness, "btnSW");
        QTest::qWait(kSettleMs);
        QCOMPARE(harness.notifier().informed, QStringList{message});
        QVERIFY(harness.logger().requests().empty());
        VerifyIdle(harness);
    }

    void fieldsThatWouldNotFitAreRefused_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("error");
        const QString none;
        QTest::newRow("data interval 65536") << "edtcjtime" << "65536"
            << "Log Interval must be 0 to 65535" << none;
        QTest::newRow("heartbeat 256") << "edthearttime" << "256"
            << "HeartPack Interval must be 0 to 255" << none;
        QTest::newRow("retries 300") << "edtretry" << "300"
            << "Retry Times must be 0 to 255" << none;
        QTest::newRow("start minute 05 and a space") << "edtsminute" << "05 "
            << "Log Start Stop Time Invalid" << none;
        QTest::newRow("start hour ab") << "edtshour" << "ab" << none
            << "'ab' is not a valid integer value";
    }

    void fieldsThatWouldNotFitAreRefused()
    {
        QFETCH(QString, edit);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(QString, error);
        WindowHarness harness;
        SystemParameterState state;
        ServeBlock(harness, state, "06001830012C05030170");
        EnterExampleBlock(harness);
        harness.control<QLineEdit>(qPrintable(edit))->setText(text);
        Click(harness, "btnSW");
        QTest::qWait(kSettleMs);
        QCOMPARE(harness.notifier().informed, Listed(message));
        QCOMPARE(harness.notifier().errors, Listed(error));
        QVERIFY(harness.logger().requests().empty());
        VerifyIdle(harness);
    }

    void gprsChainChangesOnlyTheGprsBit_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("late");
        QTest::newRow("GPRS ON") << "btngprson" << "00002359012C05030160" << "00002359012C05030170"
            << "Set GPRS ON Successful" << false;
        QTest::newRow("GPRS OFF") << "btngprsoff" << "0615221000780A000130"
            << "0615221000780A000120" << "Set GPRS OFF Successful" << false;
        QTest::newRow("GPRS ON answered after each timeout") << "btngprson"
            << "00002359012C05030160" << "00002359012C05030170" << "Set GPRS ON Successful" << true;
    }

    void gprsChainChangesOnlyTheGprsBit()
    {
        QFETCH(QString, button);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, message);
        QFETCH(bool, late);
        WindowHarness harness;
        SystemParameterState state;
        ServeBlock(harness, state, qPrintable(before));
        if (late) {
            harness.logger().misbehaviour().delayMs =
                WindowHarness::FastTiming().commandTimeoutMs + 150;
        }
        harness.control<QLineEdit>("edt3gshow")->setText(QStringLiteral("OFF"));
        harness.control<QLineEdit>("edtcjset")->setText(QStringLiteral("7"));
        Click(harness, qPrintable(button));
        QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().informed, QStringList{message}, kWaitMs);
        QCOMPARE(harness.logger().requests(), (Requests{"SR", "SW" + after.toStdString()}));
        QCOMPARE(QString::fromStdString(state.block), after);
        // Only a plain read refreshes the visible row.
        QCOMPARE(Text(harness, "edt3gshow"), QStringLiteral("OFF"));
        QCOMPARE(Text(harness, "edtcjset"), QStringLiteral("7"));
        VerifyIdle(harness);
    }

    void gprsOnWithoutLoggerSendsNothing()
    {
        WindowHarness harness;
        SystemParameterState state;
        InstallSystemParameterCommands(harness.logger(), state);
        harness.window().exchange().setCurrentCommand("SR");
        Click(harness, "btngprson");
        QTest::qWait(kSettleMs);
        QCOMPARE(harness.notifier().informed,
                 QStringList{QStringLiteral("Please choose a PV data logger first")});
        QCOMPARE(harness.window().exchange().currentCommand(), std::string("SR"));
        QVERIFY(harness.logger().requests().empty());
    }

    void intervalChainWritesTheEnteredMinutes_data()
    {
        QTest::addColumn<bool>("readFirst");
        QTest::addColumn<QString>("dataMinutes");
        QTest::addColumn<QString>("heartbeat");
        QTest::addColumn<QString>("written");
        QTest::newRow("5 and 10 entered") << false << "5" << "10" << "06001830012C0A030170";
        QTest::newRow("20 and 20 entered") << false << "20" << "20" << "0600183004B014030170";
        QTest::newRow("10 and 3 with blanks")
            << false << QStringLiteral(" 10 ") << QStringLiteral(" 3 ") << "06001830025803030170";
        QTest::newRow("90 s read as 2 min") << true << "2" << "5" << "06001830007805030170";
    }

    void intervalChainWritesTheEnteredMinutes()
    {
        QFETCH(bool, readFirst);
        QFETCH(QString, dataMinutes);
        QFETCH(QString, heartbeat);
        QFETCH(QString, written);
        WindowHarness harness;
        SystemParameterState state;
        ServeBlock(harness, state, "06001830005A05030170");
        Requests expected{"SR", "SW" + written.toStdString()};
        if (readFirst) {
            Click(harness, "btnSR");
            QTRY_COMPARE_WITH_TIMEOUT(Text(harness, "edtcjset"), dataMinutes, kWaitMs);
            expected.insert(expected.begin(), "SR");
        } else {
            harness.control<QLineEdit>("edtcjset")->setText(dataMinutes);
            harness.control<QLineEdit>("edtheartset")->setText(heartbeat);
        }
        Click(harness, "btnsw1");
        QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().informed,
                                  QStringList{QStringLiteral("Set Data/Heart Time Successful")},
                                  kWaitMs);
        QCOMPARE(harness.logger().requests(), expected);
        QCOMPARE(QString::fromStdString(state.block), written);
        QCOMPARE(Text(harness, "edtcjtime"), QString::number(dataMinutes.toInt() * 60));
        QCOMPARE(Text(harness, "edthearttime"), heartbeat.trimmed());
        QCOMPARE(Text(harness, "edtcjset"), dataMinutes);
        VerifyIdle(harness);
    }

    void intervalChecksSendNothing_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("dataMinutes");
        QTest::addColumn<QString>("heartbeat");
        QTest::addColumn<QString>("message");
        const QString invalidData = QStringLiteral("Data Time invalid");
        QTest::newRow("no logger") << false << "5" << "5" << "Please choose a PV data logger first";
        QTest::newRow("data five") << true << "five" << "5" << invalidData;
        QTest::newRow("data $5 is not decimal") << true << "$5" << "5" << invalidData;
        QTest::newRow("both invalid") << true << "0" << "" << invalidData;
        QTest::newRow("heartbeat 0") << true << "5" << "0" << "Heart Time invalid";
        QTest::newRow("data 21") << true << "21" << "5" << "Data Time can not be greater than 20";
        QTest::newRow("heartbeat 21") << true << "20" << "21"
            << "Heart Time can not be greater than 20";
    }

    void intervalChecksSendNothing()
    {
        QFETCH(bool, selected);
        QFETCH(QString, dataMinutes);
        QFETCH(QString, heartbeat);
        QFETCH(QString, message);
        WindowHarness harness;
        SystemParameterState state;
        InstallSystemParameterCommands(harness.logger(), state);
        if (selected) {
            harness.selectLogger();
        }
        harness.control<QLineEdit>("edtcjset")->setText(dataMinutes);
        harness.control<QLineEdit>("edtheartset")->setText(heartbeat);
        Click(harness, "btnsw1");
        QTest::qWait(kSettleMs);
        QCOMPARE(harness.notifier().informed, QStringList{message});
        QVERIFY(harness.logger().requests().empty());
        VerifyIdle(harness);
    }

    void chainEndsWhenItsWriteRefusesTheBlockRead_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("block");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("error");
        const QString invalidTime = QStringLiteral("Log Start Stop Time Invalid");
        QTest::newRow("GPRS ON, start hour 25") << "btngprson" << "25001830012C05030160"
            << invalidTime << "";
        QTest::newRow("GPRS OFF, stop minute 75") << "btngprsoff" << "06001875012C05030170"
            << invalidTime << "";
        QTest::newRow("Set, start hour 25") << "btnsw1" << "25001830012C05030170"
            << invalidTime << "";
        QTest::newRow("GPRS ON, start hour ab") << "btngprson" << "ab001830012C05030160" << ""
            << "'ab' is not a valid integer value";
        const QString incomplete = QStringLiteral(
            "The system parameters read from the logger are incomplete, so nothing was written.");
        QTest::newRow("GPRS ON, flags cut to 7") << "btngprson" << "06001830012C0503017"
            << incomplete << "";
        QTest::newRow("GPRS OFF, flags cut to 6") << "btngprsoff" << "06001830012C0503016"
            << incomplete << "";
        QTest::newRow("Set, flags cut to 7") << "btnsw1" << "06001830012C0503017" << incomplete
            << "";
    }

    void chainEndsWhenItsWriteRefusesTheBlockRead()
    {
        QFETCH(QString, button);
        QFETCH(QString, block);
        QFETCH(QString, message);
        QFETCH(QString, error);
        WindowHarness harness;
        SystemParameterState state;
        ServeBlock(harness, state, qPrintable(block));
        harness.control<QLineEdit>("edtcjset")->setText(QStringLiteral("5"));
        harness.control<QLineEdit>("edtheartset")->setText(QStringLiteral("5"));
        Click(harness, qPrintable(button));
        QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().all().size(), 1, kWaitMs);
        QTest::qWait(kSettleMs);
        QCOMPARE(harness.notifier().informed, Listed(message));
        QCOMPARE(harness.notifier().errors, Listed(error));
        QCOMPARE(harness.logger().requests(), Requests{"SR"});
        QCOMPARE(QString::fromStdString(state.block), block);
        VerifyIdle(harness);
    }
};

QTEST_MAIN(TestSystemParameters)
#include "test_system_parameters.moc"

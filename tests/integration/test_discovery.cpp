// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/command_exchange.h"
#include "window_harness.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

constexpr int kWaitMs = 2000;

QStringList Rows(QTreeWidget *list)
{
    QStringList rows;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = list->topLevelItem(row);
        rows.append(item->text(0) + QLatin1Char('|') + item->text(1) + QLatin1Char('|') +
                    item->text(2));
    }
    return rows;
}

}  // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private:
    static QTreeWidget *LoggerList(WindowHarness &harness)
    {
        return harness.control<QTreeWidget>("listview1");
    }

    // A discovery answer sent from the logger's own search port, as after a probe.
    static void Answer(WindowHarness &harness, int logger, const std::string &bytes)
    {
        harness.logger(logger).sendFromSearchPort(bytes, QHostAddress(QStringLiteral("127.0.0.1")),
                                                  harness.windowSearchPort());
    }

    static void Search(WindowHarness &harness)
    {
        harness.control<QPushButton>("btnsearch")->click();
    }

private slots:
    void sweepListsEveryAnsweringLogger()
    {
        WindowHarness harness(3);
        Search(harness);
        QTRY_COMPARE_WITH_TIMEOUT(LoggerList(harness)->topLevelItemCount(), 3, kWaitMs);
        QStringList rows = Rows(LoggerList(harness));
        rows.sort();
        QCOMPARE(rows, (QStringList{"SN1000|127.0.0.2|V1.0", "SN1001|127.0.0.3|V1.1",
                                    "SN1002|127.0.0.4|V1.2"}));
        for (int logger = 0; logger < 3; ++logger) {
            QCOMPARE(harness.logger(logger).probesReceived(), 1);
        }
        QCOMPARE(harness.window().exchange().currentCommand(), std::string("SS"));
        QVERIFY(harness.notifier().all().isEmpty());
    }

    void selectedRowIsTheDestinationOfTheNextCommand()
    {
        WindowHarness harness(3);
        Search(harness);
        QTRY_COMPARE_WITH_TIMEOUT(LoggerList(harness)->topLevelItemCount(), 3, kWaitMs);
        const QList<QTreeWidgetItem *> rows =
            LoggerList(harness)->findItems(QStringLiteral("127.0.0.3"), Qt::MatchExactly, 1);
        QCOMPARE(rows.size(), 1);
        LoggerList(harness)->setCurrentItem(rows.first());

        harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
        QTRY_COMPARE_WITH_TIMEOUT(harness.logger(1).requests().size(), std::size_t(1), kWaitMs);
        QVERIFY(harness.logger(0).requests().empty());
        QVERIFY(harness.logger(2).requests().empty());
    }

    void answersUpdateOrAppendRows_data()
    {
        QTest::addColumn<QByteArrayList>("answers");  // "<logger index>:<bytes>"
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("second answer from one address replaces the caption untrimmed")
            << QByteArrayList{"0:\x1B SN1 #V1\x05", "0:\x1B SN2 #V2\x05"}
            << QStringList{" SN2 |127.0.0.2|V1"};
        QTest::newRow("same serial from two addresses")
            << QByteArrayList{"0:\x1BSAME#V1\x05", "1:\x1BSAME#V2\x05"}
            << QStringList{"SAME|127.0.0.2|V1", "SAME|127.0.0.3|V2"};
        QTest::newRow("no hash gives an empty version")
            << QByteArrayList{"0:\x1BNOHASH\x05"} << QStringList{"NOHASH|127.0.0.2|"};
        QTest::newRow("empty serial ignored") << QByteArrayList{"0:\x1B#V1\x05"} << QStringList{};
        QTest::newRow("leading 0xFF trimmed from a new caption")
            << QByteArrayList{"0:\x1B\xFFSN7#V 7\x05"} << QStringList{"SN7|127.0.0.2|V 7"};
        QTest::newRow("three answers in one datagram")
            << QByteArrayList{"0:\x1B" "A#1\x05\x1B" "B#2\x05\x1B" "C#3\x05"}
            << QStringList{"C|127.0.0.2|1"};
        QTest::newRow("answer split over two datagrams")
            << QByteArrayList{"1:\x1BSPL", "1:IT#V5\x05"} << QStringList{"SPLIT|127.0.0.3|V5"};
    }

    void answersUpdateOrAppendRows()
    {
        QFETCH(QByteArrayList, answers);
        QFETCH(QStringList, rows);
        WindowHarness harness(2);
        harness.logger(0).setDiscoveryAnswer(std::string());  // silent on the probe
        harness.logger(1).setDiscoveryAnswer(std::string());
        Search(harness);
        for (const QByteArray &answer : answers) {
            Answer(harness, answer.left(1).toInt(), answer.mid(2).toStdString());
            QTest::qWait(30);
        }
        QTRY_COMPARE_WITH_TIMEOUT(Rows(LoggerList(harness)), rows, kWaitMs);
    }

    void answerFromThePcItselfIsIgnored()
    {
        WindowHarness harness(1);
        harness.logger(0).setDiscoveryAnswer(std::string());
        Search(harness);
        QUdpSocket pc;
        QVERIFY(pc.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        pc.writeDatagram("\x1BSELF#V\x05", QHostAddress(QStringLiteral("127.0.0.1")),
                         harness.windowSearchPort());
        Answer(harness, 0, "\x1BOTHER#V\x05");
        QTRY_COMPARE_WITH_TIMEOUT(Rows(LoggerList(harness)), QStringList{"OTHER|127.0.0.2|V"}, kWaitMs);
    }

    void discoveryAnswerDuringAnotherCommandIsDropped()
    {
        WindowHarness harness(1);
        harness.selectLogger(0);
        harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
        Answer(harness, 0, "\x1BLATE#V\x05");
        QTest::qWait(100);
        QCOMPARE(LoggerList(harness)->topLevelItemCount(), 1);  // only the selected row
        QVERIFY(!harness.control<QPushButton>("btnER")->isEnabled());
    }

    void searchTakesOverAPendingCommand()
    {
        WindowHarness harness(1);
        int answers = 0;
        harness.logger(0).misbehaviour().delayMs = 100;
        harness.logger(0).setCommandHandler("ZZ", [](const std::string &) { return std::string("RZZ"); });
        harness.window().exchange().registerAnswerHandler("ZZ", [&answers](const std::string &) { ++answers; });
        harness.logger(0).setDiscoveryAnswer(std::string());
        harness.selectLogger(0);
        harness.window().exchange().SendCommand({protocol::CommandCode("ZZ"), "ZZ"});
        Search(harness);
        QVERIFY(LoggerList(harness)->topLevelItemCount() == 0);
        QVERIFY(!harness.control<QPushButton>("btnER")->isEnabled());

        QTest::qWait(200);  // the delayed answer to ZZ arrives and is dropped
        QCOMPARE(answers, 0);
        QVERIFY(!harness.control<QPushButton>("btnER")->isEnabled());

        Answer(harness, 0, "\x1B#empty serial still unlocks\x05");
        QTRY_VERIFY_WITH_TIMEOUT(harness.control<QPushButton>("btnER")->isEnabled(), kWaitMs);
        QVERIFY(!harness.window().exchange().timeoutActive());
        QCOMPARE(LoggerList(harness)->topLevelItemCount(), 0);
    }

    void progressBarRunsOnceAfterEachSearch()
    {
        WindowHarness harness(0);
        auto *bar = harness.control<QProgressBar>("pb1");
        QTest::qWait(WindowHarness::FastTiming().searchTickMs * 12 + 100);  // the start-up run ends
        QCOMPARE(bar->value(), 0);
        QList<int> values;
        connect(bar, &QProgressBar::valueChanged, this, [&values](int value) { values.append(value); });
        Search(harness);
        QTRY_VERIFY_WITH_TIMEOUT(values.size() >= 11, kWaitMs);
        QTest::qWait(100);
        QCOMPARE(values, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}));
    }

    void sweepProbesHostsOneTo255OfThePcNetwork()
    {
        WindowHarness harness(1);
        QUdpSocket host255;
        QVERIFY(host255.bind(QHostAddress(QStringLiteral("127.0.0.255")), harness.settings().remoteSearchPort));
        Search(harness);
        QTRY_VERIFY_WITH_TIMEOUT(host255.hasPendingDatagrams(), kWaitMs);
        QByteArray probe(16, '\0');
        probe.resize(host255.readDatagram(probe.data(), probe.size()));
        QCOMPARE(probe, QByteArray("\xFF\x04\x03\xFB"));
    }
};

QTEST_MAIN(TestDiscovery)
#include "test_discovery.moc"

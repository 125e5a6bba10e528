// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/network_addressing.h"
#include "commands/network_addressing_codec.h"
#include "sim_network.h"
#include "transport/command_exchange.h"
#include "window_harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

constexpr int kWaitMs = 2000;

using Requests = std::vector<std::string>;

// The real window and one substitute logger that keeps its network settings in `state`.
struct Fixture {
    NetworkState state;
    WindowHarness harness;

    Fixture()
    {
        InstallNetworkCommands(harness.logger(), state);
        harness.selectLogger();
    }

    NetworkAddressing &glue() { return *harness.window().findChild<NetworkAddressing *>(); }
    CommandExchange &exchange() { return harness.window().exchange(); }
    const Requests &requests() { return harness.logger().requests(); }
    QLineEdit *edit(const QString &name) { return harness.control<QLineEdit>(qPrintable(name)); }
    void click(const char *button) { harness.control<QPushButton>(button)->click(); }
    bool locked() { return !harness.control<QPushButton>("btnER")->isEnabled(); }

    // The four octet edits of a row ("edtip", "edtmask", ...) as one dotted text.
    QString row(const QString &prefix)
    {
        QStringList octets;
        for (int index = 1; index <= 4; ++index) {
            octets.append(edit(prefix + QString::number(index))->text());
        }
        return octets.join('.');
    }

    void fillRow(const QString &prefix, const QString &dotted)
    {
        const QStringList octets = dotted.split('.');
        for (int index = 1; index <= 4; ++index) {
            edit(prefix + QString::number(index))->setText(octets.at(index - 1));
        }
    }

    void focusAndActivate(QWidget *widget)
    {
        harness.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness.window()));
        widget->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(widget->hasFocus());
    }

    void startUpstreamWrite(const QString &link)
    {
        if (link == QLatin1String("GPRS")) {
            glue().btngprsipClick();
        } else {
            glue().btnethipClick();
        }
    }
};

std::string UpstreamWrite(const QString &link)
{
    return network_addressing::BuildUpstreamServerWrite(link == QLatin1String("GPRS") ? "GW"
                                                                                      : "RW");
}

std::string UpstreamRead(const QString &link)
{
    return link == QLatin1String("GPRS") ? "GR" : "RR";
}

const QString kDefaultServer =
    QString::fromLatin1(network_addressing::kDefaultUpstreamServerAddress);

} // namespace

class TestNetworkAddressing : public QObject
{
    Q_OBJECT

private slots:
    void readFillsTheTwelveEditsAndLeavesTheMode_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::newRow("fixed address chosen") << false;
        QTest::newRow("DHCP chosen") << true;
    }

    void readFillsTheTwelveEditsAndLeavesTheMode()
    {
        QFETCH(bool, automatic);
        Fixture f;
        f.state.ipAddress = "10.1.2.3";
        f.state.subnetMask = "255.0.0.0";
        f.state.gateway = "10.1.2.254";
        f.harness.control<QRadioButton>(automatic ? "rbautoip" : "rbhandip")->click();
        f.click("btnER");
        QVERIFY(f.locked());

        QTRY_COMPARE_WITH_TIMEOUT(f.row("edtip"), QStringLiteral("10.1.2.3"), kWaitMs);
        QCOMPARE(f.row("edtmask"), QStringLiteral("255.0.0.0"));
        QCOMPARE(f.row("edtgt"), QStringLiteral("10.1.2.254"));
        QCOMPARE(f.requests(), Requests{"ER"});
        QCOMPARE(f.harness.control<QRadioButton>("rbautoip")->isChecked(), automatic);
        QCOMPARE(f.harness.control<QWidget>("grp5")->isEnabled(), !automatic);
        QVERIFY(!f.locked());
        QVERIFY(f.exchange().currentCommand().empty());
        QVERIFY(f.harness.notifier().all().isEmpty());
    }

    void incompleteIpAnswerLeavesTheEdits()
    {
        Fixture f;
        f.harness.logger().setCommandHandler(
            "ER", [](const std::string &) { return std::string("R10.1.2.3,255.0.0.0"); });
        f.fillRow("edtip", "192.168.1.100");
        f.click("btnER");
        QTRY_COMPARE_WITH_TIMEOUT(f.harness.notifier().informed,
                                  QStringList{"Read IP address failed: the answer is incomplete."},
                                  kWaitMs);
        QCOMPARE(f.row("edtip"), QStringLiteral("192.168.1.100"));
        QCOMPARE(f.row("edtmask"), QStringLiteral("..."));
        QVERIFY(!f.locked());
    }

    // The fourth edit takes everything after the third "." of the answer, whatever its
    // length; the range check on Set then refuses it, so nothing cut is written back.
    void answerOctetsAreShownWholeAndRefusedOnSet_data()
    {
        QTest::addColumn<QString>("readCode");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("setButton");
        QTest::newRow("ER four-digit octet")
            << "ER" << "R10.0.0.1234,255.0.0.0,10.0.0.1" << "edtip" << "10.0.0.1234" << "btnEW";
        QTest::newRow("ER six octets")
            << "ER" << "R1.2.3.4.5.6,255.0.0.0,1.2.3.254" << "edtip" << "1.2.3.4.5.6" << "btnEW";
        QTest::newRow("R3 four-digit octet")
            << "R3" << "R10.0.0.1234,9040" << "edtrip" << "10.0.0.1234" << "btnR2";
    }

    void answerOctetsAreShownWholeAndRefusedOnSet()
    {
        QFETCH(QString, readCode);
        QFETCH(QString, answer);
        QFETCH(QString, prefix);
        QFETCH(QString, shown);
        QFETCH(QString, setButton);
        Fixture f;
        f.harness.logger().setCommandHandler(readCode.toStdString(),
                                             [answer](const std::string &) { return answer.toStdString(); });
        f.click(readCode == QLatin1String("ER") ? "btnER" : "btnR1");
        QTRY_COMPARE_WITH_TIMEOUT(f.row(prefix), shown, kWaitMs);

        f.click(qPrintable(setButton));
        QCOMPARE(f.harness.notifier().informed,
                 QStringList{"The IP address must be four numbers from 0 to 255."});
        QTest::qWait(50);
        QCOMPARE(f.requests(), Requests{readCode.toStdString()});

        // Shortening the long octet brings the typing limit back.
        QLineEdit *fourth = f.edit(prefix + QLatin1Char('4'));
        while (fourth->text().size() > 3) {
            fourth->backspace();
        }
        QCOMPARE(fourth->maxLength(), 3);
        fourth->insert(QStringLiteral("9"));
        QCOMPARE(fourth->text().size(), 3);
    }

    void setSendsTheConfigurationAndReadsItBack_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<QString>("payload");
        QTest::newRow("DHCP, edits empty") << true << "EW0.0.0.0,0.0.0.0,0.0.0.0,6001";
        QTest::newRow("fixed address") << false << "EW192.168.1.100,255.255.255.0,192.168.1.1,6001";
    }

    void setSendsTheConfigurationAndReadsItBack()
    {
        QFETCH(bool, automatic);
        QFETCH(QString, payload);
        Fixture f;
        if (automatic) {
            f.harness.control<QRadioButton>("rbautoip")->click();
            QVERIFY(!f.harness.control<QWidget>("grp5")->isEnabled());
        } else {
            f.fillRow("edtip", "192.168.1.100");
            f.fillRow("edtmask", "255.255.255.0");
            f.fillRow("edtgt", "192.168.1.1");
        }
        f.click("btnEW");
        QTRY_COMPARE_WITH_TIMEOUT(f.harness.notifier().informed,
                                  QStringList{"Set IP Address successful"}, kWaitMs);
        QCOMPARE(f.requests(), Requests{payload.toStdString()});
        QCOMPARE(f.state.dhcp, automatic);

        f.fillRow("edtip", "...");
        f.click("btnER");
        const QString address = automatic ? "0.0.0.0" : "192.168.1.100";
        QTRY_COMPARE_WITH_TIMEOUT(f.row("edtip"), address, kWaitMs);
        QCOMPARE(f.harness.notifier().informed, QStringList{"Set IP Address successful"});
    }

    void setChecksTheEntryInOrderAndSendsNothing_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("gateway");
        QTest::addColumn<QString>("message");
        QTest::newRow("no logger selected, edits empty") << false << "..."
                                                         << "..."
                                                         << "..."
                                                         << "Please choose a PV data logger first";
        QTest::newRow("all empty") << true << "..."
                                   << "..."
                                   << "..."
                                   << "Please complete the IP address.";
        QTest::newRow("one mask octet blank") << true << "192.168.1.100"
                                              << "255. .255.0"
                                              << "..."
                                              << "Please complete the Subnet Mask.";
        QTest::newRow("gateway octet empty") << true << "192.168.1.100"
                                             << "255.255.255.0"
                                             << "192.168..1"
                                             << "Please complete the Gateway address.";
        QTest::newRow("pasted mask octet 300")
            << true << "192.168.1.100"
            << "300.255.255.0"
            << "192.168.1.1"
            << "The Subnet Mask must be four numbers from 0 to 255.";
    }

    void setChecksTheEntryInOrderAndSendsNothing()
    {
        QFETCH(bool, selected);
        QFETCH(QString, address);
        QFETCH(QString, mask);
        QFETCH(QString, gateway);
        QFETCH(QString, message);
        Fixture f;
        if (!selected) {
            f.harness.control<QTreeWidget>("listview1")->clearSelection();
        }
        f.fillRow("edtip", address);
        f.fillRow("edtmask", mask);
        f.fillRow("edtgt", gateway);
        f.exchange().setCurrentCommand("MR");
        f.click("btnEW");
        QCOMPARE(f.harness.notifier().informed, QStringList{message});
        QCOMPARE(f.exchange().currentCommand(), std::string("MR"));
        QVERIFY(!f.locked());
        QVERIFY(!f.exchange().timeoutActive());
        QTest::qWait(50);
        QVERIFY(f.requests().empty());
    }

    void typingFollowsTheOctetRules_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("focus");
        QTest::newRow("192") << "edtip1"
                             << "192"
                             << "192"
                             << "edtip2";
        QTest::newRow("300") << "edtip1"
                             << "300"
                             << "255"
                             << "edtip2";
        QTest::newRow("05") << "edtip1"
                            << "05"
                            << "5"
                            << "edtip1";
        QTest::newRow("00") << "edtip1"
                            << "00"
                            << "0"
                            << "edtip1";
        QTest::newRow("dot into empty") << "edtip1"
                                        << "."
                                        << ""
                                        << "edtip1";
        QTest::newRow("10 and dot") << "edtip1"
                                    << "10."
                                    << "10"
                                    << "edtip2";
        QTest::newRow("letters, blanks and signs") << "edtip1"
                                                   << "1a -+,2"
                                                   << "12"
                                                   << "edtip1";
        QTest::newRow("192168 runs on") << "edtip1"
                                        << "192168"
                                        << "192"
                                        << "edtip3";
        QTest::newRow("edtip4 to the mask") << "edtip4"
                                            << "123"
                                            << "123"
                                            << "edtmask1";
        QTest::newRow("edtmask4 to the gateway") << "edtmask4"
                                                 << "255"
                                                 << "255"
                                                 << "edtgt1";
        QTest::newRow("edtgt4 out of the group") << "edtgt4"
                                                 << "254"
                                                 << "254"
                                                 << "btnER";
        QTest::newRow("edtrip4 to Read") << "edtrip4"
                                         << "999"
                                         << "255"
                                         << "btnR1";
    }

    void typingFollowsTheOctetRules()
    {
        QFETCH(QString, start);
        QFETCH(QString, keys);
        Fixture f;
        f.focusAndActivate(f.edit(start));
        for (const QChar key : keys) {
            QTest::keyClick(QApplication::focusWidget(), key.toLatin1());
        }
        QTEST(f.edit(start)->text(), "text");
        QTEST(QApplication::focusWidget()->objectName(), "focus");
        QVERIFY(f.harness.notifier().all().isEmpty());
    }

    void anyKeyReleaseInAFullEditMovesOn()
    {
        Fixture f;
        f.edit("edtip3")->setText("123");
        f.focusAndActivate(f.edit("edtip3"));
        QTest::keyClick(f.edit("edtip3"), Qt::Key_Shift);
        QCOMPARE(QApplication::focusWidget(), f.edit("edtip4"));
    }

    void pastedTextThatIsNoNumberIsReportedAndKept()
    {
        Fixture f;
        f.edit("edtip1")->setText("abc");
        f.focusAndActivate(f.edit("edtip1"));
        QTest::keyClick(f.edit("edtip1"), Qt::Key_End);
        QCOMPARE(f.harness.notifier().errors, QStringList{"'abc' is not a valid integer value"});
        QCOMPARE(f.edit("edtip1")->text(), QStringLiteral("abc"));
        QCOMPARE(QApplication::focusWidget(), f.edit("edtip1"));
    }

    void clickIntoAMaskEditSuggestsTheClassMask_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("mask");
        QTest::newRow("10.0.0.1") << "10.0.0.1"
                                  << "255.0.0.0";
        QTest::newRow("172.16.0.1") << "172.16.0.1"
                                    << "255.255.0.0";
        QTest::newRow("192.168.1.10") << "192.168.1.10"
                                      << "255.255.255.0";
        QTest::newRow("127.0.0.1") << "127.0.0.1"
                                   << "1.2.3.4";
        QTest::newRow("0.1.2.3") << "0.1.2.3"
                                 << "1.2.3.4";
        QTest::newRow("230.1.1.1") << "230.1.1.1"
                                   << "1.2.3.4";
        QTest::newRow("address incomplete") << "10.0..1"
                                            << "1.2.3.4";
    }

    void clickIntoAMaskEditSuggestsTheClassMask()
    {
        QFETCH(QString, address);
        Fixture f;
        f.fillRow("edtip", address);
        f.fillRow("edtmask", "1.2.3.4");
        QTest::mouseClick(f.edit("edtmask3"), Qt::LeftButton);
        QTEST(f.row("edtmask"), "mask");
    }

    void dataServerIsReadSetAndCleared()
    {
        Fixture f;
        f.state.dataServerAddress = "10.0.0.5";
        f.click("btnR1");
        QTRY_COMPARE_WITH_TIMEOUT(f.row("edtrip"), QStringLiteral("10.0.0.5"), kWaitMs);
        QVERIFY(f.harness.notifier().all().isEmpty());

        f.fillRow("edtrip", "192.168.1.20");
        f.click("btnR2");
        QTRY_COMPARE_WITH_TIMEOUT(f.harness.notifier().informed,
                                  QStringList{"Set Data Server IP successful"}, kWaitMs);
        QCOMPARE(f.state.dataServerAddress, std::string("192.168.1.20"));

        f.harness.notifier().clear();
        f.click("btnRC");
        QTRY_COMPARE_WITH_TIMEOUT(f.harness.notifier().informed,
                                  QStringList{"Clear Data Server IP successful"}, kWaitMs);
        QCOMPARE(f.requests(), (Requests{"R3", "R4192.168.1.20,9040", "R40.0.0.0,0"}));
        QCOMPARE(f.row("edtrip"), QStringLiteral("192.168.1.20"));
        QCOMPARE(f.state.dataServerAddress, std::string("0.0.0.0"));
        QVERIFY(f.exchange().currentCommand().empty());
        QVERIFY(!f.locked());
    }

    // The window shows no port, and a Set writes 9040 whatever the logger held.
    void dataServerPortOtherThanTheSetsIsTold_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("afterRead");
        QTest::addColumn<QString>("afterSet");
        QTest::newRow("6000") << "6000" << "The data server port is 6000: Set writes the address with port 9040"
                              << "The data server port was 6000, it is now 9040";
        QTest::newRow("9040") << "9040" << "" << "";
    }

    void dataServerPortOtherThanTheSetsIsTold()
    {
        QFETCH(QString, port);
        QFETCH(QString, afterRead);
        QFETCH(QString, afterSet);
        Fixture f;
        f.state.dataServerPort = port.toStdString();
        auto *notice = f.harness.control<QLabel>("StatusBar1Notice");
        f.click("btnR1");
        QTRY_COMPARE_WITH_TIMEOUT(f.row("edtrip"), QStringLiteral("192.0.2.20"), kWaitMs);
        QCOMPARE(notice->text(), afterRead);
        f.click("btnR2");
        QTRY_COMPARE_WITH_TIMEOUT(f.harness.notifier().informed,
                                  QStringList{"Set Data Server IP successful"}, kWaitMs);
        QCOMPARE(notice->text(), afterSet);
    }

    // The form keeps its values when another logger is selected; the status bar says whose
    // they are until the selected logger is read.
    void noticeSaysWhoseValuesTheFormShows()
    {
        WindowHarness harness(2);
        std::array<NetworkState, 2> states;
        InstallNetworkCommands(harness.logger(0), states[0]);
        InstallNetworkCommands(harness.logger(1), states[1]);
        auto *notice = harness.control<QLabel>("StatusBar1Notice");
        auto *list = harness.control<QTreeWidget>("listview1");
        harness.selectLogger(0);
        harness.selectLogger(1);
        list->setCurrentItem(list->topLevelItem(0));
        harness.control<QPushButton>("btnER")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.logger(0).requests(), Requests{"ER"}, kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(harness.control<QPushButton>("btnER")->isEnabled(), kWaitMs);
        QCOMPARE(notice->text(), QString());

        list->setCurrentItem(list->topLevelItem(1));
        QCOMPARE(notice->text(), QStringLiteral("The form shows values read from SN1000 (127.0.0.2)"));
        harness.control<QPushButton>("btnMR")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.logger(1).requests(), Requests{"MR"}, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(notice->text(), QString(), kWaitMs);
    }

    // Two loggers on one address can both not be reached: a fixed address that another
    // logger of the list holds is refused, the selected logger's own is written.
    void setOfAnAddressAnotherLoggerHoldsIsRefused_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("another logger's") << "127.0.0.2"
            << "127.0.0.2 is the address of SN1000 in the logger list: two loggers on one "
               "address cannot both be reached. Nothing was sent.";
        QTest::newRow("the selected logger's own") << "127.0.0.3" << "";
    }

    void setOfAnAddressAnotherLoggerHoldsIsRefused()
    {
        QFETCH(QString, address);
        QFETCH(QString, refusal);
        WindowHarness harness(2);
        NetworkState state;
        InstallNetworkCommands(harness.logger(1), state);
        harness.selectLogger(0);
        harness.selectLogger(1);
        for (const auto &[prefix, dotted] : {std::pair{"edtip", address}, {"edtmask", QStringLiteral("255.0.0.0")},
                                             {"edtgt", QStringLiteral("127.0.0.1")}}) {
            const QStringList octets = dotted.split('.');
            for (int index = 1; index <= 4; ++index) {
                harness.control<QLineEdit>(qPrintable(prefix + QString::number(index)))
                    ->setText(octets.at(index - 1));
            }
        }
        harness.control<QPushButton>("btnEW")->click();
        if (refusal.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().informed,
                                      QStringList{"Set IP Address successful"}, kWaitMs);
            QCOMPARE(state.ipAddress, address.toStdString());
        } else {
            QCOMPARE(harness.notifier().informed, QStringList{refusal});
            QTest::qWait(50);
            QVERIFY(harness.logger(1).requests().empty());
        }
    }

    void dataServerSetNeedsACompleteAddress()
    {
        Fixture f;
        f.fillRow("edtrip", "192.168. .20");
        f.click("btnR2");
        QCOMPARE(f.harness.notifier().informed, QStringList{"Please complete the IP address."});
        QVERIFY(!f.locked());
        QTest::qWait(50);
        QVERIFY(f.requests().empty());
    }

    void macReadShowsTheTextAfterTheMark_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::newRow("dashes") << "00-1A-2B-3C-4D-5E";
        QTest::newRow("blanks and lower case") << " 00 1a:2b ";
        QTest::newRow("R alone") << "";
    }

    void macReadShowsTheTextAfterTheMark()
    {
        QFETCH(QString, mac);
        Fixture f;
        f.state.mac = mac.toStdString();
        f.harness.control<QLineEdit>("EDTMAC")->setText("old");
        f.click("btnMR");
        QTRY_VERIFY_WITH_TIMEOUT(!f.locked(), kWaitMs);
        QCOMPARE(f.harness.control<QLineEdit>("EDTMAC")->text(), mac);
        QCOMPARE(f.requests(), Requests{"MR"});
    }

    void upstreamWriteIsReadBackAfterItsPause_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("GPRS") << "GPRS" << 0;
        QTest::newRow("Ethernet") << "Ethernet" << WindowHarness::FastTiming().readBackPauseMs;
    }

    void upstreamWriteIsReadBackAfterItsPause()
    {
        QFETCH(QString, link);
        QFETCH(int, pauseMs);
        Fixture f;
        QElapsedTimer clock;
        QList<qint64> requestTimes;
        connect(&f.harness.logger(), &LoggerSim::datagramReceived, this,
                [&] { requestTimes.append(clock.elapsed()); });
        clock.start();
        f.startUpstreamWrite(link);
        QVERIFY(f.locked());

        const QString success = "Set Server IP(" + link + ") successful";
        QTRY_COMPARE_WITH_TIMEOUT(f.harness.notifier().informed, QStringList{success}, kWaitMs);
        QCOMPARE(f.requests(), (Requests{UpstreamWrite(link), UpstreamRead(link)}));
        QVERIFY2(requestTimes.at(1) - requestTimes.at(0) >= pauseMs,
                 qPrintable(QString::number(requestTimes.at(1) - requestTimes.at(0))));
        QVERIFY(!f.locked());

        // Only a real timeout asks to retry.
        QTest::qWait(WindowHarness::FastTiming().commandTimeoutMs + 100);
        QVERIFY(f.harness.notifier().asked.isEmpty());
        QCOMPARE(f.harness.notifier().informed, QStringList{success});
    }

    void readBackVerdict_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("messages");
        for (const QString link : {"GPRS", "Ethernet"}) {
            const auto row = [&link](const char *name) -> QTestData & {
                return QTest::newRow(qPrintable(link + ", " + name)) << link;
            };
            const QStringList success{"Set Server IP(" + link + ") successful"};
            const QStringList failure{"Set Server IP(" + link + ") fail,please retry"};
            row("same address and port") << "R" + kDefaultServer + ",6001" << success;
            row("port 6002") << "R" + kDefaultServer + ",6002" << failure;
            row("field after the port") << "R" + kDefaultServer + ",6001,0" << failure;
            row("other address") << "R192.0.2.99,6001" << failure;
            row("no comma ends silently") << "R" + kDefaultServer << QStringList{};
        }
    }

    void readBackVerdict()
    {
        QFETCH(QString, link);
        QFETCH(QString, answer);
        QFETCH(QStringList, messages);
        Fixture f;
        f.harness.logger().setCommandHandler(
            UpstreamRead(link), [answer](const std::string &) { return answer.toStdString(); });
        f.startUpstreamWrite(link);
        QTRY_VERIFY_WITH_TIMEOUT(!f.locked(), kWaitMs);
        QCOMPARE(f.harness.notifier().informed, messages);
        QVERIFY(f.harness.notifier().asked.isEmpty());
        QVERIFY(f.exchange().currentCommand().empty());
    }

    void timeoutAsksToRetryFromTheWrite_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("silentCode");
        QTest::addColumn<QString>("answer");
        QTest::newRow("GPRS write unanswered") << "GPRS"
                                               << "GW"
                                               << "";
        QTest::newRow("GPRS read-back R alone") << "GPRS"
                                                << "GR"
                                                << "R";
        QTest::newRow("Ethernet write unanswered") << "Ethernet"
                                                   << "RW"
                                                   << "";
        QTest::newRow("Ethernet read-back unanswered") << "Ethernet"
                                                       << "RR"
                                                       << "";
    }

    void timeoutAsksToRetryFromTheWrite()
    {
        QFETCH(QString, link);
        QFETCH(QString, silentCode);
        QFETCH(QString, answer);
        Fixture f;
        f.harness.logger().setCommandHandler(
            silentCode.toStdString(), [answer](const std::string &) -> std::optional<std::string> {
                if (answer.isEmpty()) {
                    return std::nullopt;
                }
                return answer.toStdString();
            });
        f.harness.notifier().answers = {true, false};
        f.startUpstreamWrite(link);

        const QString question = "Set Server IP(" + link + ") overtime,try again ?";
        QTRY_COMPARE_WITH_TIMEOUT(f.harness.notifier().asked, (QStringList{question, question}),
                                  3 * kWaitMs);
        Requests attempt{UpstreamWrite(link)};
        if (silentCode.endsWith('R')) {
            attempt.push_back(UpstreamRead(link));
        }
        Requests both = attempt;
        both.insert(both.end(), attempt.begin(), attempt.end());
        QCOMPARE(f.requests(), both);
        QVERIFY(f.exchange().currentCommand().empty());
        QVERIFY(!f.exchange().timeoutActive());
        QVERIFY(!f.locked());
        QVERIFY(f.harness.notifier().informed.isEmpty());
    }

    void otherTimeoutsAskNothing()
    {
        Fixture f;
        f.harness.logger().setCommandHandler(
            "ER", [](const std::string &) { return std::optional<std::string>(); });
        f.click("btnER");
        QTRY_VERIFY_WITH_TIMEOUT(!f.locked(), kWaitMs);
        QCOMPARE(f.exchange().currentCommand(), std::string("ER"));
        QVERIFY(f.harness.notifier().all().isEmpty());
    }
};

QTEST_MAIN(TestNetworkAddressing)
#include "test_network_addressing.moc"

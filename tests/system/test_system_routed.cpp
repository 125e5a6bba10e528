// SPDX-License-Identifier: GPL-3.0-or-later
// Runs on the PC of the routed networks built by run_on_routed_networks.sh: the real
// window with its production ports, timings, PC-address rule and adapters. The PC has
// eth0 on 192.0.2.0/24 and eth1 on 198.51.100.0/24 (default route, to the router), its
// host name resolves to 127.0.1.1, and loggers behind the router sit in 203.0.113.0/24
// and 203.0.114.0/24. Run as an unprivileged user, only the port-23 check runs.

#include "commands/form_controls.h"
#include "discovery/logger_search.h"
#include "recording_notifier.h"
#include "wirelog/traffic_log.h"
#include "ui/add_logger_dialog.h"
#include "ui/logger_list_menu.h"
#include "ui/main_window.h"
#include "ui/range_search_dialog.h"

#include <QFile>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

namespace {

constexpr int kAnswerWaitMs = 6000;

QStringList Rows(QTreeWidget *list)
{
    QStringList rows;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = list->topLevelItem(row);
        rows.append(item->text(0) + QLatin1Char(' ') + item->text(1) + QLatin1Char(' ') +
                    item->text(2));
    }
    rows.sort();
    return rows;
}

// Datagrams the PC has sent on one adapter, as the kernel counts them.
qint64 SentPackets(const char *adapter)
{
    QFile counter(
        QStringLiteral("/sys/class/net/%1/statistics/tx_packets").arg(QLatin1String(adapter)));
    if (!counter.open(QIODevice::ReadOnly)) {
        qFatal("cannot read the packet counter of %s", adapter);
    }
    return counter.readAll().trimmed().toLongLong();
}

} // namespace

class TestSystemRouted : public QObject
{
    Q_OBJECT

private:
    template <typename Control> Control *control(const char *name)
    {
        return FindControl<Control>(*m_window, name);
    }

    QAction *menuAction(const QString &text)
    {
        for (QAction *action : m_window->findChild<LoggerListMenu *>()->build().actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        return nullptr;
    }

    void choose(const QString &entry)
    {
        QAction *action = menuAction(entry);
        QVERIFY2(action != nullptr && action->isEnabled(), qPrintable(entry));
        action->trigger();
    }

    // Searches with the button and waits as long as the search's progress runs.
    QStringList sweep()
    {
        control<QPushButton>("btnsearch")->click();
        QTest::qWait(kAnswerWaitMs);
        return Rows(control<QTreeWidget>("listview1"));
    }

    bool m_privileged = geteuid() == 0;
    RecordingNotifier m_notifier;
    std::unique_ptr<MainWindow> m_window;

private slots:
    void initTestCase()
    {
        if (!m_privileged) {
            return;
        }
        m_window = std::make_unique<MainWindow>(m_notifier);
        m_window->show();
        QCOMPARE(control<QLabel>("StatusBar1Panel0")->text(), QStringLiteral("Set Port opened!"));
        QCOMPARE(control<QLabel>("StatusBar1Panel1")->text(),
                 QStringLiteral("Search port opened!"));
    }

    void pcAddressIsTheDefaultRouteAdapter()
    {
        if (!m_privileged) {
            QSKIP("needs the virtual networks as root");
        }
        QCOMPARE(QHostInfo::fromName(QHostInfo::localHostName()).addresses().value(0).toString(),
                 QStringLiteral("127.0.1.1"));
        QCOMPARE(control<QLabel>("lbl3")->text(), QStringLiteral("198.51.100.1"));
    }

    void menuOffersBothAdapters()
    {
        if (!m_privileged) {
            QSKIP("needs the virtual networks as root");
        }
        QVERIFY(menuAction(QStringLiteral("eth0  192.0.2.1/24")) != nullptr);
        QVERIFY(menuAction(QStringLiteral("eth1  198.51.100.1/24"))->isChecked());
    }

    void searchListsTheShownAdapterNetworkOnly()
    {
        if (!m_privileged) {
            QSKIP("needs the virtual networks as root");
        }
        QCOMPARE(sweep(),
                 (QStringList{"SN-B-021 198.51.100.21 V2.1", "SN-B-022 198.51.100.22 V2.2"}));
        QCOMPARE(control<QLabel>("StatusBar1Notice")->text(), QString());
    }

    void otherAdapterListsItsNetworkOnly()
    {
        if (!m_privileged) {
            QSKIP("needs the virtual networks as root");
        }
        choose(QStringLiteral("eth0  192.0.2.1/24"));
        QCOMPARE(control<QLabel>("lbl3")->text(), QStringLiteral("192.0.2.1"));
        QCOMPARE(sweep(), (QStringList{"SN-A-011 192.0.2.11 V1.1", "SN-A-012 192.0.2.12 V1.2"}));
    }

    void loggerBehindTheRouterIsAddedAndAnswersACommand()
    {
        if (!m_privileged) {
            QSKIP("needs the virtual networks as root");
        }
        choose(QStringLiteral("Add logger by IP address…"));
        auto *dialog = m_window->findChild<AddLoggerDialog *>();
        QVERIFY(dialog != nullptr);
        dialog->findChild<QLineEdit *>(QStringLiteral("edtLoggerAddress"))
            ->setText(QStringLiteral("203.0.113.10"));
        QElapsedTimer clock;
        clock.start();
        dialog->findChild<QPushButton *>(QStringLiteral("btnAddLogger"))->click();
        auto *list = control<QTreeWidget>("listview1");
        QTRY_VERIFY_WITH_TIMEOUT(
            list->findItems(QStringLiteral("203.0.113.10"), Qt::MatchExactly, 1).size() == 1,
            AddLoggerDialog::kAnswerTimeoutMs);
        qInfo("203.0.113.10 listed %lld ms after the probe", clock.elapsed());
        QCOMPARE(Rows(list), (QStringList{"SN-A-011 192.0.2.11 V1.1", "SN-A-012 192.0.2.12 V1.2",
                                          "SN-C-010 203.0.113.10 V3.0"}));
        QCOMPARE(list->currentItem()->text(1), QStringLiteral("203.0.113.10"));

        control<QPushButton>("btnMR")->click();
        QTRY_COMPARE_WITH_TIMEOUT(control<QLineEdit>("EDTMAC")->text(),
                                  QStringLiteral("00-1A-2B-00-71-10"), kAnswerWaitMs);
        QVERIFY(m_notifier.all().isEmpty());
    }

    void rangeSearchOverA22ListsBothSubnetsAtThePace_data()
    {
        QTest::addColumn<int>("pace");
        QTest::newRow("2,000 per second (default)") << 2000;
        QTest::newRow("500 per second") << 500;
    }

    void rangeSearchOverA22ListsBothSubnetsAtThePace()
    {
        if (!m_privileged) {
            QSKIP("needs the virtual networks as root");
        }
        QFETCH(int, pace);
        choose(QStringLiteral("Search a range…"));
        auto *dialog = m_window->findChild<RangeSearchDialog *>();
        QVERIFY(dialog != nullptr);
        dialog->findChild<QLineEdit *>(QStringLiteral("edtRange"))
            ->setText(QStringLiteral("203.0.112.0/22"));
        dialog->findChild<QSpinBox *>(QStringLiteral("spnPace"))->setValue(pace);
        auto *search = m_window->findChild<LoggerSearch *>();
        QElapsedTimer clock;
        qint64 probingMs = 0;
        // The connection ends with this test: its context object lives on this stack.
        QObject connectionScope;
        connect(search, &LoggerSearch::rangeSearchRunningChanged, &connectionScope,
                [&](bool running) {
                    if (!running) {
                        probingMs = clock.elapsed();
                    }
                });
        const qint64 sentBefore = SentPackets("eth1");
        clock.start();
        dialog->findChild<QPushButton *>(QStringLiteral("btnSearchRange"))->click();
        // Halfway through, the pace must already show: no burst at the start.
        const qint64 halfwayMs = 511 * 1000 / pace;
        QTest::qWait(int(halfwayMs));
        const qint64 sentHalfway = SentPackets("eth1") - sentBefore;
        QTRY_VERIFY_WITH_TIMEOUT(probingMs > 0, 10000);
        const qint64 sent = SentPackets("eth1") - sentBefore;
        const double measured = double(sent) * 1000.0 / double(probingMs);
        qInfo("pace %d/s: %lld datagrams left eth1 in %lld ms (%.0f per second); %lld by %lld ms",
              pace, sent, probingMs, measured, sentHalfway, halfwayMs);
        QVERIFY2(sent >= 1022 && sent <= 1040, qPrintable(QString::number(sent))); // + ARP
        QVERIFY2(measured >= pace * 0.9 && measured <= pace * 1.1,
                 qPrintable(QString::number(measured)));
        QVERIFY2(sentHalfway >= 400 && sentHalfway <= 640,
                 qPrintable(QString::number(sentHalfway)));

        auto *list = control<QTreeWidget>("listview1");
        QTRY_COMPARE_WITH_TIMEOUT(
            Rows(list),
            (QStringList{"SN-C-010 203.0.113.10 V3.0", "SN-C-011 203.0.113.11 V3.1",
                         "SN-C-112 203.0.114.12 V3.2"}),
            kAnswerWaitMs);
        QTest::qWait(kAnswerWaitMs);
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(control<QLabel>("StatusBar1Notice")->text(), QString());
    }

    void emptyRangeSaysWhatWasProbed()
    {
        if (!m_privileged) {
            QSKIP("needs the virtual networks as root");
        }
        choose(QStringLiteral("Search a range…"));
        auto *dialog = m_window->findChild<RangeSearchDialog *>();
        QVERIFY(dialog != nullptr);
        dialog->findChild<QLineEdit *>(QStringLiteral("edtRange"))
            ->setText(QStringLiteral("203.0.115.0/24"));
        dialog->findChild<QPushButton *>(QStringLiteral("btnSearchRange"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            control<QLabel>("StatusBar1Notice")->text(),
            QStringLiteral("No logger answered in 203.0.115.0/24: wrong adapter? firewall?"),
            2 * kAnswerWaitMs);
        QCOMPARE(control<QTreeWidget>("listview1")->topLevelItemCount(), 0);
        QVERIFY(m_notifier.all().isEmpty());
    }

    // The address of eth1 is removed while the tool runs, and with it the default route:
    // the next sweep says so and starts from eth0, and probes beyond the router are
    // refused by the system, which the notice and the traffic log name. Restored after.
    void removedAddressAndUnreachableRangeAreNamed()
    {
        if (!m_privileged) {
            QSKIP("needs the virtual networks as root");
        }
        choose(QStringLiteral("eth1  198.51.100.1/24"));
        QCOMPARE(QProcess::execute(QStringLiteral("ip"),
                                   {"addr", "del", "198.51.100.1/24", "dev", "eth1"}),
                 0);
        const auto restore = qScopeGuard([] {
            QProcess::execute(QStringLiteral("ip"),
                              {"addr", "add", "198.51.100.1/24", "dev", "eth1"});
            QProcess::execute(QStringLiteral("ip"),
                              {"route", "add", "default", "via", "198.51.100.254", "dev", "eth1"});
        });
        auto *notice = control<QLabel>("StatusBar1Notice");
        control<QPushButton>("btnsearch")->click();
        QCOMPARE(control<QLabel>("lbl3")->text(), QStringLiteral("192.0.2.1"));
        QCOMPARE(notice->text(), QStringLiteral("198.51.100.1 is no longer an address of this PC: "
                                                "searching from 192.0.2.1"));
        QTest::qWait(kAnswerWaitMs);
        QCOMPARE(Rows(control<QTreeWidget>("listview1")),
                 (QStringList{"SN-A-011 192.0.2.11 V1.1", "SN-A-012 192.0.2.12 V1.2"}));

        const quint64 recorded = m_window->trafficLog().recordedCount();
        choose(QStringLiteral("Search a range…"));
        auto *dialog = m_window->findChild<RangeSearchDialog *>();
        QVERIFY(dialog != nullptr);
        dialog->findChild<QLineEdit *>(QStringLiteral("edtRange"))
            ->setText(QStringLiteral("203.0.113.0/29"));
        dialog->findChild<QPushButton *>(QStringLiteral("btnSearchRange"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(notice->text(),
                                  QStringLiteral("No logger answered in 203.0.113.0/29: 6 of 6 "
                                                 "probes not sent: no route to 203.0.113.1 "
                                                 "(Network is unreachable)"),
                                  2 * kAnswerWaitMs);
        const TrafficLog &log = m_window->trafficLog();
        const ObservedDatagram &first = log.at(std::size_t(recorded - log.firstNumber()));
        QCOMPARE(first.direction, ObservedDatagram::Direction::SendFailed);
        QCOMPARE(DatagramVerdict(first), QStringLiteral("not sent: Network is unreachable"));
        QVERIFY(m_notifier.all().isEmpty());
    }

    void refusedSearchPortIsExplained()
    {
        if (m_privileged) {
            QSKIP("runs as an unprivileged user");
        }
        RecordingNotifier notifier;
        MainWindow window(notifier);
        window.show();
        auto *panel = FindControl<QLabel>(window, "StatusBar1Panel1");
        QCOMPARE(panel->text(), QStringLiteral("Fail to create Socket!"));
        QCOMPARE(panel->toolTip(),
                 QStringLiteral("Permission denied: UDP port 23 is below 1024 and needs a "
                                "privilege. Grant it to the program once with\n"
                                "sudo setcap cap_net_bind_service=+ep %1\n"
                                "and start the tool again (the Debian package does this when it "
                                "is installed).")
                     .arg(QCoreApplication::applicationFilePath()));
        QCOMPARE(FindControl<QLabel>(window, "StatusBar1Panel0")->toolTip(), QString());
    }
};

QTEST_MAIN(TestSystemRouted)
#include "test_system_routed.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The logger list's menu and the dialogs it opens, driven on the real window offscreen
// against substitute loggers on two loopback networks: 127.0.0.0/24 (the harness's
// loggers, the PC shown as 127.0.0.1) and 127.0.1.0/24 (loggers made here).

#include "discovery/logger_search.h"
#include "simulated_logger.h"
#include "transport/command_exchange.h"
#include "wirelog/traffic_log.h"
#include "ui/add_logger_dialog.h"
#include "ui/bind_failure_hint.h"
#include "ui/eliding_label.h"
#include "ui/logger_list_menu.h"
#include "ui/range_search_dialog.h"
#include "ui/traffic_log_window.h"
#include "window_harness.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QtTest>

Q_DECLARE_METATYPE(discovery::FoundBy)

namespace {

constexpr int kWaitMs = 2000;
const QByteArray kProbe("\xFF\x04\x03\xFB", 4);

QStringList Rows(QTreeWidget *list)
{
    QStringList rows;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = list->topLevelItem(row);
        rows.append(item->text(0) + QLatin1Char('|') + item->text(1));
    }
    rows.sort();
    return rows;
}

// A host that records what arrives on the window's remote search port at one address.
class Listener
{
public:
    Listener(const QString &address, quint16 port)
    {
        if (!m_socket.bind(QHostAddress(address), port)) {
            qFatal("cannot listen at %s", qPrintable(address));
        }
    }
    QList<QByteArray> received()
    {
        while (m_socket.hasPendingDatagrams()) {
            QByteArray datagram(int(m_socket.pendingDatagramSize()), '\0');
            m_socket.readDatagram(datagram.data(), datagram.size());
            m_datagrams.append(datagram);
        }
        return m_datagrams;
    }
    void send(const QByteArray &datagram, const QHostAddress &to, quint16 port)
    {
        m_socket.writeDatagram(datagram, to, port);
    }

private:
    QUdpSocket m_socket;
    QList<QByteArray> m_datagrams;
};

discovery::LocalAdapter Adapter(const QString &address, int prefixLength)
{
    return {QStringLiteral("lo"), QStringLiteral("Loopback"), QHostAddress(address), prefixLength};
}

// The window on loopback with adapters the test changes while it runs. The PC address
// comes from them by the tool's own rule; nothing answers its probes.
class AdapterWindow
{
public:
    explicit AdapterWindow(QList<discovery::LocalAdapter> initial,
                           const NetworkSettings &settings = {})
        : adapters(std::move(initial))
    {
        if (!m_silent.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0)) {
            qFatal("cannot bind a silent port");
        }
        NetworkSettings loopback = settings;
        loopback.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        loopback.remoteSetPort = loopback.remoteSearchPort = m_silent.localPort();
        if (settings.localSearchPort == NetworkSettings{}.localSearchPort) {
            loopback.localSetPort = loopback.localSearchPort = 0;
        }
        m_window = std::make_unique<MainWindow>(
            m_notifier, loopback, WindowHarness::FastTiming(),
            [this] { return discovery::ChoosePcAddress({}, adapters, {}); },
            [this] { return adapters; });
        m_window->show();
    }

    MainWindow &window() { return *m_window; }
    template <typename Control> Control *control(const char *name)
    {
        return FindControl<Control>(*m_window, name);
    }
    void search() { control<QPushButton>("btnsearch")->click(); }

    QList<discovery::LocalAdapter> adapters;

private:
    QUdpSocket m_silent;
    RecordingNotifier m_notifier;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace

class TestLoggerListMenu : public QObject
{
    Q_OBJECT

private:
    // A complete logger on the second loopback network, on the harness's ports.
    static std::unique_ptr<SimulatedLogger>
    OtherNetworkLogger(WindowHarness &harness, const QString &address, const std::string &serial)
    {
        LoggerSettings settings;
        settings.network.mac = "00-1A-2B-00-01-05";
        auto logger = std::make_unique<SimulatedLogger>(
            QHostAddress(address), harness.settings().remoteSetPort,
            harness.settings().remoteSearchPort, LoggerIdentity{serial, "V9"}, settings);
        if (!logger->endpoint().start()) {
            qFatal("cannot start the logger at %s", qPrintable(address));
        }
        return logger;
    }

    static QMenu &Menu(MainWindow &window) { return window.findChild<LoggerListMenu *>()->build(); }
    static QMenu &Menu(WindowHarness &harness) { return Menu(harness.window()); }

    static QAction *MenuAction(MainWindow &window, const QString &text)
    {
        for (QAction *action : Menu(window).actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        qFatal("the menu has no entry %s", qPrintable(text));
    }
    static QAction *MenuAction(WindowHarness &harness, const QString &text)
    {
        return MenuAction(harness.window(), text);
    }

    static void Choose(MainWindow &window, const QString &text)
    {
        QAction *action = MenuAction(window, text);
        QVERIFY(action->isEnabled());
        action->trigger();
    }
    static void Choose(WindowHarness &harness, const QString &text)
    {
        Choose(harness.window(), text);
    }

    template <typename Dialog> static Dialog *OpenDialog(MainWindow &window, const QString &entry)
    {
        Choose(window, entry);
        auto *dialog = window.findChild<Dialog *>();
        if (dialog == nullptr || !dialog->isVisible()) {
            qFatal("%s opened no dialog", qPrintable(entry));
        }
        return dialog;
    }

    static AddLoggerDialog *AddLogger(MainWindow &window, const QString &address)
    {
        auto *dialog =
            OpenDialog<AddLoggerDialog>(window, QStringLiteral("Add logger by IP address…"));
        dialog->findChild<QLineEdit *>(QStringLiteral("edtLoggerAddress"))->setText(address);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnAddLogger")),
                          Qt::LeftButton);
        return dialog;
    }
    static AddLoggerDialog *AddLogger(WindowHarness &harness, const QString &address)
    {
        return AddLogger(harness.window(), address);
    }

    static RangeSearchDialog *SearchRange(MainWindow &window, const QString &range, int pace)
    {
        auto *dialog = OpenDialog<RangeSearchDialog>(window, QStringLiteral("Search a range…"));
        auto *paceBox = dialog->findChild<QSpinBox *>(QStringLiteral("spnPace"));
        if (paceBox->value() != 2000) {
            qFatal("the pace starts at %d, not 2,000 probes per second", paceBox->value());
        }
        paceBox->setValue(pace);
        QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("edtRange")), range);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnSearchRange")),
                          Qt::LeftButton);
        return dialog;
    }
    static RangeSearchDialog *SearchRange(WindowHarness &harness, const QString &range, int pace)
    {
        return SearchRange(harness.window(), range, pace);
    }

    static QString Notice(MainWindow &window)
    {
        return window.findChild<QLabel *>(QStringLiteral("StatusBar1Notice"))->text();
    }

    static QString Notice(WindowHarness &harness) { return Notice(harness.window()); }

private slots:
    void menuHoldsTheEntriesAndTheAdapters()
    {
        WindowHarness harness(0);
        QStringList texts;
        QStringList checked;
        for (const QAction *action : Menu(harness).actions()) {
            texts.append(action->text());
            if (action->isChecked()) {
                checked.append(action->text());
            }
        }
        QCOMPARE(texts, (QStringList{"Add logger by IP address…", "Search a range…",
                                     "Stop the range search", "Watch signal quality…",
                                     "Traffic log…", "Plant view…", "Export list…", "",
                                     "Search from the PC address:", "Loopback A  127.0.0.1/24",
                                     "Loopback B  127.0.1.1/24"}));
        QCOMPARE(checked, QStringList{"Loopback A  127.0.0.1/24"});
        QVERIFY(!MenuAction(harness, QStringLiteral("Stop the range search"))->isEnabled());
        // The watch is of the selected logger, and none is selected.
        QVERIFY(!MenuAction(harness, QStringLiteral("Watch signal quality…"))->isEnabled());
    }

    // Qt turns a right click on the list's viewport, and the Menu key on the focused
    // list, into these two context-menu events.
    void menuOpensOnRightClickAndOnTheMenuKey()
    {
        WindowHarness harness(0);
        auto *list = harness.control<QTreeWidget>("listview1");
        auto *menu = harness.window().findChild<QMenu *>(QStringLiteral("mnuLoggerList"));
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(40, 40),
                                     list->viewport()->mapToGlobal(QPoint(40, 40)));
        QApplication::sendEvent(list->viewport(), &rightClick);
        QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), kWaitMs);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("Add logger by IP address…"));
        menu->close();
        QTRY_VERIFY(!menu->isVisible());
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(10, 10),
                                  list->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(list, &menuKey);
        QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), kWaitMs);
        menu->close();
    }

    void chosenAdapterIsSweptAndLastsForTheRun()
    {
        WindowHarness harness(1);
        const auto other = OtherNetworkLogger(harness, QStringLiteral("127.0.1.5"), "SN-B5");
        auto *list = harness.control<QTreeWidget>("listview1");

        Choose(harness, QStringLiteral("Loopback B  127.0.1.1/24"));
        QCOMPARE(harness.control<QLabel>("lbl3")->text(), QStringLiteral("127.0.1.1"));
        QVERIFY(MenuAction(harness, QStringLiteral("Loopback B  127.0.1.1/24"))->isChecked());
        harness.control<QPushButton>("btnsearch")->click();
        QTRY_COMPARE_WITH_TIMEOUT(Rows(list), QStringList{"SN-B5|127.0.1.5"}, kWaitMs);
        QTest::qWait(100);
        QCOMPARE(Rows(list), QStringList{"SN-B5|127.0.1.5"});
        QCOMPARE(harness.logger(0).probesReceived(), 0);

        Choose(harness, QStringLiteral("Loopback A  127.0.0.1/24"));
        harness.control<QPushButton>("btnsearch")->click();
        QTRY_COMPARE_WITH_TIMEOUT(Rows(list), QStringList{"SN1000|127.0.0.2"}, kWaitMs);
        QTest::qWait(100);
        QCOMPARE(Rows(list), QStringList{"SN1000|127.0.0.2"});
        QCOMPARE(other->endpoint().probesReceived(), 1);
    }

    void loggerAddedByAddressTakesCommands()
    {
        WindowHarness harness(1);
        const auto other = OtherNetworkLogger(harness, QStringLiteral("127.0.1.5"), "SN-B5");
        auto *list = harness.control<QTreeWidget>("listview1");
        harness.control<QPushButton>("btnsearch")->click();
        QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 1, kWaitMs);

        const QPointer<AddLoggerDialog> dialog = AddLogger(harness, QStringLiteral(" 127.0.1.5 "));
        QTRY_COMPARE_WITH_TIMEOUT(Rows(list), (QStringList{"SN-B5|127.0.1.5", "SN1000|127.0.0.2"}),
                                  kWaitMs);
        QTRY_VERIFY(dialog.isNull()); // closed, and gone with it
        QCOMPARE(other->endpoint().probesReceived(), 1);
        QCOMPARE(harness.logger(0).probesReceived(), 1); // the sweep's, no more
        QCOMPARE(list->currentItem()->text(1), QStringLiteral("127.0.1.5"));
        QVERIFY(list->currentItem()->isSelected());

        harness.control<QPushButton>("btnMR")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.control<QLineEdit>("EDTMAC")->text(),
                                  QStringLiteral("00-1A-2B-00-01-05"), kWaitMs);
        QVERIFY(harness.notifier().all().isEmpty());
    }

    // Home and the arrows select the row they move to, whichever way the rows were listed,
    // so the next command goes to the logger the operator sees chosen. The list keeps how
    // each logger was found.
    void keyboardSelectsTheRowHoweverItWasListed_data()
    {
        QTest::addColumn<QString>("listedBy");
        QTest::addColumn<discovery::FoundBy>("foundBy");
        QTest::addColumn<QString>("foundThrough");
        QTest::newRow("search") << "search" << discovery::FoundBy::Sweep << "127.0.0.1";
        QTest::newRow("range search")
            << "range" << discovery::FoundBy::RangeSearch << "127.0.0.2/31";
        QTest::newRow("add by address") << "address" << discovery::FoundBy::AddedByAddress << "";
    }

    void keyboardSelectsTheRowHoweverItWasListed()
    {
        QFETCH(QString, listedBy);
        QFETCH(discovery::FoundBy, foundBy);
        QFETCH(QString, foundThrough);
        WindowHarness harness(2);
        auto *list = harness.control<QTreeWidget>("listview1");
        if (listedBy == "search") {
            harness.control<QPushButton>("btnsearch")->click();
        } else if (listedBy == "range") {
            SearchRange(harness, QStringLiteral("127.0.0.2-127.0.0.3"), 2000);
        } else {
            AddLogger(harness, QStringLiteral("127.0.0.2"));
            QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 1, kWaitMs);
            AddLogger(harness, QStringLiteral("127.0.0.3"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 2, kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(list->isEnabled(), kWaitMs);
        QTest::qWait(WindowHarness::FastTiming().searchTickMs * 12); // the search ends
        for (const discovery::ListedLogger &logger : harness.window().loggerList().loggers()) {
            QCOMPARE(logger.foundBy, foundBy);
            QCOMPARE(logger.foundThrough, foundThrough);
        }
        // The list has the focus, as when the operator tabs to it: it makes a row current.
        harness.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness.window()));
        list->setFocus(Qt::TabFocusReason);
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_Down, Qt::Key_Up}) {
            QTest::keyClick(list, key);
            QVERIFY(list->currentItem() != nullptr);
            QCOMPARE(list->selectedItems(), QList<QTreeWidgetItem *>{list->currentItem()});
        }
        const int chosen = list->currentItem()->text(1) == QStringLiteral("127.0.0.2") ? 0 : 1;
        harness.control<QPushButton>("btnMR")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.logger(chosen).requests(),
                                  std::vector<std::string>{"MR"}, kWaitMs);
        QCOMPARE(harness.notifier().all(), QStringList());
    }

    void addingAKnownLoggerUpdatesItsRow()
    {
        WindowHarness harness(1);
        auto *list = harness.control<QTreeWidget>("listview1");
        harness.control<QPushButton>("btnsearch")->click();
        QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 1, kWaitMs);
        harness.logger(0).identity().serial = " RENAMED ";
        AddLogger(harness, QStringLiteral("127.0.0.2"));
        QTRY_COMPARE_WITH_TIMEOUT(Rows(list), QStringList{" RENAMED |127.0.0.2"}, kWaitMs);
    }

    // Another logger's answer while the dialog waits is listed, but is not the awaited one.
    void silentAddressIsNamedAfterTwoSeconds()
    {
        WindowHarness harness(1);
        auto *list = harness.control<QTreeWidget>("listview1");
        Listener silent(QStringLiteral("127.0.1.9"), harness.settings().remoteSearchPort);
        QElapsedTimer clock;
        clock.start();
        const QPointer<AddLoggerDialog> dialog = AddLogger(harness, QStringLiteral("127.0.1.9"));
        auto *message = dialog->findChild<QLabel *>(QStringLiteral("lblAddLoggerMessage"));
        const QString waiting = QStringLiteral("Waiting for an answer from 127.0.1.9…");
        QCOMPARE(message->text(), waiting);

        harness.logger(0).sendFromSearchPort("\x1BOTHER#V\x05",
                                             QHostAddress(QStringLiteral("127.0.0.1")),
                                             harness.windowSearchPort());
        QTRY_COMPARE_WITH_TIMEOUT(Rows(list), QStringList{"OTHER|127.0.0.2"}, kWaitMs);
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(message->text(), waiting);
        QVERIFY(list->selectedItems().isEmpty());

        const QString noAnswer = QStringLiteral(
            "No logger answered at 127.0.1.9 within 2 s. Check the address, and that the "
            "network between the PC and the logger lets UDP port 23 through.");
        QTRY_COMPARE_WITH_TIMEOUT(message->text(), noAnswer, 10000);
        QVERIFY2(clock.elapsed() >= 1950, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(dialog->isVisible());
        QCOMPARE(silent.received(), QList<QByteArray>{kProbe});
        QCOMPARE(Rows(list), QStringList{"OTHER|127.0.0.2"});
        QVERIFY(dialog->findChild<QPushButton *>(QStringLiteral("btnAddLogger"))->isEnabled());
    }

    void badLoggerAddressIsRefusedAndNothingSent_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");
        QTest::newRow("malformed") << "127.0.1"
                                   << "'127.0.1' is not an IPv4 address: give four "
                                      "numbers from 0 to 255 separated by dots, such "
                                      "as 192.168.1.20.";
        QTest::newRow("octet over 255") << "127.0.1.256"
                                        << "'127.0.1.256' is not an IPv4 address: give four "
                                           "numbers from 0 to 255 separated by dots, such as "
                                           "192.168.1.20.";
        QTest::newRow("broadcast") << "255.255.255.255"
                                   << "255.255.255.255 is the broadcast address, not the address "
                                      "of one logger.";
        QTest::newRow("leading zero") << "127.0.1.010"
                                      << "'127.0.1.010' has a number with a leading zero, which "
                                         "could be read as decimal or as octal: write 127.0.1.10.";
        QTest::newRow("broadcast of an adapter's network")
            << "127.0.1.255"
            << "127.0.1.255 is the broadcast address of the PC's network "
               "127.0.1.0/24, not the address of one logger.";
        QTest::newRow("multicast") << "239.1.2.3"
                                   << "239.1.2.3 is a multicast address, not the "
                                      "address of one logger.";
        QTest::newRow("zero") << "0.0.0.0"
                              << "0.0.0.0 lies in 0.0.0.0/8, which holds no hosts: "
                                 "give the logger's own address.";
        QTest::newRow("the PC's own address")
            << "127.0.1.1"
            << "127.0.1.1 is an address of this PC, not of a logger.";
        QTest::newRow("network address of an adapter's network")
            << "127.0.1.0"
            << "127.0.1.0 is the network address of the PC's network 127.0.1.0/24, not the "
               "address of one logger.";
    }

    void badLoggerAddressIsRefusedAndNothingSent()
    {
        QFETCH(QString, address);
        QFETCH(QString, message);
        WindowHarness harness(1);
        Listener broadcast(QStringLiteral("127.0.1.255"), harness.settings().remoteSearchPort);
        AddLoggerDialog *dialog = AddLogger(harness, address);
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("lblAddLoggerMessage"))->text(),
                 message);
        QVERIFY(dialog->isVisible());
        QCOMPARE(harness.window().exchange().currentCommand(), std::string());
        QTest::qWait(100);
        QVERIFY(broadcast.received().isEmpty());
        QVERIFY(harness.notifier().all().isEmpty());
    }

    void rangeSearchListsEveryLoggerOfTheRange()
    {
        WindowHarness harness(2);
        const auto other = OtherNetworkLogger(harness, QStringLiteral("127.0.1.5"), "SN-B5");
        auto *list = harness.control<QTreeWidget>("listview1");
        auto *bar = harness.control<QProgressBar>("pb1");
        QElapsedTimer clock;
        clock.start();
        const QPointer<RangeSearchDialog> dialog =
            SearchRange(harness, QStringLiteral("127.0.0.0/23"), 5000);
        QCOMPARE(bar->maximum(), 510);
        QTRY_VERIFY(dialog.isNull()); // closed, and gone with it
        QVERIFY(MenuAction(harness, QStringLiteral("Stop the range search"))->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(
            Rows(list), (QStringList{"SN-B5|127.0.1.5", "SN1000|127.0.0.2", "SN1001|127.0.0.3"}),
            kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            !MenuAction(harness, QStringLiteral("Stop the range search"))->isEnabled(), kWaitMs);
        // 510 probes at 5,000 per second: about a tenth of a second, not all at once.
        QVERIFY2(clock.elapsed() >= 95, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(bar->maximum(), 10);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(other->endpoint().probesReceived(), 1);
        QCOMPARE(harness.logger(0).probesReceived(), 1);
        QTest::qWait(WindowHarness::FastTiming().searchTickMs * 12);
        QCOMPARE(Notice(harness), QString());
    }

    // A command started during a range search leaves the search listening: a logger that
    // answers afterwards is listed, and the pending command stays locked and current.
    void rangeSearchListsAnswersThatComeDuringACommand()
    {
        Timing timing = WindowHarness::FastTiming();
        timing.commandTimeoutMs = 60000; // the command stays pending through the test
        WindowHarness harness(2, timing);
        harness.logger(1).setDiscoveryAnswer(std::string()); // answers later, below
        SearchRange(harness, QStringLiteral("127.0.0.2-127.0.0.200"), 100);
        harness.selectLogger(0);
        auto *readMac = harness.control<QPushButton>("btnMR");
        readMac->click();
        QCOMPARE(harness.window().exchange().currentCommand(), std::string("MR"));
        QVERIFY(MenuAction(harness, QStringLiteral("Stop the range search"))->isEnabled());

        harness.logger(1).sendFromSearchPort("\x1BSN1001#V1.1\x05",
                                             QHostAddress(QStringLiteral("127.0.0.1")),
                                             harness.windowSearchPort());
        QTRY_VERIFY_WITH_TIMEOUT(
            Rows(harness.control<QTreeWidget>("listview1")).contains("SN1001|127.0.0.3"), kWaitMs);
        QVERIFY(!readMac->isEnabled());
        QCOMPARE(harness.window().exchange().currentCommand(), std::string("MR"));
    }

    // The PC is on 127.0.0.0/24 and 127.0.1.0/24: a range across both leaves out
    // 127.0.0.255 and 127.0.1.0, and lists no answer from outside the range.
    void rangeLeavesOutThePcNetworksOwnAddressesAndListsOnlyItsOwnAnswers()
    {
        WindowHarness harness(1); // its logger, 127.0.0.2, lies outside the range
        const auto atBroadcast =
            OtherNetworkLogger(harness, QStringLiteral("127.0.0.255"), "SN-BC");
        const auto atNetwork = OtherNetworkLogger(harness, QStringLiteral("127.0.1.0"), "SN-NET");
        const auto inside = OtherNetworkLogger(harness, QStringLiteral("127.0.1.5"), "SN-B5");
        SearchRange(harness, QStringLiteral("127.0.0.250-127.0.1.5"), 2000);
        // As a logger reached by a broadcast probe would answer.
        harness.logger(0).sendFromSearchPort("\x1BSN1000#V1.0\x05",
                                             QHostAddress(QStringLiteral("127.0.0.1")),
                                             harness.windowSearchPort());
        QTRY_VERIFY_WITH_TIMEOUT(
            !MenuAction(harness, QStringLiteral("Stop the range search"))->isEnabled(), kWaitMs);
        QTest::qWait(WindowHarness::FastTiming().searchTickMs * 12); // the answers' time
        QCOMPARE(Rows(harness.control<QTreeWidget>("listview1")), QStringList{"SN-B5|127.0.1.5"});
        QCOMPARE(atBroadcast->endpoint().probesReceived(), 0);
        QCOMPARE(atNetwork->endpoint().probesReceived(), 0);
        QCOMPARE(inside->endpoint().probesReceived(), 1);
    }

    void rangeSearchStopsFromTheMenu()
    {
        WindowHarness harness(1);
        auto *bar = harness.control<QProgressBar>("pb1");
        Listener last(QStringLiteral("127.0.3.254"), harness.settings().remoteSearchPort);
        SearchRange(harness, QStringLiteral("127.0.0.0/22"), 1000);
        QTRY_VERIFY_WITH_TIMEOUT(bar->value() >= 50, kWaitMs);
        QCOMPARE(bar->maximum(), 1022);
        Choose(harness, QStringLiteral("Stop the range search"));
        QCOMPARE(bar->maximum(), 10);
        QCOMPARE(bar->value(), 0);
        QTest::qWait(WindowHarness::FastTiming().searchTickMs * 12);
        QVERIFY(last.received().isEmpty());
        const QRegularExpression stopped(QStringLiteral(
            "^Range search of 127\\.0\\.0\\.0/22 stopped after [0-9]+ of 1,022 addresses; "
            "[01] listed\\.$"));
        QVERIFY2(stopped.match(Notice(harness)).hasMatch(), qPrintable(Notice(harness)));
        QVERIFY(!MenuAction(harness, QStringLiteral("Stop the range search"))->isEnabled());
        // The watch is of the selected logger, and none is selected.
        QVERIFY(!MenuAction(harness, QStringLiteral("Watch signal quality…"))->isEnabled());
    }

    void searchButtonEndsARangeSearch()
    {
        WindowHarness harness(1);
        auto *bar = harness.control<QProgressBar>("pb1");
        SearchRange(harness, QStringLiteral("127.0.0.0/22"), 500);
        QTRY_VERIFY_WITH_TIMEOUT(bar->value() >= 5, kWaitMs);
        harness.control<QPushButton>("btnsearch")->click();
        QCOMPARE(bar->maximum(), 10);
        QVERIFY(!MenuAction(harness, QStringLiteral("Stop the range search"))->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(harness.control<QTreeWidget>("listview1")->topLevelItemCount(), 1,
                                  kWaitMs);
    }

    // The shown address is checked against the adapters at each search: one the PC no
    // longer holds is replaced and said, and without any usable adapter nothing is swept.
    void pcAddressFollowsTheAdapters()
    {
        AdapterWindow pc(
            {Adapter(QStringLiteral("127.0.0.1"), 24), Adapter(QStringLiteral("127.0.1.1"), 24)});
        auto *shown = pc.control<QLabel>("lbl3");
        QCOMPARE(shown->text(), QStringLiteral("127.0.0.1"));

        pc.adapters.removeFirst();
        pc.search();
        QCOMPARE(shown->text(), QStringLiteral("127.0.1.1"));
        QCOMPARE(Notice(pc.window()), QStringLiteral("127.0.0.1 is no longer an address of this "
                                                     "PC: searching from 127.0.1.1"));

        pc.adapters.clear();
        const quint64 recorded = pc.window().trafficLog().recordedCount();
        pc.search();
        QCOMPARE(shown->text(), QStringLiteral("No IPv4 adapter"));
        const QString noAdapter =
            QStringLiteral("No usable IPv4 adapter is up: nothing to search from");
        QCOMPARE(Notice(pc.window()), noAdapter);
        QTest::qWait(WindowHarness::FastTiming().searchTickMs * 14); // the sweep's time
        QCOMPARE(Notice(pc.window()), noAdapter);
        QCOMPARE(pc.window().trafficLog().recordedCount(), recorded); // nothing probed

        AdapterWindow bare({});
        QCOMPARE(bare.control<QLabel>("lbl3")->text(), QStringLiteral("No IPv4 adapter"));
        QCOMPARE(Notice(bare.window()), noAdapter);
    }

    void emptySweepOfAWideAdapterProposesItsRange()
    {
        AdapterWindow pc({Adapter(QStringLiteral("127.0.1.1"), 22)});
        pc.search();
        QTRY_COMPARE_WITH_TIMEOUT(Notice(pc.window()),
                                  QStringLiteral("No logger answered in 127.0.1.0/24: the "
                                                 "adapter's network is 127.0.0.0/22, use "
                                                 "\"Search a range…\""),
                                  kWaitMs);
    }

    // Another program holds the search port: every probe of a sweep, a range search and
    // an added address is refused; each is logged as failed and the cause is named.
    void refusedProbesAreLoggedAndTheirCauseNamed()
    {
        QUdpSocket squatter;
        QVERIFY(squatter.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        NetworkSettings settings;
        settings.localSetPort = 0;
        settings.localSearchPort = squatter.localPort();
        AdapterWindow pc({Adapter(QStringLiteral("127.0.0.1"), 24)}, settings);
        const QString cause =
            QStringLiteral("the search port is not open: another program holds UDP port %1")
                .arg(squatter.localPort());

        pc.search();
        QTRY_COMPARE_WITH_TIMEOUT(
            Notice(pc.window()),
            QStringLiteral("No logger answered in 127.0.0.0/24: 255 of 255 probes not sent: %1")
                .arg(cause),
            kWaitMs);
        QList<ObservedDatagram> failed;
        for (const ObservedDatagram &datagram : pc.window().trafficLog().datagrams()) {
            if (datagram.direction == ObservedDatagram::Direction::SendFailed) {
                failed.append(datagram);
            }
        }
        QCOMPARE(failed.size(), 255);
        QCOMPARE(DirectionText(failed.first().direction), QStringLiteral("send failed"));
        QCOMPARE(failed.first().peerAddress, QHostAddress(QStringLiteral("127.0.0.1")));
        QVERIFY2(DatagramVerdict(failed.first()).startsWith(QLatin1String("not sent: ")) &&
                     DatagramVerdict(failed.first()).size() > 10,
                 qPrintable(DatagramVerdict(failed.first())));

        SearchRange(pc.window(), QStringLiteral("127.0.2.1-127.0.2.4"), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(
            Notice(pc.window()),
            QStringLiteral("No logger answered in 127.0.2.1-127.0.2.4: 4 of 4 probes not sent: %1")
                .arg(cause),
            kWaitMs);

        AddLoggerDialog *dialog = AddLogger(pc.window(), QStringLiteral("127.0.1.5"));
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("lblAddLoggerMessage"))->text(),
                 QStringLiteral("The probe to 127.0.1.5 was not sent: %1.").arg(cause));
        QVERIFY(dialog->findChild<QPushButton *>(QStringLiteral("btnAddLogger"))->isEnabled());
    }

    void lateAnswerUpdatesTheDialog()
    {
        WindowHarness harness(1);
        auto *list = harness.control<QTreeWidget>("listview1");
        Listener slow(QStringLiteral("127.0.1.9"), harness.settings().remoteSearchPort);
        const QPointer<AddLoggerDialog> dialog = AddLogger(harness, QStringLiteral("127.0.1.9"));
        auto *message = dialog->findChild<QLabel *>(QStringLiteral("lblAddLoggerMessage"));
        QTRY_VERIFY_WITH_TIMEOUT(message->text().startsWith(QLatin1String("No logger answered")),
                                 10000);
        QCOMPARE(slow.received(), QList<QByteArray>{kProbe});
        slow.send("\x1BSN-LATE#V7\x05", QHostAddress(QStringLiteral("127.0.0.1")),
                  harness.windowSearchPort());
        QTRY_COMPARE_WITH_TIMEOUT(Rows(list), QStringList{"SN-LATE|127.0.1.9"}, kWaitMs);
        const QRegularExpression late(
            QStringLiteral("^127\\.0\\.1\\.9 answered after [0-9]+\\.[0-9] s; added\\.$"));
        QVERIFY2(late.match(message->text()).hasMatch(), qPrintable(message->text()));
        QVERIFY(dialog->isVisible());
        QCOMPARE(list->currentItem()->text(1), QStringLiteral("127.0.1.9"));
    }

    void closingTheDialogGivesTheProbeUp()
    {
        WindowHarness harness(1);
        Listener slow(QStringLiteral("127.0.1.9"), harness.settings().remoteSearchPort);
        const QPointer<AddLoggerDialog> dialog = AddLogger(harness, QStringLiteral("127.0.1.9"));
        QTRY_COMPARE(slow.received(), QList<QByteArray>{kProbe});
        dialog->reject();
        slow.send("\x1BSN-LATE#V7\x05", QHostAddress(QStringLiteral("127.0.0.1")),
                  harness.windowSearchPort());
        const TrafficLog &log = harness.window().trafficLog();
        QTRY_VERIFY(log.size() > 0 &&
                    log.at(log.size() - 1).direction == ObservedDatagram::Direction::Received);
        QTest::qWait(50);
        QCOMPARE(harness.control<QTreeWidget>("listview1")->topLevelItemCount(), 0);
    }

    // With an adapter on a real network, 127.x is the PC itself.
    void loopbackIsRefusedOnceThePcHasANetwork()
    {
        AdapterWindow pc({Adapter(QStringLiteral("192.0.2.1"), 24)});
        AddLoggerDialog *dialog = AddLogger(pc.window(), QStringLiteral("127.0.0.2"));
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("lblAddLoggerMessage"))->text(),
                 QStringLiteral("127.0.0.2 is a loopback address: it reaches this PC itself, not "
                                "a logger."));
        QCOMPARE(pc.window().exchange().currentCommand(), std::string());
    }

    // The shortcuts act on the window, also while a command locks the form.
    void shortcutsWorkWhileTheFormIsLocked()
    {
        Timing timing = WindowHarness::FastTiming();
        timing.commandTimeoutMs = 60000; // the command stays pending through the test
        WindowHarness harness(1, timing);
        harness.logger(0).setCommandHandler(
            "MR", [](const std::string &) { return std::optional<std::string>(); });
        SearchRange(harness, QStringLiteral("127.0.4.0/22"), 100);
        harness.selectLogger(0);
        harness.control<QPushButton>("btnMR")->click();
        QVERIFY(!harness.control<QTreeWidget>("listview1")->isEnabled());
        QVERIFY(harness.window().findChild<LoggerSearch *>()->rangeSearchRunning());
        harness.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness.window()));

        QTest::keyClick(&harness.window(), Qt::Key_Escape);
        QVERIFY(!harness.window().findChild<LoggerSearch *>()->rangeSearchRunning());
        QVERIFY(Notice(harness).startsWith(QLatin1String("Range search of 127.0.4.0/22 stopped")));
        QTest::keyClick(&harness.window(), Qt::Key_T, Qt::ControlModifier);
        auto *log = harness.window().findChild<TrafficLogWindow *>();
        QVERIFY(log != nullptr && log->isVisible());
        log->showMinimized();
        harness.window().activateWindow();
        QTest::keyClick(&harness.window(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(!log->isMinimized());
    }

    void choosingAnotherAdapterClearsTheNotice()
    {
        WindowHarness harness(1);
        harness.logger(0).setDiscoveryAnswer(std::string());
        harness.control<QPushButton>("btnsearch")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!Notice(harness).isEmpty(), kWaitMs);
        Choose(harness, QStringLiteral("Loopback B  127.0.1.1/24"));
        QCOMPARE(Notice(harness), QString());
    }

    void unknownCodePageIsNoticed()
    {
        WindowHarness harness(0);
        harness.window().reportUnknownCodePage(QStringLiteral("KOI9"));
        QCOMPARE(Notice(harness),
                 QStringLiteral("Unknown code page \"KOI9\" in TARNWICK_CODE_PAGE: "
                                "the system's code page is used"));
    }

    // A notice longer than the status bar is cut with "…", whole in its tooltip.
    void longNoticeIsCutAndWholeInItsTooltip()
    {
        WindowHarness harness(0);
        const QString name(300, QLatin1Char('K'));
        harness.window().reportUnknownCodePage(name);
        auto *notice = harness.window().findChild<ElidingLabel *>(QStringLiteral("StatusBar1Notice"));
        QVERIFY(notice->shownText().endsWith(QChar(0x2026)));
        QVERIFY(notice->shownToolTip().startsWith(Notice(harness) + QStringLiteral("\n\n")));
        QVERIFY(Notice(harness).contains(name));
    }

    void badRangeIsRefusedAndNothingSent_data()
    {
        QTest::addColumn<QString>("range");
        QTest::addColumn<QString>("message");
        QTest::newRow("malformed") << "127.0.0.0/2x"
                                   << "'/2x' is not a prefix length: a block "
                                      "ends with /0 to /32, such as "
                                      "10.20.0.0/22.";
        QTest::newRow("inverted") << "127.0.3.0-127.0.0.1"
                                  << "The range from 127.0.3.0 to 127.0.0.1 is inverted: the "
                                     "first address must not come after the last.";
        QTest::newRow("over 65,536") << "127.0.0.0/15"
                                     << "The block /15 holds 131,072 "
                                        "addresses; one search takes at most "
                                        "65,536 (a /16).";
        QTest::newRow("pair over 65,536") << "127.0.0.0-127.1.0.0"
                                          << "The range holds 65,537 addresses; one search takes "
                                             "at most 65,536.";
        QTest::newRow("multicast") << "224.0.0.0/24"
                                   << "The range reaches into the multicast "
                                      "addresses 224.0.0.0/4, which hold no "
                                      "loggers.";
        QTest::newRow("broadcast") << "255.255.255.255"
                                   << "The range holds the broadcast address "
                                      "255.255.255.255, which is no logger's "
                                      "address.";
    }

    void badRangeIsRefusedAndNothingSent()
    {
        QFETCH(QString, range);
        QFETCH(QString, message);
        WindowHarness harness(1);
        harness.selectLogger(0);
        const quint64 recorded = harness.window().trafficLog().recordedCount();
        RangeSearchDialog *dialog = SearchRange(harness, range, 2000);
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("lblRangeMessage"))->text(), message);
        QVERIFY(dialog->isVisible());
        // The refusal goes once the text is a range that would be searched.
        dialog->findChild<QLineEdit *>(QStringLiteral("edtRange"))->setText(QStringLiteral("127.0.0.0/30"));
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("lblRangeMessage"))->text(), QString());
        QCOMPARE(harness.control<QTreeWidget>("listview1")->topLevelItemCount(), 1);
        QCOMPARE(harness.window().exchange().currentCommand(), std::string());
        QTest::qWait(100);
        QCOMPARE(harness.logger(0).probesReceived(), 0);
        QCOMPARE(harness.window().trafficLog().recordedCount(), recorded); // nothing to anyone
    }

    void emptySearchSaysWhatWasProbed_data()
    {
        QTest::addColumn<QString>("range"); // empty: the Search Logger button
        QTest::addColumn<QString>("network");
        QTest::newRow("sweep") << ""
                               << "127.0.0.0/24";
        QTest::newRow("range") << "127.0.2.0/30"
                               << "127.0.2.0/30";
    }

    void emptySearchSaysWhatWasProbed()
    {
        QFETCH(QString, range);
        QFETCH(QString, network);
        WindowHarness harness(1);
        harness.logger(0).setDiscoveryAnswer(std::string()); // silent on the probe
        if (range.isEmpty()) {
            harness.control<QPushButton>("btnsearch")->click();
        } else {
            SearchRange(harness, range, 2000);
        }
        QCOMPARE(Notice(harness), QString());
        QTRY_COMPARE_WITH_TIMEOUT(
            Notice(harness),
            QStringLiteral("No logger answered in %1: wrong adapter? firewall?").arg(network),
            kWaitMs);
        const QString tip = harness.control<QLabel>("StatusBar1Notice")->toolTip();
        QVERIFY2(tip.contains(QStringLiteral("The search probed %1").arg(network)),
                 qPrintable(tip));
        QVERIFY(tip.contains(QStringLiteral("right-click the logger list to choose another one")));
        QVERIFY(tip.contains(QStringLiteral("UDP port 23")));
        QVERIFY(harness.notifier().all().isEmpty());

        harness.control<QPushButton>("btnsearch")->click(); // a new search clears it
        QCOMPARE(Notice(harness), QString());
    }

    void searchThatFindsALoggerSaysNothing()
    {
        WindowHarness harness(1);
        harness.control<QPushButton>("btnsearch")->click();
        QTest::qWait(WindowHarness::FastTiming().searchTickMs * 14);
        QCOMPARE(harness.control<QTreeWidget>("listview1")->topLevelItemCount(), 1);
        QCOMPARE(Notice(harness), QString());
    }

    void searchPortInUseExplainsItself()
    {
        QUdpSocket squatter;
        QVERIFY(squatter.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        NetworkSettings settings;
        settings.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        settings.localSetPort = 0;
        settings.localSearchPort = squatter.localPort();
        RecordingNotifier notifier;
        MainWindow window(
            notifier, settings, WindowHarness::FastTiming(),
            [] { return QStringLiteral("127.0.0.1"); },
            [] { return WindowHarness::LoopbackAdapters(); });
        window.show();
        auto *panel = window.findChild<QLabel *>(QStringLiteral("StatusBar1Panel1"));
        QCOMPARE(panel->text(), QStringLiteral("Fail to create Socket!"));
        QCOMPARE(panel->toolTip(), QStringLiteral("Address in use: another program already holds "
                                                  "UDP port %1. Close it and start the tool again.")
                                       .arg(squatter.localPort()));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("StatusBar1Panel0"))->toolTip(),
                 QString());
    }

    void bindFailureHints_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QString>("hint");
        QTest::newRow("permission denied below 1024")
            << 23 << int(QAbstractSocket::SocketAccessError) << false
            << "Permission denied: UDP port 23 is below 1024 and needs a privilege. Grant it to "
               "the program once with\nsudo setcap cap_net_bind_service=+ep /opt/t/tarnwick\nand "
               "start the tool again (the Debian package does this when it is installed).";
        QTest::newRow("permission denied from 1024")
            << 8000 << int(QAbstractSocket::SocketAccessError) << false
            << "Permission denied: the system's security policy refuses UDP port 8000 to this "
               "program (Out of resources).";
        QTest::newRow("access denied on Windows")
            << 23 << int(QAbstractSocket::SocketAccessError) << true
            << "Access denied: another program holds UDP port 23 for itself alone. Close it and "
               "start the tool again.";
        QTest::newRow("address in use")
            << 23 << int(QAbstractSocket::AddressInUseError) << false
            << "Address in use: another program already holds UDP port 23. Close it and start "
               "the tool again.";
        QTest::newRow("other") << 23 << int(QAbstractSocket::SocketResourceError) << false
                               << "The system refused UDP port 23: Out of resources";
    }

    void bindFailureHints()
    {
        QFETCH(int, port);
        QFETCH(int, error);
        QFETCH(bool, windows);
        QFETCH(QString, hint);
        QCOMPARE(BindFailureHint(quint16(port), QAbstractSocket::SocketError(error),
                                 QStringLiteral("Out of resources"),
                                 QStringLiteral("/opt/t/tarnwick"),
                                 windows ? PortPrivilege::None : PortPrivilege::BelowPort1024),
                 hint);
    }
};

QTEST_MAIN(TestLoggerListMenu)
#include "test_logger_list_menu.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/message_box_notifier.h"
#include "window_harness.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString CaptionOf(const QWidget *widget)
{
    if (const auto *group = qobject_cast<const QGroupBox *>(widget)) {
        return group->title();
    }
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        return button->text();
    }
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        return label->text();
    }
    return {};
}

}  // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // A logger's text in a message box is shown as it came, never read as markup.
    void messageBoxesShowTextFromTheNetworkAsPlainText()
    {
        LoggerSim logger(QHostAddress(QStringLiteral("127.0.0.2")), 0, 0);
        QVERIFY(logger.start());
        logger.setCommandHandler("SR", [](const std::string &) {
            return std::optional<std::string>("R06001830<b>X</b>0503017");
        });
        const NetworkSettings settings = WindowHarness::LoopbackNetwork(logger.commandPort(), logger.searchPort());
        MessageBoxNotifier notifier;
        MainWindow window(
            notifier, settings, WindowHarness::FastTiming(), [] { return QStringLiteral("127.0.0.1"); },
            [] { return QList<discovery::LocalAdapter>{}; });
        notifier.setParent(&window);
        window.show();
        auto *list = FindControl<QTreeWidget>(window, "listview1");
        window.loggerList().list({QStringLiteral("SN1"), QHostAddress(QStringLiteral("127.0.0.2"))});
        list->setCurrentItem(list->topLevelItem(0));

        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        QTimer closer;
        closer.setInterval(10);
        connect(&closer, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                format = box->textFormat();
                shown = box->text();
                closer.stop();
                box->done(0);
            }
        });
        closer.start();
        FindControl<QPushButton>(window, "btnSR")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 2000);
        QCOMPARE(shown, QStringLiteral("'<b>X' is not a valid integer value"));
        QCOMPARE(format, Qt::PlainText);
    }

    void everyControlStandsInItsPlace_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");  // an empty size fixes only the position
        const auto row = [](const char *name, const char *cls, const char *parent,
                            const QString &caption, QRect geometry) {
            QTest::newRow(name) << cls << parent << caption << geometry;
        };
        const auto at = [](int x, int y) { return QRect(x, y, 0, 0); };
        row("pnl1", "QFrame", "frmmain", "", QRect(0, 0, 392, 579));
        row("pnl2", "QFrame", "frmmain", "", QRect(392, 0, 491, 579));
        row("StatusBar1", "QStatusBar", "frmmain", "", QRect(0, 579, 883, 23));
        row("pb1", "QProgressBar", "frmmain", "", QRect(395, 35, 273, 17));
        row("GroupBox1", "QGroupBox", "pnl1", "Logger List", at(0, 0));
        row("listview1", "QTreeWidget", "GroupBox1", "", at(2, 15));
        row("grp8", "QGroupBox", "pnl1", "Device List", at(0, 264));
        row("Listview2", "QTreeWidget", "grp8", "", at(2, 15));
        row("Listview3", "QTreeWidget", "grp8", "", at(2, 161));
        row("lbl2", "QLabel", "pnl2", "PC IP:", at(3, 13));
        row("lbl3", "QLabel", "pnl2", "127.0.0.1", at(49, 13));
        row("btnsearch", "QPushButton", "pnl2", "Search Logger", QRect(179, 8, 97, 22));
        row("grp3", "QGroupBox", "pnl2", "Logger IP", QRect(2, 56, 277, 184));
        row("rbautoip", "QRadioButton", "grp3", "Obtain an IP address automatically", QRect(7, 17, 259, 17));
        row("rbhandip", "QRadioButton", "grp3", "Use the following IP address:", QRect(7, 35, 225, 17));
        row("grp5", "QGroupBox", "grp3", "", QRect(2, 37, 273, 108));
        for (int octet = 1; octet <= 4; ++octet) {
            const int left = 116 + 40 * (octet - 1);
            row(qPrintable(QStringLiteral("edtip%1").arg(octet)), "QLineEdit", "grp5", "", QRect(left, 19, 31, 21));
            row(qPrintable(QStringLiteral("edtmask%1").arg(octet)), "QLineEdit", "grp5", "", QRect(left, 49, 31, 21));
            row(qPrintable(QStringLiteral("edtgt%1").arg(octet)), "QLineEdit", "grp5", "", QRect(left, 79, 31, 21));
            row(qPrintable(QStringLiteral("edtrip%1").arg(octet)), "QLineEdit", "grp7", "", QRect(29 + 40 * (octet - 1), 17, 31, 21));
        }
        row("btnER", "QPushButton", "grp3", "Read IP address", QRect(8, 148, 113, 30));
        row("btnEW", "QPushButton", "grp3", "Set IP address", QRect(152, 148, 117, 30));
        row("grp1", "QGroupBox", "pnl2", "APN", QRect(279, 8, 201, 170));
        row("edtapnname", "QLineEdit", "grp1", "", QRect(4, 27, 189, 21));
        row("edtapnuser", "QLineEdit", "grp1", "", QRect(5, 67, 188, 21));
        row("edtapnpasseword", "QLineEdit", "grp1", "", QRect(5, 110, 188, 21));
        row("btnAR", "QPushButton", "grp1", "Read", at(31, 138));
        row("btnAW", "QPushButton", "grp1", "Set", at(111, 138));
        row("grp4", "QGroupBox", "pnl2", "Telecom Operator", QRect(279, 181, 201, 79));
        row("edtto", "QLineEdit", "grp4", "", QRect(6, 18, 187, 21));
        row("btnCR", "QPushButton", "grp4", "Read", at(32, 46));
        row("btnCW", "QPushButton", "grp4", "Set", at(116, 46));
        row("grp2", "QGroupBox", "pnl2", "PIN", QRect(2, 240, 277, 49));
        row("edtpin", "QLineEdit", "grp2", "", QRect(8, 17, 113, 21));
        row("btnPW", "QPushButton", "grp2", "Set", at(128, 14));
        row("btnPC", "QPushButton", "grp2", "Clear", at(201, 14));
        row("grp6", "QGroupBox", "pnl2", "MAC", QRect(2, 289, 277, 49));
        row("EDTMAC", "QLineEdit", "grp6", "", QRect(9, 17, 176, 21));
        row("btnMR", "QPushButton", "grp6", "Read", at(192, 14));
        row("grp7", "QGroupBox", "pnl2", "Data Server IP", QRect(279, 263, 201, 75));
        row("btnR1", "QPushButton", "grp7", "Read", at(8, 46));
        row("btnR2", "QPushButton", "grp7", "Set", at(72, 46));
        row("btnRC", "QPushButton", "grp7", "Clear", at(136, 45));
        row("grp9", "QGroupBox", "pnl2", "Device Set", QRect(2, 338, 394, 143));
        row("edtdevicesn", "QLineEdit", "grp9", "", QRect(80, 13, 169, 21));
        row("edtadd", "QLineEdit", "grp9", "", QRect(80, 39, 41, 21));
        row("edttype", "QLineEdit", "grp9", "", QRect(208, 38, 41, 21));
        row("redtappendinfo", "QTextEdit", "grp9", "", QRect(8, 80, 241, 57));
        row("btnDA", "QPushButton", "grp9", "Add Device", QRect(264, 13, 111, 25));
        row("btnReadDevice", "QPushButton", "grp9", "Read Devices", at(264, 60));
        row("btnDE", "QPushButton", "grp9", "Delete Devices", at(264, 103));
        row("btnclearall", "QPushButton", "pnl2", "Clear\nAll", QRect(399, 344, 80, 135));
        row("btngprson", "QPushButton", "pnl2", "GPRS ON", QRect(399, 349, 80, 25));
        row("btngprsoff", "QPushButton", "pnl2", "GPRS OFF", QRect(399, 386, 80, 25));
        row("GroupBox2", "QGroupBox", "pnl2", "Time Set", QRect(2, 481, 479, 46));
        row("edtcjset", "QLineEdit", "GroupBox2", "", QRect(53, 17, 41, 21));
        row("edtheartset", "QLineEdit", "GroupBox2", "", QRect(176, 16, 41, 21));
        row("edt3gshow", "QLineEdit", "GroupBox2", "", QRect(278, 14, 49, 21));
        row("btnSR", "QPushButton", "GroupBox2", "Read", QRect(337, 13, 64, 25));
        row("btnsw1", "QPushButton", "GroupBox2", "Set", QRect(408, 13, 66, 25));
        row("btnSW", "QPushButton", "GroupBox2", "Set", QRect(207, 61, 66, 25));
        row("edtcjtime", "QLineEdit", "GroupBox2", "", at(24, 216));
        row("edthearttime", "QLineEdit", "GroupBox2", "", at(88, 216));
        row("edtshour", "QLineEdit", "GroupBox2", "", at(119, 149));
        row("edtsminute", "QLineEdit", "GroupBox2", "", at(163, 149));
        row("edtehour", "QLineEdit", "GroupBox2", "", at(118, 173));
        row("edteminute", "QLineEdit", "GroupBox2", "", at(162, 173));
        row("edtretry", "QLineEdit", "GroupBox2", "", at(217, 239));
        row("cb485422", "QComboBox", "GroupBox2", "", at(64, 262));
        row("cbtcpudp", "QComboBox", "GroupBox2", "", at(168, 262));
        row("cbgprs", "QComboBox", "GroupBox2", "", at(219, 262));
        row("cbresponse", "QComboBox", "GroupBox2", "", at(221, 287));
        row("grp10", "QGroupBox", "pnl2", "Front-End Computer", QRect(498, 360, 303, 49));
        row("edtfectime", "QLineEdit", "grp10", "", QRect(90, 18, 57, 21));
        row("btnQR", "QPushButton", "grp10", "Read", at(155, 15));
        row("btnQW", "QPushButton", "grp10", "Set", at(225, 15));
        row("grp11", "QGroupBox", "pnl2", "Signal Quality", QRect(3, 528, 478, 47));
        row("edtif", "QLineEdit", "grp11", "", QRect(8, 19, 145, 21));
        row("btnIF", "QPushButton", "grp11", "Read", at(184, 16));
    }

    void everyControlStandsInItsPlace()
    {
        QFETCH(QString, className);
        QFETCH(QString, parent);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        WindowHarness harness(0);
        auto *control = harness.window().findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(control != nullptr);
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
        QCOMPARE(control->parentWidget()->objectName(), parent);
        QCOMPARE(CaptionOf(control), caption);
        if (geometry.isValid()) {
            QCOMPARE(control->geometry(), geometry);
        } else {
            QCOMPARE(control->pos(), geometry.topLeft());
        }
    }

    void staticPropertiesOfTheWindow()
    {
        WindowHarness harness(0);
        MainWindow &window = harness.window();
        QCOMPARE(window.objectName(), QStringLiteral("frmmain"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick V1.01.1629.005"));
        QCOMPARE(window.size(), QSize(883, 602));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!harness.control<QWidget>("grp10")->isVisibleTo(&window));
        QVERIFY(harness.control<QRadioButton>("rbhandip")->isChecked());
        QVERIFY(harness.control<QWidget>("grp5")->isEnabled());
        QVERIFY(harness.control<QLineEdit>("EDTMAC")->isReadOnly());
        QVERIFY(harness.control<QLineEdit>("edtif")->isReadOnly());
        QCOMPARE(harness.control<QLineEdit>("edtdevicesn")->maxLength(), 16);
        for (const char *disabled : {"edt3gshow", "edtshour", "edtsminute", "edtehour",
                                     "edteminute", "edtretry", "cbresponse", "cb485422",
                                     "cbtcpudp", "cbgprs"}) {
            QVERIFY2(!harness.control<QWidget>(disabled)->isEnabled(), disabled);
        }
        const QList<QPair<const char *, QStringList>> items{
            {"cb485422", {"unReconnect", "Reconnect"}}, {"cbtcpudp", {"UDP", "TCP"}},
            {"cbgprs", {"GPRS Off", "GPRS On"}}, {"cbresponse", {"No", "Yes"}}};
        for (const auto &[name, expected] : items) {
            auto *list = harness.control<QComboBox>(name);
            QStringList actual;
            for (int index = 0; index < list->count(); ++index) {
                actual.append(list->itemText(index));
            }
            QCOMPARE(actual, expected);
            QCOMPARE(list->currentIndex(), -1);
            QVERIFY(!list->isEditable());
        }
    }

    void reportListsHaveTheirColumns_data()
    {
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("listview1") << QStringList{"Serial No", "IP", "Version"} << QList<int>{115, 120, 145};
        QTest::newRow("Listview2") << QStringList{"Serial No", "Address", "Type Code"} << QList<int>{150, 100, 100};
        QTest::newRow("Listview3") << QStringList{"Append Info"} << QList<int>{350};
    }

    void reportListsHaveTheirColumns()
    {
        QFETCH(QStringList, headers);
        QFETCH(QList<int>, widths);
        WindowHarness harness(0);
        auto *list = harness.window().findChild<QTreeWidget *>(QString::fromLatin1(QTest::currentDataTag()));
        QCOMPARE(list->columnCount(), headers.size());
        for (int column = 0; column < headers.size(); ++column) {
            QCOMPARE(list->headerItem()->text(column), headers.at(column));
            QCOMPARE(list->columnWidth(column), widths.at(column));
        }
        QVERIFY(!list->rootIsDecorated());
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void clearAllButtonCoversTheGprsButtons()
    {
        WindowHarness harness(0);
        auto *clearAll = harness.control<QWidget>("btnclearall");
        const QPoint insideGprsOn = harness.control<QWidget>("btngprson")->geometry().center();
        QCOMPARE(clearAll->parentWidget()->childAt(insideGprsOn), clearAll);
    }

    void tabOrderInsideTheAddressRows()
    {
        WindowHarness harness(0);
        QStringList order;
        QWidget *widget = harness.control<QWidget>("edtip1");
        for (int step = 0; step < 12; ++step) {
            order.append(widget->objectName());
            widget = widget->nextInFocusChain();
            while (widget->parentWidget() != harness.control<QWidget>("grp5")) {
                widget = widget->nextInFocusChain();
            }
        }
        QCOMPARE(order, (QStringList{"edtip1", "edtip2", "edtip3", "edtip4", "edtmask1", "edtmask2",
                                     "edtmask3", "edtmask4", "edtgt1", "edtgt2", "edtgt3", "edtgt4"}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"

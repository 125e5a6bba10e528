// SPDX-License-Identifier: GPL-3.0-or-later
// Runs on the PC of the virtual LAN built by run_on_virtual_lan.sh: the real window with
// its production ports (8000, 23), timings and local-address lookup, against three
// substitute-logger programs at 192.0.2.11 to 192.0.2.15: the fourth never answers a
// command, the fifth drops half of them.

#include "commands/form_controls.h"
#include "recording_notifier.h"
#include "ui/main_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

namespace {

constexpr int kAnswerWaitMs = 6000;

}  // namespace

class TestSystemLan : public QObject
{
    Q_OBJECT

private:
    template <typename Control>
    Control *control(const char *name)
    {
        return FindControl<Control>(*m_window, name);
    }

    void click(const char *button)
    {
        QVERIFY2(control<QPushButton>(button)->isEnabled(), button);
        control<QPushButton>(button)->click();
    }

    // Waits until the exchange has ended: the window is unlocked again.
    void waitUntilUnlocked()
    {
        QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>("btnER")->isEnabled(), kAnswerWaitMs);
    }

    void selectLogger(const QString &address)
    {
        auto *list = control<QTreeWidget>("listview1");
        const QList<QTreeWidgetItem *> rows = list->findItems(address, Qt::MatchExactly, 1);
        QCOMPARE(rows.size(), 1);
        list->setCurrentItem(rows.first());
    }

    void setText(const char *edit, const QString &text)
    {
        control<QLineEdit>(edit)->setText(text);
    }

    QString text(const char *edit) { return control<QLineEdit>(edit)->text(); }

    RecordingNotifier m_notifier;
    std::unique_ptr<MainWindow> m_window;

private slots:
    void initTestCase()
    {
        m_window = std::make_unique<MainWindow>(m_notifier);
        m_window->show();
        QCOMPARE(control<QLabel>("lbl3")->text(), QStringLiteral("192.0.2.1"));
        QCOMPARE(control<QLabel>("StatusBar1Panel0")->text(), QStringLiteral("Set Port opened!"));
        QCOMPARE(control<QLabel>("StatusBar1Panel1")->text(), QStringLiteral("Search port opened!"));
    }

    void searchFindsTheThreeLoggers()
    {
        click("btnsearch");
        auto *list = control<QTreeWidget>("listview1");
        QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 5, kAnswerWaitMs);
        QStringList rows;
        for (int row = 0; row < 5; ++row) {
            const QTreeWidgetItem *item = list->topLevelItem(row);
            rows.append(item->text(0) + QLatin1Char(' ') + item->text(1) + QLatin1Char(' ') + item->text(2));
        }
        rows.sort();
        QCOMPARE(rows, (QStringList{"SN-ST-001 192.0.2.11 V3.10", "SN-ST-002 192.0.2.12 V3.12",
                                    "SN-ST-003 192.0.2.13 V4.01", "SN-ST-004 192.0.2.14 V1.00",
                                    "SN-ST-005 192.0.2.15 V1.01"}));
    }

    void eachLoggerAnswersItsOwnMac_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("mac");
        QTest::newRow("192.0.2.11") << "192.0.2.11" << "00-1A-2B-00-00-11";
        QTest::newRow("192.0.2.12") << "192.0.2.12" << "00-1A-2B-00-00-12";
        QTest::newRow("192.0.2.13 late and split") << "192.0.2.13" << "00-1A-2B-00-00-13";
    }

    void eachLoggerAnswersItsOwnMac()
    {
        QFETCH(QString, address);
        QFETCH(QString, mac);
        selectLogger(address);
        click("btnMR");
        waitUntilUnlocked();
        QCOMPARE(text("EDTMAC"), mac);
    }

    void ipConfigurationWrittenIsReadBack()
    {
        selectLogger(QStringLiteral("192.0.2.12"));
        const QStringList octets{"10", "20", "30", "40", "255", "255", "0", "0", "10", "20", "0", "1"};
        const char *edits[] = {"edtip1", "edtip2", "edtip3", "edtip4", "edtmask1", "edtmask2",
                               "edtmask3", "edtmask4", "edtgt1", "edtgt2", "edtgt3", "edtgt4"};
        for (int i = 0; i < 12; ++i) {
            setText(edits[i], octets.at(i));
        }
        click("btnEW");
        waitUntilUnlocked();
        for (const char *edit : edits) {
            setText(edit, QString());
        }
        click("btnER");
        waitUntilUnlocked();
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(text(edits[i]), octets.at(i));
        }
    }

    void apnWrittenIsReadBack()
    {
        selectLogger(QStringLiteral("192.0.2.13"));
        setText("edtapnname", QStringLiteral("field.apn"));
        setText("edtapnuser", QStringLiteral("tech"));
        setText("edtapnpasseword", QStringLiteral("secret"));
        m_notifier.clear();
        click("btnAW");
        waitUntilUnlocked();
        QTRY_COMPARE_WITH_TIMEOUT(m_notifier.informed, QStringList{"Set APN successful"}, kAnswerWaitMs);
        for (const char *edit : {"edtapnname", "edtapnuser", "edtapnpasseword"}) {
            setText(edit, QString());
        }
        click("btnAR");
        waitUntilUnlocked();
        QCOMPARE(text("edtapnname"), QStringLiteral("field.apn"));
        QCOMPARE(text("edtapnuser"), QStringLiteral("tech"));
        QCOMPARE(text("edtapnpasseword"), QStringLiteral("secret"));
    }

    void deviceAddedIsReadBack()
    {
        selectLogger(QStringLiteral("192.0.2.11"));
        setText("edtdevicesn", QStringLiteral("INV0001"));
        setText("edtadd", QStringLiteral("3"));
        setText("edttype", QStringLiteral("A1"));
        control<QTextEdit>("redtappendinfo")->setPlainText(QStringLiteral("roof east"));
        click("btnDA");
        waitUntilUnlocked();
        click("btnReadDevice");
        auto *devices = control<QTreeWidget>("Listview2");
        QTRY_COMPARE_WITH_TIMEOUT(devices->topLevelItemCount(), 1, kAnswerWaitMs);
        waitUntilUnlocked();
        QCOMPARE(devices->topLevelItem(0)->text(0).trimmed(), QStringLiteral("INV0001"));
    }

    void systemParametersAreRead()
    {
        selectLogger(QStringLiteral("192.0.2.12"));
        setText("edtcjset", QString());
        click("btnSR");
        waitUntilUnlocked();
        QVERIFY(!text("edtcjset").isEmpty());
        QVERIFY(!text("edt3gshow").isEmpty());
    }


    void systemParametersWrittenAreReadBack()
    {
        selectLogger(QStringLiteral("192.0.2.13"));
        click("btnSR");
        waitUntilUnlocked();
        setText("edtcjset", QStringLiteral("10"));
        setText("edtheartset", QStringLiteral("3"));
        m_notifier.clear();
        click("btnsw1");
        QTRY_COMPARE_WITH_TIMEOUT(m_notifier.informed, QStringList{"Set Data/Heart Time Successful"},
                                  2 * kAnswerWaitMs);
        waitUntilUnlocked();
        setText("edtcjset", QString());
        setText("edtheartset", QString());
        click("btnSR");
        waitUntilUnlocked();
        QCOMPARE(text("edtcjset"), QStringLiteral("10"));
        QCOMPARE(text("edtheartset"), QStringLiteral("3"));
    }

    void silentLoggerEndsInTheTimeout()
    {
        selectLogger(QStringLiteral("192.0.2.14"));
        setText("EDTMAC", QStringLiteral("unchanged"));
        m_notifier.clear();
        QElapsedTimer clock;
        clock.start();
        click("btnMR");
        QVERIFY(!control<QPushButton>("btnER")->isEnabled());
        waitUntilUnlocked();
        QVERIFY2(clock.elapsed() >= 4900, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(text("EDTMAC"), QStringLiteral("unchanged"));
        QVERIFY(m_notifier.all().isEmpty());
    }

    void flappingLoggerEndsEveryExchangeCleanly()
    {
        selectLogger(QStringLiteral("192.0.2.15"));
        int answered = 0;
        for (int exchange = 0; exchange < 6; ++exchange) {
            setText("EDTMAC", QString());
            click("btnMR");
            waitUntilUnlocked();
            const QString mac = text("EDTMAC");
            QVERIFY2(mac.isEmpty() || mac == QLatin1String("00-1A-2B-00-00-15"), qPrintable(mac));
            answered += mac.isEmpty() ? 0 : 1;
        }
        qInfo("%d of 6 exchanges answered", answered);
        QVERIFY(m_notifier.all().isEmpty());
    }

    void nothingWentWrong()
    {
        QVERIFY2(m_notifier.errors.isEmpty(), qPrintable(m_notifier.errors.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestSystemLan)
#include "test_system_lan.moc"

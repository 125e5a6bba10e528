// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/device_registry.h"
#include "code_page_for_test.h"
#include "sim_devices.h"
#include "transport/command_exchange.h"
#include "window_harness.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

namespace {

constexpr int kWaitMs = 2000;

const QString kChooseLogger = QStringLiteral("Please choose a PV data logger first");

std::string Spaces(std::size_t count)
{
    return std::string(count, ' ');
}

// A record body as the logger keeps it: serial filled to 16, then the rest.
std::string Record(const std::string &serialNumber, const std::string &rest)
{
    return serialNumber + Spaces(16 - serialNumber.size()) + rest;
}

std::string AppendInfo(const std::string &firstPart, const std::string &secondPart)
{
    return firstPart + Spaces(60 - firstPart.size()) + secondPart + Spaces(24 - secondPart.size());
}

// What the compound request carries for each sub-command: its text, its CRC and "#".
std::string SubCommand(const std::string &text)
{
    return text + LoggerSim::Crc(text) + "#";
}

QStringList Row(const QTreeWidgetItem *item)
{
    QStringList texts;
    for (int column = 0; column < item->columnCount(); ++column) {
        texts.append(item->text(column));
    }
    return texts;
}

QList<QStringList> Rows(const QTreeWidget *list)
{
    QList<QStringList> rows;
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        rows.append(Row(list->topLevelItem(index)));
    }
    return rows;
}

// "Address" and "Type Code" cells are centred like their headers; "Serial No" is not.
void VerifyCellsAlignedAsHeaders(const QTreeWidget *list)
{
    QCOMPARE(list->headerItem()->textAlignment(1), int(Qt::AlignCenter));
    QCOMPARE(list->headerItem()->textAlignment(2), int(Qt::AlignCenter));
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        const QTreeWidgetItem *row = list->topLevelItem(index);
        for (int column = 0; column < list->columnCount(); ++column) {
            QCOMPARE(row->textAlignment(column), list->headerItem()->textAlignment(column));
        }
    }
}

// The real window with one substitute logger that keeps a device registry.
struct DeviceWindow {
    DeviceWindow() { InstallDeviceCommands(harness.logger(), registry); }

    QTreeWidget *devices() { return harness.control<QTreeWidget>("Listview2"); }
    QTreeWidget *appendInfos() { return harness.control<QTreeWidget>("Listview3"); }
    QTextEdit *appendInfo() { return harness.control<QTextEdit>("redtappendinfo"); }
    QPushButton *button(const char *name) { return harness.control<QPushButton>(name); }
    const std::vector<std::string> &requests() { return harness.logger().requests(); }
    CommandExchange &exchange() { return harness.window().exchange(); }
    bool unlocked() { return button("btnDA")->isEnabled(); }

    void typeDevice(const QString &serialNumber, const QString &address, const QString &typeCode,
                    const QString &appendInfoText)
    {
        QTest::keyClicks(harness.control<QLineEdit>("edtdevicesn"), serialNumber);
        QTest::keyClicks(harness.control<QLineEdit>("edtadd"), address);
        QTest::keyClicks(harness.control<QLineEdit>("edttype"), typeCode);
        appendInfo()->setPlainText(appendInfoText);
    }

    void addStaleRows()
    {
        new QTreeWidgetItem(devices(), {"OLD", "1", "12"});
        new QTreeWidgetItem(appendInfos(), {"old#"});
    }

    WindowHarness harness;
    DeviceRegistryState registry;
};

}  // namespace

class TestDeviceRegistry : public QObject
{
    Q_OBJECT

private slots:
    void addSendsTheRecordAndShowsTheTypedDevice_data()
    {
        QTest::addColumn<QString>("serialNumber");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("typeCode");
        QTest::addColumn<QString>("appendInfo");
        QTest::addColumn<std::string>("request");

        const std::string record = Record("ABC123", "000512");
        QTest::newRow("no append info") << "ABC123" << "5" << "12" << ""
                                        << "DA" + record;
        QTest::newRow("3-character type code") << "ABC123" << "5" << "A12" << ""
                                               << "DA" + Record("ABC123", "A00512");
        QTest::newRow("append info Roof#East")
            << "ABC123" << "5" << "12" << "Roof#East"
            << "RC" + SubCommand("DA" + record) +
                   SubCommand("AA" + AppendInfo("Roof", "East") + "05");
        QTest::newRow("append info with a double quote")
            << "ABC123"
            << "5"
            << "12"
            << "Roof \"East\""
            << "RC" + SubCommand("DA" + record) +
                   SubCommand("AA" + std::string("Roof \"East\"") + Spaces(73) + "05");
        QTest::newRow("append info without #")
            << "ABC123" << "10" << "12" << "  Roof East  "
            << "RC" + SubCommand("DA" + Record("ABC123", "000A12")) +
                   SubCommand("AA" + std::string("Roof East") + Spaces(75) + "0A");
    }

    void addSendsTheRecordAndShowsTheTypedDevice()
    {
        QFETCH(QString, serialNumber);
        QFETCH(QString, address);
        QFETCH(QString, typeCode);
        QFETCH(QString, appendInfo);
        QFETCH(std::string, request);
        DeviceWindow window;
        window.harness.selectLogger();
        window.typeDevice(serialNumber, address, typeCode, appendInfo);

        window.button("btnDA")->click();
        QCOMPARE(window.exchange().currentCommand(), std::string("DA"));
        QTRY_VERIFY_WITH_TIMEOUT(window.unlocked(), kWaitMs);

        QCOMPARE(window.requests(), std::vector<std::string>{request});
        QCOMPARE(window.registry.devices.size(), std::size_t{1});
        QCOMPARE(Rows(window.devices()), (QList<QStringList>{{serialNumber, address, typeCode}}));
        VerifyCellsAlignedAsHeaders(window.devices());
        QCOMPARE(Rows(window.appendInfos()), (QList<QStringList>{{appendInfo.trimmed()}}));
        QVERIFY(window.exchange().currentCommand().empty());
        QVERIFY(window.harness.notifier().all().isEmpty());
    }

    void addChecksTheSelectionBeforeTheAddress()
    {
        DeviceWindow window;
        window.typeDevice("ABC123", "5a", "12", "");
        window.button("btnDA")->click();
        QCOMPARE(window.harness.notifier().informed, QStringList{kChooseLogger});
        QVERIFY(window.harness.notifier().errors.isEmpty());

        window.harness.notifier().clear();
        window.harness.selectLogger();
        window.button("btnDA")->click();
        QCOMPARE(window.harness.notifier().errors,
                 QStringList{QStringLiteral("'5a' is not a valid integer value")});
        QVERIFY(window.unlocked());
        QTest::qWait(50);
        QVERIFY(window.requests().empty());
    }

    // The fleet refuses the same devices with the same words (test_fleet).
    void addRefusesWhatWouldNotFitTheRecord_data()
    {
        QTest::addColumn<QString>("serialNumber");
        QTest::addColumn<QString>("typeCode");
        QTest::addColumn<QString>("appendInfo");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("address 300") << "ABC123"
                                     << "12"
                                     << ""
                                     << "300"
                                     << "Device Address must be 0 to 255";
        QTest::newRow("append info a#b#c")
            << "ABC123"
            << "12"
            << "a#b#c"
            << "5"
            << "the append info may hold one \"#\", between its two parts: the device read is "
               "split at every \"#\"";
        QTest::newRow("serial number A#B")
            << "A#B"
            << "12"
            << ""
            << "5"
            << "the serial number must not hold \"#\", at which the device read is split";
    }

    void addRefusesWhatWouldNotFitTheRecord()
    {
        QFETCH(QString, serialNumber);
        QFETCH(QString, typeCode);
        QFETCH(QString, appendInfo);
        QFETCH(QString, address);
        QFETCH(QString, refusal);
        DeviceWindow window;
        window.harness.selectLogger();
        window.typeDevice(serialNumber, address, typeCode, appendInfo);
        window.button("btnDA")->click();
        QCOMPARE(window.harness.notifier().informed, QStringList{refusal});
        QVERIFY(window.unlocked());
        QTest::qWait(50);
        QVERIFY(window.requests().empty());
    }

    void countAnswerAfterTheSelectionWasLostSendsNothingMore()
    {
        DeviceWindow window;
        window.registry.devices = {{Record("ABC123", "000512"), AppendInfo("Roof", "East")}};
        window.harness.logger().misbehaviour().delayMs = 100;
        window.harness.selectLogger();
        window.button("btnReadDevice")->click();
        window.harness.window().loggerList().clear();  // as a search does
        QTRY_COMPARE_WITH_TIMEOUT(window.harness.notifier().informed, QStringList{kChooseLogger},
                                  kWaitMs);
        QVERIFY(window.unlocked());
        QVERIFY(!window.exchange().timeoutActive());
        QVERIFY(window.exchange().currentCommand().empty());
        QTest::qWait(150);
        QCOMPARE(window.requests(), std::vector<std::string>{"DN"});
    }

    void readShowsEveryDeviceInOrder()
    {
        DeviceWindow window;
        window.registry.devices = {{Record("ABC123", "000512"), AppendInfo("Roof", "East")},
                                   {Record("SN2", "A00A12"), AppendInfo("Roof", "")},
                                   {Record("SN3", "00FF34"), Spaces(84)}};
        window.harness.selectLogger();
        window.addStaleRows();

        window.button("btnReadDevice")->click();
        QCOMPARE(window.devices()->topLevelItemCount(), 0);
        QCOMPARE(window.appendInfos()->topLevelItemCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(window.devices()->topLevelItemCount(), 3, kWaitMs);

        QCOMPARE(window.requests(),
                 (std::vector<std::string>{"DN", "RCDR0160D1#AB0161D8#DR0220D0#AB0221D9#"
                                                 "DR03E110#AB03E019#"}));
        QCOMPARE(Rows(window.devices()), (QList<QStringList>{{"ABC123", "5", "12"},
                                                              {"SN2", "10", "A12"},
                                                              {"SN3", "255", "34"}}));
        VerifyCellsAlignedAsHeaders(window.devices());
        QCOMPARE(Rows(window.appendInfos()),
                 (QList<QStringList>{{"Roof#East"}, {"Roof#"}, {"#"}}));
        QVERIFY(window.unlocked());
        QVERIFY(window.exchange().currentCommand().empty());
        QVERIFY(window.harness.notifier().all().isEmpty());
    }

    void readWithoutDevicesSaysSo()
    {
        DeviceWindow window;
        window.harness.selectLogger();
        window.addStaleRows();
        window.button("btnReadDevice")->click();
        const QString noDevices = QStringLiteral("No devices had been added into the Logger");
        QTRY_COMPARE_WITH_TIMEOUT(window.harness.notifier().informed, QStringList{noDevices},
                                  kWaitMs);
        QCOMPARE(window.devices()->topLevelItemCount(), 0);
        QCOMPARE(window.appendInfos()->topLevelItemCount(), 0);
        QVERIFY(window.unlocked());
        QVERIFY(window.exchange().currentCommand().empty());
        QTest::qWait(50);
        QCOMPARE(window.requests(), std::vector<std::string>{"DN"});
    }

    void readWithoutSelectionAsksForALoggerAndKeepsTheLists()
    {
        DeviceWindow window;
        window.addStaleRows();
        window.button("btnReadDevice")->click();
        QCOMPARE(window.harness.notifier().informed, QStringList{kChooseLogger});
        QCOMPARE(window.devices()->topLevelItemCount(), 1);
        QVERIFY(window.unlocked());
    }

    void faultyAnswersAreReportedWithoutHarm_data()
    {
        QTest::addColumn<std::string>("countAnswer");
        QTest::addColumn<std::string>("readAnswer");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<int>("deviceRows");
        QTest::addColumn<int>("appendInfoRows");

        const std::string good =
            "D" + Record("SN1", "000512") + "#A" + AppendInfo("Roof", "") + "#";
        QTest::newRow("address not hexadecimal after a good device")
            << std::string("R02") << "RC02#" + good + "D" + Record("SN2", "00G112") + "#Ax#"
            << QStringList{QStringLiteral("'G1' is not a valid integer value")} << 1 << 1;
        QTest::newRow("record cut short")
            << std::string("R01") << std::string("RC#DSN1#")
            << QStringList{QStringLiteral("'' is not a valid integer value")} << 0 << 0;
        QTest::newRow("append info cut short") << std::string("R01")
                                               << "RC#D" + Record("SN1", "000512") + "#ARoof#"
                                               << QStringList{} << 1 << 1;
        QTest::newRow("answer without RC") << std::string("R01") << std::string("RX#" + good)
                                           << QStringList{} << 0 << 0;
        QTest::newRow("bare R") << std::string("R01") << std::string("R") << QStringList{} << 0
                                << 0;
        QTest::newRow("bare RC") << std::string("R01") << std::string("RC") << QStringList{} << 0
                                 << 0;
    }

    void faultyAnswersAreReportedWithoutHarm()
    {
        QFETCH(std::string, countAnswer);
        QFETCH(std::string, readAnswer);
        QFETCH(QStringList, errors);
        QFETCH(int, deviceRows);
        QFETCH(int, appendInfoRows);
        DeviceWindow window;
        window.harness.logger().setCommandHandler("DN", [countAnswer](const std::string &) {
            return std::optional<std::string>(countAnswer);
        });
        window.harness.logger().setCommandHandler("RC", [readAnswer](const std::string &) {
            return std::optional<std::string>(readAnswer);
        });
        window.harness.selectLogger();

        window.button("btnReadDevice")->click();
        QTRY_VERIFY_WITH_TIMEOUT(window.exchange().currentCommand().empty(), kWaitMs);
        QCOMPARE(window.harness.notifier().errors, errors);
        QCOMPARE(window.devices()->topLevelItemCount(), deviceRows);
        QCOMPARE(window.appendInfos()->topLevelItemCount(), appendInfoRows);
        QVERIFY(window.unlocked());
        QVERIFY(!window.exchange().timeoutActive());
    }

    // An answer not shaped as the count's is not taken for it: the count that follows is,
    // and without one the read ends in its timeout.
    void onlyACountAnswersTheCountRequest_data()
    {
        QTest::addColumn<std::string>("strayAnswer");
        QTest::addColumn<std::optional<std::string>>("countAnswer");
        QTest::addColumn<int>("deviceRows");
        QTest::newRow("late OK, then the count") << std::string("ROK")
                                                 << std::optional<std::string>("R01") << 1;
        QTest::newRow("count not hexadecimal") << std::string("RZZ")
                                               << std::optional<std::string>() << 0;
        QTest::newRow("count missing") << std::string("R") << std::optional<std::string>() << 0;
    }

    void onlyACountAnswersTheCountRequest()
    {
        QFETCH(std::string, strayAnswer);
        QFETCH(std::optional<std::string>, countAnswer);
        QFETCH(int, deviceRows);
        DeviceWindow window;
        window.registry.devices = {{Record("SN1", "000512"), Spaces(84)}};
        LoggerSim &logger = window.harness.logger();
        const quint16 windowPort = window.harness.windowSetPort();
        logger.setCommandHandler("DN", [&logger, windowPort, strayAnswer,
                                        countAnswer](const std::string &) {
            logger.sendFromCommandPort(LoggerSim::Frame(strayAnswer),
                                       QHostAddress(QStringLiteral("127.0.0.1")), windowPort);
            return countAnswer;
        });
        window.harness.selectLogger();
        window.button("btnReadDevice")->click();
        QTRY_VERIFY_WITH_TIMEOUT(window.unlocked(), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(window.devices()->topLevelItemCount(), deviceRows, kWaitMs);
        QVERIFY(window.harness.notifier().all().isEmpty());
    }

    void nonAsciiAppendInfoReadsBackUnchanged()
    {
        const CodePageForTest utf8("UTF-8");
        QVERIFY(utf8.selected());
        DeviceWindow window;
        window.harness.selectLogger();
        const QString appendInfo = QStringLiteral("屋顶逆变器#东面 3号");
        window.typeDevice("SN7", "7", "12", appendInfo);
        window.button("btnDA")->click();
        QTRY_VERIFY_WITH_TIMEOUT(window.unlocked(), kWaitMs);

        window.button("btnReadDevice")->click();
        QTRY_COMPARE_WITH_TIMEOUT(window.appendInfos()->topLevelItemCount(), 1, kWaitMs);
        QCOMPARE(Rows(window.devices()), (QList<QStringList>{{"SN7", "7", "12"}}));
        QCOMPARE(Rows(window.appendInfos()), (QList<QStringList>{{appendInfo}}));
    }

    void deleteEmptiesTheListsAndConfirms()
    {
        DeviceWindow window;
        window.registry.devices = {{Record("SN1", "000512"), Spaces(84)}};
        window.harness.selectLogger();
        window.addStaleRows();
        window.button("btnDE")->click();
        QCOMPARE(window.exchange().currentCommand(), std::string("DE"));
        QTRY_COMPARE_WITH_TIMEOUT(window.harness.notifier().informed,
                                  QStringList{QStringLiteral("Delete all devices successful")},
                                  kWaitMs);
        QCOMPARE(window.requests(), std::vector<std::string>{"DEAA55"});
        QVERIFY(window.registry.devices.empty());
        QCOMPARE(window.devices()->topLevelItemCount(), 0);
        QCOMPARE(window.appendInfos()->topLevelItemCount(), 0);
        QVERIFY(window.unlocked());
        QVERIFY(window.exchange().currentCommand().empty());
    }

    void deleteWithoutSelectionDoesNothing()
    {
        DeviceWindow window;
        window.addStaleRows();
        window.exchange().setCurrentCommand("ER");
        window.button("btnDE")->click();
        QVERIFY(window.harness.notifier().all().isEmpty());
        QCOMPARE(window.exchange().currentCommand(), std::string("ER"));
        QVERIFY(window.unlocked());
        QVERIFY(!window.exchange().timeoutActive());
        QCOMPARE(window.devices()->topLevelItemCount(), 1);
        QTest::qWait(50);
        QVERIFY(window.requests().empty());
    }

    // Only the form's own controls: the traffic log window's filter stays as typed.
    void clearAllEmptiesEveryEditListAndRichEdit()
    {
        DeviceWindow window;
        window.harness.selectLogger();
        window.addStaleRows();
        window.appendInfo()->setPlainText(QStringLiteral("Roof#East"));
        window.harness.window().openTrafficLog();
        auto *peerFilter = window.harness.window().findChild<QLineEdit *>(
            QStringLiteral("trafficPeerFilter"));
        QVERIFY(peerFilter != nullptr);
        peerFilter->setText(QStringLiteral("127.0.0.2"));
        QList<QLineEdit *> edits;
        for (QLineEdit *edit : window.harness.window().findChildren<QLineEdit *>()) {
            const bool named = !edit->objectName().isEmpty() &&
                               !edit->objectName().startsWith(QLatin1String("qt_"));
            if (edit->metaObject() == &QLineEdit::staticMetaObject && named &&
                edit->window() == &window.harness.window()) {
                edit->setText(QStringLiteral("1"));
                edits.append(edit);
            }
        }
        QVERIFY(edits.size() > 20);

        window.button("btnclearall")->click();

        for (QLineEdit *edit : std::as_const(edits)) {
            QVERIFY2(edit->text().isEmpty(), qPrintable(edit->objectName()));
        }
        for (QTreeWidget *list : window.harness.window().findChildren<QTreeWidget *>()) {
            QVERIFY2(list->topLevelItemCount() == 0, qPrintable(list->objectName()));
        }
        QVERIFY(window.appendInfo()->toPlainText().isEmpty());
        QCOMPARE(peerFilter->text(), QStringLiteral("127.0.0.2"));
        QCOMPARE(window.harness.control<QTreeWidget>("Listview2")->headerItem()->text(0),
                 QStringLiteral("Serial No"));
        QVERIFY(window.harness.notifier().all().isEmpty());

        window.button("btnReadDevice")->click();
        QCOMPARE(window.harness.notifier().informed, QStringList{kChooseLogger});
        QTest::qWait(50);
        QVERIFY(window.requests().empty());
    }

    void enterAddsNoLineToTheAppendInfo()
    {
        DeviceWindow window;
        QTextEdit *appendInfo = window.appendInfo();
        QTest::keyClicks(appendInfo, QStringLiteral("Roof"));
        QTest::keyClick(appendInfo, Qt::Key_Return);
        QTest::keyClick(appendInfo, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(appendInfo, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(appendInfo, QStringLiteral("#East"));
        QCOMPARE(appendInfo->toPlainText(), QStringLiteral("Roof#East"));
    }

    void appendInfoHoldsAtMost84Characters()
    {
        DeviceWindow window;
        QTextEdit *appendInfo = window.appendInfo();
        const QString full = QString(80, QLatin1Char('a')) + QStringLiteral("bcde");
        QTest::keyClicks(appendInfo, full + QStringLiteral("fg"));
        QCOMPARE(appendInfo->toPlainText(), full);

        // A paste keeps what fits, wherever the cursor stands.
        appendInfo->clear();
        QTest::keyClicks(appendInfo, QStringLiteral("Roof#East"));
        QTextCursor cursor = appendInfo->textCursor();
        cursor.setPosition(4);
        appendInfo->setTextCursor(cursor);
        QGuiApplication::clipboard()->setText(QString(100, QLatin1Char('x')));
        appendInfo->paste();
        QCOMPARE(appendInfo->toPlainText(),
                 QStringLiteral("Roof") + QString(75, QLatin1Char('x')) + QStringLiteral("#East"));
        QCOMPARE(appendInfo->textCursor().position(), 79);

        // Chinese characters count one each, as the edit shows them.
        appendInfo->clear();
        QGuiApplication::clipboard()->setText(QString(90, QChar(0x5C4B)));
        appendInfo->paste();
        QCOMPARE(appendInfo->toPlainText(), QString(84, QChar(0x5C4B)));
    }

    void serialNumberAndTypeCodeAreUpperCase()
    {
        DeviceWindow window;
        auto *serialNumber = window.harness.control<QLineEdit>("edtdevicesn");
        auto *typeCode = window.harness.control<QLineEdit>("edttype");
        QTest::keyClicks(serialNumber, QStringLiteral("abc12xyzabc12xyzqq"));
        QCOMPARE(serialNumber->text(), QStringLiteral("ABC12XYZABC12XYZ"));
        QTest::keyClicks(typeCode, QStringLiteral("a1b"));
        QCOMPARE(typeCode->text(), QStringLiteral("A1B"));

        typeCode->setCursorPosition(1);
        QTest::keyClicks(typeCode, QStringLiteral("c"));
        QCOMPARE(typeCode->text(), QStringLiteral("AC1B"));
        QCOMPARE(typeCode->cursorPosition(), 2);
    }
};

QTEST_MAIN(TestDeviceRegistry)
#include "test_device_registry.moc"

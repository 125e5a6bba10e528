// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/csv_table.h"
#include "ui/list_export.h"
#include "ui/logger_list_menu.h"
#include "ui/traffic_log_window.h"
#include "window_harness.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QProcess>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <utility>

namespace {

#ifndef Q_OS_WIN
// Reads a CSV file with Python's csv module, an implementation of its own.
QList<QStringList> ReadWithPythonCsv(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral(PYTHON_PROGRAM),
                 {"-c",
                  "import csv, json, sys\n"
                  "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                  "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                  path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning("python failed: %s", python.readAllStandardError().constData());
        return {};
    }
    QList<QStringList> rows;
    for (const QJsonValue &row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue &field : row.toArray()) {
            fields.append(field.toString());
        }
        rows.append(fields);
    }
    return rows;
}
#endif

// Reads a CSV file strictly: quoted fields with doubled quotes, CRLF or LF between records,
// a leading byte order mark dropped. A quote inside a field that is not quoted, anything
// after a closing quote but a comma or a line end, or an unclosed quote reads as no rows.
QList<QStringList> ReadCsvHere(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool inQuotes = false;
    bool closed = false; // the field's closing quote was read
    const auto next = [&text](qsizetype at) { return at + 1 < text.size() ? text.at(at + 1) : QChar(); };
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text.at(at);
        if (inQuotes) {
            if (c != u'"') {
                field += c;
            } else if (next(at) == u'"') {
                field += c;
                ++at;
            } else {
                inQuotes = false;
                closed = true;
            }
        } else if (c == u',' || c == u'\r' || c == u'\n') {
            row.append(std::exchange(field, QString()));
            closed = false;
            if (c != u',') {
                rows.append(std::exchange(row, QStringList()));
                at += c == u'\r' && next(at) == u'\n' ? 1 : 0;
            }
        } else if (c == u'"' && field.isEmpty() && !closed) {
            inQuotes = true;
        } else if (c == u'"' || closed) {
            qWarning("%s is no strict CSV at character %lld", qPrintable(path), qlonglong(at));
            return {};
        } else {
            field += c;
        }
    }
    if (inQuotes) {
        qWarning("%s ends in a quoted field", qPrintable(path));
        return {};
    }
    if (!field.isEmpty() || !row.isEmpty() || closed) {
        rows.append(row << field);
    }
    return rows;
}

// The rows of a CSV file as read here; where Python runs (not under Wine, which cannot wait
// for a Linux program), its csv module must read the same rows.
QList<QStringList> ReadCsv(const QString &path)
{
    const QList<QStringList> rows = ReadCsvHere(path);
#ifndef Q_OS_WIN
    if (const QList<QStringList> python = ReadWithPythonCsv(path); python != rows) {
        qWarning("Python's csv module reads %s otherwise", qPrintable(path));
        return {};
    }
#endif
    return rows;
}

const QList<QStringList> kAwkwardRows{
    {"SN,1", "127.0.0.2", "V\"1\""},
    {"Zähler Ost", "127.0.0.3", "two\r\nlines"},
    {"逆变器", "127.0.0.4", ""},
    {" padded ", "127.0.0.5", "line\nfeed"},
};

void FillList(QTreeWidget *list, const QList<QStringList> &rows)
{
    list->clear();
    for (const QStringList &row : rows) {
        new QTreeWidgetItem(list, row);
    }
}

// Lists the loggers as a search would.
void ListLoggers(MainWindow &window, const QList<QStringList> &rows)
{
    window.loggerList().clear();
    for (const QStringList &row : rows) {
        window.loggerList().list({row.value(0), QHostAddress(row.value(1)), row.value(2)});
    }
}

} // namespace

class TestListExport : public QObject
{
    Q_OBJECT

private slots:
    void csvField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "SN1000"
                               << "SN1000";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("comma") << "a,b"
                               << "\"a,b\"";
        QTest::newRow("quote doubled") << "say \"hi\""
                                       << "\"say \"\"hi\"\"\"";
        QTest::newRow("line feed") << "a\nb"
                                   << "\"a\nb\"";
        QTest::newRow("carriage return") << "a\rb"
                                         << "\"a\rb\"";
        QTest::newRow("spaces kept unquoted") << " a "
                                              << " a ";
        QTest::newRow("non-ASCII unquoted") << "Zähler 逆变器"
                                            << "Zähler 逆变器";
    }

    void csvField()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(CsvField(text), field);
    }

    void spreadsheetSafeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::newRow("formula") << "=1+2"
                                 << "'=1+2";
        QTest::newRow("plus") << "+49 30"
                              << "'+49 30";
        QTest::newRow("minus") << "-5"
                               << "'-5";
        QTest::newRow("at") << "@SUM(A1)"
                            << "'@SUM(A1)";
        QTest::newRow("tab") << "\tx"
                             << "'\tx";
        QTest::newRow("carriage return") << "\rx"
                                         << "'\rx";
        QTest::newRow("sign inside") << "SN=1+2"
                                     << "SN=1+2";
        QTest::newRow("empty") << ""
                               << "";
    }

    void spreadsheetSafeText()
    {
        QFETCH(QString, text);
        QFETCH(QString, cell);
        QCOMPARE(SpreadsheetSafeText(text), cell);
    }

    void documentIsUtf8WithCrLfRecords()
    {
        QCOMPARE(CsvDocument({"Serial No", "IP", "Version"}, {{"Zähler", "127.0.0.2", "V,1"}}),
                 QByteArray("Serial No,IP,Version\r\nZ\xC3\xA4hler,127.0.0.2,\"V,1\"\r\n"));
    }

    // The file opens in a spreadsheet as it reads in the list: a byte order mark for
    // UTF-8, a formula kept as text; the name offered is dated, the extension added.
    void exportedLoggerListReadsBackEqual()
    {
        WindowHarness harness;
        const QList<QStringList> rows =
            kAwkwardRows + QList<QStringList>{{"=1+2", "127.0.0.6", "-V2"}};
        ListLoggers(harness.window(), rows);
        QTemporaryDir directory;
        SaveFileRequest asked;
        harness.window().setSaveFileChooser([&](QWidget *, const SaveFileRequest &request) {
            asked = request;
            return directory.filePath("loggers");
        });
        const QDate before = QDate::currentDate();
        harness.window().exportLoggerList();

        QCOMPARE(asked.caption, QStringLiteral("Export list"));
        QCOMPARE(asked.extension, QStringLiteral("csv"));
        QVERIFY2(asked.suggestedName == DatedFileName("loggers", "csv", before) ||
                     asked.suggestedName == DatedFileName("loggers", "csv", QDate::currentDate()),
                 qPrintable(asked.suggestedName));
        const QString path = directory.filePath("loggers.csv");
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().startsWith("\xEF\xBB\xBFSerial No,"));
        QList<QStringList> expected = QList<QStringList>{{"Serial No", "IP", "Version"}} + rows;
        expected.last() = QStringList{"'=1+2", "127.0.0.6", "'-V2"};
        QCOMPARE(ReadCsv(path), expected);
        QVERIFY(harness.notifier().all().isEmpty());
    }

    void loggerListMenuOpensTheTrafficLogAndExportsTheList()
    {
        WindowHarness harness;
        ListLoggers(harness.window(), {{"SN1", "127.0.0.2", "V1"}});
        QTemporaryDir directory;
        const QString path = directory.filePath("loggers.csv");
        harness.window().setSaveFileChooser(
            [&](QWidget *, const SaveFileRequest &) { return path; });
        QMenu &menu = harness.window().findChild<LoggerListMenu *>()->build();
        const auto action = [&menu](const QString &text) -> QAction * {
            for (QAction *candidate : menu.actions()) {
                if (candidate->text() == text) {
                    return candidate;
                }
            }
            return nullptr;
        };
        QVERIFY(action("Traffic log…") && action("Export list…"));

        action("Traffic log…")->trigger();
        auto *logWindow = harness.window().findChild<TrafficLogWindow *>();
        QVERIFY(logWindow && logWindow->isVisible() && logWindow->isWindow());
        QVERIFY(!logWindow->isModal());

        action("Export list…")->trigger();
        QCOMPARE(ReadCsv(path),
                 (QList<QStringList>{{"Serial No", "IP", "Version"}, {"SN1", "127.0.0.2", "V1"}}));
    }

    // The traffic log window belongs to the form: closing the form still ends the program.
    void closingTheFormEndsTheProgramWithTheTrafficLogOpen()
    {
        WindowHarness harness;
        harness.window().openTrafficLog();
        QVERIFY(harness.window().findChild<TrafficLogWindow *>()->isVisible());
        const bool quitOnLastWindowClosed = QGuiApplication::quitOnLastWindowClosed();
        QGuiApplication::setQuitOnLastWindowClosed(true);
        bool gaveUp = false;
        QTimer giveUp;
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, qApp, [&gaveUp] {
            gaveUp = true;
            QCoreApplication::quit();
        });
        giveUp.start(3000);
        QTimer::singleShot(0, &harness.window(), [&harness] { harness.window().close(); });
        QCoreApplication::exec(); // ends when the last window closes
        QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindowClosed);
        QVERIFY(!gaveUp);
    }

    // Each device's record and its append info, which the window lists side by side, go
    // to one file, row by row, whichever list the export is asked from.
    void deviceListExportsRecordsWithTheirAppendInfo()
    {
        WindowHarness harness;
        FillList(harness.control<QTreeWidget>("Listview2"),
                 {{"INV,7", "3", "1A"}, {"INV8", "4", "1B"}});
        FillList(harness.control<QTreeWidget>("Listview3"), {{"Roof \"East\"#Row 2"}});
        QTemporaryDir directory;
        const QString path = directory.filePath("devices.csv");
        QString suggested;
        harness.window().setSaveFileChooser([&](QWidget *, const SaveFileRequest &request) {
            suggested = request.suggestedName;
            return path;
        });
        harness.window().exportDeviceList();
        QVERIFY(suggested.startsWith(QStringLiteral("devices-")));
        QCOMPARE(ReadCsv(path),
                 (QList<QStringList>{{"Serial No", "Address", "Type Code", "Append Info"},
                                     {"INV,7", "3", "1A", "Roof \"East\"#Row 2"},
                                     {"INV8", "4", "1B", ""}}));
    }

    void deviceListMenuOffersTheExport()
    {
        WindowHarness harness;
        auto *list = harness.control<QTreeWidget>("Listview3");
        FillList(harness.control<QTreeWidget>("Listview2"), {{"INV1", "3", "1A"}});
        QTemporaryDir directory;
        const QString path = directory.filePath("devices.csv");
        harness.window().setSaveFileChooser(
            [&](QWidget *, const SaveFileRequest &) { return path; });

        QStringList offered;
        QTimer::singleShot(0, [&offered] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction *action : menu->actions()) {
                offered.append(action->text());
            }
            menu->actions().first()->trigger();
            menu->close();
        });
        emit list->customContextMenuRequested(QPoint(5, 5));
        QCOMPARE(offered, QStringList{"Export list…"});
        QVERIFY(QFile::exists(path));
    }

    void cancelledExportWritesNothing()
    {
        WindowHarness harness;
        harness.window().setSaveFileChooser(
            [](QWidget *, const SaveFileRequest &) { return QString(); });
        harness.window().exportLoggerList();
        QVERIFY(harness.notifier().all().isEmpty());
    }

    void failedExportIsAWarningNamingThePath()
    {
        WindowHarness harness;
        QTemporaryDir directory;
        const QString path = directory.filePath("missing-folder/loggers.csv");
        harness.window().setSaveFileChooser(
            [&](QWidget *, const SaveFileRequest &) { return path; });
        harness.window().exportLoggerList();
        // The system's reason, in its own words: what it says when that file is opened.
        QSaveFile unwritable(path);
        QVERIFY(!unwritable.open(QIODevice::WriteOnly));
        const QString reason = unwritable.errorString();
        QVERIFY(!reason.isEmpty());
        QCOMPARE(harness.notifier().warned,
                 QStringList{QStringLiteral("The list was not saved to %1: %2")
                                 .arg(QDir::toNativeSeparators(path), reason)});
        QVERIFY(harness.notifier().informed.isEmpty());
    }
};

QTEST_MAIN(TestListExport)
#include "test_list_export.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The plant view opened from the logger list's menu of the real window, reading
// substitute loggers on 127.0.0.2 and up through the window's own two sockets.

#include "commands/system_parameters_codec.h"
#include "fleet/profile.h"
#include "private_file/private_file.h"
#include "recording_notifier.h"
#include "simulated_logger.h"
#include "ui/apply_difference_dialog.h"
#include "ui/logger_list_menu.h"
#include "ui/main_window.h"
#include "ui/plant_table_model.h"
#include "ui/plant_view_window.h"
#include "window_harness.h"

#include <QFont>
#include <QItemSelectionModel>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

Q_DECLARE_METATYPE(StaleExportChoice)

namespace {

constexpr int kWaitMs = 10000;

using Configure = std::function<void(int index, LoggerSettings &settings)>;

std::string Block(const std::string &dataSeconds, const std::string &heartbeat, int gprs)
{
    system_parameters::BlockControls block{"00", "00", "23", "59", dataSeconds, heartbeat,
                                           "3",  1,    1,    1,    gprs};
    return system_parameters::BuildBlockWrite(block).substr(2);
}

// A plant of substitute loggers, the window on loopback listing them all, and the plant
// view opened from the menu.
class Plant
{
public:
    explicit Plant(int count, const Configure &configure = {})
    {
        quint16 commandPort = 0;
        quint16 searchPort = 0;
        for (int index = 0; index < count; ++index) {
            LoggerSettings settings;
            if (configure) {
                configure(index, settings);
            }
            m_loggers.push_back(std::make_unique<SimulatedLogger>(
                QHostAddress(QStringLiteral("127.0.0.%1").arg(index + 2)), commandPort, searchPort,
                LoggerIdentity{"SN" + std::to_string(1000 + index), "V2.1"}, settings));
            if (!m_loggers.back()->endpoint().start()) {
                qFatal("substitute logger %d could not bind", index);
            }
            commandPort = m_loggers.back()->endpoint().commandPort();
            searchPort = m_loggers.back()->endpoint().searchPort();
        }
        const NetworkSettings network = WindowHarness::LoopbackNetwork(commandPort, searchPort);
        m_window = std::make_unique<MainWindow>(
            m_notifier, network, WindowHarness::FastTiming(),
            [] { return QStringLiteral("127.0.0.1"); },
            [] { return WindowHarness::LoopbackAdapters(); });
        m_window->show();
        for (const auto &logger : m_loggers) {
            LoggerSim &endpoint = logger->endpoint();
            m_window->loggerList().list({QString::fromStdString(endpoint.identity().serial),
                                         endpoint.address(),
                                         QString::fromStdString(endpoint.identity().version)});
        }
        const auto entries = m_window->findChild<LoggerListMenu *>()->build().actions();
        const auto entry = std::find_if(entries.begin(), entries.end(), [](QAction *action) {
            return action->text() == QStringLiteral("Plant view…");
        });
        if (entry == entries.end()) {
            qFatal("no Plant view… in the logger list's menu");
        }
        (*entry)->trigger();
        m_view = m_window->findChild<PlantViewWindow *>();
    }

    template <typename Control> Control *control(const char *name)
    {
        return FindControl<Control>(*m_window, name);
    }
    template <typename Control> Control *viewControl(const char *name)
    {
        return m_view->findChild<Control *>(QLatin1String(name));
    }

    SimulatedLogger &logger(int index) { return *m_loggers.at(static_cast<std::size_t>(index)); }
    MainWindow &window() { return *m_window; }
    PlantViewWindow &view() { return *m_view; }
    const PlantTableModel &model() { return *m_view->findChild<PlantTableModel *>(); }

    QString cell(int row, int column) { return model().index(row, column).data().toString(); }
    bool odd(int row, int column)
    {
        return model().index(row, column).data(PlantTableModel::OddValueRole).toBool();
    }
    bool reading() { return viewControl<QPushButton>("plantStop")->isEnabled(); }

    void startRead() { viewControl<QPushButton>("plantReadAll")->click(); }
    bool readAll()
    {
        startRead();
        return QTest::qWaitFor([this] { return !reading(); }, kWaitMs);
    }

    // Selects the rows, chooses the profile in the file dialog and starts its dry run.
    void startApply(const QList<int> &rows, const QString &profilePath)
    {
        auto *table = viewControl<QTableView>("plantTable");
        table->clearSelection();
        for (const int row : rows) {
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select |
                                                QItemSelectionModel::Rows);
        }
        m_view->setProfileChooser([profilePath](QWidget *) { return profilePath; });
        viewControl<QPushButton>("plantApplyProfile")->click();
    }
    // The difference shown once the dry run has ended; null when none came.
    ApplyDifferenceDialog *difference()
    {
        if (!QTest::qWaitFor([this] { return !reading(); }, kWaitMs)) {
            return nullptr;
        }
        return m_view->findChild<ApplyDifferenceDialog *>();
    }
    void answerDifference(const char *button)
    {
        difference()->findChild<QPushButton *>(QLatin1String(button))->click();
    }

private:
    RecordingNotifier m_notifier;
    std::vector<std::unique_ptr<SimulatedLogger>> m_loggers;
    std::unique_ptr<MainWindow> m_window;
    PlantViewWindow *m_view = nullptr;
};

// Each logger's own values, so that a value shown in the wrong row cannot pass.
void DistinctSettings(int index, LoggerSettings &settings)
{
    const std::string n = std::to_string(index);
    settings.network.ipAddress = "10.1.0." + std::to_string(10 + index);
    settings.network.gateway = "10.1.0.1";
    settings.network.mac = QStringLiteral("00-1A-2B-00-00-%1")
                               .arg(index, 2, 16, QLatin1Char('0'))
                               .toUpper()
                               .toStdString();
    settings.network.dataServerAddress = "192.0.2." + std::to_string(100 + index);
    settings.cellular.apnName = "apn" + n;
    settings.cellular.apnUser = "user" + n;
    settings.cellular.apnPassword = "secret" + n;
    settings.cellular.telecomOperator = "Op" + n;
    settings.cellular.signalQuality =
        QStringLiteral("%1").arg(index + 5, 2, 10, QLatin1Char('0')).toStdString();
    settings.cellular.frontEndMinutes = std::to_string(10 + index);
    settings.systemParameters.block =
        Block(std::to_string(60 * (1 + index)), std::to_string(2 + index), index % 2);
    for (int device = 0; device < index % 3; ++device) {
        settings.devices.devices.push_back(
            {"INV000" + std::to_string(device) + "         0003A1", std::string(84, ' ')});
    }
}

// A profile of three settings a substitute logger holds otherwise, and an IP configuration.
QString WriteProfile(const QTemporaryDir &directory)
{
    const QJsonObject settings{
        {"ip_configuration",
         QJsonObject{{"address", "10.7.0.50"}, {"mask", "255.255.0.0"}, {"gateway", "10.7.0.1"}}},
        {"data_server", "198.51.100.20"},
        {"apn", QJsonObject{{"name", "plant.apn"}, {"user", "plant"}, {"password", "s3cret"}}},
        {"operator", "Grid Tel"},
    };
    const QString path = directory.filePath(QStringLiteral("plant.json"));
    if (fleet::SaveProfile(path, {{"format", QLatin1String(fleet::kProfileFormat)},
                                  {"version", fleet::kProfileVersion},
                                  {"settings", settings}})) {
        qFatal("profile not written");
    }
    return path;
}

// The children of one logger's item in the difference: setting, now and wanted.
QList<QStringList> DifferenceOf(ApplyDifferenceDialog &dialog, int logger)
{
    const QTreeWidgetItem *item =
        dialog.findChild<QTreeWidget *>(QStringLiteral("plantApplyDifferences"))
            ->topLevelItem(logger);
    QList<QStringList> settings;
    for (int child = 0; child < item->childCount(); ++child) {
        settings.append({item->child(child)->text(0), item->child(child)->text(1),
                         item->child(child)->text(2)});
    }
    return settings;
}

QStringList ExpectedRow(int index)
{
    return {QStringLiteral("SN%1").arg(1000 + index),
            QStringLiteral("127.0.0.%1").arg(index + 2),
            QStringLiteral("V2.1"),
            QStringLiteral("00-1A-2B-00-00-%1").arg(index, 2, 16, QLatin1Char('0')).toUpper(),
            QStringLiteral("10.1.0.%1 / 255.255.255.0 / 10.1.0.1").arg(10 + index),
            QStringLiteral("192.0.2.%1").arg(100 + index),
            QStringLiteral("apn%1").arg(index),
            QStringLiteral("user%1").arg(index),
            QStringLiteral("********"),
            QStringLiteral("Op%1").arg(index),
            QStringLiteral("%1 (%2 dBm)").arg(index + 5).arg(-113 + 2 * (index + 5)),
            index % 2 == 0 ? QStringLiteral("off") : QStringLiteral("on"),
            QString::number(1 + index),
            QString::number(2 + index),
            QString::number(10 + index),
            QString::number(index % 3),
            QStringLiteral("done")};
}

} // namespace

class TestPlantView : public QObject
{
    Q_OBJECT

private slots:
    void readFillsEveryColumnWithEachLoggersOwnValues()
    {
        Plant plant(20, DistinctSettings);
        QVERIFY(plant.readAll());

        QCOMPARE(plant.model().rowCount(), 20);
        for (int row = 0; row < 20; ++row) {
            QStringList shown;
            for (int column = 0; column < PlantColumnCount; ++column) {
                shown.append(plant.cell(row, column));
            }
            QCOMPARE(shown, ExpectedRow(row));
        }
        QCOMPARE(plant.viewControl<QLabel>("plantSummary")->text(),
                 QStringLiteral("20 of 20 done, 0 failed"));
    }

    void silentLoggerFailsAndTheOthersComplete()
    {
        Plant plant(4);
        plant.logger(2).endpoint().misbehaviour().dropRate = 1.0;
        QVERIFY(plant.readAll());

        QCOMPARE(plant.cell(2, StatusColumn), QStringLiteral("no answer to ER after 3 tries"));
        QVERIFY(plant.cell(2, MacColumn).isEmpty());
        for (const int row : {0, 1, 3}) {
            QCOMPARE(plant.cell(row, StatusColumn), QStringLiteral("done"));
            QCOMPARE(plant.cell(row, OperatorColumn), QStringLiteral("Operator"));
        }
        QCOMPARE(plant.viewControl<QLabel>("plantSummary")->text(),
                 QStringLiteral("4 of 4 done, 1 failed"));
    }

    void oddValueIsMarked_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QList<int>>("oddLoggers");
        QTest::addColumn<Configure>("configure");

        QTest::newRow("operator of one logger")
            << int(OperatorColumn) << QList<int>{3}
            << Configure([](int index, LoggerSettings &settings) {
                   if (index == 3) {
                       settings.cellular.telecomOperator = "Other";
                   }
               });
        QTest::newRow("password of one logger, shown masked")
            << int(ApnPasswordColumn) << QList<int>{0}
            << Configure([](int index, LoggerSettings &settings) {
                   settings.cellular.apnPassword = index == 0 ? "typo" : "secret";
               });
        QTest::newRow("gateway of one logger, addresses all differ")
            << int(IpConfigurationColumn) << QList<int>{1}
            << Configure([](int index, LoggerSettings &settings) {
                   settings.network.ipAddress = "10.0.0." + std::to_string(20 + index);
                   settings.network.gateway = index == 1 ? "10.0.0.254" : "10.0.0.1";
               });
        QTest::newRow("heartbeat of two loggers")
            << int(HeartbeatColumn) << QList<int>{0, 4}
            << Configure([](int index, LoggerSettings &settings) {
                   settings.systemParameters.block =
                       Block("300", index == 0 || index == 4 ? "9" : "5", 0);
               });
        QTest::newRow("a tie marks nothing")
            << int(DataServerColumn) << QList<int>{}
            << Configure([](int index, LoggerSettings &settings) {
                   settings.network.dataServerAddress = index < 2   ? "192.0.2.1"
                                                        : index < 4 ? "192.0.2.2"
                                                                    : "192.0.2.3";
               });
    }

    void oddValueIsMarked()
    {
        QFETCH(int, column);
        QFETCH(QList<int>, oddLoggers);
        QFETCH(Configure, configure);
        Plant plant(5, configure);
        QVERIFY(plant.readAll());

        for (int row = 0; row < 5; ++row) {
            QCOMPARE(plant.odd(row, column), oddLoggers.contains(row));
            QCOMPARE(plant.model().index(row, column).data(Qt::FontRole).value<QFont>().bold(),
                     oddLoggers.contains(row));
            // The serial differs everywhere by nature and is never marked.
            QVERIFY(!plant.odd(row, SerialColumn));
        }
        if (column == ApnPasswordColumn) {
            QCOMPARE(plant.cell(0, column), QStringLiteral("********"));
        }
    }

    // The marks follow each outcome as it comes in: rows read earlier are marked, or no
    // longer marked, when a later outcome changes the value most loggers hold.
    void marksFollowEachOutcome_data()
    {
        QTest::addColumn<QList<int>>("readRows"); // in the order their outcomes come in
        QTest::addColumn<QStringList>("operators");
        QTest::addColumn<QList<int>>("oddRows");

        QTest::newRow("the last differs")
            << QList<int>{0, 1, 2, 3} << QStringList{"A", "A", "A", "B"} << QList<int>{3};
        QTest::newRow("the usual value changes")
            << QList<int>{0, 1, 2, 3, 4} << QStringList{"A", "A", "B", "B", "B"}
            << QList<int>{0, 1};
        QTest::newRow("a tie comes about")
            << QList<int>{0, 1, 2, 3} << QStringList{"A", "A", "B", "B"} << QList<int>{};
        QTest::newRow("a row read again agrees")
            << QList<int>{0, 1, 2, 2} << QStringList{"A", "A", "B", "A"} << QList<int>{};
        QTest::newRow("a row not read is not odd")
            << QList<int>{0, 1, 3} << QStringList{"A", "A", "A"} << QList<int>{};
        QTest::newRow("a row read again leaves the usual value")
            << QList<int>{0, 1, 2, 3, 0} << QStringList{"A", "A", "A", "B", "C"}
            << QList<int>{0, 3};
    }

    void marksFollowEachOutcome()
    {
        QFETCH(QList<int>, readRows);
        QFETCH(QStringList, operators);
        QFETCH(QList<int>, oddRows);
        std::vector<fleet::LoggerTarget> loggers;
        for (int row = 0; row <= *std::max_element(readRows.begin(), readRows.end()); ++row) {
            loggers.push_back({QHostAddress(QStringLiteral("127.0.0.%1").arg(row + 2)), {}, {}});
        }
        PlantTableModel model;
        model.setLoggers(loggers);
        for (qsizetype step = 0; step < readRows.size(); ++step) {
            fleet::LoggerOutcome outcome;
            outcome.values.insert(QStringLiteral("operator"), operators[step]);
            model.setOutcome(static_cast<std::size_t>(readRows[step]), outcome);
        }
        for (int row = 0; row < model.rowCount(); ++row) {
            QCOMPARE(model.index(row, OperatorColumn).data(PlantTableModel::OddValueRole).toBool(),
                     oddRows.contains(row));
        }
    }

    // The form is locked as during a command while the read runs, and its own commands
    // work again afterwards: their answers still reach the window through its sockets.
    void formIsLockedDuringARead()
    {
        Plant plant(3);
        plant.logger(1).endpoint().misbehaviour().dropRate = 1.0;
        auto *readButton = plant.control<QPushButton>("btnER");

        plant.startRead();
        QVERIFY(plant.reading());
        QVERIFY(!readButton->isEnabled());
        QVERIFY(!plant.control<QTreeWidget>("listview1")->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return !plant.reading(); }, kWaitMs));
        QVERIFY(readButton->isEnabled());

        plant.logger(0).settings().network.ipAddress = "10.9.8.7";
        auto *list = plant.control<QTreeWidget>("listview1");
        list->setCurrentItem(list->topLevelItem(0));
        readButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(plant.control<QLineEdit>("edtip1")->text(), QStringLiteral("10"),
                                  kWaitMs);
    }

    // "Search Logger" during a read ends the read first: the form is never unlocked while
    // the run takes its loggers' answers, and a command of the form then gets its own.
    void searchEndsARunningReadFirst()
    {
        Plant plant(3, DistinctSettings);
        plant.logger(1).endpoint().misbehaviour().delayMs = 300;
        plant.startRead();
        QVERIFY(plant.reading());
        plant.control<QPushButton>("btnsearch")->click();
        QTRY_VERIFY(!plant.reading());
        QCOMPARE(plant.cell(1, StatusColumn), QStringLiteral("stopped"));

        auto *list = plant.control<QTreeWidget>("listview1");
        QTRY_COMPARE_WITH_TIMEOUT(list->findItems("127.0.0.3", Qt::MatchExactly, 1).size(), 1,
                                  kWaitMs);
        list->setCurrentItem(list->findItems("127.0.0.3", Qt::MatchExactly, 1).first());
        QTRY_VERIFY_WITH_TIMEOUT(plant.control<QPushButton>("btnCR")->isEnabled(), kWaitMs);
        plant.control<QPushButton>("btnCR")->click();
        QTRY_COMPARE_WITH_TIMEOUT(plant.control<QLineEdit>("edtto")->text(), QStringLiteral("Op1"),
                                  kWaitMs);
    }

    void stopEndsTheRunWithNoLaterRequests_data()
    {
        QTest::addColumn<QString>("run");
        QTest::newRow("read") << "read";
        QTest::newRow("dry run of a profile") << "dry run";
        QTest::newRow("apply of a profile") << "apply";
    }

    void stopEndsTheRunWithNoLaterRequests()
    {
        QFETCH(QString, run);
        Plant plant(3);
        QTemporaryDir directory;
        const auto silenceAll = [&plant] {
            for (int index = 0; index < 3; ++index) {
                plant.logger(index).endpoint().misbehaviour().dropRate = 1.0;
            }
        };
        if (run == QLatin1String("apply")) {
            plant.startApply({0, 1, 2}, WriteProfile(directory));
            QVERIFY(plant.difference() != nullptr);
        }
        silenceAll();
        const std::size_t askedBefore = plant.logger(2).endpoint().requests().size();
        if (run == QLatin1String("read")) {
            plant.startRead();
        } else if (run == QLatin1String("dry run")) {
            plant.startApply({0, 1, 2}, WriteProfile(directory));
        } else {
            plant.answerDifference("plantApplyConfirm");
        }
        QTRY_VERIFY_WITH_TIMEOUT(plant.logger(2).endpoint().requests().size() > askedBefore,
                                 kWaitMs);
        plant.viewControl<QPushButton>("plantStop")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!plant.reading(), kWaitMs);

        std::vector<std::size_t> sent;
        for (int index = 0; index < 3; ++index) {
            sent.push_back(plant.logger(index).endpoint().requests().size());
            // An apply stopped under way may have written part of the profile.
            QCOMPARE(plant.cell(index, StatusColumn),
                     run == QLatin1String("apply") ? QStringLiteral("stopped; stale until read")
                                                   : QStringLiteral("stopped"));
        }
        QVERIFY(plant.viewControl<QLabel>("plantSummary")->text().endsWith(QStringLiteral(", 3 stopped")));
        // Answers to the requests under way may still come: the form waits for them.
        QVERIFY(!plant.control<QPushButton>("btnER")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(plant.control<QPushButton>("btnER")->isEnabled(), kWaitMs);
        // Longer than a timeout and its retries: a job still under way would resend.
        QTest::qWait(3 * WindowHarness::FastTiming().commandTimeoutMs);
        for (int index = 0; index < 3; ++index) {
            QCOMPARE(plant.logger(index).endpoint().requests().size(),
                     sent[static_cast<std::size_t>(index)]);
        }
        // A dry run stopped shows no difference to confirm.
        QCOMPARE(plant.view().findChild<ApplyDifferenceDialog *>(), nullptr);
    }

    // The table's rows 1, 3 and 4 are selected: in a table sorted by IP descending, the
    // loggers at .6, .4 and .3.
    void applyChangesTheSelectedRowsAndNoOther_data()
    {
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QList<int>>("selectedLoggers");
        QTest::newRow("unsorted") << Qt::AscendingOrder << QList<int>{1, 3, 4};
        QTest::newRow("sorted") << Qt::DescendingOrder << QList<int>{4, 2, 1};
    }

    void applyChangesTheSelectedRowsAndNoOther()
    {
        QFETCH(Qt::SortOrder, order);
        QFETCH(QList<int>, selectedLoggers);
        Plant plant(6);
        plant.viewControl<QTableView>("plantTable")->sortByColumn(IpColumn, order);
        QTemporaryDir directory;
        plant.startApply({1, 3, 4}, WriteProfile(directory));
        QVERIFY(plant.difference() != nullptr);
        plant.answerDifference("plantApplyConfirm");
        QVERIFY(plant.reading());
        QVERIFY(!plant.control<QPushButton>("btnER")->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return !plant.reading(); }, kWaitMs));
        QVERIFY(plant.control<QPushButton>("btnER")->isEnabled());

        for (int index = 0; index < 6; ++index) {
            const bool selected = selectedLoggers.contains(index);
            const LoggerSettings &settings = plant.logger(index).settings();
            const QStringList held{QString::fromStdString(settings.network.dataServerAddress),
                                   QString::fromStdString(settings.cellular.apnName),
                                   QString::fromStdString(settings.cellular.apnPassword),
                                   QString::fromStdString(settings.cellular.telecomOperator),
                                   QString::fromStdString(settings.network.ipAddress)};
            // The IP configuration of the profile is never applied from the plant view.
            QCOMPARE(held, selected ? QStringList({"198.51.100.20", "plant.apn", "s3cret",
                                                   "Grid Tel", "192.168.1.100"})
                                    : QStringList({"192.0.2.20", "internet", "", "Operator",
                                                   "192.168.1.100"}));
            QCOMPARE(plant.logger(index).endpoint().requests().empty(), !selected);
            QCOMPARE(plant.cell(index, StatusColumn),
                     selected ? QStringLiteral("3 changed") : QString());
        }
    }

    // After an apply a row shows what the logger read back; a row the apply may have
    // changed unseen is marked stale. An export of it offers to read it first; exported as
    // is, the file and the notice say it is stale.
    void applyShowsTheValuesReadBackOrMarksTheRowStale_data()
    {
        QTest::addColumn<StaleExportChoice>("answer");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("staleInFile");
        QTest::newRow("export as is") << StaleExportChoice::ExportAsIs << true << true;
        QTest::newRow("read, then export") << StaleExportChoice::ReadFirst << true << false;
        QTest::newRow("cancel") << StaleExportChoice::Cancel << false << false;
    }

    void applyShowsTheValuesReadBackOrMarksTheRowStale()
    {
        QFETCH(StaleExportChoice, answer);
        QFETCH(bool, saved);
        QFETCH(bool, staleInFile);
        Plant plant(2);
        QTemporaryDir directory;
        plant.startApply({0, 1}, WriteProfile(directory));
        QVERIFY(plant.difference() != nullptr);
        plant.logger(1).endpoint().misbehaviour().dropRate = 1.0;
        plant.answerDifference("plantApplyConfirm");
        QVERIFY(QTest::qWaitFor([&] { return !plant.reading(); }, kWaitMs));

        QCOMPARE(plant.cell(0, OperatorColumn), QStringLiteral("Grid Tel"));
        QCOMPARE(plant.cell(0, DataServerColumn), QStringLiteral("198.51.100.20"));
        QCOMPARE(plant.cell(0, StatusColumn), QStringLiteral("3 changed"));
        QVERIFY(plant.cell(1, StatusColumn).endsWith(QStringLiteral("; stale until read")));

        plant.logger(1).endpoint().misbehaviour().dropRate = 0.0;
        QList<int> asked;
        plant.view().setStaleExportQuestion([&](QWidget *, int staleRows) {
            asked.append(staleRows);
            return answer;
        });
        const QString path = directory.filePath(QStringLiteral("plant.csv"));
        plant.window().setSaveFileChooser([&path](QWidget *, const SaveFileRequest &) { return path; });
        const std::size_t freshRequests = plant.logger(0).endpoint().requests().size();
        const std::size_t staleRequests = plant.logger(1).endpoint().requests().size();
        plant.view().exportCsv();
        QVERIFY(QTest::qWaitFor([&] { return !plant.reading(); }, kWaitMs));
        QCOMPARE(asked, QList<int>{1});
        // Only the stale row is read again.
        QCOMPARE(plant.logger(0).endpoint().requests().size(), freshRequests);
        QCOMPARE(plant.logger(1).endpoint().requests().size() > staleRequests,
                 answer == StaleExportChoice::ReadFirst);
        QFile csv(path);
        QCOMPARE(csv.open(QIODevice::ReadOnly), saved);
        QCOMPARE(csv.readAll().contains("stale until read"), staleInFile);
        QCOMPARE(plant.viewControl<QLabel>("plantNotice")->text().contains(QStringLiteral("1 stale")),
                 staleInFile);
    }

    void differenceHoldsTheValueNowAndWanted()
    {
        Plant plant(2, [](int index, LoggerSettings &settings) {
            if (index == 1) {
                settings.cellular.telecomOperator = "Grid Tel";
                settings.cellular.apnUser = "plant";
                settings.cellular.apnPassword = "s3cret";
            }
        });
        QTemporaryDir directory;
        plant.startApply({0, 1}, WriteProfile(directory));
        ApplyDifferenceDialog *dialog = plant.difference();
        QVERIFY(dialog != nullptr);

        const QStringList apn{
            "apn", "name=internet password= user=", "name=plant.apn password=******** user=plant"};
        const QStringList server{"data_server", "192.0.2.20", "198.51.100.20"};
        QCOMPARE(DifferenceOf(*dialog, 0),
                 (QList<QStringList>{apn, server, {"operator", "Operator", "Grid Tel"}}));
        // Of the APN, the fields that differ.
        QCOMPARE(DifferenceOf(*dialog, 1),
                 (QList<QStringList>{{"apn", "name=internet", "name=plant.apn"}, server}));
        QCOMPARE(dialog->findChild<QTreeWidget *>()->topLevelItem(1)->text(0),
                 QStringLiteral("SN1001 (127.0.0.3): 2 would change, 1 unchanged"));
        QVERIFY(dialog->findChild<QLabel *>(QStringLiteral("plantApplyIpNote")) != nullptr);
    }

    void cancellingAtTheDifferenceWritesNothing()
    {
        Plant plant(2);
        QTemporaryDir directory;
        plant.startApply({0, 1}, WriteProfile(directory));
        QVERIFY(plant.difference() != nullptr);
        const std::size_t asked = plant.logger(0).endpoint().requests().size();
        plant.answerDifference("plantApplyCancel");

        QVERIFY(!plant.reading());
        QTest::qWait(WindowHarness::FastTiming().commandTimeoutMs);
        QCOMPARE(plant.logger(0).endpoint().requests().size(), asked);
        QCOMPARE(plant.logger(0).settings().cellular.telecomOperator, std::string("Operator"));
        QCOMPARE(plant.cell(0, StatusColumn), QStringLiteral("3 would change"));
    }

    void filterAndSortOverTheTable()
    {
        Plant plant(12, DistinctSettings);
        plant.logger(11).settings().cellular.signalQuality = "99";
        QVERIFY(plant.readAll());
        auto *table = plant.viewControl<QTableView>("plantTable");
        const QAbstractItemModel *shown = table->model();
        // "unknown" below every level.
        table->sortByColumn(SignalColumn, Qt::AscendingOrder);
        QCOMPARE(shown->index(0, SignalColumn).data().toString(), QStringLiteral("99 (unknown)"));
        // However narrow the window, an address fits in the filter.
        plant.view().resize(200, plant.view().height());
        auto *filterBox = plant.viewControl<QLineEdit>("plantFilter");
        QTRY_VERIFY(filterBox->width() > filterBox->fontMetrics().horizontalAdvance("000.000.000.000"));

        plant.viewControl<QLineEdit>("plantFilter")->setText(QStringLiteral("127.0.0.1"));
        QCOMPARE(shown->rowCount(), 4); // .10 to .13
        plant.viewControl<QLineEdit>("plantFilter")->setText(QStringLiteral("sn1000"));
        QCOMPARE(shown->rowCount(), 1);
        plant.viewControl<QLineEdit>("plantFilter")->clear();

        // By number, not by text: 9 minutes before 10.
        table->sortByColumn(DataIntervalColumn, Qt::AscendingOrder);
        QStringList minutes;
        for (int row = 0; row < shown->rowCount(); ++row) {
            minutes.append(shown->index(row, DataIntervalColumn).data().toString());
        }
        QCOMPARE(minutes,
                 QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}));
    }

    void savesKeepThePasswordWhereItBelongs()
    {
        Plant plant(2, DistinctSettings);
        QVERIFY(plant.readAll());
        QTemporaryDir directory;
        QString answer;
        plant.window().setSaveFileChooser(
            [&answer](QWidget *, const SaveFileRequest &) { return answer; });

        answer = directory.filePath(QStringLiteral("plant.csv"));
        plant.view().exportCsv();
        QFile csv(answer);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray table = csv.readAll();
        QVERIFY(table.contains("apn1,user1,********,Op1"));
        QVERIFY(!table.contains("secret"));

        answer = directory.filePath(QStringLiteral("plant.pdf"));
        plant.view().exportPdf();
        QFile pdf(answer);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.readAll().startsWith("%PDF"));

        answer = directory.filePath(QStringLiteral("profile.json"));
        plant.viewControl<QTableView>("plantTable")->selectRow(1);
        QVERIFY(plant.viewControl<QPushButton>("plantSaveProfile")->isEnabled());
        plant.view().saveProfile();
        QVERIFY(!private_file::ReadableByOthers(answer));
        const fleet::Checked<fleet::Profile> profile = fleet::LoadProfile(answer);
        QVERIFY2(profile.accepted(),
                 qPrintable(profile.accepted() ? QString() : profile.refusal().message));
        QFile saved(answer);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QJsonObject settings =
            QJsonDocument::fromJson(saved.readAll()).object().value("settings").toObject();
        QCOMPARE(settings.value("operator").toString(), QStringLiteral("Op1"));
        QCOMPARE(settings.value("apn").toObject().value("password").toString(),
                 QStringLiteral("secret1"));
    }
};

QTEST_MAIN(TestPlantView)
#include "test_plant_view.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The plant view opened from the logger list's menu of the real window, reading
// substitute loggers on 127.0.0.2 and up through the window's own two sockets.

#include "cli/cli_app.h"
#include "code_page_for_test.h"
#include "commands/signal_watch.h"
#include "commands/system_parameters_codec.h"
#include "fleet/profile.h"
#include "private_file/private_file.h"
#include "recording_notifier.h"
#include "simulated_logger.h"
#include "transport/command_exchange.h"
#include "ui/apply_difference_dialog.h"
#include "ui/logger_list_menu.h"
#include "ui/main_window.h"
#include "ui/plant_commission.h"
#include "ui/plant_table_model.h"
#include "ui/plant_view_window.h"
#include "window_harness.h"
#include "wirelog/traffic_log.h"

#include <QComboBox>
#include <QDir>
#include <QFont>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>
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
    RecordingNotifier &notifier() { return m_notifier; }
    std::size_t requests() { return logger(0).endpoint().requests().size(); }
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

// Fills the form's controls from alternating names and texts: "edtip*" names a row of four
// octet edits, given dotted; a name beginning "cb" a list, given its item; "redt" a rich edit.
void FillForm(Plant &plant, const QStringList &namesAndTexts)
{
    for (qsizetype at = 0; at + 1 < namesAndTexts.size(); at += 2) {
        const QByteArray name = namesAndTexts[at].toLatin1();
        const QString &text = namesAndTexts[at + 1];
        if (name.endsWith('*')) {
            const QStringList octets = text.split(QLatin1Char('.'));
            for (int index = 0; index < 4; ++index) {
                plant.control<QLineEdit>((name.chopped(1) + QByteArray::number(index + 1)).data())
                    ->setText(octets.value(index));
            }
        } else if (name.startsWith("cb")) {
            plant.control<QComboBox>(name.data())->setCurrentIndex(text.toInt());
        } else if (name.startsWith("redt")) {
            plant.control<QTextEdit>(name.data())->setPlainText(text);
        } else {
            plant.control<QLineEdit>(name.data())->setText(text);
        }
    }
}

QString Json(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// tarnwick-cli run in-process against the plant's loggers; its exit status and error text.
std::pair<int, QString> RunCli(Plant &plant, const QStringList &arguments)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    cli::Console console{outStream, errStream, false, [](const QString &) { return std::nullopt; }};
    LoggerSim &logger = plant.logger(0).endpoint();
    const int status = cli::RunCli(
        QStringList{"tarnwick-cli", arguments.first(), "--bind", "127.0.0.1",
                    "--local-command-port", "0", "--local-search-port", "0", "--timeout", "150",
                    "--command-port", QString::number(logger.commandPort()), "--search-port",
                    QString::number(logger.searchPort())} +
            arguments.mid(1),
        console);
    return {status, err};
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
        QCOMPARE(plant.viewControl<QProgressBar>("plantProgress")->value(), 20);
        // The run's lock and unlock paint the window part by part: in the end every part
        // paints again.
        const QList<QWidget *> widgets = plant.window().findChildren<QWidget *>();
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(widgets.begin(), widgets.end(),
                        [](const QWidget *widget) { return widget->updatesEnabled(); }),
            kWaitMs);
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
            outcome.settings.set(fleet::Setting::Operator, operators[step]);
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

    void readWaitsUntilTheSignalWatchIsStopped_data()
    {
        QTest::addColumn<bool>("requestOut");
        QTest::newRow("stopped between readings") << false;
        QTest::newRow("stopped while its request is out") << true;
    }

    // A read does not start while the signal watch runs: the watched logger's answers
    // would reach both, and the read's end would unlock the form under the watch. Once
    // stopped, the answer to the watch's last request may still come: it is no answer of
    // the read, which reads that logger's own values.
    void readWaitsUntilTheSignalWatchIsStopped()
    {
        QFETCH(bool, requestOut);
        Plant plant(3, DistinctSettings);
        auto *watch = plant.window().findChild<SignalWatch *>();
        LoggerSim &watched = plant.logger(1).endpoint();
        watch->start(watched.address());
        QTRY_COMPARE_WITH_TIMEOUT(watch->history().takenCount(), 1, kWaitMs);
        plant.startRead();
        QVERIFY(!plant.reading());
        QCOMPARE(plant.viewControl<QLabel>("plantSummary")->text(),
                 QStringLiteral("The signal watch runs: stop it, then start again."));
        QCOMPARE(plant.logger(0).endpoint().requests().size(), std::size_t{0});
        if (requestOut) {
            // Every answer of the logger comes late: the watch's next request is out when
            // it stops, and its answer comes ahead of the read's first.
            watched.misbehaviour().delayMs = 100;
            watch->setInterval(std::chrono::milliseconds(10));
            QTRY_VERIFY_WITH_TIMEOUT(watched.requests().size() > std::size_t(watch->history().takenCount()),
                                     kWaitMs);
        }
        watch->stop();
        QVERIFY(plant.readAll());
        QStringList shown;
        for (int column = 0; column < PlantColumnCount; ++column) {
            shown.append(plant.cell(1, column));
        }
        QCOMPARE(shown, ExpectedRow(1));
        // Every answer to the watch is in the traffic log as the answer to its request.
        const auto isWatchRequest = [](const std::string &payload) { return payload == "IF"; };
        const QList<ObservedDatagram> log = plant.window().trafficLog().datagrams();
        QCOMPARE(std::count_if(log.begin(), log.end(),
                               [&](const ObservedDatagram &datagram) {
                                   return datagram.peerAddress == watched.address() &&
                                          datagram.answeredRequest.contains("IF");
                               }),
                 std::count_if(watched.requests().begin(), watched.requests().end(), isWatchRequest));
    }

    // "Commission…" on the window's own sockets: each logger of the plan is commissioned
    // as it powers up, with the form locked meanwhile; one not in the plan is listed and
    // never written; Stop ends the run with the rows missing; the record holds every
    // change and no secret.
    void commissionWritesEachPlannedLoggerAsItPowersUp_data()
    {
        QTest::addColumn<bool>("lastPowersUp");
        QTest::newRow("the last powers up later") << true;
        QTest::newRow("stopped before the last powers up") << false;
    }

    void commissionWritesEachPlannedLoggerAsItPowersUp()
    {
        QFETCH(bool, lastPowersUp);
        Plant plant(4);
        plant.logger(0).settings().cellular.apnPassword = "0ld";
        plant.logger(2).endpoint().misbehaviour().silent = true; // not powered up yet
        QTemporaryDir directory;
        const QString plan = directory.filePath(QStringLiteral("plant.csv"));
        QFile planFile(plan);
        QVERIFY(planFile.open(QIODevice::WriteOnly));
        planFile.write("serial,ip,mask,gateway\n");
        // Loggers 0 to 2 keep their addresses; the plan gives them the mask and gateway.
        for (int index = 0; index < 3; ++index) {
            planFile.write(QStringLiteral("SN%1,127.0.0.%2,255.0.0.0,127.0.0.1\n")
                               .arg(1000 + index)
                               .arg(index + 2)
                               .toLatin1());
        }
        planFile.close();
        auto *commission = plant.view().findChild<PlantCommission *>();
        commission->setTiming(100, 200);
        commission->setChooser([&](QWidget *) {
            return std::optional<CommissionFiles>({WriteProfile(directory), plan});
        });
        plant.viewControl<QPushButton>("plantCommission")->click();
        QVERIFY(plant.reading());
        QVERIFY(!plant.control<QPushButton>("btnER")->isEnabled());
        QVERIFY(plant.viewControl<QTableView>("plantChecklist")->isVisible());
        const QAbstractItemModel *checklist =
            plant.viewControl<QTableView>("plantChecklist")->model();
        const auto state = [checklist](int row) {
            return checklist->index(row, CommissionChecklistModel::State).data().toString();
        };
        QTRY_VERIFY_WITH_TIMEOUT(state(0) == "done" && state(1) == "done" && state(3) != "",
                                 kWaitMs);
        QCOMPARE(state(2), QStringLiteral("waiting"));
        QVERIFY(plant.reading());
        if (lastPowersUp) {
            plant.logger(2).endpoint().misbehaviour().silent = false;
        } else {
            plant.viewControl<QPushButton>("plantStop")->click();
        }
        QVERIFY(QTest::qWaitFor([&] { return !plant.reading(); }, kWaitMs));

        QCOMPARE(state(2), lastPowersUp ? QStringLiteral("done") : QStringLiteral("waiting"));
        QCOMPARE(checklist->index(3, CommissionChecklistModel::Serial).data().toString(),
                 QStringLiteral("SN1003"));
        QCOMPARE(state(3), QStringLiteral("not in the plan"));
        QVERIFY(plant.control<QPushButton>("btnER")->isEnabled());
        for (int index = 0; index < 3; ++index) {
            const bool commissioned = index < 2 || lastPowersUp;
            QCOMPARE(plant.logger(index).settings().cellular.telecomOperator,
                     std::string(commissioned ? "Grid Tel" : "Operator"));
            QCOMPARE(plant.logger(index).settings().network.gateway,
                     std::string(commissioned ? "127.0.0.1" : "192.168.1.1"));
        }
        QVERIFY(plant.logger(3).endpoint().requests().empty());
        QFile record(directory.filePath(QStringLiteral("plant-commissioning-%1.jsonl")
                                            .arg(QDate::currentDate().toString(Qt::ISODate))));
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QByteArray lines = record.readAll();
        QVERIFY2(!lines.contains("s3cret") && !lines.contains("0ld"), lines.constData());
        QVERIFY2(lines.contains(R"("operator":{"after":"Grid Tel","before":"Operator")"),
                 lines.constData());
        QVERIFY2(lines.contains(R"("event":"not_in_plan")"), lines.constData());
        QVERIFY2(lines.contains(lastPowersUp ? R"("missing":[])" : R"("missing":["SN1002"])"),
                 lines.constData());
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

    // A Stop in the turn before a run's first requests leave ends it at once: nothing is
    // sent, every row shows it stopped and the form is usable again.
    void stopBeforeTheFirstRequestEndsTheReadAtOnce()
    {
        Plant plant(3);
        plant.startRead();
        plant.viewControl<QPushButton>("plantStop")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!plant.reading(), kWaitMs);
        for (int index = 0; index < 3; ++index) {
            QCOMPARE(plant.cell(index, StatusColumn), QStringLiteral("stopped"));
            QVERIFY(plant.logger(index).endpoint().requests().empty());
        }
        QVERIFY(plant.control<QPushButton>("btnER")->isEnabled());
        QVERIFY(plant.readAll());
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

    // A value is checked by one function of its codec, so what one face refuses every face
    // refuses, in the same words, before anything is sent: the window's form (its own
    // message), "tarnwick-cli write" (exit 2) and a profile applied from the plant view. An
    // empty message: every face takes the value, and the command line sends the window's
    // request.
    void everyFaceRefusesTheSameValues_data()
    {
        QTest::addColumn<QString>("codePage"); // empty: the system's
        QTest::addColumn<QStringList>("form");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("assignment"); // empty: no command-line form holds it
        QTest::addColumn<QString>("profile");    // the profile's settings; empty: none
        QTest::addColumn<QString>("fleet");
        const auto row = [](const char *name, const QStringList &form, const char *button,
                            const QString &window, const QString &assignment,
                            const QString &profile, const QString &fleet,
                            const char *codePage = "") {
            QTest::newRow(name) << QString::fromLatin1(codePage) << form
                                << QString::fromLatin1(button) << window << assignment
                                << profile << fleet;
        };
        const QStringList ip{"edtip*", "10.0.0.11", "edtmask*", "255.255.255.0", "edtgt*",
                             "10.0.0.1"};
        const auto ipProfile = [](const char *address, const char *mask, const char *gateway) {
            return QStringLiteral(R"({"ip_configuration":{"address":"%1","mask":"%2","gateway":"%3"}})")
                .arg(QLatin1String(address), QLatin1String(mask), QLatin1String(gateway));
        };
        row("ip gateway incomplete", {"edtip*", "10.0.0.11", "edtmask*", "255.255.255.0",
                                      "edtgt*", "10.0.0."}, "btnEW",
            "Please complete the Gateway address.", "ip=10.0.0.11,255.255.255.0,10.0.0.",
            ipProfile("10.0.0.11", "255.255.255.0", "10.0.0."),
            "ip: Please complete the Gateway address.");
        row("ip octet 256", ip + QStringList{"edtip*", "10.0.0.256"}, "btnEW",
            "The IP address must be four numbers from 0 to 255.",
            "ip=10.0.0.256,255.255.255.0,10.0.0.1", ipProfile("10.0.0.256", "255.255.255.0", "10.0.0.1"),
            "ip: The IP address must be four numbers from 0 to 255.");
        row("ip octet 010", ip + QStringList{"edtip*", "10.0.0.010"}, "btnEW",
            "10.0.0.010 is not four decimal numbers from 0 to 255 without leading zeros",
            "ip=10.0.0.010,255.255.255.0,10.0.0.1", ipProfile("10.0.0.010", "255.255.255.0", "10.0.0.1"),
            "ip: 10.0.0.010 is not four decimal numbers from 0 to 255 without leading zeros");
        row("ip mask with a hole", ip + QStringList{"edtmask*", "255.0.255.0"}, "btnEW",
            "The mask 255.0.255.0 is not a network mask (ones, then zeros).",
            "ip=10.0.0.11,255.0.255.0,10.0.0.1", ipProfile("10.0.0.11", "255.0.255.0", "10.0.0.1"),
            "ip: the mask 255.0.255.0 is not a network mask (ones, then zeros)");
        row("ip gateway outside", ip + QStringList{"edtgt*", "10.0.1.1"}, "btnEW",
            "The gateway 10.0.1.1 is outside 10.0.0.0/24, the network of 10.0.0.11.",
            "ip=10.0.0.11,255.255.255.0,10.0.1.1", ipProfile("10.0.0.11", "255.255.255.0", "10.0.1.1"),
            "ip: the gateway 10.0.1.1 is outside 10.0.0.0/24, the network of 10.0.0.11");
        row("ip broadcast address", ip + QStringList{"edtip*", "10.0.0.255"}, "btnEW",
            "10.0.0.255 is the broadcast address of 10.0.0.0/24, not a logger's.",
            "ip=10.0.0.255,255.255.255.0,10.0.0.1", ipProfile("10.0.0.255", "255.255.255.0", "10.0.0.1"),
            "ip: 10.0.0.255 is the broadcast address of 10.0.0.0/24, not a logger's");
        row("ip multicast", {"edtip*", "224.0.0.5", "edtmask*", "255.255.255.0", "edtgt*",
                             "224.0.0.1"}, "btnEW",
            "224.0.0.5 is a multicast address, not the address of one logger.",
            "ip=224.0.0.5,255.255.255.0,224.0.0.1", ipProfile("224.0.0.5", "255.255.255.0", "224.0.0.1"),
            "ip: 224.0.0.5 is a multicast address, not the address of one logger.");
        row("data server incomplete", {"edtrip*", "192.0.2."}, "btnR2",
            "Please complete the IP address.", "data-server=192.0.2.",
            R"({"data_server":"192.0.2."})", "data-server: Please complete the IP address.");
        row("data server 0.0.0.0", {"edtrip*", "0.0.0.0"}, "btnR2", "", "data-server=0.0.0.0",
            R"({"data_server":"0.0.0.0"})", "");
        row("data server octet 007", {"edtrip*", "192.0.2.007"}, "btnR2",
            "192.0.2.007 is not four decimal numbers from 0 to 255 without leading zeros",
            "data-server=192.0.2.007", R"({"data_server":"192.0.2.007"})",
            "data-server: 192.0.2.007 is not four decimal numbers from 0 to 255 without leading zeros");
        row("apn name with a double quote", {"edtapnname", "we\"b"}, "btnAW",
            "APN: the name must not hold a double quote", "apn=we\"b,u,p",
            Json({{"apn", QJsonObject{{"name", "we\"b"}, {"user", "u"}, {"password", "p"}}}}),
            "apn: the name must not hold a double quote");
        row("apn user with a comma", {"edtapnuser", "c,d"}, "btnAW",
            "APN: the user must not hold a comma", "",
            R"({"apn":{"name":"web","user":"c,d","password":""}})",
            "apn: the user must not hold a comma");
        row("apn password with a control character", {"edtapnpasseword", "p\x01q"}, "btnAW",
            "APN: the password must not hold control characters", "apn=web,u,p\x01q",
            Json({{"apn", QJsonObject{{"name", "web"}, {"user", "u"}, {"password", "p\x01q"}}}}),
            "apn: the password must not hold control characters");
        row("operator with a double quote", {"edtto", "a\"b"}, "btnCW",
            "Telecom Operator: must not hold a double quote", "operator=a\"b",
            Json({{"operator", "a\"b"}}), "operator: must not hold a double quote");
        const QString chinese = QString::fromUtf8("\u4E2D\u6587");
        const QString outside = QString::fromUtf8(
            "The loggers' code page has no character '\u4E2D': nothing was sent.");
        row("operator in Chinese, code page windows-1252", {"edtto", chinese}, "btnCW", outside,
            "operator=" + chinese, R"({"operator":")" + chinese + R"("})",
            "operator: " + outside, "windows-1252");
        row("pin with a letter", {"edtpin", "12a4"}, "btnPW", "PIN: must be digits only",
            "pin=12a4", R"({"pin":"12a4"})", "pin: must be digits only");
        row("pin empty", {}, "btnPW", "Please enter the Pin.", "pin=", R"({"pin":""})",
            "pin: Please enter the Pin.");
        row("pin of blanks", {"edtpin", "   "}, "btnPW", "", "pin=   ", R"({"pin":"   "})", "");
        row("front-end minutes 0", {"edtfectime", "0"}, "btnQW",
            "Please complete Front-End Computer Time", "front-end=0", R"({"front_end":"0"})",
            "front-end: Please complete Front-End Computer Time");
        const auto device = [](const char *serial, const char *address, const char *type,
                               const char *append) {
            return QStringList{"edtdevicesn", serial, "edtadd", address, "edttype", type,
                               "redtappendinfo", append};
        };
        const auto deviceProfile = [](const char *serial, const char *address, const char *type,
                                      const char *append) {
            return Json({{"devices", QJsonArray{QJsonObject{{"serial", serial},
                                                            {"address", address},
                                                            {"type", type},
                                                            {"append", append}}}}});
        };
        row("device address 256", device("INV1", "256", "A1", ""), "btnDA",
            "Device Address must be 0 to 255", "devices+=INV1,256,A1",
            deviceProfile("INV1", "256", "A1", ""), "devices: Device Address must be 0 to 255");
        row("device address 3z", device("INV1", "3z", "A1", ""), "btnDA",
            "'3z' is not a valid integer value", "devices+=INV1,3z,A1",
            deviceProfile("INV1", "3z", "A1", ""), "devices: '3z' is not a valid integer value");
        row("device type of one character", device("INV1", "3", "A", ""), "btnDA",
            "Type Code must be 2 or 3 characters", "devices+=INV1,3,A",
            deviceProfile("INV1", "3", "A", ""), "devices: Type Code must be 2 or 3 characters");
        row("device serial with #", device("IN#V1", "3", "A1", ""), "btnDA",
            "the serial number must not hold \"#\", at which the device read is split",
            "devices+=IN#V1,3,A1", deviceProfile("IN#V1", "3", "A1", ""),
            "devices: the serial number must not hold \"#\"");
        row("device append info a#b#c", device("INV1", "3", "A1", "a#b#c"), "btnDA",
            "the append info may hold one \"#\", between its two parts: the device read is "
            "split at every \"#\"",
            "devices+=INV1,3,A1,a#b#c", deviceProfile("INV1", "3", "A1", "a#b#c"),
            "devices: the append info may hold one \"#\", between its two parts");
        // The device read does not quote its texts: a double quote is written and read back.
        row("device append info with a double quote", device("INV1", "3", "A1", "roof \"east\""),
            "btnDA", "", "devices+=INV1,3,A1,roof \"east\"",
            deviceProfile("INV1", "3", "A1", "roof \"east\""), "");
        row("intervals data 21", {"edtcjset", "21", "edtheartset", "3"}, "btnsw1",
            "Data Time can not be greater than 20", "intervals=21,3", "",
            "intervals: Data Time can not be greater than 20");
        row("intervals heart 0", {"edtcjset", "5", "edtheartset", "0"}, "btnsw1",
            "Heart Time invalid", "intervals=5,0", "", "intervals: Heart Time invalid");
        const QStringList block{"edtshour", "06", "edtsminute", "00", "edtehour", "18",
                                "edteminute", "30", "edtcjtime", "300", "edthearttime", "5",
                                "edtretry", "3", "cbresponse", "1", "cb485422", "1",
                                "cbtcpudp", "1", "cbgprs", "1"};
        row("system start hour 24", block + QStringList{"edtshour", "24"}, "btnSW",
            "Log Start Stop Time Invalid", "", R"({"system":{"start":"24:00"}})",
            "system: Log Start Stop Time Invalid");
        row("system heartbeat 256", block + QStringList{"edthearttime", "256"}, "btnSW",
            "HeartPack Interval must be 0 to 255", "", R"({"system":{"heartbeat_minutes":256}})",
            "system: HeartPack Interval must be 0 to 255");
    }

    void everyFaceRefusesTheSameValues()
    {
        QFETCH(QString, codePage);
        QFETCH(QStringList, form);
        QFETCH(QString, button);
        QFETCH(QString, window);
        QFETCH(QString, assignment);
        QFETCH(QString, profile);
        QFETCH(QString, fleet);
        const CodePageForTest selected(codePage.isEmpty() ? wire_text::kSystemCodePage
                                                          : qPrintable(codePage));
        QVERIFY(selected.selected());
        Plant plant(1);
        auto *list = plant.control<QTreeWidget>("listview1");
        list->setCurrentItem(list->topLevelItem(0));
        FillForm(plant, form);
        plant.control<QPushButton>(qPrintable(button))->click();
        std::string windowRequest;
        if (window.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(plant.requests() > 0, kWaitMs);
            QTRY_VERIFY_WITH_TIMEOUT(plant.window().exchange().currentCommand().empty(), kWaitMs);
            windowRequest = plant.logger(0).endpoint().requests().back();
        } else {
            QCOMPARE(plant.notifier().all(), QStringList{window});
        }

        const std::size_t sent = plant.requests();
        if (!assignment.isEmpty()) {
            const auto [status, err] =
                RunCli(plant, {"write", "--logger", "127.0.0.2", assignment});
            QCOMPARE(status, fleet.isEmpty() ? cli::kAllSucceeded : cli::kBadUsage);
            QVERIFY2(err.contains(fleet), qPrintable(err));
            const std::vector<std::string> &requests = plant.logger(0).endpoint().requests();
            QCOMPARE(std::find(requests.begin() + qsizetype(sent), requests.end(), windowRequest) !=
                         requests.end(),
                     fleet.isEmpty());
        }
        if (!profile.isEmpty()) {
            QTemporaryDir directory;
            QFile file(directory.filePath(QStringLiteral("profile.json")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(R"({"format":"tarnwick-profile","version":1,"settings":)" +
                       profile.toUtf8() + "}");
            file.close();
            plant.startApply({0}, file.fileName());
            if (fleet.isEmpty()) {
                QVERIFY(plant.difference() != nullptr);
                plant.answerDifference("plantApplyCancel");
            } else {
                const QString notice = plant.viewControl<QLabel>("plantNotice")->text();
                QVERIFY2(notice.startsWith(QStringLiteral("Not applied: ") +
                                           QDir::toNativeSeparators(file.fileName()) +
                                           QStringLiteral(": ") + fleet),
                         qPrintable(notice));
            }
        }
        if (!fleet.isEmpty()) {
            QTest::qWait(30);
            QCOMPARE(plant.requests(), sent);
        }
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
        const Checked<fleet::Profile> profile = fleet::LoadProfile(answer);
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

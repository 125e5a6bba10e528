// SPDX-License-Identifier: GPL-3.0-or-later
#include "plant_view_pictures.h"

#include "commands/system_parameters_codec.h"
#include "fleet/profile.h"
#include "recording_notifier.h"
#include "reports/plant_report.h"
#include "simulated_logger.h"
#include "ui/apply_difference_dialog.h"
#include "ui/logger_list_menu.h"
#include "ui/main_window.h"
#include "ui/plant_commission.h"
#include "ui/plant_table_model.h"
#include "ui/plant_view_window.h"
#include "window_harness.h"

#include <QImage>
#include <QItemSelectionModel>
#include <QJsonObject>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

constexpr int kLoggers = 8;

void Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    }
}

LoggerSettings PlantLogger(int index)
{
    LoggerSettings settings;
    settings.network.ipAddress = "10.20.0." + std::to_string(11 + index);
    settings.network.gateway = "10.20.0.1";
    settings.network.mac = "00-1A-2B-3C-4D-" + std::to_string(10 + index);
    settings.cellular.apnName = "solar.m2m";
    settings.cellular.apnUser = "plant";
    settings.cellular.apnPassword = "sunny";
    settings.cellular.telecomOperator = index == 5 ? "Roam Net" : "Tel Co";
    settings.cellular.signalQuality = std::to_string(12 + 2 * index);
    system_parameters::BlockControls block{"05", "00", "21", "30", "300", index == 5 ? "15" : "5",
                                           "3",  1,    1,    1,    1};
    settings.systemParameters.block = system_parameters::BuildBlockWrite(block).substr(2);
    for (int device = 0; device < 2 + index % 2; ++device) {
        settings.devices.devices.push_back(
            {"INV000" + std::to_string(device) + "         0003A1", std::string(84, ' ')});
    }
    return settings;
}

// The difference of a profile on three selected loggers, over the plant view.
void TakeApplyPicture(PlantViewWindow &view, const QString &directory)
{
    QTemporaryDir profileDirectory;
    const QString profile = profileDirectory.filePath(QStringLiteral("plant-2024.json"));
    const QJsonObject settings{
        {"ip_configuration", QJsonObject{{"address", "10.20.0.11"},
                                         {"mask", "255.255.255.0"},
                                         {"gateway", "10.20.0.1"}}},
        {"apn", QJsonObject{{"name", "plant.m2m"}, {"user", "plant"}, {"password", "sunny"}}},
        {"operator", "Tel Co"},
        {"system", QJsonObject{{"start", "05:00"},
                               {"stop", "21:30"},
                               {"data_interval_seconds", 300},
                               {"heartbeat_minutes", 5},
                               {"retries", 3},
                               {"wait_for_response", "yes"},
                               {"reconnect", "yes"},
                               {"transport", "tcp"},
                               {"gprs", "on"}}},
    };
    if (fleet::SaveProfile(profile, {{"format", QLatin1String(fleet::kProfileFormat)},
                                     {"version", fleet::kProfileVersion},
                                     {"settings", settings}})) {
        qFatal("profile not written");
    }

    auto *table = view.findChild<QTableView *>(QStringLiteral("plantTable"));
    table->horizontalScrollBar()->setValue(0);
    for (const int row : {3, 4, 5}) {
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    view.setProfileChooser([profile](QWidget *) { return profile; });
    view.applyProfile();
    QTest::qWait(1000);
    auto *difference = view.findChild<ApplyDifferenceDialog *>();
    if (difference == nullptr) {
        qFatal("no difference shown after the dry run");
    }
    difference->setGeometry(160, 150, 760, 420);
    QTest::qWait(400);
    Run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                   directory + QStringLiteral("/plant-apply.png")});
    qInfo("wrote %s/plant-apply.png", qPrintable(directory));
    difference->reject();
}

// "Commission…" a few seconds into its run: five rows of the plan done, one held back as
// its planned address is taken, two waiting (one logger still powered off, one never
// cabled), and one logger not in the plan.
void TakeCommissionPicture(PlantViewWindow &view,
                           std::vector<std::unique_ptr<SimulatedLogger>> &loggers,
                           const QString &directory)
{
    QTemporaryDir planDirectory;
    const QString profile = planDirectory.filePath(QStringLiteral("plant-2024.json"));
    const QJsonObject settings{
        {"apn", QJsonObject{{"name", "plant.m2m"}, {"user", "plant"}, {"password", "sunny"}}},
        {"operator", "Tel Co"},
    };
    if (fleet::SaveProfile(profile, {{"format", QLatin1String(fleet::kProfileFormat)},
                                     {"version", fleet::kProfileVersion},
                                     {"settings", settings}})) {
        qFatal("profile not written");
    }
    const QString plan = planDirectory.filePath(QStringLiteral("plant-2024.csv"));
    QFile planFile(plan);
    if (!planFile.open(QIODevice::WriteOnly)) {
        qFatal("plan not written");
    }
    planFile.write("serial,ip,mask,gateway\n");
    for (int index = 0; index < 6; ++index) {
        // The sixth is planned at the address where the eighth, not in the plan, answers.
        planFile.write(QStringLiteral("A5%1,127.0.0.%2,255.0.0.0,127.0.0.1\n")
                           .arg(210340 + index)
                           .arg(index == 5 ? 9 : index + 2)
                           .toLatin1());
    }
    planFile.write("A5210346,127.0.0.8,255.0.0.0,127.0.0.1\n");
    planFile.write("A5210399,127.0.0.20,255.0.0.0,127.0.0.1\n");
    planFile.close();
    loggers[6]->endpoint().misbehaviour().silent = true; // powered up later

    auto *commission = view.findChild<PlantCommission *>();
    commission->setChooser([&](QWidget *) {
        return std::optional<CommissionFiles>({profile, plan});
    });
    view.findChild<QPushButton *>(QStringLiteral("plantCommission"))->click();
    QTest::qWait(2500);
    Run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                   directory + QStringLiteral("/plant-commission.png")});
    qInfo("wrote %s/plant-commission.png", qPrintable(directory));
    view.stop();
    QTest::qWait(200);
}

} // namespace

void TakePlantViewPictures(const QString &directory)
{
    std::vector<std::unique_ptr<SimulatedLogger>> loggers;
    quint16 commandPort = 0;
    quint16 searchPort = 0;
    for (int index = 0; index < kLoggers; ++index) {
        loggers.push_back(std::make_unique<SimulatedLogger>(
            QHostAddress(QStringLiteral("127.0.0.%1").arg(index + 2)), commandPort, searchPort,
            LoggerIdentity{"A5" + std::to_string(210340 + index), "V3.2"}, PlantLogger(index)));
        if (!loggers.back()->endpoint().start()) {
            qFatal("substitute logger %d could not bind", index);
        }
        commandPort = loggers.back()->endpoint().commandPort();
        searchPort = loggers.back()->endpoint().searchPort();
    }
    const NetworkSettings network = WindowHarness::LoopbackNetwork(commandPort, searchPort);
    RecordingNotifier notifier;
    MainWindow window(
        notifier, network, Timing{}, [] { return QStringLiteral("127.0.0.1"); },
        [] { return WindowHarness::LoopbackAdapters(); });
    window.move(20, 20);
    window.show();
    FindControl<QPushButton>(window, "btnsearch")->click();
    QTest::qWait(300);

    for (QAction *entry : window.findChild<LoggerListMenu *>()->build().actions()) {
        if (entry->text() == QStringLiteral("Plant view…")) {
            entry->trigger();
        }
    }
    auto *view = window.findChild<PlantViewWindow *>();
    if (view == nullptr) {
        qFatal("no Plant view… in the logger list's menu");
    }
    view->setGeometry(10, 200, 1000, 340);
    view->findChild<QPushButton *>(QStringLiteral("plantReadAll"))->click();
    QTest::qWait(1000);
    // The columns where the odd logger differs.
    auto *table = view->findChild<QTableView *>(QStringLiteral("plantTable"));
    table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->maximum());
    QTest::qWait(400); // let the window manager-less X server paint
    Run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                   directory + QStringLiteral("/plant-view.png")});
    qInfo("wrote %s/plant-view.png", qPrintable(directory));

    // The report's first page as its painter draws it into the PDF, on an A4 landscape
    // picture at 110 dots per inch with the PDF's 12 mm margins.
    constexpr int kDotsPerInch = 110;
    constexpr int kMargin = 12 * kDotsPerInch * 10 / 254;
    QImage page(297 * kDotsPerInch * 10 / 254, 210 * kDotsPerInch * 10 / 254, QImage::Format_RGB32);
    page.setDotsPerMeterX(kDotsPerInch * 10000 / 254);
    page.setDotsPerMeterY(kDotsPerInch * 10000 / 254);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(kMargin, kMargin);
    PaintPlantReport(
        painter, QRect(0, 0, page.width() - 2 * kMargin, page.height() - 2 * kMargin),
        [] { qFatal("the plant does not fit one page"); },
        {QDateTime::currentDateTime(), QStringLiteral("commissioning-laptop (127.0.0.1)")},
        PlantTableText(view->findChild<PlantTableModel *>()->rows()));
    painter.end();
    if (!page.save(directory + QStringLiteral("/plant-report.png"))) {
        qFatal("plant-report.png not written");
    }
    qInfo("wrote %s/plant-report.png", qPrintable(directory));

    TakeApplyPicture(*view, directory);
    TakeCommissionPicture(*view, loggers, directory);
}

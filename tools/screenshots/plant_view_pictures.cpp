#include "plant_view_pictures.h"

#include "commands/system_parameters_codec.h"
#include "simulated_logger.h"
#include "ui/logger_list_menu.h"
#include "ui/main_window.h"
#include "ui/plant_view_window.h"
#include "recording_notifier.h"
#include "window_harness.h"

#include <QMenu>
#include <QProcess>
#include <QPushButton>
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
    system_parameters::BlockControls block{
        "05", "00", "21", "30", "300", index == 5 ? "15" : "5", "3", 1, 1, 1, 1};
    settings.systemParameters.block = system_parameters::BuildBlockWrite(block).substr(2);
    for (int device = 0; device < 2 + index % 2; ++device) {
        settings.devices.devices.push_back(
            {"INV000" + std::to_string(device) + "         0003A1", std::string(84, ' ')});
    }
    return settings;
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
    NetworkSettings network;
    network.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    network.localSetPort = 0;
    network.localSearchPort = 0;
    network.remoteSetPort = commandPort;
    network.remoteSearchPort = searchPort;
    RecordingNotifier notifier;
    MainWindow window(notifier, network, Timing{}, [] { return QStringLiteral("127.0.0.1"); },
                      [] { return WindowHarness::LoopbackAdapters(); });
    window.move(20, 20);
    window.show();
    FindControl<QPushButton>(window, "btnsearch")->click();
    QTest::qWait(300);

    for (QAction *entry : window.findChild<LoggerListMenu *>()->build().actions()) {
        if (entry->text() == QLatin1String("Plant view…")) {
            entry->trigger();
        }
    }
    auto *view = window.findChild<PlantViewWindow *>();
    view->setGeometry(10, 200, 1000, 340);
    view->findChild<QPushButton *>(QStringLiteral("plantReadAll"))->click();
    QTest::qWait(1000);
    Run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                   directory + QStringLiteral("/plant-view.png")});
    qInfo("wrote %s/plant-view.png", qPrintable(directory));

    QTemporaryDir scratch;
    const QString report = scratch.filePath(QStringLiteral("plant-report.pdf"));
    window.setSaveFileChooser([report](QWidget *, const SaveFileRequest &) { return report; });
    view->exportPdf();
    Run(QStringLiteral("convert"),
        {"-density", "110", report + QStringLiteral("[0]"), "-background", "white", "-flatten",
         directory + QStringLiteral("/plant-report.png")});
    qInfo("wrote %s/plant-report.png", qPrintable(directory));
}

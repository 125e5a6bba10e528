// SPDX-License-Identifier: GPL-3.0-or-later
#include "signal_watch_picture.h"

#include "commands/signal_watch.h"
#include "sim_cellular.h"
#include "ui/logger_list_menu.h"
#include "ui/signal_watch_window.h"
#include "window_harness.h"

#include <QDoubleSpinBox>
#include <QMenu>
#include <QProcess>
#include <QTest>

#include <cmath>

namespace {

// A reading every two seconds of the watch's clock: 300 of them fill the ten minutes.
constexpr int kIntervalS = 2;
constexpr int kScreenIntervalMs = 20;
constexpr int kReadings = 300;

// A slow turn of the antenna: the signal climbs to a peak and falls off again, with a
// little noise, two answers lost and one report the modem could not make.
std::vector<std::string> TurnedAntenna()
{
    std::vector<std::string> values;
    for (int reading = 0; reading < kReadings; ++reading) {
        const double phase = double(reading) / kReadings;
        const double level = 9.0 + 17.0 * std::sin(phase * 3.14159) + 1.2 * std::sin(reading * 1.7);
        values.push_back(QString::number(qRound(level)).rightJustified(2, u'0').toStdString());
    }
    values[110] = "";
    values[111] = "";
    values[230] = "99";
    return values;
}

} // namespace

void TakeSignalWatchPicture(const QString &directory)
{
    WindowHarness harness(1, Timing{});
    harness.window().move(20, 20);
    CellularState state;
    state.signalQualitySequence = TurnedAntenna();
    InstallCellularCommands(harness.logger(), state);
    harness.selectLogger();

    auto *watch = harness.window().findChild<SignalWatch *>();
    // Two seconds of the watch's clock pass with each reading, however fast the screen's run.
    const QDateTime start = QDateTime::currentDateTimeUtc();
    watch->setClock(
        [watch, start] { return start.addSecs(kIntervalS * watch->history().takenCount()); });
    for (QAction *action : harness.window().findChild<LoggerListMenu *>()->build().actions()) {
        if (action->text() == QStringLiteral("Watch signal quality…")) {
            action->trigger();
        }
    }
    auto *window = harness.window().findChild<SignalWatchWindow *>();
    window->setGeometry(250, 170, 720, 480);
    window->findChild<QDoubleSpinBox *>(QStringLiteral("signalInterval"))->setValue(kIntervalS);
    watch->setInterval(std::chrono::milliseconds(kScreenIntervalMs));
    if (!QTest::qWaitFor([watch] { return watch->history().takenCount() >= kReadings; }, 30000)) {
        qFatal("the watch took only %d readings", watch->history().takenCount());
    }
    watch->setInterval(std::chrono::minutes(1)); // no reading more while the picture is taken
    QTest::qWait(400);                           // let the window manager-less X server paint

    const QString path = directory + QStringLiteral("/signal-watch.png");
    if (QProcess::execute(QStringLiteral("import"),
                          {QStringLiteral("-window"), QStringLiteral("root"), path}) != 0) {
        qFatal("import failed for %s", qPrintable(path));
    }
    qInfo("wrote %s", qPrintable(path));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/signal_watch.h"
#include "sim_cellular.h"
#include "transport/command_exchange.h"
#include "ui/logger_list_menu.h"
#include "ui/signal_plot.h"
#include "ui/signal_watch_window.h"
#include "window_harness.h"

#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QApplication>
#include <QContextMenuEvent>
#include <QScreen>
#include <QtTest>

using namespace std::chrono_literals;

namespace {

constexpr int kWaitMs = 5000;
// Long beside an answer on loopback, so that no answer is taken for missed on a busy machine.
constexpr auto kInterval = 100ms;
const QDateTime kNow(QDate(2025, 6, 2), QTime(10, 30), Qt::UTC);

// The window with one logger whose reports follow `sequence`, opened from the list's menu
// with the logger selected. The watch reads every kInterval on a clock the test holds.
struct Watched {
    explicit Watched(std::vector<std::string> sequence)
    {
        state.signalQualitySequence = std::move(sequence);
        InstallCellularCommands(harness.logger(), state);
        harness.selectLogger();
        watch = harness.window().findChild<SignalWatch *>();
        watch->setClock([this] { return now; });
        auto *menu = harness.window().findChild<LoggerListMenu *>();
        for (QAction *action : menu->build().actions()) {
            if (action->text() == QStringLiteral("Watch signal quality…")) {
                action->trigger();
            }
        }
        window = harness.window().findChild<SignalWatchWindow *>();
        // Shorter than the window offers, so that a test needs little time.
        watch->setInterval(kInterval);
    }

    template <typename Control> Control *control(const char *name)
    {
        return window->findChild<Control *>(QLatin1String(name));
    }

    QString text(const char *label) { return control<QLabel>(label)->text(); }

    bool formLocked() { return !harness.control<QPushButton>("btnIF")->isEnabled(); }

    // Samples of the watch so far, one letter or value each: "m" missed, else the raw text.
    QStringList taken() const
    {
        QStringList texts;
        for (const SignalSample &sample : watch->history().samples()) {
            texts.append(sample.reading ? QString::fromStdString(sample.reading->raw) : "m");
        }
        return texts;
    }

    WindowHarness harness;
    CellularState state;
    QDateTime now = kNow;
    SignalWatch *watch = nullptr;
    SignalWatchWindow *window = nullptr;
};

// Counts the paint events a widget receives.
class PaintCount : public QObject
{
public:
    explicit PaintCount(QWidget &widget) { widget.installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

} // namespace

class TestSignalWatch : public QObject
{
    Q_OBJECT

private slots:
    // The logger's signal changes at every report and drops one answer in five: each
    // request gives one sample, the levels become the plot's points, the dropped answer a
    // gap that is counted, and the form stays locked until the watch stops.
    void watchReadsThroughTheLockedForm()
    {
        Watched watched({"10", "20", "", "xx", "31"});
        QVERIFY(watched.window && watched.window->isVisible());
        QCOMPARE(watched.window->windowTitle(), QStringLiteral("Signal quality of 127.0.0.2"));
        QTRY_VERIFY_WITH_TIMEOUT(watched.watch->history().takenCount() >= 6, kWaitMs);
        QVERIFY(watched.formLocked());
        QVERIFY(!watched.harness.control<QTreeWidget>("listview1")->isEnabled());
        QVERIFY(watched.harness.control<QPushButton>("btnsearch")->isEnabled());

        watched.control<QPushButton>("signalStartStop")->click();
        QVERIFY(!watched.watch->isRunning());
        QVERIFY(!watched.formLocked());
        QCOMPARE(watched.control<QPushButton>("signalStartStop")->text(), QStringLiteral("Start"));
        const QStringList taken = watched.taken();
        for (qsizetype index = 0; index < taken.size(); ++index) {
            QCOMPARE(taken.at(index), (QStringList{"10", "20", "m", "xx", "31"}.at(index % 5)));
        }
        // One sample a request; only the request out when Stop came may have none.
        const auto requests = qsizetype(watched.harness.logger().requests().size());
        QVERIFY(requests == taken.size() || requests == taken.size() + 1);

        const SignalPlotLayout plot = watched.control<SignalPlot>("signalPlot")->plotLayout();
        QCOMPARE(plot.pointCount() + plot.missed.size() + plot.withoutLevel.size(), taken.size());
        QCOMPARE(plot.missed.size(), taken.count("m"));
        QCOMPARE(plot.runs.first().size(), 2); // 10 and 20, then the gap
        QCOMPARE(watched.text("signalMissed"),
                 QStringLiteral("Missed: %1 of %2").arg(taken.count("m")).arg(taken.size()));
        QVERIFY(watched.text("signalStatistics")
                    .startsWith(QStringLiteral("Last 10 minutes: min -93 dBm (10), mean ")));
        QVERIFY(watched.text("signalStatistics").endsWith(QStringLiteral("max -51 dBm (31)")));

        // Start goes on with the same history and locks the form again.
        watched.control<QPushButton>("signalStartStop")->click();
        QVERIFY(watched.formLocked());
        QTRY_VERIFY_WITH_TIMEOUT(watched.watch->history().takenCount() > taken.size(), kWaitMs);
        QCOMPARE(watched.taken().mid(0, taken.size()), taken);
        watched.window->close();
        QVERIFY(!watched.watch->isRunning());
        QVERIFY(!watched.formLocked());
    }

    // Under a window manager (test_signal_watch_window_manager: openbox on Xvfb) the main
    // window goes on repainting after a watch opened from the list's menu and stopped: what
    // the screen shows of the logger list after a click on another row is what it paints.
    void mainWindowRepaintsAfterTheWatch()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QSKIP("needs an X display with a window manager (test_signal_watch_window_manager)");
        }
        WindowHarness harness(2);
        harness.selectLogger(0);
        harness.selectLogger(1);
        auto *list = harness.control<QTreeWidget>("listview1");
        list->setCurrentItem(list->topLevelItem(0));
        MainWindow &window = harness.window();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint inRow = list->visualItemRect(list->topLevelItem(0)).center();
        QContextMenuEvent request(QContextMenuEvent::Mouse, inRow, list->viewport()->mapToGlobal(inRow));
        QApplication::sendEvent(list->viewport(), &request);
        auto *menu = list->findChild<QMenu *>(QStringLiteral("mnuLoggerList"));
        QTRY_VERIFY(menu->isVisible());
        const QList<QAction *> entries = menu->actions();
        const auto entry = std::find_if(entries.begin(), entries.end(), [](QAction *action) {
            return action->text() == QStringLiteral("Watch signal quality…");
        });
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(*entry).center());
        QTRY_VERIFY(window.findChild<SignalWatchWindow *>() != nullptr);
        auto *watchWindow = window.findChild<SignalWatchWindow *>();
        QVERIFY(QTest::qWaitForWindowExposed(watchWindow));
        QTest::mouseClick(watchWindow->findChild<QPushButton *>("signalStartStop"), Qt::LeftButton);
        watchWindow->close();

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(1)).center());
        QCOMPARE(list->currentItem(), list->topLevelItem(1));
        const QPoint origin = list->mapToGlobal(QPoint(0, 0));
        const auto shown = [&] {
            return window.screen()
                ->grabWindow(0, origin.x(), origin.y(), list->width(), list->height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        QTRY_COMPARE(shown(), list->grab().toImage().convertToFormat(QImage::Format_RGB32));
    }

    // A row chosen just before the watch starts waits to be painted when the form locks;
    // the window's painting is off while that paint is due. Once the watch stops, a row
    // chosen is painted: the main window has not stopped painting.
    void mainWindowPaintsAfterTheLockThatHeldAPaint()
    {
        WindowHarness harness(2);
        harness.selectLogger(0);
        harness.selectLogger(1);
        MainWindow &window = harness.window();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *list = harness.control<QTreeWidget>("listview1");
        list->setCurrentItem(list->topLevelItem(0));
        window.openSignalWatch();
        QCoreApplication::sendPostedEvents(); // the paint due, with the painting off
        window.findChild<SignalWatch *>()->stop();

        PaintCount paints(*list->viewport());
        list->setCurrentItem(list->topLevelItem(1));
        QCoreApplication::sendPostedEvents();
        QVERIFY(paints.count > 0);
    }

    void watchEndsAndUnlocks_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("Stop") << "Stop";
        QTest::newRow("window closed") << "window closed";
        QTest::newRow("Search Logger") << "Search Logger";
    }

    // However the watch ends, no request follows, the form is usable again and an answer
    // still on its way reaches nothing.
    void watchEndsAndUnlocks()
    {
        QFETCH(QString, ending);
        Watched watched({"23"});
        QTRY_VERIFY_WITH_TIMEOUT(watched.watch->history().takenCount() >= 2, kWaitMs);
        QVERIFY(watched.formLocked());
        if (ending == QLatin1String("Stop")) {
            watched.control<QPushButton>("signalStartStop")->click();
        } else if (ending == QLatin1String("window closed")) {
            watched.window->close();
        } else {
            watched.harness.control<QPushButton>("btnsearch")->click();
        }
        QVERIFY(!watched.watch->isRunning());
        QVERIFY(!watched.formLocked());
        QVERIFY(watched.harness.window().exchange().currentCommand() != SignalWatch::kAnswerStep);
        const int taken = watched.watch->history().takenCount();
        const auto requests = watched.harness.logger().requests();
        QTest::qWait(int(3 * kInterval.count()));
        QCOMPARE(watched.harness.logger().requests(), requests);
        QCOMPARE(watched.watch->history().takenCount(), taken);
    }

    // Answers that take twice the interval: no second request goes out while one is
    // out, so none is missed and none is taken for a later request's.
    void slowLoggerIsReadAsOftenAsItAnswers()
    {
        Watched watched({"11", "22"});
        watched.harness.logger().misbehaviour().delayMs = int(2 * kInterval.count());
        QTRY_VERIFY_WITH_TIMEOUT(watched.watch->history().takenCount() >= 4, kWaitMs);
        watched.control<QPushButton>("signalStartStop")->click();
        const QStringList taken = watched.taken();
        QCOMPARE(taken.mid(0, 4), (QStringList{"11", "22", "11", "22"}));
        QCOMPARE(watched.watch->history().missedCount(), 0);
        const auto requests = qsizetype(watched.harness.logger().requests().size());
        QVERIFY(requests == taken.size() || requests == taken.size() + 1);
    }

    void latestReadingShownLarge_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("meaning");
        QTest::addColumn<int>("steps");
        QTest::newRow("level") << "23"
                               << "23"
                               << "-67 dBm" << 4;
        QTest::newRow("unknown") << "99"
                                 << "99"
                                 << "unknown" << 0;
        QTest::newRow("unreadable") << "0x"
                                    << "?"
                                    << "unreadable \"0x\"" << 0;
        QTest::newRow("no answer") << ""
                                   << "–"
                                   << "no answer" << 0;
    }

    void latestReadingShownLarge()
    {
        QFETCH(QString, raw);
        Watched watched({raw.toStdString()});
        QTRY_VERIFY_WITH_TIMEOUT(watched.watch->history().takenCount() >= 2, kWaitMs);
        QTEST(watched.text("signalValue"), "value");
        QTEST(watched.text("signalMeaning"), "meaning");
        QTEST(watched.control<SignalBars>("signalBars")->steps(), "steps");
    }

    // Every reading is a row, a missed one with its reason; the time is when its request
    // went out.
    void savesTheReadingsAsCsv()
    {
        Watched watched({"07", "", "31", "x"}); // "x" is followed by the report's comma
        QTRY_VERIFY_WITH_TIMEOUT(watched.watch->history().takenCount() >= 4, kWaitMs);
        watched.control<QPushButton>("signalStartStop")->click();
        QTemporaryDir directory;
        QString path = directory.filePath(QStringLiteral("signal.csv"));
        watched.harness.window().setSaveFileChooser(
            [&path](QWidget *, const SaveFileRequest &) { return path; });
        watched.control<QPushButton>("signalSave")->click();
        QCOMPARE(watched.text("signalSaveOutcome"), QStringLiteral("Saved to ") + path);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.takeLast(), QByteArray()); // CR LF ends every record
        QCOMPARE(lines.takeFirst(), QByteArray("time,raw,value,dBm,error\r"));
        const QList<QByteArray> expected{"07,7,-99,\r", ",,,missed: no answer within 0.4 s\r",
                                         "31,31,-51,\r", "\"x,\",,,\r"};
        QCOMPARE(lines.size(), watched.taken().size());
        for (qsizetype row = 0; row < lines.size(); ++row) {
            const qsizetype comma = lines.at(row).indexOf(',');
            const QString time = QString::fromLatin1(lines.at(row).left(comma));
            QCOMPARE(QDateTime::fromString(time, Qt::ISODateWithMs), kNow);
            QCOMPARE(lines.at(row).mid(comma + 1), expected.at(row % 4));
        }

        path = directory.filePath(QStringLiteral("missing/signal.csv"));
        watched.control<QPushButton>("signalSave")->click();
        QVERIFY(watched.text("signalSaveOutcome").startsWith(QStringLiteral("Not saved: ")));
    }

    // The menu entry watches the logger selected: a stopped watch of another is not shown.
    void entryOpensTheSelectedLoggersWatch()
    {
        Watched watched({"07"});
        watched.control<QPushButton>("signalStartStop")->click();
        QVERIFY(!watched.watch->isRunning());
        auto *list = watched.harness.control<QTreeWidget>("listview1");
        const std::size_t row = watched.harness.window().loggerList().list(
            {"SN9", QHostAddress(QStringLiteral("127.0.0.9")), "V9"});
        list->setCurrentItem(list->topLevelItem(static_cast<int>(row)));
        watched.harness.window().openSignalWatch();
        QCOMPARE(watched.watch->logger(), QHostAddress(QStringLiteral("127.0.0.9")));
        QTRY_COMPARE(watched.harness.window().findChildren<SignalWatchWindow *>().size(), 1);
        QCOMPARE(watched.harness.window().findChild<SignalWatchWindow *>()->windowTitle(),
                 QStringLiteral("Signal quality of 127.0.0.9"));
        watched.watch->stop();
    }

    // The window's interval is the operator's, from half a second to a minute.
    void intervalIsChosenInTheWindow_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("intervalMs");
        QTest::newRow("2.5 s") << 2.5 << 2500;
        QTest::newRow("below the shortest") << 0.1 << 500;
        QTest::newRow("above the longest") << 90.0 << 60000;
    }

    void intervalIsChosenInTheWindow()
    {
        QFETCH(double, seconds);
        Watched watched({"23"});
        watched.control<QDoubleSpinBox>("signalInterval")->setValue(seconds);
        QTEST(int(watched.watch->interval().count()), "intervalMs");
    }

    // Ten minutes left to right, the scale bottom to top; the plot follows the window's size.
    void plotPlacesReadingsByTimeAndScale()
    {
        const auto sample = [](qint64 secondsBefore, const char *raw) {
            std::optional<cellular::SignalReading> reading;
            if (*raw != '\0') {
                reading = cellular::InterpretSignalQuality(raw);
            }
            return SignalSample{kNow.addSecs(-secondsBefore), reading};
        };
        const SignalPlotLayout layout = LayOutSignalPlot(
            {sample(600, "00"), sample(300, "31"), sample(240, ""), sample(180, "99"),
             sample(0, "31"), sample(-60, "00")}, // the last from a clock set back
            kNow, QRectF(10, 20, 600, 310));
        QCOMPARE(layout.runs, (QList<QPolygonF>{QPolygonF{{10, 330}, {310, 20}},
                                                QPolygonF{{610, 20}, {610, 330}}}));
        QCOMPARE(layout.missed, QList<qreal>{370});
        QCOMPARE(layout.withoutLevel, QList<qreal>{430});

        Watched watched({"15"});
        QTRY_VERIFY_WITH_TIMEOUT(watched.watch->history().takenCount() >= 1, kWaitMs);
        auto *plot = watched.control<SignalPlot>("signalPlot");
        const qreal narrow = plot->plotLayout().runs.first().first().x();
        QCOMPARE(narrow, plot->plotArea().right());
        watched.window->resize(watched.window->size() + QSize(300, 200));
        QTRY_COMPARE(plot->plotLayout().runs.first().first().x(), plot->plotArea().right());
        QVERIFY(plot->plotLayout().runs.first().first().x() > narrow + 250);
    }
};

QTEST_MAIN(TestSignalWatch)
#include "test_signal_watch.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// bench_window: the real window (offscreen) against substitute loggers on loopback.
//
//   round trip  time from the click on btnER to the twelve octet edits filled, beside a
//               bare QUdpSocket echo measured in the same run, interleaved sample by
//               sample; with the part of it the GUI thread spent repainting
//   sweep       time from the click on btnsearch to 254 rows in listview1, with 254
//               loggers on 127.0.0.2 to 127.0.0.255; answers sent against rows listed
//               and against the datagrams the kernel dropped on the search socket
//   stall       the longest lateness of a 1 ms timer on the GUI thread: idle, during a
//               sweep, during a flood of datagrams on the set socket; with the CPU time
//               the GUI thread itself used in that gap, to tell its work from a busy machine
//   memory      resident set size before and after a run of commands
//   plant view  "Read all" of every setting of 254 loggers in the plant view: click to the
//               read finished, the longest stall during it, and the peak resident set
//               with the view open
//
// The traffic log records in every run, as it does in the tool. --traffic-log off detaches
// it from the endpoints (no one listens); --traffic-log window also opens its window,
// which refreshes its table while the figures are taken. Either says so in every figure.
//
// The loggers, the echo peer and the flood sender live in a thread of their own, as a
// device on the LAN would: the GUI thread carries only the tool's own work. Prints one
// Markdown table row per figure on stdout and the details on stderr.

#include "fleet/fleet_run.h"
#include "simulated_logger.h"
#include "transport/command_exchange.h"
#include "transport/notifier.h"
#include "transport/receive_path.h"
#include "transport/udp_endpoints.h"
#include "ui/main_window.h"
#include "ui/plant_table_model.h"
#include "ui/plant_view_window.h"
#include "wirelog/traffic_log.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kLoggerCount = 254; // 127.0.0.2 to 127.0.0.255
const QHostAddress kWindowAddress(QStringLiteral("127.0.0.1"));
const QHostAddress kPeerAddress(QStringLiteral("127.0.0.2"));

struct Options {
    int roundTrips = 1000;
    int sweeps = 20;
    int stallRuns = 5;
    int floodDatagrams = 100000;
    int floodRuns = 3;
    int warmUpCommands = 1000;
    int commands = 10000;
    int plantReads = 9;
    QStringList only; // of round-trip, sweep, stall, memory, plant-view; empty for all
};

// --- Figures and the table ---

double Median(std::vector<double> values)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[index];
}

double Max(const std::vector<double> &values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

double Milliseconds(qint64 nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1e6;
}

// What the traffic log does while the window is measured.
enum class TrafficLogUse { Recording, Off, WindowOpen };
TrafficLogUse g_trafficLog = TrafficLogUse::Recording;

void Row(const QString &figure, const QString &measured, const QString &reference,
         const QString &ratio, const QString &bound, bool met)
{
    const char *verdict = bound.isEmpty() ? "" : met ? "met" : "MISSED";
    const QString shown = g_trafficLog == TrafficLogUse::WindowOpen
                              ? figure + QStringLiteral(", traffic log window open")
                          : g_trafficLog == TrafficLogUse::Off
                              ? figure + QStringLiteral(", no traffic log")
                              : figure;
    std::printf("| %s | %s | %s | %s | %s | %s |\n", qPrintable(shown), qPrintable(measured),
                qPrintable(reference), qPrintable(ratio), qPrintable(bound), verdict);
    std::fflush(stdout);
}

QString Ms(double value, int decimals = 3)
{
    return QStringLiteral("%1 ms").arg(value, 0, 'f', decimals);
}

void Detail(const QString &text)
{
    std::fprintf(stderr, "  %s\n", qPrintable(text));
}

// --- The process and the kernel ---

// A field of /proc/self/status in kB, such as VmRSS or VmHWM.
long StatusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

// Sets the process's peak resident set (VmHWM) back to its present one, so that a later
// peak is that of what runs from here on, not of an earlier figure's windows.
void ResetPeakResidentSet()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1) {
        qFatal("cannot reset the peak resident set through /proc/self/clear_refs");
    }
}

// What the kernel holds for the UDP socket bound to 127.0.0.1:port (/proc/net/udp): the
// bytes waiting in its receive queue and the datagrams it dropped for want of room.
struct KernelSocket {
    bool found = false;
    long queuedBytes = 0;
    long drops = 0;
};

KernelSocket KernelSocketState(quint16 port)
{
    KernelSocket state;
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly)) {
        return state;
    }
    const QByteArray local =
        "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 13 && fields[1] == local) {
            state.found = true;
            state.queuedBytes = fields[4].split(':').value(1).toLong(nullptr, 16);
            state.drops = fields.last().toLong();
        }
    }
    return state;
}

long KernelDrops(quint16 port)
{
    const KernelSocket state = KernelSocketState(port);
    if (!state.found) {
        qFatal("no UDP socket on 127.0.0.1:%u in /proc/net/udp", port);
    }
    return state.drops;
}

// What the tool and the kernel hold for one of the tool's sockets, for a run that did
// not end as it should.
QString SocketDiagnosis(QUdpSocket &socket, const protocol::ReceiveBuffer &buffer)
{
    const KernelSocket kernel = KernelSocketState(socket.localPort());
    return QStringLiteral("Qt sees %1 datagram waiting; the kernel queues %2 bytes and dropped "
                          "%3; the receive buffer holds %4 bytes")
        .arg(socket.hasPendingDatagrams() ? "a" : "no")
        .arg(kernel.queuedBytes)
        .arg(kernel.drops)
        .arg(buffer.contents().size());
}

// The application, with a clock on the repaints: the time the GUI thread spends in
// UpdateRequest events, the step in which Qt paints every widget marked dirty.
class BenchApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (event->type() != QEvent::UpdateRequest || m_depth > 0) {
            return QApplication::notify(receiver, event);
        }
        ++m_depth;
        QElapsedTimer clock;
        clock.start();
        const bool handled = QApplication::notify(receiver, event);
        m_paintNs += clock.nsecsElapsed();
        --m_depth;
        return handled;
    }

    static qint64 PaintNs() { return static_cast<BenchApplication *>(instance())->m_paintNs; }

private:
    int m_depth = 0;
    qint64 m_paintNs = 0;
};

// --- The peers' thread ---

// A thread with its own event loop. Objects created by run() or post() belong to it.
class PeerThread
{
public:
    PeerThread()
    {
        m_context.moveToThread(&m_thread);
        m_thread.start();
    }
    ~PeerThread()
    {
        m_thread.quit();
        m_thread.wait();
    }
    void run(const std::function<void()> &work)
    {
        QMetaObject::invokeMethod(&m_context, work, Qt::BlockingQueuedConnection);
    }
    void post(const std::function<void()> &work)
    {
        QMetaObject::invokeMethod(&m_context, work, Qt::QueuedConnection);
    }

private:
    QThread m_thread;
    QObject m_context;
};

// Substitute loggers on 127.0.0.2 and up, sharing one command port and one search port,
// each answering every command family from its own settings.
class Loggers
{
public:
    Loggers(PeerThread &thread, int count) : m_thread(thread)
    {
        m_thread.run([this, count] {
            quint16 commandPort = 0;
            quint16 searchPort = 0;
            for (int index = 0; index < count; ++index) {
                const QHostAddress address(QStringLiteral("127.0.0.%1").arg(index + 2));
                auto logger = std::make_unique<SimulatedLogger>(
                    address, commandPort, searchPort,
                    LoggerIdentity{Serial(index), "V1." + std::to_string(index)});
                LoggerSim &sim = logger->endpoint();
                if (!sim.start()) {
                    qFatal("substitute logger could not bind %s", qPrintable(address.toString()));
                }
                QObject::connect(
                    &sim, &LoggerSim::datagramSent, &sim,
                    [this] { m_answersSent.fetch_add(1, std::memory_order_relaxed); },
                    Qt::DirectConnection);
                commandPort = sim.commandPort();
                searchPort = sim.searchPort();
                m_loggers.push_back(std::move(logger));
            }
            m_commandPort = commandPort;
            m_searchPort = searchPort;
        });
    }
    ~Loggers()
    {
        m_thread.run([this] { m_loggers.clear(); });
    }

    static std::string Serial(int index) { return "SN" + std::to_string(1000 + index); }

    quint16 commandPort() const { return m_commandPort; }
    quint16 searchPort() const { return m_searchPort; }
    long answersSent() const { return m_answersSent.load(); }

    // The memory the loggers' records of every request received hold: they live in this
    // process too, so they count in its RSS. The vectors' whole capacity, the most the
    // records can add to the RSS.
    long requestLogBytes()
    {
        long bytes = 0;
        m_thread.run([this, &bytes] {
            for (const auto &logger : m_loggers) {
                const std::vector<std::string> &requests = logger->endpoint().requests();
                bytes += static_cast<long>(requests.capacity() * sizeof(std::string));
                for (const std::string &request : requests) {
                    if (request.capacity() > std::string().capacity()) {
                        bytes += static_cast<long>(request.capacity()) + 1;
                    }
                }
            }
        });
        return bytes;
    }

private:
    PeerThread &m_thread;
    std::vector<std::unique_ptr<SimulatedLogger>> m_loggers;
    quint16 m_commandPort = 0;
    quint16 m_searchPort = 0;
    std::atomic<long> m_answersSent{0};
};

// Sends every datagram straight back to its sender.
class EchoPeer
{
public:
    explicit EchoPeer(PeerThread &thread) : m_thread(thread)
    {
        m_thread.run([this] {
            m_socket = std::make_unique<QUdpSocket>();
            if (!m_socket->bind(kPeerAddress, 0)) {
                qFatal("echo peer could not bind");
            }
            QUdpSocket *socket = m_socket.get();
            QObject::connect(socket, &QUdpSocket::readyRead, socket, [socket] {
                while (socket->hasPendingDatagrams()) {
                    const QNetworkDatagram datagram = socket->receiveDatagram();
                    socket->writeDatagram(datagram.data(), datagram.senderAddress(),
                                          static_cast<quint16>(datagram.senderPort()));
                }
            });
            m_port = m_socket->localPort();
        });
    }
    ~EchoPeer()
    {
        m_thread.run([this] { m_socket.reset(); });
    }
    quint16 port() const { return m_port; }

private:
    PeerThread &m_thread;
    std::unique_ptr<QUdpSocket> m_socket;
    quint16 m_port = 0;
};

// --- The window ---

class CountingNotifier : public Notifier
{
public:
    void inform(const QString &) override { ++messages; }
    void warn(const QString &) override { ++messages; }
    bool ask(const QString &) override
    {
        ++messages;
        return false;
    }
    void reportError(const QString &) override { ++messages; }
    int messages = 0;
};

// The production intervals, passed in explicitly as the tests pass theirs.
Timing ProductionTiming()
{
    Timing timing;
    timing.commandTimeoutMs = 5000;
    timing.searchTickMs = 500;
    timing.readBackPauseMs = 1000;
    return timing;
}

class Window
{
public:
    Window(quint16 remoteSetPort, quint16 remoteSearchPort)
    {
        NetworkSettings settings;
        settings.bindAddress = kWindowAddress;
        settings.localSetPort = 0;
        settings.localSearchPort = 0;
        settings.remoteSetPort = remoteSetPort;
        settings.remoteSearchPort = remoteSearchPort;
        m_window = std::make_unique<MainWindow>(m_notifier, settings, ProductionTiming(),
                                                [] { return kWindowAddress.toString(); });
        m_window->show();
        if (g_trafficLog == TrafficLogUse::WindowOpen) {
            m_window->openTrafficLog();
        } else if (g_trafficLog == TrafficLogUse::Off) {
            endpoints().setObserver(nullptr);
        }
        Settle();
    }

    template <typename Control> Control *control(const char *name)
    {
        auto *found = m_window->findChild<Control *>(QLatin1String(name));
        if (found == nullptr) {
            qFatal("no control %s", name);
        }
        return found;
    }

    MainWindow &window() { return *m_window; }
    CountingNotifier &notifier() { return m_notifier; }
    UdpEndpoints &endpoints() { return *m_window->findChild<UdpEndpoints *>(); }

    // Puts the logger on 127.0.0.2 into listview1 and selects it, as a search would.
    void selectFirstLogger()
    {
        auto *list = control<QTreeWidget>("listview1");
        const std::size_t listed = m_window->loggerList().list(
            {QStringLiteral("SN1000"), kPeerAddress, QStringLiteral("V1.0")});
        QTreeWidgetItem *row = list->topLevelItem(static_cast<int>(listed));
        list->setCurrentItem(row);
        row->setSelected(true);
        Settle();
    }

    // Lists the loggers on 127.0.0.2 and up in listview1, as a search would.
    void listLoggers(int count)
    {
        for (int index = 0; index < count; ++index) {
            m_window->loggerList().list({QString::fromStdString(Loggers::Serial(index)),
                                         QHostAddress(QStringLiteral("127.0.0.%1").arg(index + 2)),
                                         QStringLiteral("V1.%1").arg(index)});
        }
        Settle();
    }

    // Lets everything already posted (paints included) run, so that a sample starts on a
    // quiet loop.
    static void Settle()
    {
        for (int pass = 0; pass < 3; ++pass) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

private:
    CountingNotifier m_notifier;
    std::unique_ptr<MainWindow> m_window;
};

// Runs the event loop until `done` is called or the deadline passes; false on the deadline.
bool RunUntil(const std::function<void(const std::function<void()> &done)> &start, int deadlineMs)
{
    QEventLoop loop;
    bool finished = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(deadlineMs);
    start([&] {
        finished = true;
        loop.quit();
    });
    if (!finished) {
        loop.exec();
    }
    return finished;
}

// CPU time the calling thread has used, in ns.
qint64 ThreadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The lateness of a 1 ms repeating timer: how long the GUI thread was kept from it. Beside
// the wall-clock gap, the CPU time the GUI thread itself used within the longest gap: on
// a busy machine the difference is time the thread waited for a core.
struct Stall {
    double wallMs = 0.0; // the longest gap beyond the 1 ms interval: the lateness
    double cpuMs = 0.0;  // CPU time the GUI thread used within that gap
};

class StallProbe
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_longest = {};
        m_clock.start();
        m_last = 0;
        m_lastCpu = ThreadCpuNs();
        m_timer.start();
    }
    // The longest gap between two ticks beyond the 1 ms interval.
    Stall stop()
    {
        m_timer.stop();
        tick();
        return {std::max(0.0, Milliseconds(m_longest.wall) - 1.0), Milliseconds(m_longest.cpu)};
    }

private:
    struct Gap {
        qint64 wall = 0;
        qint64 cpu = 0;
    };
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = ThreadCpuNs();
        if (now - m_last > m_longest.wall) {
            m_longest = {now - m_last, cpu - m_lastCpu};
        }
        m_last = now;
        m_lastCpu = cpu;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_lastCpu = 0;
    Gap m_longest;
};

void Pause(int ms)
{
    RunUntil([ms](const std::function<void()> &done) { QTimer::singleShot(ms, done); }, ms + 1000);
}

// --- Round trip ---

void MeasureRoundTrip(const Options &options)
{
    PeerThread peers;
    Loggers logger(peers, 1);
    EchoPeer echo(peers);
    Window window(logger.commandPort(), logger.searchPort());
    window.selectFirstLogger();

    static constexpr std::array<const char *, 12> kOctetEdits{
        "edtip1",   "edtip2",   "edtip3", "edtip4", "edtmask1", "edtmask2",
        "edtmask3", "edtmask4", "edtgt1", "edtgt2", "edtgt3",   "edtgt4"};
    const std::array<QString, 12> expected{"192", "168", "1",   "100", "255", "255",
                                           "255", "0",   "192", "168", "1",   "1"};
    std::array<QLineEdit *, 12> edits{};
    for (std::size_t index = 0; index < edits.size(); ++index) {
        edits[index] = window.control<QLineEdit>(kOctetEdits[index]);
    }
    auto *button = window.control<QPushButton>("btnER");
    const auto allFilled = [&] {
        for (std::size_t index = 0; index < edits.size(); ++index) {
            if (edits[index]->text() != expected[index]) {
                return false;
            }
        }
        return true;
    };

    QUdpSocket client;
    if (!client.bind(kWindowAddress, 0)) {
        qFatal("echo client could not bind");
    }
    const QByteArray request("\x1B"
                             "ERB2DD\x05");

    QElapsedTimer clock;
    qint64 finishedAt = 0;
    std::function<void()> sampleDone;
    // The ER answer handler fills edtgt4 last.
    QObject::connect(edits.back(), &QLineEdit::textChanged, [&] {
        if (sampleDone && allFilled()) {
            finishedAt = clock.nsecsElapsed();
            std::exchange(sampleDone, nullptr)();
        }
    });
    QObject::connect(&client, &QUdpSocket::readyRead, [&] {
        while (client.hasPendingDatagrams()) {
            client.receiveDatagram();
        }
        if (sampleDone) {
            finishedAt = clock.nsecsElapsed();
            std::exchange(sampleDone, nullptr)();
        }
    });

    struct WindowSample {
        double totalMs = -1.0; // click to the twelve edits filled; -1 without an answer
        double clickMs = 0.0;  // the click handler: selection, lock, timer, frame, send
        double paintMs = 0.0;  // repaints inside the interval
    };
    const auto windowSample = [&]() -> WindowSample {
        for (QLineEdit *edit : edits) {
            edit->clear();
        }
        Window::Settle();
        WindowSample result;
        qint64 clickNs = 0;
        const qint64 paintBefore = BenchApplication::PaintNs();
        const bool answered = RunUntil(
            [&](const std::function<void()> &done) {
                sampleDone = done;
                clock.start();
                button->click();
                clickNs = clock.nsecsElapsed();
            },
            2000);
        sampleDone = nullptr;
        if (answered) {
            result.totalMs = Milliseconds(finishedAt);
            result.clickMs = Milliseconds(clickNs);
            result.paintMs = Milliseconds(BenchApplication::PaintNs() - paintBefore);
        }
        return result;
    };
    const auto echoSample = [&]() -> double {
        Window::Settle();
        const bool answered = RunUntil(
            [&](const std::function<void()> &done) {
                sampleDone = done;
                clock.start();
                client.writeDatagram(request, kPeerAddress, echo.port());
            },
            2000);
        sampleDone = nullptr;
        return answered ? Milliseconds(finishedAt) : -1.0;
    };

    for (int warmUp = 0; warmUp < 50; ++warmUp) {
        windowSample();
        echoSample();
    }
    std::vector<double> tool;
    std::vector<double> unpainted; // each sample without its repaints
    std::vector<double> clicks;
    std::vector<double> paints;
    std::vector<double> bare;
    int lost = 0;
    for (int sample = 0; sample < options.roundTrips; ++sample) {
        const double echoMs = echoSample();
        const WindowSample toolSample = windowSample();
        if (echoMs < 0 || toolSample.totalMs < 0) {
            ++lost;
            continue;
        }
        bare.push_back(echoMs);
        tool.push_back(toolSample.totalMs);
        unpainted.push_back(toolSample.totalMs - toolSample.paintMs);
        clicks.push_back(toolSample.clickMs);
        paints.push_back(toolSample.paintMs);
    }
    const double toolMedian = Median(tool);
    const double bareMedian = Median(bare);
    const double share = toolMedian - bareMedian;
    const double unpaintedShare = Median(unpainted) - bareMedian;
    Detail(QStringLiteral("round trip: %1 samples, %2 lost, %3 messages; ER p90 %4 p99 %5, "
                          "echo p90 %6 p99 %7")
               .arg(tool.size())
               .arg(lost)
               .arg(window.notifier().messages)
               .arg(Ms(Percentile(tool, 0.9)), Ms(Percentile(tool, 0.99)),
                    Ms(Percentile(bare, 0.9)), Ms(Percentile(bare, 0.99))));
    Detail(QStringLiteral("round trip medians: click handler %1, repainting the locked window "
                          "%2, everything but the repaint %3")
               .arg(Ms(Median(clicks)), Ms(Median(paints)), Ms(Median(unpainted))));
    Row(QStringLiteral("ER round trip, click to 12 edits filled (median of %1)").arg(tool.size()),
        Ms(toolMedian), QStringLiteral("UDP echo %1").arg(Ms(bareMedian)),
        QStringLiteral("%1x").arg(toolMedian / bareMedian, 0, 'f', 2), QString(), true);
    Row(QStringLiteral("Tool's own share of the ER round trip (difference of medians)"), Ms(share),
        QString(), QString(), QStringLiteral("< 1 ms"), share < 1.0 && lost == 0);
    Row(QStringLiteral("... of which not the repaint of the locked window (Qt raster painting)"),
        Ms(unpaintedShare), QStringLiteral("repaint %1").arg(Ms(Median(paints))), QString(),
        QStringLiteral("< 1 ms"), unpaintedShare < 1.0 && lost == 0);
}

// --- Sweep, stalls ---

struct SweepOutcome {
    double ms = -1.0;     // click to 254 rows, -1 when they never came
    double halfMs = -1.0; // click to 127 rows
    int rows = 0;
    long answersSent = 0;
    long kernelDrops = 0;
    Stall stall;
};

// One click on btnsearch; waits for every logger's row. With a probe, the click is
// made from inside the event loop so that its own cost counts as a stall too.
SweepOutcome Sweep(Window &window, Loggers &loggers, StallProbe *probe)
{
    auto *list = window.control<QTreeWidget>("listview1");
    auto *button = window.control<QPushButton>("btnsearch");
    const quint16 searchPort = window.endpoints().searchSocket().localPort();
    Window::Settle();

    SweepOutcome outcome;
    const long sentBefore = loggers.answersSent();
    const long dropsBefore = KernelDrops(searchPort);
    QElapsedTimer clock;
    qint64 finishedAt = 0;
    std::function<void()> sweepDone;
    const QMetaObject::Connection rows =
        QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, [&] {
            if (sweepDone && list->topLevelItemCount() == kLoggerCount / 2) {
                outcome.halfMs = Milliseconds(clock.nsecsElapsed());
            }
            if (sweepDone && list->topLevelItemCount() == kLoggerCount) {
                finishedAt = clock.nsecsElapsed();
                std::exchange(sweepDone, nullptr)();
            }
        });
    if (probe != nullptr) {
        probe->start();
    }
    const bool complete = RunUntil(
        [&](const std::function<void()> &done) {
            sweepDone = done;
            if (probe != nullptr) {
                QTimer::singleShot(0, button, [&] {
                    clock.start();
                    button->click();
                });
            } else {
                clock.start();
                button->click();
            }
        },
        3000);
    sweepDone = nullptr;
    QObject::disconnect(rows);
    Pause(30); // stragglers, and the tail of the probe
    if (probe != nullptr) {
        outcome.stall = probe->stop();
    }
    if (list->topLevelItemCount() != kLoggerCount) {
        Detail(QStringLiteral("incomplete sweep, current command '%1': %2")
                   .arg(QString::fromStdString(window.window().exchange().currentCommand()),
                        SocketDiagnosis(window.endpoints().searchSocket(),
                                        window.window().receivePath().searchBuffer())));
    }
    outcome.ms = complete ? Milliseconds(finishedAt) : -1.0;
    outcome.rows = list->topLevelItemCount();
    outcome.answersSent = loggers.answersSent() - sentBefore;
    outcome.kernelDrops = KernelDrops(searchPort) - dropsBefore;
    return outcome;
}

void MeasureSweep(const Options &options)
{
    PeerThread peers;
    Loggers loggers(peers, kLoggerCount);
    Window window(loggers.commandPort(), loggers.searchPort());

    Sweep(window, loggers, nullptr); // warm-up
    std::vector<double> times;
    std::vector<double> firstHalf;
    std::vector<double> secondHalf;
    int complete = 0;
    long sent = 0;
    long listed = 0;
    long drops = 0;
    for (int run = 0; run < options.sweeps; ++run) {
        const SweepOutcome outcome = Sweep(window, loggers, nullptr);
        if (outcome.ms >= 0) {
            times.push_back(outcome.ms);
            firstHalf.push_back(outcome.halfMs);
            secondHalf.push_back(outcome.ms - outcome.halfMs);
        }
        complete += outcome.rows == kLoggerCount ? 1 : 0;
        sent += outcome.answersSent;
        listed += outcome.rows;
        drops += outcome.kernelDrops;
        Detail(QStringLiteral("sweep %1: %2, %3 rows, %4 answers sent, %5 dropped by the kernel")
                   .arg(run + 1)
                   .arg(outcome.ms >= 0 ? Ms(outcome.ms, 1) : QStringLiteral("incomplete"))
                   .arg(outcome.rows)
                   .arg(outcome.answersSent)
                   .arg(outcome.kernelDrops));
    }
    const double median = Median(times);
    // Rows are looked up by a scan of the list, so the later answers scan more rows: equal
    // halves mean the per-answer cost does not grow with the list.
    Detail(QStringLiteral("sweep medians: first %1 rows %2, last %1 rows %3")
               .arg(kLoggerCount / 2)
               .arg(Ms(Median(firstHalf), 1), Ms(Median(secondHalf), 1)));
    Row(QStringLiteral("Sweep of %1 loggers, click to all rows listed (median of %2)")
            .arg(kLoggerCount)
            .arg(options.sweeps),
        Ms(median, 1), QString(), QString(), QStringLiteral("< 300 ms"),
        median < 300.0 && complete == options.sweeps);
    Row(QStringLiteral("Sweeps with all %1 rows listed").arg(kLoggerCount),
        QStringLiteral("%1 of %2 (answers sent %3, rows listed %4, kernel drops %5; worst %6)")
            .arg(complete)
            .arg(options.sweeps)
            .arg(sent)
            .arg(listed)
            .arg(drops)
            .arg(Ms(Max(times), 1)),
        QString(), QString(), QStringLiteral("%1 of %1").arg(options.sweeps),
        complete == options.sweeps);
}

// The median of the runs' longest stalls, their worst, and the GUI thread's own CPU time
// within the longest gap of the median run.
void StallRow(const QString &during, const std::vector<double> &wall,
              const std::vector<double> &cpu, double idleMedian)
{
    const double median = Median(wall);
    const auto medianRun = static_cast<std::size_t>(
        std::min_element(
            wall.begin(), wall.end(),
            [median](double a, double b) { return std::abs(a - median) < std::abs(b - median); }) -
        wall.begin());
    Row(QStringLiteral("Longest event-loop stall during %1 (median of %2 runs)")
            .arg(during)
            .arg(wall.size()),
        QStringLiteral("%1 late (GUI thread busy %2 of that gap)")
            .arg(Ms(median), Ms(cpu.at(medianRun))),
        QStringLiteral("idle loop %1").arg(Ms(idleMedian)),
        QStringLiteral("worst %1").arg(Ms(Max(wall))), QStringLiteral("< 16 ms"), median < 16.0);
}

void MeasureStalls(const Options &options)
{
    PeerThread peers;
    Loggers loggers(peers, kLoggerCount);
    Window window(loggers.commandPort(), loggers.searchPort());
    StallProbe probe;

    // What the machine itself does to a 1 ms timer on an idle loop.
    std::vector<double> idle;
    for (int run = 0; run < options.stallRuns; ++run) {
        probe.start();
        Pause(300);
        idle.push_back(probe.stop().wallMs);
    }
    const double idleMedian = Median(idle);

    Sweep(window, loggers, nullptr); // warm-up
    std::vector<double> sweep;
    std::vector<double> sweepCpu;
    for (int run = 0; run < options.stallRuns; ++run) {
        const SweepOutcome outcome = Sweep(window, loggers, &probe);
        sweep.push_back(outcome.stall.wallMs);
        sweepCpu.push_back(outcome.stall.cpuMs);
        Detail(QStringLiteral("stall during sweep %1: %2 late, GUI thread busy %3 of that gap "
                              "(%4 rows)")
                   .arg(run + 1)
                   .arg(Ms(outcome.stall.wallMs), Ms(outcome.stall.cpuMs))
                   .arg(outcome.rows));
    }
    StallRow(QStringLiteral("a sweep of %1 answers").arg(kLoggerCount), sweep, sweepCpu,
             idleMedian);

    // A flood of valid 50-byte answer frames on the set socket with no command current:
    // every one is read, cut, checked and dropped by the dispatcher.
    QUdpSocket &setSocket = window.endpoints().setSocket();
    const quint16 setPort = setSocket.localPort();
    std::string payload = "R";
    payload.append(43, 'A');
    const std::string frame = LoggerSim::Frame(payload);
    const QByteArray datagram(frame.data(), static_cast<qsizetype>(frame.size()));
    window.window().exchange().clearCurrentCommand();

    std::vector<double> flood;
    std::vector<double> floodCpu;
    for (int run = 0; run < options.floodRuns; ++run) {
        Window::Settle();
        const long dropsBefore = KernelDrops(setPort);
        std::atomic<bool> sent{false};
        QElapsedTimer clock;
        probe.start();
        clock.start();
        peers.post([&] {
            QUdpSocket sender;
            sender.bind(kPeerAddress, 0);
            for (int index = 0; index < options.floodDatagrams; ++index) {
                sender.writeDatagram(datagram, kWindowAddress, setPort);
            }
            sent = true;
        });
        QTimer poll;
        const bool drained = RunUntil(
            [&](const std::function<void()> &done) {
                QObject::connect(&poll, &QTimer::timeout, [&sent, &setSocket, done] {
                    if (sent && !setSocket.hasPendingDatagrams()) {
                        done();
                    }
                });
                poll.start(5);
            },
            60000);
        poll.stop();
        if (!drained) {
            Detail(QStringLiteral("flood %1: the set socket was not drained within 60 s: %2")
                       .arg(run + 1)
                       .arg(SocketDiagnosis(setSocket, window.window().receivePath().setBuffer())));
        }
        peers.run([] {}); // the sender has finished with what it borrowed
        const double floodMs = Milliseconds(clock.nsecsElapsed());
        Pause(20);
        const Stall stall = probe.stop();
        const long drops = KernelDrops(setPort) - dropsBefore;
        flood.push_back(stall.wallMs);
        floodCpu.push_back(stall.cpuMs);
        Detail(QStringLiteral("stall during flood %1: %2 late, GUI thread busy %3 of that gap; "
                              "%4 datagrams in %5, %6 read by the tool, %7 dropped by the kernel")
                   .arg(run + 1)
                   .arg(Ms(stall.wallMs), Ms(stall.cpuMs))
                   .arg(options.floodDatagrams)
                   .arg(Ms(floodMs, 0))
                   .arg(options.floodDatagrams - drops)
                   .arg(drops));
    }
    StallRow(QStringLiteral("a flood of %1 datagrams").arg(options.floodDatagrams), flood, floodCpu,
             idleMedian);
}

// --- Memory ---

void MeasureMemory(const Options &options)
{
    PeerThread peers;
    Loggers logger(peers, 1);
    Window window(logger.commandPort(), logger.searchPort());
    window.selectFirstLogger();
    CommandExchange &exchange = window.window().exchange();
    const std::array<QPushButton *, 3> buttons{window.control<QPushButton>("btnER"),
                                               window.control<QPushButton>("btnR1"),
                                               window.control<QPushButton>("btnMR")};
    int unanswered = 0;
    const auto runCommands = [&](int count) {
        for (int index = 0; index < count; ++index) {
            buttons[static_cast<std::size_t>(index) % buttons.size()]->click();
            QElapsedTimer waited;
            waited.start();
            while (!exchange.currentCommand().empty() && waited.elapsed() < 2000) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            if (!exchange.currentCommand().empty()) {
                ++unanswered;
            }
        }
        Window::Settle();
    };
    runCommands(options.warmUpCommands);
    if (g_trafficLog != TrafficLogUse::Off) {
        // The traffic log grows until it holds its datagrams, then stays. Filled first, it
        // leaves the growth below to what would leak; its own share is a row of its own.
        const TrafficLog &log = window.window().trafficLog();
        const auto heldBefore = static_cast<long>(log.size());
        const long rssBefore = StatusKilobytes("VmRSS");
        runCommands(static_cast<int>(TrafficLog::kMaxDatagrams - log.size()) / 2 + 1);
        const long filledKb = StatusKilobytes("VmRSS") - rssBefore;
        const long added = static_cast<long>(log.size()) - heldBefore;
        const long perDatagram = added > 0 ? filledKb * 1024 / added : 0;
        Row(QStringLiteral("RSS growth while the traffic log filled from %1 to %2 datagrams")
                .arg(heldBefore)
                .arg(log.size()),
            QStringLiteral("%1 kB (%2 bytes a datagram)").arg(filledKb).arg(perDatagram),
            QString(), QString(), QStringLiteral("<= 512 bytes a datagram"),
            log.size() == TrafficLog::kMaxDatagrams && perDatagram <= 512);
    }
    const long before = StatusKilobytes("VmRSS");
    const long logBefore = logger.requestLogBytes();
    runCommands(options.commands);
    const long after = StatusKilobytes("VmRSS");
    const long logGrowthKb = (logger.requestLogBytes() - logBefore) / 1024;
    const long growth = after - before;
    Detail(QStringLiteral("memory: RSS %1 kB after %2 warm-up commands, %3 kB after %4 more; "
                          "the substitute logger's request log grew by up to %5 kB; "
                          "%6 unanswered, %7 messages")
               .arg(before)
               .arg(options.warmUpCommands)
               .arg(after)
               .arg(options.commands)
               .arg(logGrowthKb)
               .arg(unanswered)
               .arg(window.notifier().messages));
    Row(QStringLiteral("RSS growth over %1 commands (ER, R3, MR in turn)").arg(options.commands),
        QStringLiteral("%1 kB (%2 to %3 kB)").arg(growth).arg(before).arg(after),
        QStringLiteral("in-process logger's request log up to +%1 kB").arg(logGrowthKb), QString(),
        QStringLiteral("<= 1024 kB"), growth <= 1024 && unanswered == 0);
}

// --- The plant view ---

struct PlantRead {
    double ms = -1.0; // click to the read finished, -1 when it did not within the deadline
    fleet::RunProgress progress;
    int rowsDone = 0; // rows of the table read without a failure
    Stall stall;
};

// One click on "Read all"; waits for the read to finish. With a probe, the click is made
// from inside the event loop so that its own cost counts as a stall too.
PlantRead ReadPlant(PlantViewWindow &view, StallProbe *probe)
{
    auto *button = view.findChild<QPushButton *>(QStringLiteral("plantReadAll"));
    auto *run = view.findChild<fleet::FleetRun *>();
    const auto *model = view.findChild<PlantTableModel *>();
    if (button == nullptr || run == nullptr || model == nullptr) {
        qFatal("the plant view has no Read all, fleet run or table model");
    }
    Window::Settle();

    PlantRead outcome;
    QElapsedTimer clock;
    qint64 finishedAt = 0;
    std::function<void()> readDone;
    const QMetaObject::Connection progressed = QObject::connect(
        run, &fleet::FleetRun::progressed,
        [&outcome](const fleet::RunProgress &progress) { outcome.progress = progress; });
    // Connected after the view's own handler, so the time includes the view's work at the end.
    const QMetaObject::Connection finished = QObject::connect(run, &fleet::FleetRun::finished, [&] {
        finishedAt = clock.nsecsElapsed();
        if (readDone) {
            std::exchange(readDone, nullptr)();
        }
    });
    if (probe != nullptr) {
        probe->start();
    }
    const bool complete = RunUntil(
        [&](const std::function<void()> &done) {
            readDone = done;
            QTimer::singleShot(0, button, [&] {
                clock.start();
                button->click();
            });
        },
        30000);
    readDone = nullptr;
    QObject::disconnect(progressed);
    QObject::disconnect(finished);
    Pause(30); // the repaint of the last rows, and the tail of the probe
    if (probe != nullptr) {
        outcome.stall = probe->stop();
    }
    outcome.ms = complete ? Milliseconds(finishedAt) : -1.0;
    for (const PlantRow &row : model->rows()) {
        outcome.rowsDone += row.state == ReadState::Done ? 1 : 0;
    }
    return outcome;
}

void MeasurePlantView(const Options &options)
{
    ResetPeakResidentSet();
    PeerThread peers;
    Loggers loggers(peers, kLoggerCount);
    const long beforeWindowKb = StatusKilobytes("VmRSS");
    Window window(loggers.commandPort(), loggers.searchPort());
    window.listLoggers(kLoggerCount);
    window.window().openPlantView();
    auto *view = window.window().findChild<PlantViewWindow *>();
    if (view == nullptr) {
        qFatal("Plant view did not open");
    }
    const auto describe = [](const PlantRead &read) {
        return QStringLiteral("%1, %2 of %3 done, %4 failed, %5 rows read")
            .arg(read.ms >= 0 ? Ms(read.ms, 1) : QStringLiteral("unfinished"))
            .arg(read.progress.done)
            .arg(read.progress.total)
            .arg(read.progress.failed)
            .arg(read.rowsDone);
    };
    const auto whole = [](const PlantRead &read) {
        return read.ms >= 0 && read.rowsDone == kLoggerCount && read.progress.failed == 0;
    };

    Detail(QStringLiteral("plant view warm-up read: %1").arg(describe(ReadPlant(*view, nullptr))));
    std::vector<double> times;
    int wholeReads = 0;
    for (int run = 0; run < options.plantReads; ++run) {
        const PlantRead read = ReadPlant(*view, nullptr);
        if (read.ms >= 0) {
            times.push_back(read.ms);
        }
        wholeReads += whole(read) ? 1 : 0;
        Detail(QStringLiteral("plant view read %1: %2").arg(run + 1).arg(describe(read)));
    }
    const double median = Median(times);
    Row(QStringLiteral("Plant view, Read all of every setting of %1 loggers, click to read "
                       "finished (median of %2)")
            .arg(kLoggerCount)
            .arg(options.plantReads),
        QStringLiteral("%1, %2 of %3 reads with all rows read")
            .arg(Ms(median, 1))
            .arg(wholeReads)
            .arg(options.plantReads),
        QString(), QStringLiteral("worst %1").arg(Ms(Max(times), 1)),
        QStringLiteral("< 1500 ms, every read whole"),
        median < 1500.0 && wholeReads == options.plantReads);

    StallProbe probe;
    std::vector<double> idle;
    for (int run = 0; run < options.stallRuns; ++run) {
        probe.start();
        Pause(300);
        idle.push_back(probe.stop().wallMs);
    }
    std::vector<double> stalls;
    std::vector<double> stallCpu;
    for (int run = 0; run < options.stallRuns; ++run) {
        const PlantRead read = ReadPlant(*view, &probe);
        stalls.push_back(read.stall.wallMs);
        stallCpu.push_back(read.stall.cpuMs);
        Detail(QStringLiteral("stall during plant view read %1: %2 late, GUI thread busy %3 of "
                              "that gap (%4)")
                   .arg(run + 1)
                   .arg(Ms(read.stall.wallMs), Ms(read.stall.cpuMs), describe(read)));
    }
    StallRow(QStringLiteral("a plant view Read all of %1 loggers").arg(kLoggerCount), stalls,
             stallCpu, Median(idle));

    // The loggers live in this process too: what it held before the window was made is
    // their share and the program's, an upper bound on what is not the window's.
    const double peakMb = static_cast<double>(StatusKilobytes("VmHWM")) / 1024.0;
    Row(QStringLiteral("Peak RSS with the plant view open, after its reads of %1 loggers")
            .arg(kLoggerCount),
        QStringLiteral("%1 MB").arg(peakMb, 0, 'f', 1),
        QStringLiteral("before the window (in-process loggers) %1 MB")
            .arg(static_cast<double>(beforeWindowKb) / 1024.0, 0, 'f', 1),
        QString(), QStringLiteral("< 100 MB"), peakMb < 100.0);
}

struct NumberOption {
    const char *name;
    int Options::*field;
};

const std::array<NumberOption, 8> kNumberOptions{{
    {"--round-trips", &Options::roundTrips},
    {"--sweeps", &Options::sweeps},
    {"--stall-runs", &Options::stallRuns},
    {"--flood", &Options::floodDatagrams},
    {"--flood-runs", &Options::floodRuns},
    {"--commands", &Options::commands},
    {"--warm-up-commands", &Options::warmUpCommands},
    {"--plant-reads", &Options::plantReads},
}};

Options ParseOptions(const QStringList &arguments)
{
    Options options;
    for (int index = 1; index < arguments.size(); ++index) {
        const QString &argument = arguments[index];
        const QString value = index + 1 < arguments.size() ? arguments[index + 1] : QString();
        const auto numberOption = std::find_if(
            kNumberOptions.begin(), kNumberOptions.end(),
            [&](const NumberOption &option) { return argument == QLatin1String(option.name); });
        if (numberOption != kNumberOptions.end()) {
            options.*(numberOption->field) = value.toInt();
            ++index;
        } else if (argument == QLatin1String("--only")) {
            options.only = value.split(QLatin1Char(','));
            ++index;
        } else if (argument == QLatin1String("--traffic-log") && value == QLatin1String("off")) {
            g_trafficLog = TrafficLogUse::Off;
            ++index;
        } else if (argument == QLatin1String("--traffic-log") && value == QLatin1String("window")) {
            g_trafficLog = TrafficLogUse::WindowOpen;
            ++index;
        } else {
            std::fprintf(stderr,
                         "usage: bench_window [--round-trips N] [--sweeps N] [--stall-runs N] "
                         "[--flood N] [--flood-runs N] [--commands N] [--warm-up-commands N] "
                         "[--plant-reads N] [--only FIGURE[,FIGURE...]] (round-trip, sweep, stall, "
                         "memory, plant-view) "
                         "[--traffic-log off|window]\n");
            std::exit(2);
        }
    }
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    BenchApplication application(argc, argv);
    const Options options = ParseOptions(QCoreApplication::arguments());
    const auto wanted = [&options](const char *name) {
        return options.only.isEmpty() || options.only.contains(QLatin1String(name));
    };
    if (wanted("round-trip")) {
        MeasureRoundTrip(options);
    }
    if (wanted("sweep")) {
        MeasureSweep(options);
    }
    if (wanted("stall")) {
        MeasureStalls(options);
    }
    if (wanted("memory")) {
        MeasureMemory(options);
    }
    if (wanted("plant-view")) {
        MeasurePlantView(options);
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile and faulty traffic on loopback: floods on both ports while the window must stay
// responsive and bounded, and answers that arrive twice, late, reversed or cut up.

#include "protocol/frame.h"
#include "protocol/receive_buffer.h"
#include "sim_devices.h"
#include "sim_network.h"
#include "transport/command_exchange.h"
#include "transport/receive_path.h"
#include "transport/udp_endpoints.h"
#include "window_harness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

namespace {

constexpr int kWaitMs = 3000;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

// Datagrams per port and flood. The kernel drops what the window cannot take in time,
// so the sanitizers' slower reading costs no test time.
constexpr int kFloodDatagrams = 100000;

// The longest the GUI thread may leave a 1 ms timer waiting while a flood runs. A run
// handles one datagram; a slow shared 2-core machine still keeps well inside this.
constexpr qint64 kLongestTimerGapMs = 250;

// What the process may grow by during one flood: the window keeps no history, so this
// is allocator slack. The address sanitizer also keeps freed memory in quarantine, up to
// 256 MB by default, before it reuses any.
constexpr qint64 kRssGrowthBoundKb = (kUnderAddressSanitizer ? 256 + 8 : 8) * 1024;

const QHostAddress kWindowAddress(QStringLiteral("127.0.0.1"));

qint64 ResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

// The datagrams the kernel has dropped so far on the loopback socket bound to this port,
// because its receive queue was full: /proc/net/udp's last column.
qint64 KernelDrops(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray local =
        "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 12 && fields.at(1) == local) {
            return fields.last().toLongLong();
        }
    }
    return -1;
}

// Sends datagrams from its own thread, as fast as the socket takes them, from a loopback
// address of its own to one port of the window.
class Flood
{
public:
    Flood(const char *source, quint16 port, std::vector<std::string> datagrams, int count)
    {
        m_thread = std::thread([this, source, port, payloads = std::move(datagrams), count] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in from{};
            from.sin_family = AF_INET;
            ::inet_pton(AF_INET, source, &from.sin_addr);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
            if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) == 0) {
                for (int index = 0; index < count; ++index) {
                    const std::string &bytes =
                        payloads[static_cast<std::size_t>(index) % payloads.size()];
                    if (::sendto(fd, bytes.data(), bytes.size(), 0,
                                 reinterpret_cast<sockaddr *>(&to),
                                 sizeof to) == static_cast<ssize_t>(bytes.size())) {
                        m_sent.fetch_add(1);
                    }
                }
            }
            if (fd >= 0) {
                ::close(fd);
            }
            m_done = true;
        });
    }
    ~Flood() { m_thread.join(); }

    bool done() const { return m_done; }
    int sent() const { return m_sent; }

private:
    std::atomic<bool> m_done{false};
    std::atomic<int> m_sent{0};
    std::thread m_thread;
};

// The lateness of a 1 ms timer on the GUI thread, and the fullest the receive buffers got.
class Watch : public QObject
{
public:
    explicit Watch(const ReceivePath &path) : m_path(path)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longestGapMs = std::max(m_longestGapMs, m_sinceLastTick.restart());
            m_fullestBuffer = std::max({m_fullestBuffer, m_path.setBuffer().contents().size(),
                                        m_path.searchBuffer().contents().size()});
        });
        m_sinceLastTick.start();
        m_timer.start();
    }

    qint64 longestGapMs() const { return m_longestGapMs; }
    std::size_t fullestBuffer() const { return m_fullestBuffer; }

private:
    const ReceivePath &m_path;
    QTimer m_timer;
    QElapsedTimer m_sinceLastTick;
    qint64 m_longestGapMs = 0;
    std::size_t m_fullestBuffer = 0;
};

// Bytes with no ENQ and no zero byte (a zero would end the datagram early), each datagram
// holding an ESC, so that the set buffer always ends on a frame that never closes.
std::vector<std::string> GarbageWithoutEnq()
{
    std::mt19937 random(20240611);
    std::vector<std::string> datagrams;
    for (int index = 0; index < 64; ++index) {
        std::string bytes(static_cast<std::size_t>(1 + random() % 1400), 'x');
        for (char &byte : bytes) {
            do {
                byte = static_cast<char>(random() % 256);
            } while (byte == protocol::kEnq || byte == '\0');
        }
        bytes[random() % bytes.size()] = protocol::kEsc;
        datagrams.push_back(bytes);
    }
    return datagrams;
}

std::vector<std::string> ValidFrames()
{
    return {protocol::BuildFrame("R192.168.1.100,255.255.255.0,192.168.1.1,6001"),
            protocol::BuildFrame("R00-1A-2B-3C-4D-5E"), protocol::BuildFrame("RDE"),
            protocol::BuildFrame("R" + std::string(1000, 'A'))};
}

std::vector<std::string> DiscoveryAnswers()
{
    return {"\x1B"
            "FLOOD1#V9.9\x05",
            "\x1B"
            "FLOOD2#\xFF\xFB\x05",
            "\x1B#empty serial\x05"};
}

// The real window and a logger that answers the network and device commands.
struct Fixture {
    NetworkState network;
    DeviceRegistryState devices;
    WindowHarness harness;

    explicit Fixture(const Timing &timing = WindowHarness::FastTiming()) : harness(1, timing)
    {
        InstallNetworkCommands(harness.logger(), network);
        InstallDeviceCommands(harness.logger(), devices);
        harness.selectLogger();
    }

    CommandExchange &exchange() { return harness.window().exchange(); }
    ReceivePath &path() { return harness.window().receivePath(); }
    const std::vector<std::string> &requests() { return harness.logger().requests(); }
    QLineEdit *edit(const char *name) { return harness.control<QLineEdit>(name); }
    void click(const char *button) { harness.control<QPushButton>(button)->click(); }
    bool locked() { return !harness.control<QPushButton>("btnER")->isEnabled(); }

    QString address()
    {
        QStringList octets;
        for (int index = 1; index <= 4; ++index) {
            octets.append(edit(qPrintable(QStringLiteral("edtip%1").arg(index)))->text());
        }
        return octets.join('.');
    }

    // Sends raw bytes to the window's set port from the logger's command port.
    void answerRaw(const std::string &bytes)
    {
        harness.logger().sendFromCommandPort(bytes, kWindowAddress, harness.windowSetPort());
    }

    bool socketsDrained()
    {
        auto &endpoints = *harness.window().findChild<UdpEndpoints *>();
        return !endpoints.setSocket().hasPendingDatagrams() &&
               !endpoints.searchSocket().hasPendingDatagrams();
    }
};

} // namespace

class TestHostileTraffic : public QObject
{
    Q_OBJECT

private slots:
    void floodLeavesTheWindowResponsiveAndBounded_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("searching");
        QTest::newRow("garbage without ENQ") << "garbage" << false;
        QTest::newRow("valid frames for no current command") << "frames" << false;
        QTest::newRow("discovery answers outside a search") << "discovery" << false;
        QTest::newRow("discovery answers during a search") << "discovery" << true;
    }

    void floodLeavesTheWindowResponsiveAndBounded()
    {
        QFETCH(QString, kind);
        QFETCH(bool, searching);
        Fixture fixture;
        const std::vector<std::string> datagrams =
            kind == QLatin1String("garbage")  ? GarbageWithoutEnq()
            : kind == QLatin1String("frames") ? ValidFrames()
                                              : DiscoveryAnswers();
        if (searching) {
            fixture.harness.logger().setDiscoveryAnswer(std::string()); // only the flood answers
            fixture.click("btnsearch");
        }
        QTest::qWait(50);
        const qint64 residentBefore = ResidentKb();
        const qint64 dropsBefore = KernelDrops(fixture.harness.windowSetPort()) +
                                   KernelDrops(fixture.harness.windowSearchPort());

        QElapsedTimer clock;
        clock.start();
        int sent = 0;
        qint64 longestGapMs = 0;
        std::size_t fullestBuffer = 0;
        {
            Watch watch(fixture.path());
            Flood onSetPort("127.0.0.20", fixture.harness.windowSetPort(), datagrams,
                            kFloodDatagrams);
            Flood onSearchPort("127.0.0.21", fixture.harness.windowSearchPort(), datagrams,
                               kFloodDatagrams);
            QTRY_VERIFY_WITH_TIMEOUT(onSetPort.done() && onSearchPort.done(), 60000);
            QTRY_VERIFY_WITH_TIMEOUT(fixture.socketsDrained(), 10000);
            QTest::qWait(20);
            sent = onSetPort.sent() + onSearchPort.sent();
            longestGapMs = watch.longestGapMs();
            fullestBuffer = watch.fullestBuffer();
        }
        const qint64 elapsedMs = std::max<qint64>(clock.elapsed(), 1);
        const qint64 growthKb = ResidentKb() - residentBefore;
        const qint64 dropped = KernelDrops(fixture.harness.windowSetPort()) +
                               KernelDrops(fixture.harness.windowSearchPort()) - dropsBefore;
        qInfo("%s%s: %d datagrams sent in %lld ms (%lld/s), %lld read by the window, "
              "longest 1 ms timer gap %lld ms, fullest buffer %zu bytes, RSS %+lld KiB",
              qPrintable(kind), searching ? " (searching)" : "", sent, elapsedMs,
              sent * 1000LL / elapsedMs, sent - dropped, longestGapMs, fullestBuffer, growthKb);

        QCOMPARE(sent, 2 * kFloodDatagrams);
        QVERIFY2(longestGapMs <= kLongestTimerGapMs, qPrintable(QString::number(longestGapMs)));
        QVERIFY(fullestBuffer <= protocol::ReceiveBuffer::kDefaultCapacity);
        QVERIFY2(growthKb <= kRssGrowthBoundKb, qPrintable(QString::number(growthKb)));
        QVERIFY(fixture.harness.notifier().all().isEmpty());
        QVERIFY(fixture.requests().empty());

        auto *loggers = fixture.harness.control<QTreeWidget>("listview1");
        if (searching) {
            // One row per sender, never one per answer; only the search port's sender lists.
            QCOMPARE(loggers->topLevelItemCount(), 1);
            QCOMPARE(loggers->topLevelItem(0)->text(1), QStringLiteral("127.0.0.21"));
            fixture.harness.selectLogger(); // back to the substitute logger
        } else {
            QCOMPARE(loggers->topLevelItemCount(), 1); // the selected logger's row alone
        }

        // An ordinary command still completes at once. Garbage leaves its sender's buffer
        // holding an ESC that no ENQ closed; the logger's answer goes to a buffer of its
        // own and is never glued to it.
        QCOMPARE(fixture.path().setBuffer().contents().starts_with(protocol::kEsc),
                 kind == QLatin1String("garbage"));
        fixture.click("btnER");
        QTRY_COMPARE_WITH_TIMEOUT(fixture.address(), QStringLiteral("192.168.1.100"), kWaitMs);
        QVERIFY(!fixture.locked());
        QCOMPARE(fixture.requests().size(), std::size_t{1});
        QVERIFY(fixture.harness.notifier().all().isEmpty());
    }

    void answerInTwoDatagramsShowsItsMessageOnce()
    {
        Fixture fixture;
        fixture.click("btnDE");
        QTRY_COMPARE_WITH_TIMEOUT(fixture.harness.notifier().informed,
                                  QStringList{QStringLiteral("Delete all devices successful")},
                                  kWaitMs);
        fixture.answerRaw(protocol::BuildFrame("RDE"));
        QTest::qWait(100);
        QCOMPARE(fixture.harness.notifier().informed.size(), 1);
        QCOMPARE(fixture.requests(), std::vector<std::string>{"DEAA55"});
        QVERIFY(fixture.exchange().currentCommand().empty());
    }

    void lateAnswerAfterAnotherCommandStarted_data()
    {
        QTest::addColumn<bool>("newAnswerFirst");
        QTest::addColumn<QString>("mac");
        QTest::newRow("late answer after the new command's own: dropped")
            << true << "00-1A-2B-3C-4D-5E";
        QTest::newRow("late answer before the new command's own: taken as its answer")
            << false << "192.168.1.100,255.255.255.0,192.168.1.1";
    }

    void lateAnswerAfterAnotherCommandStarted()
    {
        QFETCH(bool, newAnswerFirst);
        QFETCH(QString, mac);
        Fixture fixture;
        const int timeoutMs = WindowHarness::FastTiming().commandTimeoutMs;
        fixture.harness.logger().misbehaviour().delayMs = timeoutMs + 300;
        fixture.click("btnER");
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.locked(), kWaitMs); // timed out, "ER" still current
        QCOMPARE(fixture.exchange().currentCommand(), std::string("ER"));

        fixture.harness.logger().misbehaviour().delayMs = newAnswerFirst ? 0 : 2 * timeoutMs;
        fixture.click("btnMR");
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.edit("EDTMAC")->text().isEmpty(), kWaitMs);
        QTest::qWait(newAnswerFirst ? 500 : 2 * timeoutMs + 200); // the other answer arrives

        QCOMPARE(fixture.edit("EDTMAC")->text(), mac);
        QCOMPARE(fixture.address(), QStringLiteral("..."));
        QCOMPARE(fixture.requests(), (std::vector<std::string>{"ER", "MR"}));
        QVERIFY(fixture.exchange().currentCommand().empty());
        QVERIFY(fixture.harness.notifier().all().isEmpty());
    }

    void answerSplitAtAnyByteIsHandledOnce()
    {
        Fixture fixture;
        const std::string frame = protocol::BuildFrame("R00-1A-2B-3C-4D-5E");
        int handled = 0;
        fixture.exchange().registerAnswerHandler("MR", [&](const std::string &payload) {
            fixture.exchange().clearCurrentCommand();
            fixture.edit("EDTMAC")->setText(QString::fromStdString(payload));
            ++handled;
        });
        for (std::size_t cut = 1; cut < frame.size(); ++cut) {
            fixture.edit("EDTMAC")->clear();
            fixture.exchange().setCurrentCommand("MR");
            fixture.answerRaw(frame.substr(0, cut));
            fixture.answerRaw(frame.substr(cut));
            QTRY_COMPARE_WITH_TIMEOUT(handled, static_cast<int>(cut), kWaitMs);
            QCOMPARE(fixture.edit("EDTMAC")->text(), QStringLiteral("R00-1A-2B-3C-4D-5E"));
            QVERIFY(fixture.path().setBuffer().contents().empty());
        }
        QTest::qWait(50);
        QCOMPARE(handled, static_cast<int>(frame.size()) - 1);
    }

    void halvesInReverseOrderCostThisAnswerAndTheNext()
    {
        Fixture fixture;
        const std::string frame = protocol::BuildFrame("R00-1A-2B-3C-4D-5E");
        const std::size_t half = frame.size() / 2;
        fixture.exchange().setCurrentCommand("MR");
        fixture.answerRaw(frame.substr(half));
        QTest::qWait(30);
        fixture.answerRaw(frame.substr(0, half));
        QTRY_COMPARE_WITH_TIMEOUT(fixture.path().setBuffer().contents(), frame.substr(0, half),
                                  kWaitMs);

        // The open frame swallows the next complete one: one long candidate, wrong CRC.
        fixture.answerRaw(frame);
        QTRY_VERIFY_WITH_TIMEOUT(fixture.path().setBuffer().contents().empty(), kWaitMs);
        QVERIFY(fixture.edit("EDTMAC")->text().isEmpty());
        QCOMPARE(fixture.exchange().currentCommand(), std::string("MR"));

        fixture.answerRaw(frame);
        QTRY_COMPARE_WITH_TIMEOUT(fixture.edit("EDTMAC")->text(),
                                  QStringLiteral("00-1A-2B-3C-4D-5E"), kWaitMs);
        QVERIFY(fixture.harness.notifier().all().isEmpty());
    }

    void datagramsBeyondTheDatagramAreaAreLostWhole_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("mac");
        QTest::newRow("10230 bytes: read") << 10230 << "FIRST";
        QTest::newRow("10231 bytes: lost") << 10231 << "SECOND";
    }

    void datagramsBeyondTheDatagramAreaAreLostWhole()
    {
        QFETCH(int, size);
        QFETCH(QString, mac);
        Fixture fixture;
        const std::string frame = protocol::BuildFrame("RFIRST");
        fixture.exchange().setCurrentCommand("MR");
        fixture.answerRaw(std::string(static_cast<std::size_t>(size) - frame.size(), 'x') + frame);
        QTest::qWait(50);
        fixture.answerRaw(protocol::BuildFrame("RSECOND")); // dropped when the first was read
        QTRY_VERIFY_WITH_TIMEOUT(fixture.exchange().currentCommand().empty(), kWaitMs);
        QTest::qWait(50);
        QCOMPARE(fixture.edit("EDTMAC")->text(), mac);
    }

    void lowerCaseCrcIsDroppedAndNothingIsSentAgain()
    {
        Fixture fixture;
        fixture.harness.logger().misbehaviour().lowerCaseCrc = true;
        fixture.click("btnDE");
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.locked(), kWaitMs);
        QTest::qWait(200);
        QCOMPARE(fixture.requests(), std::vector<std::string>{"DEAA55"});
        QVERIFY(fixture.harness.notifier().all().isEmpty());
        QCOMPARE(fixture.exchange().currentCommand(), std::string("DE"));
        QVERIFY(fixture.path().setBuffer().contents().empty());
    }

    void discoveryAnswerSplitOverTwoSendersListsTheSecond()
    {
        Fixture fixture;
        fixture.harness.logger().setDiscoveryAnswer(std::string());
        fixture.click("btnsearch");
        QUdpSocket first;
        QUdpSocket second;
        QVERIFY(first.bind(QHostAddress(QStringLiteral("127.0.0.30")), 0));
        QVERIFY(second.bind(QHostAddress(QStringLiteral("127.0.0.31")), 0));
        first.writeDatagram(QByteArray("\x1BSPL"), kWindowAddress,
                            fixture.harness.windowSearchPort());
        QTest::qWait(30);
        second.writeDatagram(QByteArray("IT#V5\x05"), kWindowAddress,
                             fixture.harness.windowSearchPort());

        auto *loggers = fixture.harness.control<QTreeWidget>("listview1");
        QTRY_COMPARE_WITH_TIMEOUT(loggers->topLevelItemCount(), 1, kWaitMs);
        QCOMPARE(loggers->topLevelItem(0)->text(0), QStringLiteral("SPLIT"));
        QCOMPARE(loggers->topLevelItem(0)->text(1), QStringLiteral("127.0.0.31"));
        QCOMPARE(loggers->topLevelItem(0)->text(2), QStringLiteral("V5"));
    }
};

QTEST_MAIN(TestHostileTraffic)
#include "test_hostile_traffic.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"
#include "wirelog/pcap_capture.h"
#include "wirelog/traffic_log.h"
#include "ui/traffic_log_model.h"
#include "ui/traffic_log_window.h"
#include "window_harness.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <utility>

namespace {

constexpr int kWaitMs = 3000;
const QHostAddress kWindowAddress(QStringLiteral("127.0.0.1"));

// The log's datagrams of one direction and socket, oldest first.
std::vector<ObservedDatagram> Recorded(const TrafficLog &log, ObservedDatagram::Direction direction,
                                       ObservedDatagram::Endpoint endpoint)
{
    std::vector<ObservedDatagram> found;
    for (std::size_t index = 0; index < log.size(); ++index) {
        const ObservedDatagram &datagram = log.at(index);
        if (datagram.direction == direction && datagram.endpoint == endpoint) {
            found.push_back(datagram);
        }
    }
    return found;
}

#ifndef Q_OS_WIN
// Runs tshark over a capture; each output line one packet.
QStringList Tshark(const QStringList &arguments)
{
    QProcess tshark;
    tshark.start(QStringLiteral(TSHARK_PROGRAM), arguments);
    if (!tshark.waitForFinished(60000) || tshark.exitCode() != 0) {
        qWarning("tshark failed: %s", tshark.readAllStandardError().constData());
        return {};
    }
    return QString::fromUtf8(tshark.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
#endif

// The ones' complement sum of 16-bit words (high byte first), folded; 0xFFFF over a header
// that holds its own correct checksum.
quint16 OnesComplementSum(const QByteArray &bytes, quint32 sum = 0)
{
    for (qsizetype at = 0; at < bytes.size(); at += 2) {
        sum += static_cast<quint8>(bytes.at(at)) << 8;
        sum += at + 1 < bytes.size() ? static_cast<quint8>(bytes.at(at + 1)) : 0;
    }
    while (sum > 0xFFFF) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<quint16>(sum);
}

// Reads a classic pcap capture of raw IPv4 packets here, a line per UDP packet as tshark
// prints it with -T fields: source address and port, destination address and port, the UDP
// length, then 1 where the UDP and the IP checksum are right, 0 where not. Any other
// capture reads as no lines.
QStringList CaptureFields(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray capture = file.readAll();
    const auto little = [&capture](qsizetype at) {
        return qFromLittleEndian<quint32>(capture.constData() + at);
    };
    constexpr quint32 kRawIp = 101;
    if (capture.size() < 24 || little(0) != 0xA1B2C3D4 || little(20) != kRawIp) {
        return {};
    }
    QStringList lines;
    for (qsizetype at = 24; at + 16 <= capture.size();) {
        const QByteArray packet = capture.mid(at + 16, little(at + 8));
        at += 16 + little(at + 8);
        const auto big = [&packet](qsizetype offset) {
            return qFromBigEndian<quint16>(packet.constData() + offset);
        };
        const qsizetype ipLength = packet.isEmpty() ? 0 : (packet.at(0) & 0x0F) * 4;
        if (ipLength < 20 || packet.size() < ipLength + 8 || packet.at(9) != 17 || big(2) != packet.size()) {
            return {};
        }
        const QByteArray udp = packet.mid(ipLength);
        const quint16 ipSum = OnesComplementSum(packet.first(ipLength));
        const quint16 udpSum = OnesComplementSum(udp, 17 + quint32(udp.size()) +
                                                          OnesComplementSum(packet.mid(12, 8)));
        lines.append(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7")
                         .arg(QHostAddress(qFromBigEndian<quint32>(packet.constData() + 12)).toString())
                         .arg(big(ipLength))
                         .arg(QHostAddress(qFromBigEndian<quint32>(packet.constData() + 16)).toString())
                         .arg(big(ipLength + 2))
                         .arg(big(ipLength + 4))
                         .arg(udpSum == 0xFFFF ? 1 : 0)
                         .arg(ipSum == 0xFFFF ? 1 : 0));
    }
    return lines;
}

// The tool's side 127.0.0.1:40000, a logger at 127.0.0.2 on the command port 8000.
ObservedDatagram CommandDatagram(ObservedDatagram::Direction direction, const QByteArray &payload)
{
    ObservedDatagram datagram;
    datagram.direction = direction;
    datagram.localAddress = kWindowAddress;
    datagram.localPort = 40000;
    datagram.peerAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    datagram.peerPort = 8000;
    datagram.bytes = QByteArray::fromStdString(LoggerSim::Frame(payload.toStdString()));
    return datagram;
}

// A compound request: "RC", then each sub-command closed by its own CRC text and "#".
QByteArray Compound(const QByteArrayList &subCommands)
{
    QByteArray request = "RC";
    for (const QByteArray &subCommand : subCommands) {
        request +=
            subCommand + QByteArray::fromStdString(LoggerSim::Crc(subCommand.toStdString())) + '#';
    }
    return request;
}

const QByteArray kDeviceRecord = "INV-7           "
                                 "00"
                                 "1A"
                                 "2B";
const QByteArray kAppendInfo =
    QByteArray("Roof East").leftJustified(60, ' ') + QByteArray("Row 2").leftJustified(24, ' ');

} // namespace

class TestTrafficLog : public QObject
{
    Q_OBJECT

private:
    // The logger answers the reads of the IP configuration and of the system parameters.
    static void AnswerReads(LoggerSim &logger)
    {
        logger.setCommandHandler("ER", [](const std::string &) {
            return std::string("R192.168.1.100,255.255.255.0,192.168.1.1");
        });
        logger.setCommandHandler(
            "SR", [](const std::string &) { return std::string("R00002359012C05030160"); });
    }

    static void ReadIpAddress(WindowHarness &harness)
    {
        harness.control<QPushButton>("btnER")->click();
    }

    static TrafficLogWindow *OpenLogWindow(WindowHarness &harness, const QString &savePath)
    {
        harness.window().setSaveFileChooser(
            [savePath](QWidget *, const SaveFileRequest &) { return savePath; });
        harness.window().openTrafficLog();
        return harness.window().findChild<TrafficLogWindow *>();
    }

private slots:
    void commandAndAnswerAreRecordedFromTheSetSocket()
    {
        WindowHarness harness;
        AnswerReads(harness.logger());
        harness.selectLogger();
        ReadIpAddress(harness);
        QTRY_VERIFY_WITH_TIMEOUT(Recorded(harness.window().trafficLog(),
                                          ObservedDatagram::Direction::Received,
                                          ObservedDatagram::Endpoint::Set)
                                         .size() == 1,
                                 kWaitMs);

        const TrafficLog &log = harness.window().trafficLog();
        const auto sent =
            Recorded(log, ObservedDatagram::Direction::Sent, ObservedDatagram::Endpoint::Set);
        QCOMPARE(sent.size(), std::size_t(1));
        QCOMPARE(sent[0].bytes, QByteArray("\x1B"
                                           "ERB2DD\x05"));
        QCOMPARE(sent[0].peerAddress, harness.logger().address());
        QCOMPARE(sent[0].peerPort, harness.logger().commandPort());
        QCOMPARE(sent[0].localAddress, kWindowAddress);
        QCOMPARE(sent[0].localPort, harness.windowSetPort());
        QCOMPARE(TrafficLogLine(sent[0]).section(QLatin1Char('\t'), 1),
                 QStringLiteral("sent\tset\t127.0.0.2:%1\t8\tER\tCRC good\t1B 45 52 42 32 44 44 05")
                     .arg(harness.logger().commandPort()));

        const ObservedDatagram answer = Recorded(log, ObservedDatagram::Direction::Received,
                                                 ObservedDatagram::Endpoint::Set)[0];
        QCOMPARE(answer.peerAddress, harness.logger().address());
        QCOMPARE(answer.peerPort, harness.logger().commandPort());
        QVERIFY(answer.microsecondsSinceEpoch >= sent[0].microsecondsSinceEpoch);
        QCOMPARE(DatagramVerdict(answer), QStringLiteral("CRC good"));
        QVERIFY(DatagramPayloadText(answer).startsWith(QLatin1Char('R')));
        QVERIFY(Recorded(log, ObservedDatagram::Direction::Sent, ObservedDatagram::Endpoint::Search)
                    .empty());
    }

    void sweepRecordsEveryProbeAndEveryAnswer()
    {
        WindowHarness harness(3);
        harness.control<QPushButton>("btnsearch")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.control<QTreeWidget>("listview1")->topLevelItemCount(), 3,
                                  kWaitMs);

        const TrafficLog &log = harness.window().trafficLog();
        const auto probes =
            Recorded(log, ObservedDatagram::Direction::Sent, ObservedDatagram::Endpoint::Search);
        QCOMPARE(probes.size(), std::size_t(255));
        for (std::size_t host = 1; host <= probes.size(); ++host) {
            const ObservedDatagram &probe = probes[host - 1];
            QCOMPARE(probe.bytes, QByteArray("\xFF\x04\x03\xFB"));
            QCOMPARE(probe.peerAddress, QHostAddress(QStringLiteral("127.0.0.%1").arg(host)));
            QCOMPARE(probe.localPort, harness.windowSearchPort());
        }
        QCOMPARE(DatagramPayloadText(probes[0]), QStringLiteral("\\xFF\\x04\\x03\\xFB"));
        QCOMPARE(DatagramVerdict(probes[0]), QString());

        auto answers = Recorded(log, ObservedDatagram::Direction::Received,
                                ObservedDatagram::Endpoint::Search);
        QStringList answerTexts;
        for (const ObservedDatagram &answer : answers) {
            answerTexts.append(answer.peerAddress.toString() + QLatin1Char(' ') +
                               DatagramPayloadText(answer));
        }
        answerTexts.sort();
        QCOMPARE(answerTexts, (QStringList{"127.0.0.2 SN1000#V1.0", "127.0.0.3 SN1001#V1.1",
                                           "127.0.0.4 SN1002#V1.2"}));
    }

    void boundHoldsUnderAFloodOnTheSetSocket()
    {
        WindowHarness harness;
        const TrafficLog &log = harness.window().trafficLog();
        const int flood = static_cast<int>(TrafficLog::kMaxDatagrams) + 1500;
        // In bursts the socket's receive queue holds, so that every datagram is read.
        constexpr int kBurst = 100;
        for (int sent = 0; sent < flood; sent += kBurst) {
            for (int index = sent; index < sent + kBurst; ++index) {
                harness.logger().sendFromCommandPort(QByteArray::number(index).toStdString(),
                                                     kWindowAddress, harness.windowSetPort());
            }
            QTRY_COMPARE_WITH_TIMEOUT(log.recordedCount(), quint64(sent + kBurst), kWaitMs);
        }
        QCOMPARE(log.size(), TrafficLog::kMaxDatagrams);
        QCOMPARE(log.firstNumber(), quint64(flood) - TrafficLog::kMaxDatagrams);
        QCOMPARE(log.at(0).bytes, QByteArray::number(flood - 10000));
        QCOMPARE(log.at(log.size() - 1).bytes, QByteArray::number(flood - 1));

        // The window shows what the log keeps, no more.
        QTemporaryDir directory;
        // Opened after the flood, the window shows the whole log at once.
        TrafficLogWindow *window = OpenLogWindow(harness, directory.filePath("unused"));
        QCOMPARE(window->findChild<QTableView *>("trafficTable")->model()->rowCount(),
                 int(TrafficLog::kMaxDatagrams));
    }

    // The table takes the log's changes in batches of at most 1,000 rows: what the log let
    // go of leaves from the top (also rows never shown), what it recorded since joins at the
    // bottom, in order.
    void tableFollowsTheLogAcrossItsBoundAndAClear()
    {
        TrafficLog log;
        TrafficLogModel model(log);
        const auto record = [&log](int count, int from) {
            for (int index = from; index < from + count; ++index) {
                ObservedDatagram datagram;
                datagram.bytes = QByteArray::number(index);
                log.datagramObserved(datagram);
            }
        };
        const auto rowBytes = [&model](int row) {
            return QByteArray::fromHex(model.index(row, TrafficLogModel::LengthColumn)
                                           .data(Qt::ToolTipRole)
                                           .toByteArray());
        };
        const int bound = static_cast<int>(TrafficLog::kMaxDatagrams);
        static_assert(TrafficLogModel::kMaxRowsPerRefresh == 1000);

        record(2500, 0);
        model.refresh();
        QCOMPARE(model.rowCount(), 1000);
        model.refresh();
        model.refresh();
        QCOMPARE(model.rowCount(), 2500);
        QCOMPARE(rowBytes(2499), QByteArray("2499"));

        record(bound + 500, 2500); // the log now keeps 3000 and up: every shown row goes
        model.refresh();
        QCOMPARE(model.rowCount(), 1000);
        QCOMPARE(rowBytes(0), QByteArray("3000"));
        for (int pass = 0; pass < 9; ++pass) {
            model.refresh();
        }
        QCOMPARE(model.rowCount(), bound);
        QCOMPARE(rowBytes(bound - 1), QByteArray::number(bound + 2999));

        record(3, bound + 3000); // the three oldest go
        model.refresh();
        QCOMPARE(model.rowCount(), bound);
        QCOMPARE(rowBytes(0), QByteArray("3003"));
        QCOMPARE(rowBytes(bound - 1), QByteArray::number(bound + 3002));

        log.clear();
        record(2, 50000);
        model.refresh();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(rowBytes(0), QByteArray("50000"));
    }

    // The filter takes a whole address (127.0.0.3, not the probes to 127.0.0.30 to .39);
    // a save writes what the filter shows, each line dated; clearing asks first.
    void windowFiltersByPeerSavesWhatItShowsAndAsksBeforeClearing()
    {
        WindowHarness harness(2);
        harness.control<QPushButton>("btnsearch")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.control<QTreeWidget>("listview1")->topLevelItemCount(), 2,
                                  kWaitMs);
        QTemporaryDir directory;
        const QString path = directory.filePath("traffic.txt");
        TrafficLogWindow *window = OpenLogWindow(harness, path);
        auto *table = window->findChild<QTableView *>("trafficTable");
        QCOMPARE(table->model()->rowCount(), 255 + 2);

        auto *filter = window->findChild<QLineEdit *>("trafficPeerFilter");
        filter->setText(QStringLiteral("127.0.0.3"));
        QCOMPARE(table->model()->rowCount(), 2); // the probe and the answer
        filter->setText(QStringLiteral("127.0.0.3:%1").arg(harness.logger(1).searchPort()));
        QCOMPARE(table->model()->rowCount(), 2);
        filter->setText(QStringLiteral("127.0.0.3:1"));
        QCOMPARE(table->model()->rowCount(), 0);
        filter->setText(QStringLiteral("127.0.0.3"));
        QVERIFY(window->findChild<QLabel *>("trafficCounts")
                    ->text()
                    .startsWith(QStringLiteral("2 of 257 datagrams shown, and saved by the saves; "
                                               "the log keeps the last 10000 datagrams and at "
                                               "most 4 MiB")));
        table->selectRow(1);
        QCOMPARE(window->findChild<QPlainTextEdit *>("trafficDetail")
                     ->toPlainText()
                     .section(QLatin1Char('\n'), 2),
                 QStringLiteral("0000  1B 53 4E 31 30 30 31 23 56 31 2E 31 05         "
                                "  .SN1001#V1.1."));
        QCOMPARE(table->model()->index(1, 0).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("1B 53 4E 31 30 30 31 23 56 31 2E 31 05"));

        window->findChild<QPushButton *>("trafficSaveText")->click();
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(saved.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.first(),
                 QStringLiteral("Time\tDirection\tSocket\tPeer\tLength\tPayload\tVerdict\tBytes"));
        QCOMPARE(lines.size(), 1 + 2 + 1); // header, the shown datagrams, the empty text after
        QVERIFY2(QRegularExpression(
                     QStringLiteral(
                         "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} [+-]\\d\\d:\\d\\d"
                         "\treceived\tsearch\t127\\.0\\.0\\.3:%1\t13\t"
                         "SN1001#V1\\.1\t\t1B 53 4E 31 30 30 31 23 56 31 2E 31 05$")
                         .arg(harness.logger(1).searchPort()))
                     .match(lines.at(2))
                     .hasMatch(),
                 qPrintable(lines.at(2)));

        // A long outcome is cut, and the window keeps its width.
        const int width = window->width();
        window->findChild<QLabel *>("trafficSaveOutcome")->setText(QString(600, QLatin1Char('x')));
        QTest::qWait(20);
        QCOMPARE(window->width(), width);

        auto *clear = window->findChild<QPushButton *>("trafficClear");
        QCOMPARE(clear->text(), QStringLiteral("Clear log…"));
        harness.notifier().answers = {false};
        clear->click();
        QCOMPARE(harness.notifier().asked.size(), 1);
        QCOMPARE(harness.window().trafficLog().size(), std::size_t(257));
        harness.notifier().answers = {true};
        clear->click();
        QCOMPARE(harness.window().trafficLog().size(), std::size_t(0));
        QCOMPARE(table->model()->rowCount(), 0);
    }

    // While the oldest datagrams leave, the selected one stays selected and the view
    // scrolled up stays on its datagrams; when the selected one leaves, nothing else is
    // selected and the detail says why.
    void selectionAndViewHoldWhileTheOldestLeave()
    {
        TrafficLog log;
        RecordingNotifier notifier;
        TrafficLogWindow window(
            log, notifier, [](QWidget *, const SaveFileRequest &) { return QString(); },
            [] { return kWindowAddress; });
        int next = 0;
        const auto record = [&log, &next](int count) {
            for (const int end = next + count; next < end; ++next) {
                log.datagramObserved(CommandDatagram(ObservedDatagram::Direction::Received,
                                                     "R" + QByteArray::number(next)));
            }
        };
        const int bound = static_cast<int>(TrafficLog::kMaxDatagrams);
        record(bound);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents(); // the opening scroll to the newest datagram
        auto *table = window.findChild<QTableView *>("trafficTable");
        auto *detail = window.findChild<QPlainTextEdit *>("trafficDetail");
        const auto payloadAt = [table](int row) {
            return table->model()->index(row, TrafficLogModel::PayloadColumn).data().toString();
        };
        table->scrollTo(table->model()->index(5000, 0), QAbstractItemView::PositionAtTop);
        table->selectRow(5001);
        QCOMPARE(payloadAt(table->rowAt(0)), QStringLiteral("R5000"));

        record(300);
        window.refresh();
        QCOMPARE(payloadAt(table->rowAt(0)), QStringLiteral("R5000"));
        QCOMPARE(payloadAt(table->currentIndex().row()), QStringLiteral("R5001"));
        QVERIFY(detail->toPlainText().contains(QStringLiteral("R5001")));

        record(5000);
        window.refresh();
        QVERIFY(!table->currentIndex().isValid());
        QVERIFY(!table->selectionModel()->hasSelection());
        QVERIFY2(detail->toPlainText().startsWith(
                     QStringLiteral("The datagram that was selected has left the log")),
                 qPrintable(detail->toPlainText()));
    }

    // The SIM PIN and the APN password, sent or in the answer to an APN read (received, or
    // discarded as left over), are hidden in the table, the hexadecimal views and the text
    // export; the capture keeps them, and its save says so.
    void secretsAreHiddenExceptInTheCapture()
    {
        TrafficLog log;
        log.datagramObserved(CommandDatagram(ObservedDatagram::Direction::Sent, "PW4711"));
        log.datagramObserved(
            CommandDatagram(ObservedDatagram::Direction::Sent, "AW\"cmnet\",\"guest\",\"s3cret\""));
        log.datagramObserved(CommandDatagram(ObservedDatagram::Direction::Sent, "AR"));
        log.datagramObserved(CommandDatagram(ObservedDatagram::Direction::Received,
                                             "R\"cmnet\",\"guest\",\"hunter2\""));
        ObservedDatagram leftOver = CommandDatagram(ObservedDatagram::Direction::LeftOverDiscarded,
                                                    "R\"cmnet\",\"guest\",\"hunter3\"");
        leftOver.leftOverFrom = std::exchange(leftOver.peerAddress, QHostAddress());
        log.datagramObserved(leftOver);
        RecordingNotifier notifier;
        QTemporaryDir directory;
        QStringList captions;
        QString path;
        TrafficLogWindow window(
            log, notifier,
            [&](QWidget *, const SaveFileRequest &request) {
                captions.append(request.caption);
                return path;
            },
            [] { return kWindowAddress; });
        window.show();
        auto *table = window.findChild<QTableView *>("trafficTable");
        const auto cell = [table](int row, int column, int role = Qt::DisplayRole) {
            return table->model()->index(row, column).data(role).toString();
        };
        QCOMPARE(cell(0, TrafficLogModel::PayloadColumn), QStringLiteral("PW********"));
        QCOMPARE(cell(1, TrafficLogModel::PayloadColumn),
                 QStringLiteral("AW\"cmnet\",\"guest\",\"********\""));
        QCOMPARE(cell(3, TrafficLogModel::PayloadColumn),
                 QStringLiteral("R\"cmnet\",\"guest\",\"********\""));
        QCOMPARE(cell(4, TrafficLogModel::PayloadColumn),
                 QStringLiteral("R\"cmnet\",\"guest\",\"********\""));
        QCOMPARE(cell(0, TrafficLogModel::VerdictColumn), QStringLiteral("CRC good"));
        QVERIFY(cell(0, 0, Qt::ToolTipRole).contains(QStringLiteral("50 57 2A 2A 2A 2A")));
        // Neither the PIN's length nor its CRC, which would leave a few candidates.
        QCOMPARE(cell(0, TrafficLogModel::LengthColumn), QStringLiteral("hidden"));
        const QByteArray pinCrc = QByteArray::fromStdString(protocol::BuildFrame("PW4711")).mid(7, 4);
        table->selectRow(0);
        QVERIFY(!window.findChild<QPlainTextEdit *>("trafficDetail")
                     ->toPlainText()
                     .contains(QStringLiteral("4711")));

        path = directory.filePath("traffic"); // the extension is added
        window.saveAsText();
        QFile text(path + ".txt");
        QVERIFY(text.open(QIODevice::ReadOnly));
        const QByteArray written = text.readAll();
        QVERIFY(!written.contains("4711") && !written.contains("s3cret") &&
                !written.contains("hunter2") && !written.contains("hunter3"));
        QVERIFY(!written.contains("34 37 31 31") && !written.contains("68 75 6E")); // nor in hexadecimal
        QVERIFY(!written.contains(pinCrc) && !written.contains(pinCrc.toHex(' ').toUpper()));

        path = directory.filePath("traffic.pcap");
        window.saveCapture();
        QFile capture(path);
        QVERIFY(capture.open(QIODevice::ReadOnly));
        QVERIFY(capture.readAll().contains("PW4711"));
        QVERIFY(captions.last().contains(QStringLiteral("PINs and passwords")));
    }

    // One request and its answer, written by the capture writer, read by tshark with the
    // dissector: the fields of the request or of the answer.
    void dissectorDecodesEachFamily_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("decoded");
        const QStringList server{"tarnwick.server.address", "tarnwick.server.port"};
        const QStringList device{"tarnwick.device.serial", "tarnwick.device.address",
                                 "tarnwick.device.type", "tarnwick.device.info"};
        QTest::newRow("IP configuration read")
            << QByteArray("ER") << QByteArray("R192.168.1.100,255.255.255.0,192.168.1.1")
            << "answer"
            << QStringList{"tarnwick.ip.address", "tarnwick.ip.mask", "tarnwick.ip.gateway"}
            << "ER|192.168.1.100|255.255.255.0|192.168.1.1";
        QTest::newRow("IP configuration write")
            << QByteArray("EW192.168.1.20,255.255.255.0,192.168.1.1,6001") << QByteArray("REW")
            << "request"
            << QStringList{"tarnwick.ip.address", "tarnwick.ip.mask", "tarnwick.ip.gateway",
                           "tarnwick.ip.port"}
            << "EW|192.168.1.20|255.255.255.0|192.168.1.1|6001";
        QTest::newRow("data server read") << QByteArray("R3") << QByteArray("R192.0.2.5,6002")
                                          << "answer" << server << "R3|192.0.2.5|6002";
        QTest::newRow("upstream server read")
            << QByteArray("GR") << QByteArray("R203.0.113.10,6001") << "answer" << server
            << "GR|203.0.113.10|6001";
        QTest::newRow("MAC") << QByteArray("MR") << QByteArray("R00-1A-2B-3C-4D-5E") << "answer"
                             << QStringList{"tarnwick.mac"} << "MR|00-1A-2B-3C-4D-5E";
        QTest::newRow("APN") << QByteArray("AR") << QByteArray("R\"cmnet\",\"user\",\"secret\"")
                             << "answer"
                             << QStringList{"tarnwick.apn.name", "tarnwick.apn.user",
                                            "tarnwick.apn.password"}
                             << "AR|cmnet|user|secret";
        QTest::newRow("telecom operator")
            << QByteArray("CR") << QByteArray("R\"CHINA MOBILE\"") << "answer"
            << QStringList{"tarnwick.operator"} << "CR|CHINA MOBILE";
        QTest::newRow("signal quality, bytes 14 and 15")
            << QByteArray("IF") << QByteArray("R0123456789AB23") << "answer"
            << QStringList{"tarnwick.signal"} << "IF|23";
        QTest::newRow("front-end computer")
            << QByteArray("QR") << QByteArray("R192.0.2.60,6004,30") << "answer"
            << (server + QStringList{"tarnwick.fec.minutes"}) << "QR|192.0.2.60|6004|30";
        QTest::newRow("device count") << QByteArray("DN") << QByteArray("R03") << "answer"
                                      << QStringList{"tarnwick.device.count"} << "DN|3";
        QTest::newRow("device added with append info")
            << Compound({"DA" + kDeviceRecord, "AA" + kAppendInfo + "1A"}) << QByteArray("RRC")
            << "request" << device << "DA|INV-7|26|2B|Roof East#Row 2";
        QTest::newRow("devices read")
            << Compound({"DR01", "AB01"})
            << QByteArray("RC02#D" + kDeviceRecord + "#A" + kAppendInfo + "#") << "answer" << device
            << "DR|INV-7|26|2B|Roof East#Row 2";
        QTest::newRow("system parameters")
            << QByteArray("SR") << QByteArray("R00002359012C05030160") << "answer"
            << QStringList{"tarnwick.sys.start",         "tarnwick.sys.stop",
                           "tarnwick.sys.data_interval", "tarnwick.sys.heartbeat",
                           "tarnwick.sys.retries",       "tarnwick.sys.wait_response",
                           "tarnwick.sys.reconnect",     "tarnwick.sys.transport",
                           "tarnwick.sys.gprs"}
            << "SR|00:00|23:59|300|5|3|Yes|Reconnect|TCP|GPRS Off";
    }

    void dissectorDecodesEachFamily()
    {
#ifdef Q_OS_WIN
        QSKIP("The project's dissector runs in tshark, which a Windows test does not start");
#else
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        QFETCH(QString, kind);
        QFETCH(QStringList, fields);
        QFETCH(QString, decoded);
        TrafficLog log;
        log.datagramObserved(CommandDatagram(ObservedDatagram::Direction::Sent, request));
        log.datagramObserved(CommandDatagram(ObservedDatagram::Direction::Received, answer));
        QTemporaryDir directory;
        const QString path = directory.filePath("family.pcap");
        QVERIFY(!WritePcapCapture(log.datagrams(), kWindowAddress, path));

        QStringList arguments{"-r", path,
                              "-X", "lua_script:" TARNWICK_DISSECTOR,
                              "-Y", "tarnwick.kind == \"" + kind + "\"",
                              "-T", "fields",
                              "-E", "separator=|",
                              "-e", "tarnwick.command"};
        for (const QString &field : fields) {
            arguments << "-e" << field;
        }
        QCOMPARE(Tshark(arguments), QStringList{decoded});
#endif
    }

    // A capture made by the tool: a read with a good answer, a read whose answer has a
    // spoilt CRC, a read of the system parameters (its answer's fields decoded) and a sweep
    // answered by two loggers. tshark reads it alone and with the project's dissector.
    void captureOpensInTsharkAndTheDissectorDecodesIt()
    {
        WindowHarness harness(2);
        AnswerReads(harness.logger());
        harness.selectLogger();
        ReadIpAddress(harness);
        QTRY_COMPARE_WITH_TIMEOUT(harness.window().trafficLog().size(), std::size_t(2), kWaitMs);
        harness.logger().misbehaviour().badCrc = true;
        ReadIpAddress(harness);
        QTRY_COMPARE_WITH_TIMEOUT(harness.window().trafficLog().size(), std::size_t(4), kWaitMs);
        harness.logger().misbehaviour().badCrc = false;
        QTRY_VERIFY_WITH_TIMEOUT(harness.control<QPushButton>("btnSR")->isEnabled(), kWaitMs);
        harness.control<QPushButton>("btnSR")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.window().trafficLog().size(), std::size_t(6), kWaitMs);
        harness.control<QPushButton>("btnsearch")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.window().trafficLog().size(), std::size_t(6 + 255 + 2),
                                  kWaitMs);

        QTemporaryDir directory;
        const QString path = directory.filePath("traffic.pcap");
        TrafficLogWindow *window = OpenLogWindow(harness, path);
        window->findChild<QPushButton *>("trafficSaveCapture")->click();

        const QString commandPort = QString::number(harness.logger().commandPort());
        const QString searchPort = QString::number(harness.logger().searchPort());
        const QStringList plain = CaptureFields(path);
#ifndef Q_OS_WIN
        QCOMPARE(Tshark({"-r", path,
                         "-T", "fields",
                         "-e", "ip.src",
                         "-e", "udp.srcport",
                         "-e", "ip.dst",
                         "-e", "udp.dstport",
                         "-e", "udp.length",
                         "-o", "udp.check_checksum:TRUE",
                         "-e", "udp.checksum.status",
                         "-o", "ip.check_checksum:TRUE",
                         "-e", "ip.checksum.status"}),
                 plain);
#endif
        QCOMPARE(plain.size(), 6 + 255 + 2);
        QCOMPARE(plain.first(), QStringLiteral("127.0.0.1\t%1\t127.0.0.2\t%2\t16\t1\t1")
                                    .arg(harness.windowSetPort())
                                    .arg(commandPort));

#ifndef Q_OS_WIN // the project's dissector runs in tshark
        const QStringList dissected =
            Tshark({"-r", path,
                    "-X", "lua_script:" TARNWICK_DISSECTOR,
                    "-d", "udp.port==" + commandPort + ",tarnwick",
                    "-d", "udp.port==" + searchPort + ",tarnwick_discovery",
                    "-T", "fields",
                    "-E", "separator=|",
                    "-e", "tarnwick.kind",
                    "-e", "tarnwick.command",
                    "-e", "tarnwick.crc.status",
                    "-e", "tarnwick.ip.address",
                    "-e", "tarnwick.sys.data_interval",
                    "-e", "tarnwick_discovery.kind",
                    "-e", "tarnwick_discovery.serial",
                    "-e", "tarnwick_discovery.version"});
        QCOMPARE(dissected.size(), 6 + 255 + 2);
        QCOMPARE(dissected.mid(0, 7), (QStringList{
                                          "request|ER|good|||||",
                                          "answer|ER|good|192.168.1.100||||",
                                          "request|ER|good|||||",
                                          "answer|ER|bad|||||",
                                          "request|SR|good|||||",
                                          "answer|SR|good||300|||",
                                          "|||||probe||",
                                      }));
        QStringList discoveryAnswers = dissected.mid(6 + 255);
        discoveryAnswers.sort();
        QCOMPARE(discoveryAnswers,
                 (QStringList{"|||||answer|SN1000|V1.0", "|||||answer|SN1001|V1.1"}));
#endif
    }
};

QTEST_MAIN(TestTrafficLog)
#include "test_traffic_log.moc"

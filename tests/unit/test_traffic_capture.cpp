// SPDX-License-Identifier: GPL-3.0-or-later
#include "private_file/private_file.h"
#include "wirelog/pcap_capture.h"
#include "wirelog/traffic_log.h"

#include <QtTest>

namespace {

ObservedDatagram Datagram(ObservedDatagram::Direction direction, const QByteArray &bytes)
{
    ObservedDatagram datagram;
    datagram.direction = direction;
    datagram.localAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    datagram.localPort = 40000;
    datagram.peerAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    datagram.peerPort = 8000;
    datagram.bytes = bytes;
    return datagram;
}

const QHostAddress kPcAddress(QStringLiteral("192.0.2.1"));

} // namespace

class TestTrafficCapture : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheNewestDatagramsUpToItsCount()
    {
        TrafficLog log;
        const int total = static_cast<int>(TrafficLog::kMaxDatagrams) + 25;
        for (int index = 0; index < total; ++index) {
            log.datagramObserved(
                Datagram(ObservedDatagram::Direction::Received, QByteArray::number(index)));
        }
        QCOMPARE(log.size(), TrafficLog::kMaxDatagrams);
        QCOMPARE(log.recordedCount(), quint64(total));
        QCOMPARE(log.firstNumber(), quint64(25));
        QCOMPARE(log.at(0).bytes, QByteArray("25"));
        QCOMPARE(log.at(log.size() - 1).bytes, QByteArray::number(total - 1));

        log.clear();
        QCOMPARE(log.size(), std::size_t(0));
        QCOMPARE(log.byteCount(), qint64(0));
        QCOMPARE(log.firstNumber(), quint64(total));
    }

    void keepsNoMoreThanItsBytesOfLargeDatagrams()
    {
        TrafficLog log;
        const QByteArray large(10230, 'x');
        for (int index = 0; index < 3000; ++index) {
            log.datagramObserved(Datagram(ObservedDatagram::Direction::Received, large));
        }
        const auto fitting = static_cast<std::size_t>(TrafficLog::kMaxBytes / large.size());
        QCOMPARE(log.size(), fitting);
        QCOMPARE(log.byteCount(), qint64(fitting) * large.size());
    }

    // Checksums worked out by hand: the IPv4 header sum folds to C33A, the UDP sum with its
    // pseudo-header to 9D86.
    void packetOfASentDatagram()
    {
        const QByteArray packet =
            Ipv4UdpPacket(Datagram(ObservedDatagram::Direction::Sent, QByteArray("\x1B"
                                                                                 "ERB2DD\x05")),
                          1);
        QCOMPARE(packet.toHex(' '), QByteArray("45 00 00 24 00 01 40 00 40 11 3c c5 "
                                               "7f 00 00 01 7f 00 00 02 "
                                               "9c 40 1f 40 00 10 62 79 "
                                               "1b 45 52 42 32 44 44 05"));
    }

    void receivedDatagramGoesFromThePeerToTheTool()
    {
        const QByteArray packet =
            Ipv4UdpPacket(Datagram(ObservedDatagram::Direction::Received, QByteArray("R")), 7);
        QCOMPARE(packet.mid(12, 8).toHex(), QByteArray("7f0000027f000001"));
        QCOMPARE(packet.mid(20, 4).toHex(), QByteArray("1f409c40"));
        QCOMPARE(packet.size(), 20 + 8 + 1);
    }

    // File header, then one record header per packet: 1.5 s after the epoch, 29 bytes. A
    // frame the receive buffer discarded never crossed the wire and is no packet.
    void captureFileLayout()
    {
        ObservedDatagram datagram = Datagram(ObservedDatagram::Direction::Received, "R");
        datagram.microsecondsSinceEpoch = 1500000;
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("traffic.pcap"));
        const ObservedDatagram discarded =
            Datagram(ObservedDatagram::Direction::LeftOverDiscarded, "R");
        QCOMPARE(WritePcapCapture({datagram, discarded}, kPcAddress, path), std::nullopt);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.left(24).toHex(' '), QByteArray("d4 c3 b2 a1 02 00 04 00 00 00 00 00 "
                                                       "00 00 00 00 ff ff 00 00 65 00 00 00"));
        QCOMPARE(bytes.mid(24, 16).toHex(' '),
                 QByteArray("01 00 00 00 20 a1 07 00 1d 00 00 00 1d 00 00 00"));
        QCOMPARE(bytes.mid(40), Ipv4UdpPacket(datagram, 0));
    }

    // A socket bound to every interface has no address of its own; the capture shows the
    // PC's, and the PIN as it was sent, readable by the owner alone.
    void captureShowsThePcAndKeepsTheRealBytesForItsOwner()
    {
        ObservedDatagram datagram =
            Datagram(ObservedDatagram::Direction::Sent, QByteArray("\x1BPW1234xxxx\x05"));
        datagram.localAddress = QHostAddress(QHostAddress::AnyIPv4);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("traffic.pcap"));
        const ObservedDatagram discarded =
            Datagram(ObservedDatagram::Direction::LeftOverDiscarded, "R");
        QCOMPARE(WritePcapCapture({datagram, discarded}, kPcAddress, path), std::nullopt);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray packet = file.readAll().mid(40);
        QCOMPARE(packet.mid(12, 4).toHex('.'), QByteArray("c0.00.02.01"));
        QVERIFY(packet.endsWith("PW1234xxxx\x05"));
#ifdef Q_OS_UNIX
        QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);
#else
        QVERIFY(!private_file::ReadableByOthers(path));
#endif
    }

    void captureFileThatCannotBeWrittenSaysWhy()
    {
        const std::optional<QString> failure =
            WritePcapCapture({}, kPcAddress, QStringLiteral("/nonexistent-folder/traffic.pcap"));
        QVERIFY(failure.has_value());
        QVERIFY(!failure->isEmpty()); // the system's reason, in its own words
        QVERIFY(!QFile::exists(QStringLiteral("/nonexistent-folder/traffic.pcap")));
    }
};

QTEST_APPLESS_MAIN(TestTrafficCapture)
#include "test_traffic_capture.moc"

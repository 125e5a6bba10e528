// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"
#include "protocol/receive_buffer.h"

#include <QtTest>

#include <vector>

namespace {

std::vector<std::string> CutAll(protocol::ReceiveBuffer &buffer)
{
    std::vector<std::string> candidates;
    while (auto candidate = buffer.cutNextCandidate()) {
        candidates.push_back(*candidate);
    }
    return candidates;
}

}  // namespace

class TestReceiveBuffer : public QObject
{
    Q_OBJECT

private slots:
    void frameSplitAtEveryPosition()
    {
        const std::string frame = protocol::BuildFrame("R192168001010");
        for (std::size_t cut = 1; cut < frame.size(); ++cut) {
            protocol::ReceiveBuffer buffer;
            buffer.append(frame.substr(0, cut));
            QVERIFY2(!buffer.cutNextCandidate(), qPrintable(QString::number(cut)));
            buffer.append(frame.substr(cut));
            QCOMPARE(CutAll(buffer), std::vector<std::string>{frame});
            QVERIFY(buffer.contents().empty());
        }
    }

    void twoFramesInOneChunkComeOutInOrder()
    {
        const std::string first = protocol::BuildFrame("RA");
        const std::string second = protocol::BuildFrame("RB");
        protocol::ReceiveBuffer buffer;
        buffer.append(first + second);
        QCOMPARE(buffer.cutNextCandidate().value(), first);
        QCOMPARE(buffer.contents(), second);
        QCOMPARE(buffer.cutNextCandidate().value(), second);
    }

    void discardingKeepsOnlyAFrameStillArriving()
    {
        const std::string first = protocol::BuildFrame("RA");
        const std::string second = protocol::BuildFrame("RB");
        const std::string next = protocol::BuildFrame("RNEXT");
        protocol::ReceiveBuffer buffer;
        buffer.append("xy" + first + second + next.substr(0, 4));
        QCOMPARE(buffer.discardCompleteCandidates(), (std::vector<std::string>{first, second}));
        QCOMPARE(buffer.contents(), next.substr(0, 4));
        buffer.append(next.substr(4));
        QCOMPARE(CutAll(buffer), std::vector<std::string>{next});
        QVERIFY(buffer.discardCompleteCandidates().empty());
    }

    void strayBytesBeforeFrameAreDropped_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QByteArray>("candidate");
        QTest::addColumn<QByteArray>("rest");
        const QByteArray frame = QByteArray::fromStdString(protocol::BuildFrame("RX"));
        QTest::newRow("stray ENQ then frame") << ("\x05" + frame) << frame << QByteArray();
        QTest::newRow("garbage then frame") << ("abc\x05xyz" + frame) << frame << QByteArray();
        QTest::newRow("truncated frame then frame")
            << ("\x1BRTRUNC" + frame) << ("\x1BRTRUNC" + frame) << QByteArray();
    }

    void strayBytesBeforeFrameAreDropped()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QByteArray, candidate);
        QFETCH(QByteArray, rest);
        protocol::ReceiveBuffer buffer;
        buffer.append(stream.toStdString());
        QCOMPARE(QByteArray::fromStdString(buffer.cutNextCandidate().value()), candidate);
        QCOMPARE(QByteArray::fromStdString(buffer.contents()), rest);
    }

    void strayEnqBeforePartialFrameStopsWithoutLooping()
    {
        protocol::ReceiveBuffer buffer;
        buffer.append("\x05\x1BRPART");
        QVERIFY(!buffer.cutNextCandidate());
        QCOMPARE(buffer.contents(), std::string("\x1BRPART"));
    }

    void enqWithoutEscIsDroppedUpToIt()
    {
        protocol::ReceiveBuffer buffer;
        buffer.append("abc\x05" "def");
        QVERIFY(!buffer.holdsEscAndEnq());
        QVERIFY(!buffer.cutNextCandidate());
        QCOMPARE(buffer.contents(), std::string("def"));
    }

    void capacityKeepsNewestBytesFromAnEsc()
    {
        protocol::ReceiveBuffer buffer(64);
        buffer.append(std::string(100, 'x'));
        QVERIFY(buffer.contents().empty());  // nothing that could start a frame

        const std::string frame = protocol::BuildFrame("RKEEP");
        buffer.append(std::string(60, 'y') + frame);
        QVERIFY(buffer.contents().size() <= 64);
        QCOMPARE(CutAll(buffer), std::vector<std::string>{frame});
    }

    void capacityHoldsUnderEndlessGarbage()
    {
        protocol::ReceiveBuffer buffer;
        const std::string chunk = "\x1B" + std::string(1000, 'g');
        for (int datagram = 0; datagram < 1000; ++datagram) {
            buffer.append(chunk);
            QVERIFY(buffer.contents().size() <= buffer.capacity());
        }
        const std::string frame = protocol::BuildFrame("RAFTER");
        buffer.append(frame);
        // The garbage before the frame's ENQ forms one long candidate with it; the frame
        // that follows comes out whole.
        buffer.cutNextCandidate();
        buffer.append(frame);
        QCOMPARE(buffer.cutNextCandidate().value(), frame);
    }
};

QTEST_APPLESS_MAIN(TestReceiveBuffer)
#include "test_receive_buffer.moc"

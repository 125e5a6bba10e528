// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/answer_taking.h"
#include "protocol/frame.h"

#include <QtTest>

Q_DECLARE_METATYPE(protocol::LaterFrames)

class TestAnswerTaking : public QObject
{
    Q_OBJECT

private slots:
    // One datagram holds two answers and the start of a third frame: both policies take
    // the first answer and keep the unfinished frame; they differ in the second answer.
    void twoAnswersInOneDatagram_data()
    {
        QTest::addColumn<protocol::LaterFrames>("later");
        QTest::addColumn<QStringList>("leftForNextSend");
        QTest::newRow("window: later answers stay until the next send")
            << protocol::LaterFrames::StayForNextSend << QStringList{"R2"};
        QTest::newRow("fleet: later answers dropped at once")
            << protocol::LaterFrames::DroppedNow << QStringList{};
    }

    void twoAnswersInOneDatagram()
    {
        QFETCH(protocol::LaterFrames, later);
        QFETCH(QStringList, leftForNextSend);
        const std::string unfinished = protocol::BuildFrame("R3").substr(0, 3);
        protocol::ReceiveBuffer buffer;
        buffer.append(protocol::BuildFrame("R1") + protocol::BuildFrame("R2") + unfinished);
        const auto anyAnswer = [](std::string_view) { return true; };

        QCOMPARE(protocol::TakeAnswer(buffer, later, anyAnswer), std::optional<std::string>("R1"));
        QStringList left;
        for (const std::string &frame : buffer.discardCompleteCandidates()) {
            left.append(QString::fromStdString(protocol::DecodeFrame(frame).payload));
        }
        QCOMPARE(left, leftForNextSend);
        QCOMPARE(buffer.contents(), unfinished);
    }

    // Frames with a bad CRC, payloads that are no answer and answers the receiver does
    // not take are passed over for the next frame.
    void onlyAWantedCheckedAnswerIsTaken()
    {
        std::string corrupted = protocol::BuildFrame("R0");
        corrupted[1] = 'X';
        protocol::ReceiveBuffer buffer;
        buffer.append(corrupted + protocol::BuildFrame("SS") + protocol::BuildFrame("Rskip") +
                      protocol::BuildFrame("Rtake"));
        const auto wanted = [](std::string_view payload) { return payload != "Rskip"; };
        QCOMPARE(protocol::TakeAnswer(buffer, protocol::LaterFrames::StayForNextSend, wanted),
                 std::optional<std::string>("Rtake"));
        QVERIFY(buffer.contents().empty());
    }
};

QTEST_APPLESS_MAIN(TestAnswerTaking)
#include "test_answer_taking.moc"

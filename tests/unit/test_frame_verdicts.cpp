// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame_verdicts.h"

#include <QtTest>

using protocol::DatagramPiece;
using protocol::PieceVerdict;
using Pieces = std::vector<DatagramPiece>;

Q_DECLARE_METATYPE(Pieces)

namespace {

const std::string kRequest = "\x1B"
                             "ERB2DD\x05";
const std::string kAnswer = "\x1B"
                            "R3EBD\x05";

DatagramPiece Frame(const std::string &bytes, const std::string &payload,
                    PieceVerdict verdict = PieceVerdict::CrcGood)
{
    return {bytes, payload, verdict};
}

DatagramPiece Piece(const std::string &bytes, PieceVerdict verdict)
{
    return {bytes, {}, verdict};
}

} // namespace

class TestFrameVerdicts : public QObject
{
    Q_OBJECT

private slots:
    void inspectDatagram_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<Pieces>("pieces");
        QTest::newRow("one request")
            << QByteArray::fromStdString(kRequest) << Pieces{Frame(kRequest, "ER")};
        QTest::newRow("altered CRC digit") << QByteArray("\x1B"
                                                         "ERB2DE\x05")
                                           << Pieces{Frame("\x1B"
                                                           "ERB2DE\x05",
                                                           "ER", PieceVerdict::CrcBad)};
        QTest::newRow("lower-case CRC digits") << QByteArray("\x1B"
                                                             "ERb2dd\x05")
                                               << Pieces{Frame("\x1B"
                                                               "ERb2dd\x05",
                                                               "ER", PieceVerdict::CrcBad)};
        QTest::newRow("empty payload") << QByteArray("\x1B"
                                                     "FFFF\x05")
                                       << Pieces{Frame("\x1B"
                                                       "FFFF\x05",
                                                       "")};
        QTest::newRow("two frames, stray bytes between")
            << QByteArray::fromStdString(kRequest + "xx\x05" + kAnswer)
            << Pieces{Frame(kRequest, "ER"), Piece("xx\x05", PieceVerdict::StrayBytes),
                      Frame(kAnswer, "R")};
        QTest::newRow("stray bytes before a frame")
            << QByteArray::fromStdString(std::string("\x00\xFF", 2) + kAnswer)
            << Pieces{Piece(std::string("\x00\xFF", 2), PieceVerdict::StrayBytes),
                      Frame(kAnswer, "R")};
        // The receive path cuts from the first ESC: the frame goes with the stray byte.
        QTest::newRow("stray ESC before a frame")
            << QByteArray::fromStdString("\x1B" + kAnswer)
            << Pieces{Piece("\x1B", PieceVerdict::StrayBytes),
                      Frame(kAnswer, "R", PieceVerdict::CrcGoodLostToStrayEsc)};
        QTest::newRow("first half of a split answer") << QByteArray("\x1B"
                                                                    "R192.168")
                                                      << Pieces{Piece("\x1B"
                                                                      "R192.168",
                                                                      PieceVerdict::PartOfFrame)};
        QTest::newRow("second half of a split answer")
            << QByteArray(".1.100ABCD\x05")
            << Pieces{Piece(".1.100ABCD\x05", PieceVerdict::PartOfFrame)};
        QTest::newRow("a frame, then the start of the next")
            << QByteArray::fromStdString(kAnswer + "\x1BR")
            << Pieces{Frame(kAnswer, "R"), Piece("\x1BR", PieceVerdict::PartOfFrame)};
        QTest::newRow("probe") << QByteArray("\xFF\x04\x03\xFB")
                               << Pieces{Piece("\xFF\x04\x03\xFB", PieceVerdict::StrayBytes)};
    }

    void inspectDatagram()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(Pieces, pieces);
        const Pieces inspected = protocol::InspectDatagram(datagram.toStdString());
        QVERIFY(inspected == pieces);
    }

    void findSecret_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("secret");
        QTest::newRow("PIN") << QByteArray("PW1234") << QByteArray("1234");
        QTest::newRow("APN password")
            << QByteArray("AW\"apn\",\"user\",\"pa,ss\"") << QByteArray("pa,ss");
        QTest::newRow("APN value holding the separator, password kept inside")
            << QByteArray("AW\"a\",\"b\",\"c\",\"d\"") << QByteArray("c\",\"d");
        QTest::newRow("APN payload without its quotes") << QByteArray("AWxyz") << QByteArray("xyz");
        QTest::newRow("empty password") << QByteArray("AW\"apn\",\"\",\"\"") << QByteArray("");
    }

    void findSecret()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, secret);
        const std::string text = payload.toStdString();
        const auto range = protocol::FindSecret(text);
        QVERIFY(range.has_value());
        QCOMPARE(QByteArray::fromStdString(text.substr(range->begin, range->end - range->begin)),
                 secret);
    }

    void payloadsWithoutSecrets_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("APN read") << QByteArray("AR");
        QTest::newRow("answer") << QByteArray("RPW12");
        QTest::newRow("IP write") << QByteArray("EW192.168.1.20,255.255.255.0,192.168.1.1,6001");
    }

    void payloadsWithoutSecrets()
    {
        QFETCH(QByteArray, payload);
        QVERIFY(!protocol::FindSecret(payload.toStdString()));
    }

    // The APN password of an AR answer is a secret only as the answer to AR.
    void findAnswerSecret_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("secret");
        QTest::newRow("APN read") << QByteArray("AR") << QByteArray("R\"apn\",\"u\",\"pw\"")
                                  << QByteArray("pw");
        QTest::newRow("APN read, answer cut short")
            << QByteArray("AR") << QByteArray("R\"apn\",\"u") << QByteArray("\"apn\",\"u");
        QTest::newRow("operator read")
            << QByteArray("CR") << QByteArray("R\"a\",\"b\",\"c\"") << QByteArray();
        QTest::newRow("APN read, no answer code")
            << QByteArray("AR") << QByteArray("\"a\",\"b\",\"c\"") << QByteArray();
    }

    void findAnswerSecret()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, secret);
        const std::string text = answer.toStdString();
        const auto range = protocol::FindAnswerSecret(request.toStdString(), text);
        QCOMPARE(range.has_value(), !secret.isNull());
        if (range) {
            QCOMPARE(
                QByteArray::fromStdString(text.substr(range->begin, range->end - range->begin)),
                secret);
        }
    }

    void escapeBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("printable") << QByteArray("AW\"apn\",\"\"") << "AW\"apn\",\"\"";
        QTest::newRow("frame marks") << QByteArray("\x1B"
                                                   "ER\x05")
                                     << "\\x1BER\\x05";
        QTest::newRow("backslash doubled") << QByteArray("a\\b") << "a\\\\b";
        QTest::newRow("zero, DEL and high bytes")
            << QByteArray("\x00\x7F\x80\xFF", 4) << "\\x00\\x7F\\x80\\xFF";
        QTest::newRow("space and tilde stay") << QByteArray(" ~") << " ~";
    }

    void escapeBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(protocol::EscapeBytes(bytes.toStdString())), text);
    }
};

QTEST_APPLESS_MAIN(TestFrameVerdicts)
#include "test_frame_verdicts.moc"

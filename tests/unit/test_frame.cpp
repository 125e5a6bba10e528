// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/crc.h"
#include "protocol/frame.h"

#include <QtTest>

namespace {

std::string Bytes(const QByteArray &bytes)
{
    return bytes.toStdString();
}

}  // namespace

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void crcText_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("crcText");
        QTest::newRow("ER") << QByteArray("ER") << "B2DD";
        QTest::newRow("GR") << QByteArray("GR") << "B3BD";
        QTest::newRow("SS") << QByteArray("SS") << "7D7D";
        QTest::newRow("R") << QByteArray("R") << "3EBD";
        QTest::newRow("empty") << QByteArray() << "FFFF";
        QTest::newRow("catalogue check 123456789") << QByteArray("123456789") << "374B";
        QTest::newRow("modbus request 010300120008")
            << QByteArray::fromHex("010300120008") << "E409";
        // Bytes above 0x7F enter the CRC unsigned.
        QTest::newRow("high bytes FF80") << QByteArray::fromHex("FF80") << "41E0";
    }

    void crcText()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, crcText);
        QCOMPARE(QString::fromStdString(protocol::CrcText(Bytes(payload))), crcText);
    }

    void crcMatchesTheBitwiseDefinitionAtEveryLength()
    {
        const auto bitwise = [](const std::string &bytes) {
            unsigned crc = 0xFFFF;
            for (const unsigned char byte : bytes) {
                crc ^= byte;
                for (int bit = 0; bit < 8; ++bit) {
                    crc = (crc & 1U) != 0 ? (crc >> 1) ^ 0xA001U : crc >> 1;
                }
            }
            return crc;
        };
        std::string bytes;
        unsigned seed = 7;
        for (int length = 0; length <= 100; ++length) {
            QCOMPARE(protocol::Crc16Modbus(bytes), bitwise(bytes));
            seed = seed * 1103515245U + 12345U;
            bytes += static_cast<char>(seed >> 16);
        }
    }

    void buildFrame_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("ER") << QByteArray("ER") << QByteArray::fromHex("1B45524232444405");
        QTest::newRow("GR") << QByteArray("GR") << QByteArray::fromHex("1B47524233424405");
        QTest::newRow("SS") << QByteArray("SS") << QByteArray::fromHex("1B53533744374405");
        QTest::newRow("R") << QByteArray("R") << QByteArray::fromHex("1B523345424405");
        QTest::newRow("empty") << QByteArray() << QByteArray::fromHex("1B464646460" "5");
    }

    void buildFrame()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, frame);
        QCOMPARE(QByteArray::fromStdString(protocol::BuildFrame(Bytes(payload))), frame);
    }

    void decodeFrame_data()
    {
        QTest::addColumn<QByteArray>("candidate");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("answer R") << QByteArray("\x1BR3EBD\x05") << true << QByteArray("R");
        QTest::newRow("empty payload FFFF") << QByteArray("\x1B" "FFFF\x05") << true << QByteArray();
        QTest::newRow("lower-case digits") << QByteArray("\x1B" "ERb2dd\x05") << false << QByteArray("ER");
        QTest::newRow("altered digit") << QByteArray("\x1B" "ERB2DE\x05") << false << QByteArray("ER");
        QTest::newRow("five characters") << QByteArray("\x1B" "FFF\x05") << false << QByteArray();
        QTest::newRow("ESC ENQ only") << QByteArray("\x1B\x05") << false << QByteArray();
    }

    void decodeFrame()
    {
        QFETCH(QByteArray, candidate);
        QFETCH(bool, valid);
        QFETCH(QByteArray, payload);
        const protocol::DecodedFrame frame = protocol::DecodeFrame(Bytes(candidate));
        QCOMPARE(frame.valid, valid);
        QCOMPARE(QByteArray::fromStdString(frame.payload), payload);
    }

    void everyBuiltFrameDecodesToItsPayload()
    {
        std::string payload;
        for (int byte = 0x06; byte < 0x100; ++byte) {
            if (byte == 0x1B) {
                continue;
            }
            payload += static_cast<char>(byte);
            const protocol::DecodedFrame frame = protocol::DecodeFrame(protocol::BuildFrame(payload));
            QVERIFY(frame.valid);
            QCOMPARE(frame.payload, payload);
        }
    }
};

QTEST_APPLESS_MAIN(TestFrame)
#include "test_frame.moc"

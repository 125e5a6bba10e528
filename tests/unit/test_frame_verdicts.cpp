#include "protocol/frame_verdicts.h"

#include <QtTest>

using protocol::CrcVerdict;
using protocol::InspectedFrame;

Q_DECLARE_METATYPE(std::vector<InspectedFrame>)

class TestFrameVerdicts : public QObject
{
    Q_OBJECT

private slots:
    void inspectFrames_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<std::vector<InspectedFrame>>("frames");
        QTest::newRow("one request") << QByteArray("\x1B"
                                                   "ERB2DD\x05")
                                     << std::vector<InspectedFrame>{{"ER", CrcVerdict::Good}};
        QTest::newRow("altered CRC digit") << QByteArray("\x1B"
                                                         "ERB2DE\x05")
                                           << std::vector<InspectedFrame>{{"ER", CrcVerdict::Bad}};
        QTest::newRow("lower-case CRC digits")
            << QByteArray("\x1B"
                          "ERb2dd\x05")
            << std::vector<InspectedFrame>{{"ER", CrcVerdict::Bad}};
        QTest::newRow("two frames, stray bytes between")
            << QByteArray("\x1B"
                          "ERB2DD\x05xx\x05\x1B"
                          "R3EBD\x05")
            << std::vector<InspectedFrame>{{"ER", CrcVerdict::Good}, {"R", CrcVerdict::Good}};
        QTest::newRow("frame cut short") << QByteArray("\x1B"
                                                       "ERB2")
                                         << std::vector<InspectedFrame>{};
        QTest::newRow("probe") << QByteArray("\xFF\x04\x03\xFB") << std::vector<InspectedFrame>{};
        QTest::newRow("empty payload") << QByteArray("\x1B"
                                                     "FFFF\x05")
                                       << std::vector<InspectedFrame>{{"", CrcVerdict::Good}};
    }

    void inspectFrames()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(std::vector<InspectedFrame>, frames);
        QVERIFY(protocol::InspectFrames(datagram.toStdString()) == frames);
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

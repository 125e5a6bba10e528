// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/text.h"

#include <QtTest>

using Items = std::vector<std::string>;
Q_DECLARE_METATYPE(Items)

class TestText : public QObject
{
    Q_OBJECT

private slots:
    void splitText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<Items>("items");
        QTest::newRow("A#B#") << "A#B#" << "#" << Items{"A", "B", ""};
        QTest::newRow("two in a row") << "A##B" << "#" << Items{"A", "", "B"};
        QTest::newRow("empty text") << "" << "#" << Items{""};
        QTest::newRow("no separator") << "ABC" << "#" << Items{"ABC"};
        QTest::newRow("empty separator") << "A#B" << "" << Items{"A#B"};
        QTest::newRow("long separator") << "1,,2,,3" << ",," << Items{"1", "2", "3"};
        QTest::newRow("items untrimmed") << " A # B " << "#" << Items{" A ", " B "};
    }

    void splitText()
    {
        QFETCH(QString, text);
        QFETCH(QString, separator);
        QFETCH(Items, items);
        QCOMPARE(protocol::SplitText(text.toStdString(), separator.toStdString()), items);
    }

    void bitStrings_data()
    {
        QTest::addColumn<QString>("bits");
        QTest::addColumn<qint64>("value");
        QTest::newRow("01100000") << "01100000" << qint64(96);
        QTest::newRow("00000000") << "00000000" << qint64(0);
        QTest::newRow("1") << "1" << qint64(1);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("11111111") << "11111111" << qint64(255);
        QTest::newRow("63 ones") << QString(63, '1') << qint64(0x7FFFFFFFFFFFFFFF);
        QTest::newRow("65 ones wrap to -1") << QString(65, '1') << qint64(-1);
        QTest::newRow("70 nines wrap") << QString(70, '9') << qint64(-9);
    }

    void bitStrings()
    {
        QFETCH(QString, bits);
        QFETCH(qint64, value);
        QCOMPARE(protocol::BitStringToInt(bits.toStdString()), value);
        if (bits.size() == 8) {
            QCOMPARE(QString::fromStdString(protocol::IntToBitString(value, 8)), bits);
        }
    }

    void intToBitStringKeepsOnlyItsDigitsAndPrefixesTheText()
    {
        QCOMPARE(protocol::IntToBitString(0x1FF, 8), std::string("11111111"));
        QCOMPARE(protocol::IntToBitString(5, 3, "tail"), std::string("101tail"));
        for (int value = -300; value < 600; value += 7) {
            QCOMPARE(protocol::BitStringToInt(protocol::IntToBitString(value, 8)), value & 0xFF);
        }
    }

    void bitStringWithOtherCharacterIsNotAnInteger()
    {
        QVERIFY_THROWS_EXCEPTION(protocol::InvalidIntegerError, protocol::BitStringToInt("01x0"));
    }

    void trimText()
    {
        QCOMPARE(protocol::TrimText(" \t\x01 abc \r\n"), std::string("abc"));
        QCOMPARE(protocol::TrimText("\xFF" "a\xFF"), std::string("\xFF" "a\xFF"));
        QCOMPARE(protocol::TrimText("  "), std::string());
    }

    void parseInteger_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("decimal") << "1234" << true << 1234;
        QTest::newRow("plus sign") << "+7" << true << 7;
        QTest::newRow("minus sign") << "-42" << true << -42;
        QTest::newRow("dollar hex") << "$1F" << true << 31;
        QTest::newRow("x hex") << "x10" << true << 16;
        QTest::newRow("X hex") << "XfF" << true << 255;
        QTest::newRow("0x hex") << "0x7FFFFFFF" << true << 2147483647;
        QTest::newRow("0X hex full pattern") << "0XFFFFFFFF" << true << -1;
        QTest::newRow("max") << "2147483647" << true << 2147483647;
        QTest::newRow("min") << "-2147483648" << true << int(-2147483647 - 1);
        QTest::newRow("overflow") << "2147483648" << false << 0;
        QTest::newRow("hex overflow") << "$100000000" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("dollar only") << "$" << false << 0;
        QTest::newRow("letters") << "12a" << false << 0;
        QTest::newRow("inner space") << "1 2" << false << 0;
        QTest::newRow("signed hex") << "-$10" << false << 0;
    }

    void parseInteger()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        const auto parsed = protocol::TryParseInteger(text.toStdString());
        QCOMPARE(parsed.has_value(), ok);
        if (ok) {
            QCOMPARE(*parsed, value);
            QCOMPARE(protocol::ParseInteger(text.toStdString()), value);
        } else {
            try {
                protocol::ParseInteger(text.toStdString());
                QFAIL("no error raised");
            } catch (const protocol::InvalidIntegerError &error) {
                QCOMPARE(QString::fromStdString(error.what()),
                         QStringLiteral("'%1' is not a valid integer value").arg(text));
            }
        }
    }

    void hexField()
    {
        QCOMPARE(protocol::ParseHexField("0A"), 10);
        QCOMPARE(protocol::ParseHexField("ffff"), 65535);
        QVERIFY_THROWS_EXCEPTION(protocol::InvalidIntegerError, protocol::ParseHexField("G1"));
        QVERIFY_THROWS_EXCEPTION(protocol::InvalidIntegerError, protocol::ParseHexField(""));
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "test_text.moc"

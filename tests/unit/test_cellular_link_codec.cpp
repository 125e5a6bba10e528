// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/cellular_link_codec.h"

#include <QtTest>

using cellular::ApnSettings;

namespace {

QByteArray Bytes(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

QByteArrayList Items(const std::vector<std::string> &items)
{
    QByteArrayList list;
    for (const std::string &item : items) {
        list.append(Bytes(item));
    }
    return list;
}

} // namespace

class TestCellularLinkCodec : public QObject
{
    Q_OBJECT

private slots:
    void apnWriteQuotesTrimmedValues_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("internet guest empty")
            << QByteArray("internet") << QByteArray("guest") << QByteArray()
            << QByteArray("AW\"internet\",\"guest\",\"\"");
        QTest::newRow("all empty")
            << QByteArray() << QByteArray() << QByteArray() << QByteArray("AW\"\",\"\",\"\"");
        QTest::newRow("blanks around, space inside")
            << QByteArray(" \tmy apn\r ") << QByteArray("\x01u ") << QByteArray("  p w")
            << QByteArray("AW\"my apn\",\"u\",\"p w\"");
        QTest::newRow("quote and comma unescaped")
            << QByteArray("a\"b") << QByteArray("c,d") << QByteArray("\xE9")
            << QByteArray("AW\"a\"b\",\"c,d\",\"\xE9\"");
    }

    void apnWriteQuotesTrimmedValues()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, payload);
        const ApnSettings apn{name.toStdString(), user.toStdString(), password.toStdString()};
        QCOMPARE(Bytes(cellular::BuildApnWrite(apn)), payload);
    }

    void apnAnswerSplitsAtEveryComma_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("filled");
        QTest::addColumn<QByteArrayList>("values");
        const auto values = [](const char *name, const char *user, const char *password) {
            return QByteArrayList{name, user, password};
        };
        QTest::newRow("R\"internet\",\"guest\",\"pw\"")
            << QByteArray("R\"internet\",\"guest\",\"pw\"") << true
            << values("internet", "guest", "pw");
        QTest::newRow("R\"\",\"\",\"\"")
            << QByteArray("R\"\",\"\",\"\"") << true << values("", "", "");
        QTest::newRow("comma in password")
            << QByteArray("R\"apn\",\"user\",\"pa,ss\"") << true << values("apn", "user", "p");
        QTest::newRow("comma in name")
            << QByteArray("R\"a,pn\",\"user\",\"pw\"") << true << values("", "n", "user");
        QTest::newRow("R,,") << QByteArray("R,,") << true << values("", "", "");
        QTest::newRow("unquoted") << QByteArray("Rapn,user,pw") << true << values("p", "se", "");
        QTest::newRow("R") << QByteArray("R") << false << QByteArrayList();
        QTest::newRow("two items") << QByteArray("R\"a\",\"b\"") << false << QByteArrayList();
    }

    void apnAnswerSplitsAtEveryComma()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, filled);
        QFETCH(QByteArrayList, values);
        const std::optional<ApnSettings> apn = cellular::ParseApnAnswer(payload.toStdString());
        QCOMPARE(apn.has_value(), filled);
        if (apn) {
            QCOMPARE((QByteArrayList{Bytes(apn->name), Bytes(apn->user), Bytes(apn->password)}),
                     values);
        }
    }

    void operatorWriteAndAnswer()
    {
        QCOMPARE(Bytes(cellular::BuildOperatorWrite("  Tel,Net \t")), QByteArray("CW\"Tel,Net\""));
        QCOMPARE(Bytes(cellular::BuildOperatorWrite("")), QByteArray("CW\"\""));
        QCOMPARE(Bytes(cellular::BuildPinWrite(" 1234\r")), QByteArray("PW1234"));
        QCOMPARE(Bytes(cellular::BuildPinWrite("   ")), QByteArray("PW"));
    }

    void operatorAnswerLosesTwoBytesInFrontAndOneAtTheEnd_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("R\"Tel Net\"") << QByteArray("R\"Tel Net\"") << QByteArray("Tel Net");
        QTest::newRow("RTelNet") << QByteArray("RTelNet") << QByteArray("elNe");
        QTest::newRow("R\"\"") << QByteArray("R\"\"") << QByteArray();
        QTest::newRow("R") << QByteArray("R") << QByteArray();
        QTest::newRow("R\"x\"") << QByteArray("R\"x\"") << QByteArray("x");
    }

    void operatorAnswerLosesTwoBytesInFrontAndOneAtTheEnd()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, shown);
        QCOMPARE(Bytes(cellular::ParseOperatorAnswer(payload.toStdString())), shown);
    }

    void signalQualityIsBytes14And15_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("longer") << QByteArray("RIF,QUALITY: 23,99") << QByteArray("23");
        QTest::newRow("15 bytes") << QByteArray("R123456789012AB") << QByteArray("AB");
        QTest::newRow("14 bytes") << QByteArray("R123456789012A") << QByteArray("A");
        QTest::newRow("13 bytes") << QByteArray("R123456789012") << QByteArray();
        QTest::newRow("blanks kept") << QByteArray("R123456789012 7 ") << QByteArray(" 7");
    }

    void signalQualityIsBytes14And15()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, shown);
        QCOMPARE(Bytes(cellular::ParseSignalQualityAnswer(payload.toStdString())), shown);
    }

    // A step boundary gets a row on each side; anything but two digits on the scale is
    // unreadable, and shown with its bytes rather than as a level.
    void signalQualityMeaning_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<int>("value"); // -1: none
        QTest::addColumn<int>("dbm");   // 0: none
        QTest::addColumn<int>("steps");
        QTest::addColumn<QByteArray>("described");
        const auto row = [](const char *raw, int value, int dbm, int steps, const char *words) {
            QTest::newRow(raw) << QByteArray(raw) << value << dbm << steps << QByteArray(words);
        };
        row("00", 0, -113, 0, "-113 dBm or less");
        row("01", 1, -111, 0, "-111 dBm");
        row("02", 2, -109, 1, "-109 dBm");
        row("09", 9, -95, 1, "-95 dBm");
        row("10", 10, -93, 2, "-93 dBm");
        row("14", 14, -85, 2, "-85 dBm");
        row("15", 15, -83, 3, "-83 dBm");
        row("19", 19, -75, 3, "-75 dBm");
        row("20", 20, -73, 4, "-73 dBm");
        row("24", 24, -65, 4, "-65 dBm");
        row("25", 25, -63, 5, "-63 dBm");
        row("31", 31, -51, 5, "-51 dBm or better");
        row("99", 99, 0, 0, "unknown");
        row("32", -1, 0, 0, "unreadable \"32\"");
        row("98", -1, 0, 0, "unreadable \"98\"");
        row(" 7", -1, 0, 0, "unreadable \" 7\"");
        row("7,", -1, 0, 0, "unreadable \"7,\"");
        row("-1", -1, 0, 0, "unreadable \"-1\"");
        row("A", -1, 0, 0, "unreadable \"A\"");
        row("", -1, 0, 0, "unreadable \"\"");
        QTest::newRow("control byte")
            << QByteArray("1\x01", 2) << -1 << 0 << 0 << QByteArray("unreadable \"1\\x01\"");
    }

    void signalQualityMeaning()
    {
        QFETCH(QByteArray, raw);
        QFETCH(int, value);
        QFETCH(int, dbm);
        QFETCH(int, steps);
        QFETCH(QByteArray, described);
        const cellular::SignalReading reading = cellular::InterpretSignalQuality(raw.toStdString());
        QCOMPARE(Bytes(reading.raw), raw);
        QCOMPARE(reading.value.value_or(-1), value);
        QCOMPARE(cellular::SignalLevelDbm(reading).value_or(0), dbm);
        QCOMPARE(cellular::SignalBarSteps(reading), steps);
        QCOMPARE(Bytes(cellular::DescribeSignal(reading)), described);
    }

    void frontEndWriteKeepsTheMinutesAsTyped()
    {
        QCOMPARE(Bytes(cellular::BuildFrontEndWrite(" +015 ")),
                 QByteArray("QW") +
                     QByteArray(cellular::kDefaultFrontEndAddress.data(),
                                cellular::kDefaultFrontEndAddress.size()) +
                     ",6004,+015");
    }

    void delimitedItems_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArrayList>("items");
        QTest::newRow("a,b,c") << QByteArray("a,b,c") << QByteArrayList{"a", "b", "c"};
        QTest::newRow("spaces separate") << QByteArray("a b\tc") << QByteArrayList{"a", "b", "c"};
        QTest::newRow("blanks around commas")
            << QByteArray("  a , b ,c ") << QByteArrayList{"a", "b", "c"};
        QTest::newRow("a,,c") << QByteArray("a,,c") << QByteArrayList{"a", "", "c"};
        QTest::newRow("trailing comma") << QByteArray("a,b,") << QByteArrayList{"a", "b", ""};
        QTest::newRow("comma then blank at end") << QByteArray("a,b, ") << QByteArrayList{"a", "b"};
        QTest::newRow(",") << QByteArray(",") << QByteArrayList{"", ""};
        QTest::newRow("empty") << QByteArray() << QByteArrayList();
        QTest::newRow("blanks only") << QByteArray(" \r\n") << QByteArrayList();
        QTest::newRow("quoted with space and comma")
            << QByteArray("\"a b,c\",d") << QByteArrayList{"a b,c", "d"};
        QTest::newRow("doubled quote")
            << QByteArray("\"say \"\"hi\"\"\",x") << QByteArrayList{"say \"hi\"", "x"};
        QTest::newRow("empty quoted") << QByteArray("\"\",\"\"") << QByteArrayList{"", ""};
        QTest::newRow("text after closing quote")
            << QByteArray("\"ab\"cd,e") << QByteArrayList{"ab", "cd", "e"};
        QTest::newRow("quote inside bare item")
            << QByteArray("a\"b c") << QByteArrayList{"a\"b", "c"};
        QTest::newRow("unclosed quote takes the rest")
            << QByteArray("1,\"4 5,6") << QByteArrayList{"1", "4 5,6"};
        QTest::newRow("unclosed after doubled quote")
            << QByteArray("\"a\"\"b") << QByteArrayList{"a\"b"};
        QTest::newRow("high bytes are no blanks")
            << QByteArray("\xE9\xA0,x") << QByteArrayList{"\xE9\xA0", "x"};
        QTest::newRow("zero byte separates") << QByteArray("a\0b", 3) << QByteArrayList{"a", "b"};
    }

    void delimitedItems()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArrayList, items);
        QCOMPARE(Items(cellular::SplitDelimitedItems(text.toStdString())), items);
    }

    void frontEndAnswerIsTheThirdItem_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("filled");
        QTest::addColumn<QByteArray>("minutes");
        QTest::newRow("commas") << QByteArray("R192.0.2.60,6004,30") << true << QByteArray("30");
        QTest::newRow("spaces") << QByteArray("R192.0.2.60 6004 30") << true << QByteArray("30");
        QTest::newRow("more items") << QByteArray("R1,2,3,4") << true << QByteArray("3");
        QTest::newRow("quoted") << QByteArray("R\"a b\",\"6004\",\"3\"\"0\"") << true
                                << QByteArray("3\"0");
        QTest::newRow("empty third") << QByteArray("R1,,") << true << QByteArray();
        QTest::newRow("two items") << QByteArray("R1,2") << false << QByteArray();
        QTest::newRow("R") << QByteArray("R") << false << QByteArray();
        QTest::newRow("empty payload") << QByteArray() << false << QByteArray();
    }

    void frontEndAnswerIsTheThirdItem()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, filled);
        QFETCH(QByteArray, minutes);
        const std::optional<std::string> parsed =
            cellular::ParseFrontEndAnswer(payload.toStdString());
        QCOMPARE(parsed.has_value(), filled);
        if (parsed) {
            QCOMPARE(Bytes(*parsed), minutes);
        }
    }

    // The fleet's endpoint: read as three items, written back as given.
    void frontEndEndpointRoundTrips_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("write");
        QTest::newRow("commas") << QByteArray("R10.9.8.7,7001,45")
                                << QByteArray("QW10.9.8.7,7001,45");
        QTest::newRow("spaces and more items")
            << QByteArray("R10.9.8.7 7001 45,x") << QByteArray("QW10.9.8.7,7001,45");
        QTest::newRow("two items") << QByteArray("R10.9.8.7,7001") << QByteArray();
    }

    void frontEndEndpointRoundTrips()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, write);
        const auto endpoint = cellular::ParseFrontEndEndpoint(payload.toStdString());
        QCOMPARE(endpoint.has_value(), !write.isEmpty());
        if (endpoint) {
            QCOMPARE(Bytes(cellular::BuildFrontEndEndpointWrite(*endpoint)), write);
        }
    }

    void frontEndEndpointRefusals_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<QByteArray>("minutes");
        QTest::addColumn<QByteArray>("refusal");
        const QByteArray address = "the address must be four decimal numbers from 0 to 255 "
                                   "without leading zeros";
        const QByteArray port = "the port must be a decimal number from 1 to 65535";
        const QByteArray minutes =
            "the minutes must be decimal digits without sign or leading zero";
        QTest::newRow("accepted") << QByteArray("10.9.8.7") << QByteArray("7001")
                                  << QByteArray("45") << QByteArray();
        QTest::newRow("extremes") << QByteArray("0.0.0.255") << QByteArray("65535")
                                  << QByteArray("2147483647") << QByteArray();
        QTest::newRow("octet 256")
            << QByteArray("10.9.8.256") << QByteArray("7001") << QByteArray("45") << address;
        QTest::newRow("octet leading zero")
            << QByteArray("10.09.8.7") << QByteArray("7001") << QByteArray("45") << address;
        QTest::newRow("five octets")
            << QByteArray("10.9.8.7.6") << QByteArray("7001") << QByteArray("45") << address;
        QTest::newRow("empty octet")
            << QByteArray("10..8.7") << QByteArray("7001") << QByteArray("45") << address;
        QTest::newRow("port 0") << QByteArray("10.9.8.7") << QByteArray("0") << QByteArray("45")
                                << port;
        QTest::newRow("port 65536")
            << QByteArray("10.9.8.7") << QByteArray("65536") << QByteArray("45") << port;
        QTest::newRow("port with sign")
            << QByteArray("10.9.8.7") << QByteArray("+7001") << QByteArray("45") << port;
        QTest::newRow("minutes 0")
            << QByteArray("10.9.8.7") << QByteArray("7001") << QByteArray("0")
            << QByteArray(cellular::kFrontEndMinutesMissing);
        QTest::newRow("minutes beyond 32 bits")
            << QByteArray("10.9.8.7") << QByteArray("7001") << QByteArray("2147483648")
            << QByteArray(cellular::kFrontEndMinutesMissing);
        QTest::newRow("minutes hexadecimal")
            << QByteArray("10.9.8.7") << QByteArray("7001") << QByteArray("0x2D") << minutes;
        QTest::newRow("minutes leading zero")
            << QByteArray("10.9.8.7") << QByteArray("7001") << QByteArray("045") << minutes;
    }

    void frontEndEndpointRefusals()
    {
        QFETCH(QByteArray, address);
        QFETCH(QByteArray, port);
        QFETCH(QByteArray, minutes);
        QFETCH(QByteArray, refusal);
        const cellular::FrontEndEndpoint endpoint{address.toStdString(), port.toStdString(),
                                                  minutes.toStdString()};
        QCOMPARE(cellular::RefusedFrontEndEndpoint(endpoint).value_or(Refusal{}).message.toLatin1(),
                 refusal);
    }
};

QTEST_APPLESS_MAIN(TestCellularLinkCodec)
#include "test_cellular_link_codec.moc"

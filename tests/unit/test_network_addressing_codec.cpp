// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/network_addressing_codec.h"
#include "protocol/text.h"

#include <QtTest>

using namespace network_addressing;

Q_DECLARE_METATYPE(network_addressing::ServerReadBack)

namespace {

QStringList ToList(const OctetRow &row)
{
    QStringList list;
    for (const std::string &octet : row) {
        list.append(QString::fromStdString(octet));
    }
    return list;
}

OctetRow ToRow(const QStringList &list)
{
    OctetRow row;
    for (std::size_t index = 0; index < row.size(); ++index) {
        row[index] = list.at(static_cast<qsizetype>(index)).toStdString();
    }
    return row;
}

QStringList Octets(const char *dotted)
{
    return ToList(CutDottedText(dotted));
}

} // namespace

class TestNetworkAddressingCodec : public QObject
{
    Q_OBJECT

private slots:
    void cutDottedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("octets");
        QTest::newRow("192.168.1.100") << "192.168.1.100" << QStringList{"192", "168", "1", "100"};
        QTest::newRow("10.0.5") << "10.0.5" << QStringList{"10", "0", "", "5"};
        QTest::newRow("1.2.3.4.5") << "1.2.3.4.5" << QStringList{"1", "2", "3", "4.5"};
        QTest::newRow("no dot") << "abc" << QStringList{"", "", "", "abc"};
        QTest::newRow("empty") << "" << QStringList{"", "", "", ""};
    }

    void cutDottedText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, octets);
        QCOMPARE(ToList(CutDottedText(text.toStdString())), octets);
    }

    void ipAnswer_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<bool>("complete");
        QTest::newRow("three fields") << "R192.168.1.100,255.255.255.0,192.168.1.1" << true;
        QTest::newRow("fourth field") << "R192.168.1.100,255.255.255.0,192.168.1.1,6001" << true;
        QTest::newRow("two fields") << "R192.168.1.100,255.255.255.0" << false;
        QTest::newRow("R alone") << "R" << false;
    }

    void ipAnswer()
    {
        QFETCH(QString, payload);
        QFETCH(bool, complete);
        const std::optional<IpConfiguration> parsed = ParseIpAnswer(payload.toStdString());
        QCOMPARE(parsed.has_value(), complete);
        if (complete) {
            QCOMPARE(ToList(parsed->address), Octets("192.168.1.100"));
            QCOMPARE(ToList(parsed->mask), Octets("255.255.255.0"));
            QCOMPARE(ToList(parsed->gateway), Octets("192.168.1.1"));
        }
    }

    void fixedIpRequestJoinsTheOctetsAsEntered()
    {
        const IpConfiguration entered{CutDottedText("192.168.1.100"),
                                      CutDottedText("255.255.255.0"), CutDottedText("192.168.1.1")};
        QCOMPARE(BuildFixedIpRequest(entered),
                 std::string("EW192.168.1.100,255.255.255.0,192.168.1.1,6001"));
        QCOMPARE(kDhcpIpRequest, std::string_view("EW0.0.0.0,0.0.0.0,0.0.0.0,6001"));
    }

    void fixedIpEntryCheck_data()
    {
        QTest::addColumn<QStringList>("address");
        QTest::addColumn<QStringList>("mask");
        QTest::addColumn<QStringList>("gateway");
        QTest::addColumn<QString>("message");
        const QStringList blank{"", "", "", ""};
        const QStringList ip = Octets("192.168.1.100");
        const QStringList mask = Octets("255.255.255.0");
        const QStringList gateway = Octets("192.168.1.1");
        QTest::newRow("all empty") << blank << blank << blank << "Please complete the IP address.";
        QTest::newRow("mask octet blank") << ip << QStringList{"255", " ", "255", "0"} << gateway
                                          << "Please complete the Subnet Mask.";
        QTest::newRow("gateway empty")
            << ip << mask << blank << "Please complete the Gateway address.";
        QTest::newRow("gateway empty, address not a number")
            << QStringList{"1,2", "1", "1", "1"} << mask << blank
            << "Please complete the Gateway address.";
        QTest::newRow("address with a comma")
            << QStringList{"1,2", "1", "1", "1"} << mask << gateway
            << "The IP address must be four numbers from 0 to 255.";
        QTest::newRow("mask octet 300") << ip << QStringList{"300", "0", "0", "0"} << gateway
                                        << "The Subnet Mask must be four numbers from 0 to 255.";
        QTest::newRow("gateway octet with a blank")
            << ip << mask << QStringList{"192", "168", "1", " 1"}
            << "The Gateway address must be four numbers from 0 to 255.";
        QTest::newRow("complete") << ip << mask << gateway << "";
    }

    void fixedIpEntryCheck()
    {
        QFETCH(QStringList, address);
        QFETCH(QStringList, mask);
        QFETCH(QStringList, gateway);
        QFETCH(QString, message);
        const std::optional<Refusal> problem =
            CheckFixedIpEntry({ToRow(address), ToRow(mask), ToRow(gateway)});
        QCOMPARE(problem ? problem->message : QString(), message);
    }

    void dataServerRequests()
    {
        QCOMPARE(BuildDataServerRequest(CutDottedText("192.168.1.20")),
                 std::string("R4192.168.1.20,9040"));
        QCOMPARE(kClearDataServerRequest, std::string_view("R40.0.0.0,0"));
        QCOMPARE(CheckDataServerEntry(ToRow({"10", "0", " ", "5"})).value_or(Refusal{}).message,
                 QStringLiteral("Please complete the IP address."));
        QVERIFY(!CheckDataServerEntry(CutDottedText("192.168.1.20")));
    }

    void dataServerAnswer_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QStringList>("octets");
        QTest::newRow("R10.0.0.5,9040") << "R10.0.0.5,9040" << QStringList{"10", "0", "0", "5"};
        QTest::newRow("R10.0.5,9040") << "R10.0.5,9040" << QStringList{"10", "0", "", "5"};
        QTest::newRow("R1.2.3.4.5,9040") << "R1.2.3.4.5,9040" << QStringList{"1", "2", "3", "4.5"};
        QTest::newRow("no comma") << "R10.0.0.5" << QStringList{"", "", "", ""};
        QTest::newRow("R alone") << "R" << QStringList{"", "", "", ""};
    }

    void dataServerAnswer()
    {
        QFETCH(QString, payload);
        QFETCH(QStringList, octets);
        QCOMPARE(ToList(ParseDataServerAnswer(payload.toStdString())), octets);
    }

    void macAnswerIsTheTextAfterTheMark()
    {
        QCOMPARE(ParseMacAnswer("R00-1a 2B:3c"), std::string("00-1a 2B:3c"));
        QCOMPARE(ParseMacAnswer("R"), std::string());
    }

    void upstreamServerWrite()
    {
        QCOMPARE(BuildUpstreamServerWrite("GW"),
                 "GW" + std::string(kDefaultUpstreamServerAddress) + ",6001");
        QCOMPARE(BuildUpstreamServerWrite("RW"),
                 "RW" + std::string(kDefaultUpstreamServerAddress) + ",6001");
    }

    void serverReadBack_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<ServerReadBack>("verdict");
        const QString address = QString::fromLatin1(kDefaultUpstreamServerAddress);
        QTest::newRow("empty") << "" << ServerReadBack::Ignored;
        QTest::newRow("R alone") << "R" << ServerReadBack::Ignored;
        QTest::newRow("same address and port")
            << "R" + address + ",6001" << ServerReadBack::Matches;
        QTest::newRow("port 6002") << "R" + address + ",6002" << ServerReadBack::Differs;
        QTest::newRow("field after the port")
            << "R" + address + ",6001,1" << ServerReadBack::Differs;
        QTest::newRow("other address") << "R192.0.2.1,6001" << ServerReadBack::Differs;
        QTest::newRow("no comma") << "R" + address << ServerReadBack::Unreadable;
    }

    void serverReadBack()
    {
        QFETCH(QString, payload);
        QFETCH(ServerReadBack, verdict);
        QCOMPARE(JudgeServerReadBack(payload.toStdString()), verdict);
    }

    void octetKeyFilter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<char>("typed");
        QTest::addColumn<bool>("clearText");
        QTest::addColumn<bool>("moveFocus");
        QTest::addColumn<bool>("insert");
        QTest::newRow("digit into empty") << "" << '5' << true << false << true;
        QTest::newRow("dot into empty") << "" << '.' << true << false << false;
        QTest::newRow("letter into blanks") << "  " << 'a' << true << false << false;
        QTest::newRow("backspace into blanks") << " " << kBackspace << true << false << true;
        QTest::newRow("dot after 10") << "10" << '.' << false << true << false;
        QTest::newRow("digit after 10") << "10" << '7' << false << false << true;
        QTest::newRow("backspace after 10") << "10" << kBackspace << false << false << true;
        QTest::newRow("blank after 10") << "10" << ' ' << false << false << false;
        QTest::newRow("sign after 10") << "10" << '-' << false << false << false;
    }

    void octetKeyFilter()
    {
        QFETCH(QString, text);
        QFETCH(char, typed);
        const OctetKeyDecision decision = FilterOctetKey(text.toStdString(), typed);
        QTEST(decision.clearText, "clearText");
        QTEST(decision.moveFocus, "moveFocus");
        QTEST(decision.insert, "insert");
    }

    void octetNormalisation_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalised");
        QTest::addColumn<bool>("moveFocus");
        QTest::newRow("19") << "19"
                            << "19" << false;
        QTest::newRow("192") << "192"
                             << "192" << true;
        QTest::newRow("300") << "300"
                             << "255" << true;
        QTest::newRow("05") << "05"
                            << "5" << false;
        QTest::newRow("00") << "00"
                            << "0" << false;
        QTest::newRow("0") << "0"
                           << "0" << false;
        QTest::newRow("010") << "010"
                             << "10" << false;
        QTest::newRow("empty") << ""
                               << "" << false;
    }

    void octetNormalisation()
    {
        QFETCH(QString, text);
        const OctetNormalisation result = NormaliseOctet(text.toStdString());
        QTEST(QString::fromStdString(result.text), "normalised");
        QTEST(result.moveFocus, "moveFocus");
    }

    void maskSuggestion_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("mask");
        const QStringList none;
        QTest::newRow("10.0.0.1") << "10.0.0.1" << QStringList{"255", "0", "0", "0"};
        QTest::newRow("126.1.1.1") << "126.1.1.1" << QStringList{"255", "0", "0", "0"};
        QTest::newRow("127.0.0.1") << "127.0.0.1" << none;
        QTest::newRow("128.0.0.1") << "128.0.0.1" << QStringList{"255", "255", "0", "0"};
        QTest::newRow("172.16.0.1") << "172.16.0.1" << QStringList{"255", "255", "0", "0"};
        QTest::newRow("191.255.0.1") << "191.255.0.1" << QStringList{"255", "255", "0", "0"};
        QTest::newRow("192.168.1.10") << "192.168.1.10" << QStringList{"255", "255", "255", "0"};
        QTest::newRow("223.1.1.1") << "223.1.1.1" << QStringList{"255", "255", "255", "0"};
        QTest::newRow("224.1.1.1") << "224.1.1.1" << none;
        QTest::newRow("0.1.2.3") << "0.1.2.3" << none;
        QTest::newRow("10.0.0 incomplete") << "10.0.0. " << none;
    }

    void maskSuggestion()
    {
        QFETCH(QString, address);
        QFETCH(QStringList, mask);
        const std::optional<OctetRow> suggested = SuggestMask(CutDottedText(address.toStdString()));
        QCOMPARE(suggested ? ToList(*suggested) : QStringList{}, mask);
    }

    void textThatIsNoNumberIsReported()
    {
        QVERIFY_THROWS_EXCEPTION(protocol::InvalidIntegerError, NormaliseOctet("1a"));
        try {
            SuggestMask(ToRow({"x1z", "1", "1", "1"}));
            QFAIL("no error for a first octet that is not a number");
        } catch (const protocol::InvalidIntegerError &error) {
            QCOMPARE(std::string(error.what()), std::string("'x1z' is not a valid integer value"));
        }
    }
};

QTEST_APPLESS_MAIN(TestNetworkAddressingCodec)
#include "test_network_addressing_codec.moc"

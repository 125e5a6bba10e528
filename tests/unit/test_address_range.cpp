// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/address_range.h"

#include <QtTest>

using discovery::AddressRange;
using discovery::LocalNetwork;

namespace {

quint32 Ip(const char *dotted)
{
    return QHostAddress(QString::fromLatin1(dotted)).toIPv4Address();
}

} // namespace

class TestAddressRange : public QObject
{
    Q_OBJECT

private slots:
    void dottedQuadIsStrict_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "192.0.2.17" << true;
        QTest::newRow("zeros") << "0.0.0.0" << true;
        QTest::newRow("all 255") << "255.255.255.255" << true;
        QTest::newRow("leading zero is decimal") << "010.0.0.1" << true;
        QTest::newRow("octet 256") << "192.0.2.256" << false;
        QTest::newRow("three octets") << "192.0.2" << false;
        QTest::newRow("five octets") << "192.0.2.1.1" << false;
        QTest::newRow("empty octet") << "192..2.1" << false;
        QTest::newRow("trailing dot") << "192.0.2.1." << false;
        QTest::newRow("four digits") << "192.0.2.0001" << false;
        QTest::newRow("hex") << "0xC0.0.2.1" << false;
        QTest::newRow("sign") << "+1.0.2.1" << false;
        QTest::newRow("inner space") << "192.0. 2.1" << false;
        QTest::newRow("arabic digit") << QString::fromUtf8("19\u0662.0.2.1") << false;
        QTest::newRow("one number") << "3221225985" << false;
        QTest::newRow("empty") << "" << false;
    }

    void dottedQuadIsStrict()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(discovery::ParseDottedQuad(text).has_value(), valid);
    }

    void dottedQuadValue()
    {
        QCOMPARE(discovery::ParseDottedQuad(QStringLiteral("010.0.2.255")), Ip("10.0.2.255"));
    }

    void loggerAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // the address, or the message
        QTest::newRow("ordinary") << " 203.0.113.10 "
                                  << "203.0.113.10";
        QTest::newRow("leading zero") << "192.0.2.011"
                                      << "'192.0.2.011' has a number with a leading zero, which "
                                         "could be read as decimal or as octal: write 192.0.2.11.";
        QTest::newRow("loopback, allowed") << "127.0.0.2"
                                           << "127.0.0.2";
        QTest::newRow("loopback, refused")
            << "127.0.0.2"
            << "127.0.0.2 is a loopback address: it reaches this PC itself, not a logger.";
        QTest::newRow("the PC's own address")
            << "198.51.100.1"
            << "198.51.100.1 is an address of this PC, not of a logger.";
        QTest::newRow("the PC's own address in a /32")
            << "192.0.2.9"
            << "192.0.2.9 is an address of this PC, not of a logger.";
        QTest::newRow("the PC's own loopback address, allowed")
            << "127.0.0.1"
            << "127.0.0.1 is an address of this PC, not of a logger.";
        QTest::newRow("network address of a PC /24")
            << "198.51.100.0"
            << "198.51.100.0 is the network address of the PC's network 198.51.100.0/24, not "
               "the address of one logger.";
        QTest::newRow("network address of a PC /22")
            << "10.20.0.0"
            << "10.20.0.0 is the network address of the PC's network 10.20.0.0/22, not the "
               "address of one logger.";
        QTest::newRow(".255 outside the PC's networks") << "10.20.1.255"
                                                        << "10.20.1.255";
        QTest::newRow(".0 outside the PC's networks") << "10.20.1.0"
                                                      << "10.20.1.0";
        QTest::newRow("malformed")
            << "192.0.2"
            << "'192.0.2' is not an IPv4 address: give four numbers from 0 to 255 "
               "separated by dots, such as 192.168.1.20.";
        QTest::newRow("octet too large")
            << "192.0.2.300"
            << "'192.0.2.300' is not an IPv4 address: give four numbers from 0 "
               "to 255 separated by dots, such as 192.168.1.20.";
        QTest::newRow("zero") << "0.0.0.0"
                              << "0.0.0.0 lies in 0.0.0.0/8, which holds no hosts: give the "
                                 "logger's own address.";
        QTest::newRow("zero network") << "0.1.2.3"
                                      << "0.1.2.3 lies in 0.0.0.0/8, which holds no hosts: give "
                                         "the logger's own address.";
        QTest::newRow("broadcast")
            << "255.255.255.255"
            << "255.255.255.255 is the broadcast address, not the address of one logger.";
        QTest::newRow("multicast 224.0.0.0")
            << "224.0.0.0"
            << "224.0.0.0 is a multicast address, not the address of one logger.";
        QTest::newRow("multicast first")
            << "224.0.0.1"
            << "224.0.0.1 is a multicast address, not the address of one logger.";
        QTest::newRow("multicast last") << "239.255.255.255"
                                        << "239.255.255.255 is a multicast address, not the "
                                           "address of one logger.";
        QTest::newRow("broadcast of a PC /24")
            << "198.51.100.255"
            << "198.51.100.255 is the broadcast address of the PC's network "
               "198.51.100.0/24, not the address of one logger.";
        QTest::newRow("broadcast of a PC /22")
            << "10.20.3.255"
            << "10.20.3.255 is the broadcast address of the PC's network 10.20.0.0/22, not the "
               "address of one logger.";
        QTest::newRow("host .255 inside a PC /22") << "10.20.1.255"
                                                   << "10.20.1.255";
    }

    void loggerAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        QList<LocalNetwork> networks{{QHostAddress(QStringLiteral("198.51.100.1")), 24},
                                     {QHostAddress(QStringLiteral("192.0.2.9")), 32},
                                     {QHostAddress(QStringLiteral("127.0.0.1")), 8}};
        if (tag.contains(QLatin1String("/22"))) {
            networks.append({QHostAddress(QStringLiteral("10.20.2.5")), 22});
        }
        const auto loopback = tag.endsWith(QLatin1String("refused"))
                                  ? discovery::LoopbackLoggers::Refused
                                  : discovery::LoopbackLoggers::Allowed;
        const auto parsed = discovery::ParseLoggerAddress(text, networks, loopback);
        if (parsed.accepted()) {
            QCOMPARE(QHostAddress(parsed.value()).toString(), expected);
        } else {
            QCOMPARE(parsed.refusal().message, expected);
        }
    }

    void loopbackOnlyWhenEveryAddressIsOnIt_data()
    {
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("all loopback") << QStringList{"127.0.0.2", " 127.1.2.3"} << true;
        QTest::newRow("one not") << QStringList{"127.0.0.2", "192.0.2.7"} << false;
        QTest::newRow("one malformed") << QStringList{"127.0.0.2", "127.0.0"} << false;
        QTest::newRow("none") << QStringList{} << false;
    }

    void loopbackOnlyWhenEveryAddressIsOnIt()
    {
        QFETCH(QStringList, addresses);
        QFETCH(bool, accepted);
        QCOMPARE(discovery::LoopbackUse(addresses) == discovery::LoopbackLoggers::Allowed,
                 accepted);
    }

    void range_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("first"); // empty when refused
        QTest::addColumn<QString>("last");
        QTest::addColumn<quint64>("size");
        QTest::newRow("/22 leaves out network and broadcast") << "203.0.112.0/22"
                                                              << "203.0.112.1"
                                                              << "203.0.115.254" << quint64(1022);
        QTest::newRow("/24") << "192.0.2.0/24"
                             << "192.0.2.1"
                             << "192.0.2.254" << quint64(254);
        QTest::newRow("host bits ignored") << " 10.20.1.7 / 22 "
                                           << "10.20.0.1"
                                           << "10.20.3.254" << quint64(1022);
        QTest::newRow("/16 is the largest block") << "10.20.0.0/16"
                                                  << "10.20.0.1"
                                                  << "10.20.255.254" << quint64(65534);
        QTest::newRow("/30 leaves out network and broadcast") << "10.0.0.4/30"
                                                              << "10.0.0.5"
                                                              << "10.0.0.6" << quint64(2);
        QTest::newRow("/31 keeps both") << "10.0.0.4/31"
                                        << "10.0.0.4"
                                        << "10.0.0.5" << quint64(2);
        QTest::newRow("/32") << "10.0.0.4/32"
                             << "10.0.0.4"
                             << "10.0.0.4" << quint64(1);
        QTest::newRow("pair") << "10.20.0.250-10.20.1.5"
                              << "10.20.0.250"
                              << "10.20.1.5" << quint64(12);
        QTest::newRow("pair with spaces") << "10.0.0.1 - 10.0.0.1"
                                          << "10.0.0.1"
                                          << "10.0.0.1" << quint64(1);
        QTest::newRow("one address") << "127.0.0.9"
                                     << "127.0.0.9"
                                     << "127.0.0.9" << quint64(1);
        QTest::newRow("pair of exactly 65,536") << "10.1.0.0-10.1.255.255"
                                                << "10.1.0.0"
                                                << "10.1.255.255" << quint64(65536);
    }

    void range()
    {
        QFETCH(QString, text);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(quint64, size);
        const auto parsed = discovery::ParseAddressRange(text);
        if (!parsed.accepted()) {
            QFAIL(qPrintable(parsed.refusal().message));
        }
        const AddressRange range = parsed.value();
        QCOMPARE(range.at(0).toString(), first);
        QCOMPARE(range.at(range.size() - 1).toString(), last);
        QCOMPARE(range.size(), size);
    }

    void rangeRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "  "
                               << "Give a block such as 10.20.0.0/22 or a range such as "
                                  "10.20.0.1-10.20.3.254.";
        QTest::newRow("malformed first")
            << "10.20.0-10.20.0.9"
            << "'10.20.0' is not an IPv4 address: give four numbers from 0 "
               "to 255 separated by dots, such as 192.168.1.20.";
        QTest::newRow("malformed block")
            << "10.20.0.0.0/22"
            << "'10.20.0.0.0' is not an IPv4 address: give four numbers from "
               "0 to 255 separated by dots, such as 192.168.1.20.";
        QTest::newRow("three ends")
            << "1.1.1.1-1.1.1.2-1.1.1.3"
            << "'1.1.1.1-1.1.1.2-1.1.1.3' is not an IPv4 address: give four numbers from 0 to 255 "
               "separated by dots, such as 192.168.1.20.";
        QTest::newRow("prefix 33") << "10.0.0.0/33"
                                   << "'/33' is not a prefix length: a block "
                                      "ends with /0 to /32, such as 10.20.0.0/22.";
        QTest::newRow("prefix missing") << "10.0.0.0/"
                                        << "'/' is not a prefix length: a block "
                                           "ends with /0 to /32, such as "
                                           "10.20.0.0/22.";
        QTest::newRow("inverted") << "10.20.3.0-10.20.0.1"
                                  << "The range from 10.20.3.0 to 10.20.0.1 is inverted: the "
                                     "first address must not come after the last.";
        QTest::newRow("pair of 65,537") << "10.1.0.0-10.2.0.0"
                                        << "The range holds 65,537 addresses; one search takes at "
                                           "most 65,536.";
        QTest::newRow("/15") << "10.0.0.0/15"
                             << "The block /15 holds 131,072 addresses; one "
                                "search takes at most 65,536 (a /16).";
        QTest::newRow("/0") << "0.0.0.0/0"
                            << "The block /0 holds 4,294,967,296 addresses; one "
                               "search takes at most 65,536 (a /16).";
        QTest::newRow("multicast") << "223.255.255.250-224.0.0.5"
                                   << "The range reaches into the multicast addresses "
                                      "224.0.0.0/4, which hold no loggers.";
        QTest::newRow("limited broadcast")
            << "255.255.255.0-255.255.255.255"
            << "The range holds the broadcast address 255.255.255.255, which is no logger's "
               "address.";
        QTest::newRow("zero network") << "0.0.0.0/24"
                                      << "The range reaches into 0.0.0.0/8, which holds no hosts.";
    }

    void rangeRefused()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        const auto parsed = discovery::ParseAddressRange(text);
        QVERIFY(!parsed.accepted());
        QCOMPARE(parsed.refusal().message, message);
    }

    void rangeText_data()
    {
        QTest::addColumn<quint32>("first");
        QTest::addColumn<quint32>("last");
        QTest::addColumn<QString>("text");
        QTest::newRow("block") << Ip("10.20.0.0") << Ip("10.20.3.255") << "10.20.0.0/22";
        QTest::newRow("hosts of a block") << Ip("10.20.0.1") << Ip("10.20.3.254") << "10.20.0.0/22";
        QTest::newRow("hosts of a /30") << Ip("10.20.0.1") << Ip("10.20.0.2") << "10.20.0.0/30";
        QTest::newRow("two that are no block's hosts")
            << Ip("10.20.0.2") << Ip("10.20.0.3") << "10.20.0.2/31";
        QTest::newRow("unaligned pair")
            << Ip("10.20.0.3") << Ip("10.20.0.4") << "10.20.0.3-10.20.0.4";
        QTest::newRow("one short of the hosts")
            << Ip("10.20.0.1") << Ip("10.20.3.253") << "10.20.0.1-10.20.3.253";
        QTest::newRow("unaligned")
            << Ip("10.20.1.0") << Ip("10.20.2.255") << "10.20.1.0-10.20.2.255";
        QTest::newRow("one") << Ip("10.0.0.1") << Ip("10.0.0.1") << "10.0.0.1";
    }

    void rangeText()
    {
        QFETCH(quint32, first);
        QFETCH(quint32, last);
        QFETCH(QString, text);
        QCOMPARE((AddressRange{first, last}).toString(), text);
    }

    // The PC is on 192.0.2.0/24, 10.1.0.0/22, 203.0.113.4/30 and a /31 link.
    void rangeProbeTarget_data()
    {
        QTest::addColumn<quint32>("address");
        QTest::addColumn<bool>("probed");
        QTest::newRow("broadcast of a /24") << Ip("192.0.2.255") << false;
        QTest::newRow("network of a /24") << Ip("192.0.2.0") << false;
        QTest::newRow("host of a /24") << Ip("192.0.2.254") << true;
        QTest::newRow("broadcast of a /22") << Ip("10.1.3.255") << false;
        QTest::newRow(".255 inside a /22") << Ip("10.1.0.255") << true;
        QTest::newRow("broadcast of a /30") << Ip("203.0.113.7") << false;
        QTest::newRow("network of a /30") << Ip("203.0.113.4") << false;
        QTest::newRow("host of a /30") << Ip("203.0.113.6") << true;
        QTest::newRow("either end of a /31") << Ip("198.51.100.0") << true;
        QTest::newRow("beyond the PC's networks") << Ip("192.0.3.0") << true;
    }

    void rangeProbeTarget()
    {
        QFETCH(quint32, address);
        QFETCH(bool, probed);
        const QList<LocalNetwork> pcNetworks{{QHostAddress(QStringLiteral("192.0.2.7")), 24},
                                             {QHostAddress(QStringLiteral("10.1.2.3")), 22},
                                             {QHostAddress(QStringLiteral("203.0.113.5")), 30},
                                             {QHostAddress(QStringLiteral("198.51.100.1")), 31}};
        QCOMPARE(discovery::IsRangeProbeTarget(address, pcNetworks), probed);
    }
};

QTEST_APPLESS_MAIN(TestAddressRange)
#include "test_address_range.moc"

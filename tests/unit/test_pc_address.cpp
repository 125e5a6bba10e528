// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/pc_address.h"

#ifdef Q_OS_LINUX
#include "discovery/default_route_linux.h"
#endif

#include <QtTest>

using discovery::LocalAdapter;

namespace {

QList<QHostAddress> Addresses(const QStringList &texts)
{
    QList<QHostAddress> addresses;
    for (const QString &text : texts) {
        addresses.append(QHostAddress(text));
    }
    return addresses;
}

const QList<LocalAdapter> kTwoAdapters{
    {QStringLiteral("wlan0"), QStringLiteral("wlan0"), QHostAddress(QStringLiteral("192.0.2.1")),
     24},
    {QStringLiteral("eth1"), QStringLiteral("Plant cable"),
     QHostAddress(QStringLiteral("198.51.100.1")), 24},
};

} // namespace

class TestPcAddress : public QObject
{
    Q_OBJECT

private slots:
    void usable_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("usable");
        QTest::newRow("private") << "10.0.0.5" << true;
        QTest::newRow("169.253 is not link-local") << "169.253.1.1" << true;
        QTest::newRow("loopback") << "127.0.0.1" << false;
        QTest::newRow("Debian host name") << "127.0.1.1" << false;
        QTest::newRow("link-local") << "169.254.10.20" << false;
        QTest::newRow("any") << "0.0.0.0" << false;
        QTest::newRow("IPv6") << "2001:db8::1" << false;
    }

    void usable()
    {
        QFETCH(QString, address);
        QFETCH(bool, usable);
        QCOMPARE(discovery::IsUsablePcAddress(QHostAddress(address)), usable);
    }

    void choice_data()
    {
        QTest::addColumn<QStringList>("hostName");
        QTest::addColumn<QString>("defaultRoute");
        QTest::addColumn<bool>("withAdapters");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("host name held by an adapter wins over the default route")
            << QStringList{"2001:db8::5", "192.0.2.1"} << "eth1" << true << "192.0.2.1";
        QTest::newRow("later host name address held by an adapter")
            << QStringList{"127.0.1.1", "198.51.100.1"} << "" << true << "198.51.100.1";
        QTest::newRow("stale host name address no adapter holds")
            << QStringList{"203.0.113.7", "192.0.2.1"} << "eth1" << true << "192.0.2.1";
        QTest::newRow("host name address removed, default route adapter")
            << QStringList{"203.0.113.7"} << "eth1" << true << "198.51.100.1";
        QTest::newRow("loopback host name, default route adapter")
            << QStringList{"127.0.1.1"} << "eth1" << true << "198.51.100.1";
        QTest::newRow("link-local host name, first adapter")
            << QStringList{"169.254.3.4"} << "" << true << "192.0.2.1";
        QTest::newRow("default route on an unusable interface")
            << QStringList{"127.0.1.1"} << "tun0" << true << "192.0.2.1";
        QTest::newRow("unresolved host name") << QStringList{} << "eth1" << true << "198.51.100.1";
        QTest::newRow("no adapter: loopback host name is no PC address")
            << QStringList{"127.0.1.1"} << "" << false << "";
        QTest::newRow("no adapter: a host name address no adapter holds is none either")
            << QStringList{"2001:db8::5", "203.0.113.7"} << "" << false << "";
        QTest::newRow("nothing at all") << QStringList{} << "" << false << "";
    }

    void choice()
    {
        QFETCH(QStringList, hostName);
        QFETCH(QString, defaultRoute);
        QFETCH(bool, withAdapters);
        QFETCH(QString, chosen);
        QCOMPARE(discovery::ChoosePcAddress(Addresses(hostName),
                                            withAdapters ? kTwoAdapters : QList<LocalAdapter>{},
                                            defaultRoute),
                 chosen);
    }

    void adapterLabel()
    {
        QCOMPARE(kTwoAdapters.at(1).label(), QStringLiteral("Plant cable  198.51.100.1/24"));
    }

#ifdef Q_OS_LINUX
    void defaultRouteFromTable_data()
    {
        const QByteArray header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask"
                                  "\t\tMTU\tWindow\tIRTT\n";
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QString>("interface");
        QTest::newRow("one default route")
            << header + "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
                        "eth1\t00000000\t FE6433C6\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
            << "eth1";
        QTest::newRow("lowest metric wins")
            << header + "wlan0\t00000000\t010200C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                        "eth0\t00000000\t016433C6\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                        "eth9\t00000000\t016433C6\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
            << "eth0";
        QTest::newRow("route that is down") << header + "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t"
                                                        "00000000\t0\t0\t0\n"
                                            << "";
        QTest::newRow("no default route")
            << header + "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
            << "";
        QTest::newRow("header only") << header << "";
        QTest::newRow("garbage") << QByteArray("Iface\n\x01\x02 00000000\nx y z\n") << "";
    }

    void defaultRouteFromTable()
    {
        QFETCH(QByteArray, table);
        QFETCH(QString, interface);
        QCOMPARE(discovery::DefaultRouteInterfaceFromTable(table), interface);
    }
#endif
};

QTEST_APPLESS_MAIN(TestPcAddress)
#include "test_pc_address.moc"

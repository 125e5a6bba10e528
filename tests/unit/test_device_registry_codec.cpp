// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/device_registry_codec.h"
#include "commands/device_registry_read.h"
#include "protocol/text.h"

#include <QtTest>

using namespace device_registry;

namespace {

// Expected texts write a space as a dot, to keep the widths readable.
std::string Dots(std::string text)
{
    std::replace(text.begin(), text.end(), '.', ' ');
    return text;
}

std::string Spaces(std::size_t count)
{
    return std::string(count, ' ');
}

// A record item: prefix, serial number filled to 16, then the rest of the record body.
std::string RecordItem(const std::string &serialNumber, const std::string &rest)
{
    return "D" + serialNumber + Spaces(16 - serialNumber.size()) + rest;
}

// UTF-8, the code page of the Linux desktop: a cut before a continuation byte splits a
// character.
bool IsUtf8Boundary(std::string_view bytes, std::size_t at)
{
    return at >= bytes.size() || (static_cast<unsigned char>(bytes[at]) & 0xC0U) != 0x80U;
}

std::string Utf8(const char *text)
{
    return QString::fromUtf8(text).toUtf8().toStdString();
}

std::string Repeat(const std::string &text, int count)
{
    std::string repeated;
    for (int index = 0; index < count; ++index) {
        repeated += text;
    }
    return repeated;
}

QString Message(const std::function<void()> &action)
{
    try {
        action();
    } catch (const protocol::InvalidIntegerError &error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

}  // namespace

class TestDeviceRegistryCodec : public QObject
{
    Q_OBJECT

private slots:
    void addRequest_data()
    {
        QTest::addColumn<std::string>("serialNumber");
        QTest::addColumn<std::string>("address");
        QTest::addColumn<std::string>("typeCode");
        QTest::addColumn<std::string>("appendInfo");
        QTest::addColumn<std::string>("request");

        QTest::newRow("ABC123 5 12") << std::string("ABC123") << std::string("5")
                                     << std::string("12") << std::string()
                                     << Dots("DAABC123..........000512");
        QTest::newRow("type A12 split around address")
            << std::string("ABC123") << std::string("5") << std::string("A12") << std::string()
            << Dots("DAABC123..........A00512");
        QTest::newRow("16 characters unchanged")
            << std::string("ABCDEFGHIJKLMNOP") << std::string("1") << std::string("12")
            << std::string() << std::string("DAABCDEFGHIJKLMNOP000112");
        QTest::newRow("17 characters sent unchanged")
            << std::string("ABCDEFGHIJKLMNOPQ") << std::string("1") << std::string("12")
            << std::string() << std::string("DAABCDEFGHIJKLMNOPQ000112");
        QTest::newRow("serial and fields trimmed")
            << std::string("  SN9 \t") << std::string(" 7 ") << std::string(" 12 ")
            << std::string() << Dots("DASN9.............000712");
        QTest::newRow("address 10") << std::string("S") << std::string("10") << std::string("12")
                                    << std::string() << Dots("DAS...............000A12");
        QTest::newRow("address 255") << std::string("S") << std::string("255")
                                     << std::string("12") << std::string()
                                     << Dots("DAS...............00FF12");
        QTest::newRow("address 256 widens") << std::string("S") << std::string("256")
                                            << std::string("12") << std::string()
                                            << Dots("DAS...............0010012");
        QTest::newRow("empty type code") << std::string("S") << std::string("1") << std::string()
                                         << std::string() << Dots("DAS...............0001");
        QTest::newRow("4-character type code whole")
            << std::string("S") << std::string("1") << std::string("ABCD") << std::string()
            << Dots("DAS...............0001ABCD");
        QTest::newRow("empty serial") << std::string() << std::string("1") << std::string("12")
                                      << std::string() << Dots("DA................000112");
        QTest::newRow("blank append info sends plain record")
            << std::string("ABC123") << std::string("5") << std::string("12")
            << std::string("  \r\n ") << Dots("DAABC123..........000512");
        QTest::newRow("append info Roof#East compound")
            << std::string("ABC123") << std::string("5") << std::string("12")
            << std::string(" Roof#East ")
            << Dots("RCDAABC123..........0005127039#AA") + "Roof" + Spaces(56) + "East" +
                   Spaces(20) + "05E1F0#";
    }

    void addRequest()
    {
        QFETCH(std::string, serialNumber);
        QFETCH(std::string, address);
        QFETCH(std::string, typeCode);
        QFETCH(std::string, appendInfo);
        QFETCH(std::string, request);
        const DeviceInput device{serialNumber, address, typeCode, appendInfo};
        const std::string built = AddDeviceRequest(device, IsUtf8Boundary);
        QCOMPARE(built, request);
    }

    void addRequestWithInvalidAddressThrows()
    {
        QCOMPARE(Message([] {
                     AddDeviceRequest({"S", " 1x ", "12", ""}, IsUtf8Boundary);
                 }),
                 QStringLiteral("'1x' is not a valid integer value"));
        QCOMPARE(Message([] { AddDeviceRequest({"S", "", "12", ""}, IsUtf8Boundary); }),
                 QStringLiteral("'' is not a valid integer value"));
    }

    void entriesThatWouldNotFitTheRecordAreRefused_data()
    {
        QTest::addColumn<std::string>("serialNumber");
        QTest::addColumn<std::string>("address");
        QTest::addColumn<std::string>("typeCode");
        QTest::addColumn<std::string>("appendInfo");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("fits") << std::string("ABCDEFGHIJKLMNOP") << std::string(" 255 ")
                              << std::string("A12") << std::string() << QString();
        QTest::newRow("address 0 and two-character type")
            << std::string("S") << std::string("0") << std::string(" 12 ") << std::string()
            << QString();
        QTest::newRow("address 256") << std::string("S") << std::string("256") << std::string("12")
                                     << std::string() << "Device Address must be 0 to 255";
        QTest::newRow("negative address")
            << std::string("S") << std::string("-1") << std::string("12") << std::string()
            << "Device Address must be 0 to 255";
        QTest::newRow("empty type code")
            << std::string("S") << std::string("1") << std::string("  ") << std::string()
            << "Type Code must be 2 or 3 characters";
        QTest::newRow("4-character type code")
            << std::string("S") << std::string("1") << std::string("ABCD") << std::string()
            << "Type Code must be 2 or 3 characters";
        QTest::newRow("17-byte serial")
            << std::string("ABCDEFGHIJKLMNOPQ") << std::string("1") << std::string("12")
            << std::string() << "Serial No must be at most 16 characters";
        QTest::newRow("16 characters in 17 bytes")
            << std::string("\xC3\xA9") + std::string(15, 'x') << std::string("1")
            << std::string("12") << std::string() << "Serial No must be at most 16 characters";
        // The device read is split at every "#" and the frame cannot carry a control character.
        QTest::newRow("# in the serial number")
            << std::string("A#B") << std::string("1") << std::string("12") << std::string()
            << "the serial number must not hold \"#\", at which the device read is split";
        QTest::newRow("# in the type code")
            << std::string("S") << std::string("1") << std::string("A#") << std::string()
            << "the type code must not hold \"#\", at which the device read is split";
        QTest::newRow("append info with one #")
            << std::string("S") << std::string("1") << std::string("12") << std::string("Roof#East")
            << QString();
        QTest::newRow("append info with two #")
            << std::string("S") << std::string("1") << std::string("12") << std::string("a#b#c")
            << "the append info may hold one \"#\", between its two parts: the device read is "
               "split at every \"#\"";
        QTest::newRow("append info with a control character")
            << std::string("S") << std::string("1") << std::string("12")
            << std::string("a\x1b"
                           "b")
            << "the append info must not hold control characters";
        QTest::newRow("append info with a double quote")
            << std::string("S") << std::string("1") << std::string("12") << std::string("a\"b")
            << QString();
    }

    void entriesThatWouldNotFitTheRecordAreRefused()
    {
        QFETCH(std::string, serialNumber);
        QFETCH(std::string, address);
        QFETCH(std::string, typeCode);
        QFETCH(std::string, appendInfo);
        QFETCH(QString, refusal);
        const auto refused = RefusedDevice({serialNumber, address, typeCode, appendInfo});
        QCOMPARE(refused ? refused->message : QString(), refusal);
    }

    void appendInfoField_data()
    {
        QTest::addColumn<std::string>("appendInfo");
        QTest::addColumn<std::string>("field");

        QTest::newRow("Roof") << std::string("Roof") << "Roof" + Spaces(80);
        QTest::newRow("90 bytes without #")
            << Repeat("0123456789", 9) << Repeat("0123456789", 8) + "0123";
        QTest::newRow("#East") << std::string("#East") << Spaces(60) + "East" + Spaces(20);
        QTest::newRow("Roof#") << std::string("Roof#") << "Roof" + Spaces(80);
        QTest::newRow("further # kept in second part")
            << std::string("A#B#C") << "A" + Spaces(59) + "B#C" + Spaces(21);
        QTest::newRow("both parts cut")
            << Repeat("x", 65) + "#" + Repeat("y", 30) << Repeat("x", 60) + Repeat("y", 24);
        QTest::newRow("Chinese filling 60 bytes exactly")
            << Repeat(Utf8("屋"), 20) + "#" + Utf8("东面")
            << Repeat(Utf8("屋"), 20) + Utf8("东面") + Spaces(18);
        QTest::newRow("cut inside Chinese moves back")
            << "a" + Repeat(Utf8("屋"), 20) + "#" + "b" + Repeat(Utf8("东"), 8)
            << "a" + Repeat(Utf8("屋"), 19) + Spaces(2) + "b" + Repeat(Utf8("东"), 7) + Spaces(2);
        QTest::newRow("cut inside Chinese without #")
            << "ab" + Repeat(Utf8("顶"), 30) << "ab" + Repeat(Utf8("顶"), 27) + Spaces(1);
    }

    void appendInfoField()
    {
        QFETCH(std::string, appendInfo);
        QFETCH(std::string, field);
        const std::string built = AppendInfoField(appendInfo, IsUtf8Boundary);
        QCOMPARE(built.size(), kAppendInfoWidth);
        QCOMPARE(built, field);
    }

    void readRequest_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<std::string>("request");

        QTest::newRow("1") << 1 << std::string("RCDR0160D1#AB0161D8#");
        QTest::newRow("3") << 3
                           << std::string("RCDR0160D1#AB0161D8#DR0220D0#AB0221D9#"
                                          "DR03E110#AB03E019#");
    }

    void readRequest()
    {
        QFETCH(int, count);
        QFETCH(std::string, request);
        QCOMPARE(DeviceReadRequest(count), request);
    }

    void readRequestIndicesAreHexadecimal()
    {
        const std::string request = DeviceReadRequest(10);
        QCOMPARE(request.size(), std::size_t{2 + 18 * 10});
        QVERIFY(request.ends_with("DR0A6135#AB0A603C#"));
    }

    void deviceCount_data()
    {
        QTest::addColumn<std::string>("answer");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("error");

        QTest::newRow("R00") << std::string("R00") << 0 << QString();
        QTest::newRow("R03") << std::string("R03") << 3 << QString();
        QTest::newRow("R0A") << std::string("R0A") << 10 << QString();
        QTest::newRow("R1fx tail ignored") << std::string("R1fx") << 31 << QString();
        QTest::newRow("R") << std::string("R") << 0
                           << QStringLiteral("'' is not a valid integer value");
        QTest::newRow("R5") << std::string("R5") << 5 << QString();
        QTest::newRow("RZ1") << std::string("RZ1") << 0
                             << QStringLiteral("'Z1' is not a valid integer value");
    }

    void deviceCount()
    {
        QFETCH(std::string, answer);
        QFETCH(int, count);
        QFETCH(QString, error);
        int parsed = 0;
        QCOMPARE(Message([&] { parsed = DeviceCount(answer); }), error);
        QCOMPARE(parsed, count);
    }

    void readItems_data()
    {
        QTest::addColumn<std::string>("answer");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<std::vector<std::string>>("items");

        QTest::newRow("not RC") << std::string("RDN#a#b#") << false << std::vector<std::string>{};
        QTest::newRow("RC#") << std::string("RC#") << true << std::vector<std::string>{};
        QTest::newRow("RC") << std::string("RC") << true << std::vector<std::string>{};
        QTest::newRow("two items") << std::string("RC02#Dx#Ay#") << true
                                   << std::vector<std::string>{"Dx", "Ay"};
        QTest::newRow("last byte dropped whatever it is")
            << std::string("RC#Dx#Ayz") << true << std::vector<std::string>{"Dx", "Ay"};
    }

    void readItems()
    {
        QFETCH(std::string, answer);
        QFETCH(bool, accepted);
        QFETCH(std::vector<std::string>, items);
        const auto parsed = DeviceReadItems(answer);
        QCOMPARE(parsed.has_value(), accepted);
        if (parsed) {
            QCOMPARE(*parsed, items);
        }
    }

    // The count sizes the read; the read holds the count only with an item pair a device.
    void registryReadAsksForTheDevicesCounted_data()
    {
        QTest::addColumn<std::string>("countAnswer");
        QTest::addColumn<std::string>("readAnswer");
        QTest::addColumn<std::string>("readRequest"); // empty: none sent
        QTest::addColumn<int>("devices");
        QTest::addColumn<bool>("holdsTheCount");
        QTest::addColumn<std::string>("unreadable");

        const std::string first = RecordItem("SN1", "000512") + "#A" + Spaces(84) + "#";
        const std::string second = RecordItem("SN2", "A00A12") + "#ARoof#";
        const std::string requestOfTwo = "RCDR0160D1#AB0161D8#DR0220D0#AB0221D9#";
        QTest::newRow("R00") << std::string("R00") << std::string() << std::string() << 0
                             << false << std::string();
        QTest::newRow("R02, two devices") << std::string("R02") << "RC#" + first + second
                                          << requestOfTwo << 2 << true << std::string();
        QTest::newRow("R02, one device") << std::string("R02") << "RC#" + first << requestOfTwo
                                         << 1 << false << std::string();
        QTest::newRow("R02, second address G1")
            << std::string("R02") << "RC#" + first + RecordItem("SN2", "00G112") + "#Ax#"
            << requestOfTwo << 1 << true << std::string("G1");
        QTest::newRow("R01, answer without RC") << std::string("R01") << "RX#" + first
                                                << std::string("RCDR0160D1#AB0161D8#") << 0
                                                << false << std::string();
    }

    void registryReadAsksForTheDevicesCounted()
    {
        QFETCH(std::string, countAnswer);
        QFETCH(std::string, readAnswer);
        QFETCH(std::string, readRequest);
        QFETCH(int, devices);
        QFETCH(bool, holdsTheCount);
        QFETCH(std::string, unreadable);
        RegistryRead read;
        const std::optional<protocol::Request> next = read.takeCount(countAnswer);
        QCOMPARE(next ? next->payload : std::string(), readRequest);
        if (!next) {
            return;
        }
        const RegistryReadOutcome outcome = read.takeDevices(readAnswer);
        QCOMPARE(outcome.entries().size(), std::size_t(devices));
        QCOMPARE(read.holdsTheCount(outcome), holdsTheCount);
        QCOMPARE(outcome.unreadable.value_or(std::string()), unreadable);
    }

    void recordItem_data()
    {
        QTest::addColumn<std::string>("item");
        QTest::addColumn<QStringList>("row");
        QTest::addColumn<QString>("error");

        QTest::newRow("type prefix 0") << RecordItem("ABC123", "000512")
                                       << QStringList{"ABC123", "5", "12"} << QString();
        QTest::newRow("type prefix A") << RecordItem("ABC123", "A00512")
                                       << QStringList{"ABC123", "5", "A12"} << QString();
        QTest::newRow("address 0A") << RecordItem("  SN", "000A12") << QStringList{"SN", "10", "12"}
                                    << QString();
        QTest::newRow("1-character type") << RecordItem("S", "00FF5")
                                          << QStringList{"S", "255", "5"} << QString();
        QTest::newRow("address not hex") << RecordItem("S", "00G112") << QStringList{}
                                         << QStringLiteral("'G1' is not a valid integer value");
        QTest::newRow("cut before address") << Dots("DS........") << QStringList{}
                                            << QStringLiteral("'' is not a valid integer value");
        QTest::newRow("empty item") << std::string() << QStringList{}
                                    << QStringLiteral("'' is not a valid integer value");
    }

    void recordItem()
    {
        QFETCH(std::string, item);
        QFETCH(QStringList, row);
        QFETCH(QString, error);
        DeviceRow parsed;
        QCOMPARE(Message([&] { parsed = ParseRecordItem(item); }), error);
        if (error.isEmpty()) {
            QCOMPARE((QStringList{QString::fromStdString(parsed.serialNumber),
                                  QString::fromStdString(parsed.address),
                                  QString::fromStdString(parsed.typeCode)}),
                     row);
        }
    }

    void appendInfoItem_data()
    {
        QTest::addColumn<std::string>("item");
        QTest::addColumn<std::string>("shown");

        QTest::newRow("Roof East") << "A" + std::string("Roof") + Spaces(56) + "East" + Spaces(20)
                                   << std::string("Roof#East");
        QTest::newRow("second part blank") << "A" + std::string("Roof") + Spaces(80)
                                           << std::string("Roof#");
        QTest::newRow("first part blank") << "A" + Spaces(60) + "East" + Spaces(20)
                                          << std::string("#East");
        QTest::newRow("short item") << std::string("ARoof") << std::string("Roof#");
        QTest::newRow("empty item") << std::string() << std::string("#");
    }

    void appendInfoItem()
    {
        QFETCH(std::string, item);
        QFETCH(std::string, shown);
        QCOMPARE(ParseAppendInfoItem(item), shown);
    }
};

QTEST_APPLESS_MAIN(TestDeviceRegistryCodec)
#include "test_device_registry_codec.moc"

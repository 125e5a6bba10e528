// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/system_parameters_codec.h"
#include "protocol/text.h"

#include <QtTest>

using system_parameters::BlockControls;
Q_DECLARE_METATYPE(BlockControls)

namespace {

BlockControls Block(const char *times, const char *dataInterval, const char *heartbeat,
                    const char *retries, int waitForResponse, int reconnect, int transport,
                    int gprs)
{
    const std::string hhmmhhmm(times);
    return {hhmmhhmm.substr(0, 2),
            hhmmhhmm.substr(2, 2),
            hhmmhhmm.substr(4, 2),
            hhmmhhmm.substr(6, 2),
            dataInterval,
            heartbeat,
            retries,
            waitForResponse,
            reconnect,
            transport,
            gprs};
}

// 06:00 to 18:30, 300 s, 5 min, 3 retries, Yes, Reconnect, TCP, GPRS On.
BlockControls ExampleBlock()
{
    return Block("06001830", "300", "5", "3", 1, 1, 1, 1);
}

QString ErrorOf(const std::function<void()> &run)
{
    try {
        run();
    } catch (const protocol::InvalidIntegerError &error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

} // namespace

class TestSystemParametersCodec : public QObject
{
    Q_OBJECT

private slots:
    void parseBlockAnswer_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<BlockControls>("block");
        QTest::newRow("R06001830012C05030170") << "R06001830012C05030170" << ExampleBlock();
        QTest::newRow("lower-case hex, flags 0F") << "R00002359ffff0aff000F"
            << Block("00002359", "65535", "10", "255", 0, 0, 0, 0);
        QTest::newRow("flags 80") << "R00000000000000000080"
            << Block("00000000", "0", "0", "0", 0, 0, 0, 0);
        QTest::newRow("flags 40") << "R00000000000000000040"
            << Block("00000000", "0", "0", "0", 0, 1, 0, 0);
        QTest::newRow("flags 20") << "R00000000000000000020"
            << Block("00000000", "0", "0", "0", 0, 0, 1, 0);
        QTest::newRow("flags 10") << "R00000000000000000010"
            << Block("00000000", "0", "0", "0", 0, 0, 0, 1);
        QTest::newRow("response 02 means yes") << "R00000000000000000200"
            << Block("00000000", "0", "0", "0", 1, 0, 0, 0);
        QTest::newRow("times as received") << "R7 ab99-1000000000000"
            << Block("7 ab99-1", "0", "0", "0", 0, 0, 0, 0);
        QTest::newRow("trailing text ignored") << "R06001830012C05030170XYZ" << ExampleBlock();
        // A field cut short by the end of the answer is read from the digits it holds.
        QTest::newRow("flags cut to one digit") << "R06001830012C0503017"
            << Block("06001830", "300", "5", "3", 1, 0, 0, 0);
        QTest::newRow("flags cut to F") << "R06001830012C050301F"
            << Block("06001830", "300", "5", "3", 1, 0, 0, 0);
    }

    void parseBlockAnswer()
    {
        QFETCH(QString, payload);
        QFETCH(BlockControls, block);
        QCOMPARE(system_parameters::ParseBlockAnswer(payload.toStdString()), block);
    }

    void brokenAnswerNamesTheFirstBadField_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("error");
        QTest::newRow("R") << "R" << "'' is not a valid integer value";
        QTest::newRow("heartbeat missing after a cut data interval") << "R0600183001"
            << "'' is not a valid integer value";
        QTest::newRow("flags missing") << "R06001830012C050301"
            << "'' is not a valid integer value";
        QTest::newRow("flags cut to one non-hex digit") << "R06001830012C050301G"
            << "'G' is not a valid integer value";
        QTest::newRow("data interval not hex") << "R0600183001ZC05030170"
            << "'01ZC' is not a valid integer value";
        QTest::newRow("flags not hex") << "R06001830012C050301G0"
            << "'G0' is not a valid integer value";
    }

    void brokenAnswerNamesTheFirstBadField()
    {
        QFETCH(QString, payload);
        QFETCH(QString, error);
        QCOMPARE(ErrorOf([&] { system_parameters::ParseBlockAnswer(payload.toStdString()); }),
                 error);
    }

    void minutesRoundedUp_data()
    {
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<QString>("minutes");
        QTest::newRow("0") << "0" << "0";
        QTest::newRow("60") << "60" << "1";
        QTest::newRow("61") << "61" << "2";
        QTest::newRow("90") << "90" << "2";
        QTest::newRow("65535") << "65535" << "1093";
    }

    void minutesRoundedUp()
    {
        QFETCH(QString, seconds);
        QFETCH(QString, minutes);
        QCOMPARE(system_parameters::MinutesRoundedUp(seconds.toStdString()), minutes.toStdString());
    }

    void timesOfTheDay_data()
    {
        QTest::addColumn<QString>("times");
        QTest::addColumn<QString>("message");
        QTest::newRow("23592359") << "23592359" << "";
        QTest::newRow("start hour 24") << "24000000" << "Log Start Stop Time Invalid";
        QTest::newRow("stop hour 24") << "00002400" << "Log Start Stop Time Invalid";
        QTest::newRow("start minute 60") << "00600000" << "Log Start Stop Time Invalid";
        QTest::newRow("stop minute 60") << "00000060" << "Log Start Stop Time Invalid";
        QTest::newRow("negative passes") << "-1-1-1-1" << "";
        QTest::newRow("start after stop passes") << "18000600" << "";
    }

    void timesOfTheDay()
    {
        QFETCH(QString, times);
        QFETCH(QString, message);
        const BlockControls block = Block(qPrintable(times), "300", "5", "3", 1, 1, 1, 1);
        QCOMPARE(system_parameters::CheckBlockInput(block).value_or(Refusal{}).message, message);
    }

    void timeNotANumberIsReportedAfterTheChecksBeforeIt()
    {
        BlockControls block = ExampleBlock();
        block.stopHour = "ab";
        QCOMPARE(ErrorOf([&] { system_parameters::CheckBlockInput(block); }),
                 QStringLiteral("'ab' is not a valid integer value"));
        block.startHour = "24";
        QCOMPARE(system_parameters::CheckBlockInput(block).value_or(Refusal{}).message,
                 QStringLiteral("Log Start Stop Time Invalid"));
    }

    void zeroFilledTime_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("filled");
        QTest::newRow("7") << "7" << "07";
        QTest::newRow(" 7 ") << " 7 " << "07";
        QTest::newRow("07") << "07" << "07";
        QTest::newRow("07 ") << "07 " << "07 ";
        QTest::newRow("123") << "123" << "123";
    }

    void zeroFilledTime()
    {
        QFETCH(QString, typed);
        QFETCH(QString, filled);
        QCOMPARE(system_parameters::ZeroFilledTime(typed.toStdString()), filled.toStdString());
    }

    void fieldsMustKeepTheirWidths_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString time = QStringLiteral("Log Start Stop Time Invalid");
        QTest::newRow("start hour 07 with a space") << 0 << "07 " << time;
        QTest::newRow("stop minute 5") << 3 << "5" << time;
        QTest::newRow("stop hour 100") << 2 << "100" << time;
        QTest::newRow("data interval 65535") << 4 << "65535" << "";
        QTest::newRow("data interval 65536") << 4 << "65536" << "Log Interval must be 0 to 65535";
        QTest::newRow("data interval -1") << 4 << "-1" << "Log Interval must be 0 to 65535";
        QTest::newRow("heartbeat 255") << 5 << "255" << "";
        QTest::newRow("heartbeat 256") << 5 << "256" << "HeartPack Interval must be 0 to 255";
        QTest::newRow("heartbeat -1") << 5 << "-1" << "HeartPack Interval must be 0 to 255";
        QTest::newRow("retries 0") << 6 << "0" << "";
        QTest::newRow("retries 256") << 6 << "256" << "Retry Times must be 0 to 255";
    }

    void fieldsMustKeepTheirWidths()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        BlockControls block = ExampleBlock();
        std::string *fields[] = {
            &block.startHour,           &block.startMinute,      &block.stopHour, &block.stopMinute,
            &block.dataIntervalSeconds, &block.heartbeatMinutes, &block.retries};
        *fields[field] = text.toStdString();
        QCOMPARE(system_parameters::CheckFieldWidths(block).value_or(Refusal{}).message, message);
    }

    void buildBlockWrite_data()
    {
        QTest::addColumn<BlockControls>("block");
        QTest::addColumn<QString>("payload");
        QTest::newRow("06:00-18:30 300 s") << ExampleBlock() << "SW06001830012C05030170";
        QTest::newRow("all zero") << Block("00000000", "0", "0", "0", 0, 0, 0, 0)
            << "SW00000000000000000000";
        QTest::newRow("largest values") << Block("23592359", "65535", "255", "255", 1, 0, 0, 0)
            << "SW23592359FFFFFFFF0100";
        QTest::newRow("numbers trimmed") << Block("00000000", " 16 ", "\t10", "1 ", 0, 1, 0, 0)
            << "SW0000000000100A010040";
        QTest::newRow("hex number typed") << Block("00000000", "$1F", "0x0a", "0", 0, 0, 1, 0)
            << "SW00000000001F0A000020";
    }

    void buildBlockWrite()
    {
        QFETCH(BlockControls, block);
        QFETCH(QString, payload);
        QCOMPARE(system_parameters::BuildBlockWrite(block), payload.toStdString());
    }

    // The write of a chain: the block just read, changed by the chain, checked as the Set
    // button checks it, one-character times zero-filled in between.
    void chainWrites_data()
    {
        QTest::addColumn<BlockControls>("block");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("payload");
        QTest::newRow("GPRS off") << system_parameters::WithGprsState(ExampleBlock(), false) << ""
                                  << "SW06001830012C05030160";
        QTest::newRow("GPRS on from off")
            << system_parameters::WithGprsState(Block("06001830", "300", "5", "3", 1, 1, 1, 0), true)
            << "" << "SW06001830012C05030170";
        QTest::newRow("intervals 10 and 3 minutes")
            << system_parameters::WithIntervals(ExampleBlock(), " 10", "3 ") << ""
            << "SW0600183002580303" "0170";
        QTest::newRow("one-character times filled")
            << Block("6 0 1830", "300", "5", "3", 1, 1, 1, 1) << "" << "SW06001830012C05030170";
        QTest::newRow("empty retries refused") << Block("06001830", "300", "5", "", 1, 1, 1, 1)
                                               << "Please complete Retry Times" << "";
        QTest::newRow("heartbeat too wide refused")
            << Block("06001830", "300", "256", "3", 1, 1, 1, 1)
            << "HeartPack Interval must be 0 to 255" << "";
        QTest::newRow("no GPRS item refused") << Block("06001830", "300", "5", "3", 1, 1, 1, -1)
                                              << "Please select GPRS On or Off" << "";
    }

    void chainWrites()
    {
        QFETCH(BlockControls, block);
        QFETCH(QString, refusal);
        QFETCH(QString, payload);
        const system_parameters::BlockWrite write = system_parameters::PrepareBlockWrite(block);
        QCOMPARE(write.refusal.value_or(Refusal{}).message, refusal);
        QCOMPARE(QString::fromStdString(write.request), payload);
    }
};

QTEST_APPLESS_MAIN(TestSystemParametersCodec)
#include "test_system_parameters_codec.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "system_parameters_codec.h"

#include "protocol/request.h"
#include "protocol/text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace system_parameters {
namespace {

// Field positions within the answer payload, counting its leading "R" as position 1.
struct Field {
    std::size_t position;
    std::size_t width;
};

constexpr Field kStartHour{2, 2};
constexpr Field kStartMinute{4, 2};
constexpr Field kStopHour{6, 2};
constexpr Field kStopMinute{8, 2};
constexpr Field kDataInterval{10, 4};
constexpr Field kHeartbeat{14, 2};
constexpr Field kRetries{16, 2};
constexpr Field kWaitForResponse{18, 2};
constexpr Field kLinkFlags{20, 2};

constexpr std::size_t kBlockCharacters = 20;

constexpr std::int32_t kMaxDataIntervalSeconds = 0xFFFF;
constexpr std::int32_t kMaxByteField = 0xFF;
constexpr std::int32_t kHoursPerDay = 24;
constexpr std::int32_t kMinutesPerHour = 60;
constexpr std::int64_t kSecondsPerMinute = 60;
constexpr std::int32_t kLargestIntervalMinutes = 20;

// As many characters of the field as the answer holds.
std::string_view FieldText(std::string_view payload, Field field)
{
    const std::size_t start = field.position - 1;
    return start < payload.size() ? payload.substr(start, field.width) : std::string_view{};
}

// A field cut short by the end of the answer is read from the digits it holds; only a
// field that is missing altogether or holds a non-hexadecimal character stops the parse.
std::int32_t HexField(std::string_view payload, Field field)
{
    return protocol::ParseHexField(FieldText(payload, field));
}

std::int32_t Trimmed(const std::string &text)
{
    return protocol::ParseInteger(protocol::TrimText(text));
}

std::string UpperHex(std::int32_t value, int minimumDigits)
{
    char digits[9];
    std::snprintf(digits, sizeof digits, "%0*X", minimumDigits, static_cast<unsigned>(value));
    return digits;
}

char BitDigit(int itemIndex)
{
    return itemIndex == 0 ? '0' : '1';
}

// A decimal whole number, or -1 for a text that is not one.
std::int32_t DecimalOrMinusOne(std::string_view text)
{
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        digits.remove_prefix(1);
    }
    if (digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return -1;
    }
    return protocol::TryParseInteger(text).value_or(-1);
}

bool AnyEmpty(std::initializer_list<const std::string *> texts)
{
    for (const std::string *text : texts) {
        if (protocol::TrimText(*text).empty()) {
            return true;
        }
    }
    return false;
}

bool TimesOutOfDay(const BlockControls &controls)
{
    return Trimmed(controls.startHour) >= kHoursPerDay ||
           Trimmed(controls.stopHour) >= kHoursPerDay ||
           Trimmed(controls.startMinute) >= kMinutesPerHour ||
           Trimmed(controls.stopMinute) >= kMinutesPerHour;
}

bool OutOfRange(const std::string &text, std::int32_t largest)
{
    const std::int32_t value = Trimmed(text);
    return value < 0 || value > largest;
}

} // namespace

void ReadBlockAnswer(std::string_view payload, BlockControls &block)
{
    block.startHour = FieldText(payload, kStartHour);
    block.startMinute = FieldText(payload, kStartMinute);
    block.stopHour = FieldText(payload, kStopHour);
    block.stopMinute = FieldText(payload, kStopMinute);
    block.dataIntervalSeconds = std::to_string(HexField(payload, kDataInterval));
    block.heartbeatMinutes = std::to_string(HexField(payload, kHeartbeat));
    block.retries = std::to_string(HexField(payload, kRetries));
    block.waitForResponse = FieldText(payload, kWaitForResponse) == "00" ? 0 : 1;

    // Bit 6 reconnect, bit 5 TCP, bit 4 GPRS: digits 2 to 4 of the bit string.
    const std::string flags = protocol::IntToBitString(HexField(payload, kLinkFlags), 8);
    block.reconnect = flags[1] - '0';
    block.transport = flags[2] - '0';
    block.gprs = flags[3] - '0';
}

std::optional<Refusal> RefuseWriteAfterRead(std::string_view payload)
{
    const std::string_view block = payload.substr(std::min<std::size_t>(1, payload.size()));
    const bool whole =
        block.size() >= kBlockCharacters &&
        block.substr(0, kBlockCharacters).find_first_not_of("0123456789ABCDEFabcdef") ==
            std::string_view::npos;
    if (whole) {
        return std::nullopt;
    }
    return Refusal::FromAscii(kIncompleteBlockMessage);
}

BlockControls ParseBlockAnswer(std::string_view payload)
{
    BlockControls block;
    ReadBlockAnswer(payload, block);
    return block;
}

std::string MinutesRoundedUp(std::string_view decimalSeconds)
{
    const std::int64_t seconds = protocol::ParseInteger(decimalSeconds);
    return std::to_string((seconds + kSecondsPerMinute - 1) / kSecondsPerMinute);
}

std::optional<Refusal> CheckBlockInput(const BlockControls &controls)
{
    if (AnyEmpty({&controls.startHour, &controls.startMinute, &controls.stopHour,
                  &controls.stopMinute})) {
        return Refusal::FromAscii("Please complete Log Start/Stop Time");
    }
    if (AnyEmpty({&controls.dataIntervalSeconds, &controls.heartbeatMinutes})) {
        return Refusal::FromAscii("Please complete Log Interval/HeartPack Interval");
    }
    if (AnyEmpty({&controls.retries})) {
        return Refusal::FromAscii("Please complete Retry Times");
    }
    if (controls.waitForResponse == kNoItem) {
        return Refusal::FromAscii("Please select Wait Response After Send Data");
    }
    if (controls.reconnect == kNoItem) {
        return Refusal::FromAscii("Please select Reconnect or Not");
    }
    if (controls.transport == kNoItem) {
        return Refusal::FromAscii("Please select UDP or TCP");
    }
    if (controls.gprs == kNoItem) {
        return Refusal::FromAscii("Please select GPRS On or Off");
    }
    if (TimesOutOfDay(controls)) {
        return Refusal::FromAscii("Log Start Stop Time Invalid");
    }
    return std::nullopt;
}

std::string ZeroFilledTime(std::string_view time)
{
    const std::string trimmed = protocol::TrimText(time);
    return trimmed.size() == 1 ? "0" + trimmed : std::string(time);
}

std::optional<Refusal> CheckFieldWidths(const BlockControls &controls)
{
    for (const std::string *time :
         {&controls.startHour, &controls.startMinute, &controls.stopHour, &controls.stopMinute}) {
        if (time->size() != 2) {
            return Refusal::FromAscii("Log Start Stop Time Invalid");
        }
    }
    if (OutOfRange(controls.dataIntervalSeconds, kMaxDataIntervalSeconds)) {
        return Refusal::FromAscii("Log Interval must be 0 to 65535");
    }
    if (OutOfRange(controls.heartbeatMinutes, kMaxByteField)) {
        return Refusal::FromAscii("HeartPack Interval must be 0 to 255");
    }
    if (OutOfRange(controls.retries, kMaxByteField)) {
        return Refusal::FromAscii("Retry Times must be 0 to 255");
    }
    return std::nullopt;
}

std::string BuildBlockWrite(const BlockControls &controls)
{
    const std::string flagBits = std::string("0") + BitDigit(controls.reconnect) +
                                 BitDigit(controls.transport) + BitDigit(controls.gprs) + "0000";
    const auto flags = static_cast<std::int32_t>(protocol::BitStringToInt(flagBits));
    return protocol::command_codes::kSystemBlockWrite.str() + controls.startHour +
           controls.startMinute + controls.stopHour + controls.stopMinute +
           UpperHex(Trimmed(controls.dataIntervalSeconds), 4) +
           UpperHex(Trimmed(controls.heartbeatMinutes), 2) +
           UpperHex(Trimmed(controls.retries), 2) + (controls.waitForResponse != 0 ? "01" : "00") +
           UpperHex(flags, 2);
}

std::optional<Refusal> CheckIntervalEntries(std::string_view dataMinutes,
                                            std::string_view heartbeatMinutes)
{
    const std::int32_t data = DecimalOrMinusOne(protocol::TrimText(dataMinutes));
    const std::int32_t heartbeat = DecimalOrMinusOne(protocol::TrimText(heartbeatMinutes));
    if (data <= 0) {
        return Refusal::FromAscii("Data Time invalid");
    }
    if (heartbeat <= 0) {
        return Refusal::FromAscii("Heart Time invalid");
    }
    if (data > kLargestIntervalMinutes) {
        return Refusal::FromAscii("Data Time can not be greater than 20");
    }
    if (heartbeat > kLargestIntervalMinutes) {
        return Refusal::FromAscii("Heart Time can not be greater than 20");
    }
    return std::nullopt;
}

void ZeroFillTimes(BlockControls &block)
{
    for (std::string *time :
         {&block.startHour, &block.stopHour, &block.startMinute, &block.stopMinute}) {
        *time = ZeroFilledTime(*time);
    }
}

BlockWrite PrepareBlockWrite(BlockControls block)
{
    if (auto refusal = CheckBlockInput(block)) {
        return {std::move(refusal), {}};
    }
    ZeroFillTimes(block);
    if (auto refusal = CheckFieldWidths(block)) {
        return {std::move(refusal), {}};
    }
    return {std::nullopt, BuildBlockWrite(block)};
}

BlockControls WithGprsState(BlockControls block, bool on)
{
    block.gprs = on ? kGprsOnItem : kGprsOffItem;
    return block;
}

BlockControls WithIntervals(BlockControls block, std::string_view dataMinutes,
                            std::string_view heartbeatMinutes)
{
    block.dataIntervalSeconds = DataIntervalSeconds(dataMinutes);
    block.heartbeatMinutes = protocol::TrimText(heartbeatMinutes);
    return block;
}

std::string DataIntervalSeconds(std::string_view dataMinutes)
{
    const std::int64_t minutes = protocol::ParseInteger(protocol::TrimText(dataMinutes));
    return std::to_string(minutes * kSecondsPerMinute);
}

} // namespace system_parameters

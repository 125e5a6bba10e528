// SPDX-License-Identifier: GPL-3.0-or-later
#include "cellular_link_codec.h"

#include "protocol/frame_verdicts.h"
#include "protocol/request.h"
#include "quoted_text_codec.h"
#include "protocol/text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace cellular {
namespace {

constexpr char kQuote = '"';

// Blanks are spaces and control characters; a zero byte counts too, so that no byte can
// stall the item splitter.
bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

std::size_t SkipBlanks(std::string_view text, std::size_t at)
{
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    return at;
}

// The bytes between the first `front` and the last `back` ones; empty when there are none.
std::string Inner(std::string_view text, std::size_t front, std::size_t back)
{
    if (text.size() <= front + back) {
        return {};
    }
    return std::string(text.substr(front, text.size() - front - back));
}

std::string TakeQuotedItem(std::string_view text, std::size_t &at)
{
    std::string item;
    ++at; // the opening quote
    while (true) {
        const std::size_t quote = text.find(kQuote, at);
        if (quote == std::string_view::npos) {
            item.append(text.substr(at));
            at = text.size();
            return item;
        }
        item.append(text.substr(at, quote - at));
        const bool doubled = quote + 1 < text.size() && text[quote + 1] == kQuote;
        if (!doubled) {
            at = quote + 1;
            return item;
        }
        item += kQuote;
        at = quote + 2;
    }
}

std::string TakeBareItem(std::string_view text, std::size_t &at)
{
    const std::size_t begin = at;
    while (at < text.size() && !IsBlank(text[at]) && text[at] != ',') {
        ++at;
    }
    return std::string(text.substr(begin, at - begin));
}

} // namespace

std::string BuildApnWrite(const ApnSettings &apn)
{
    return "AW\"" + protocol::TrimText(apn.name) + "\",\"" + protocol::TrimText(apn.user) +
           "\",\"" + protocol::TrimText(apn.password) + "\"";
}

std::optional<Refusal> RefusedApnValue(const ApnSettings &apn, protocol::TextSource source)
{
    const std::pair<const char *, const std::string *> values[] = {
        {"name", &apn.name}, {"user", &apn.user}, {"password", &apn.password}};
    if (source == protocol::TextSource::GivenWhole) {
        for (const auto &[part, value] : values) {
            if (protocol::HoldsControlCharacter(*value)) {
                return Refusal::FromAscii(std::string("the ") + part + " " +
                                          protocol::kNoControlCharacters);
            }
        }
    }
    for (const auto &[part, value] : values) {
        if (auto rule = protocol::RefusedRequestText(protocol::TrimText(*value),
                                                     protocol::CommasInAnswer::SplitTheValue)) {
            return Refusal::FromAscii(std::string("the ") + part + " " + *rule);
        }
    }
    return std::nullopt;
}

std::optional<Refusal> RefusedOperator(std::string_view telecomOperator,
                                       protocol::TextSource source)
{
    return quoted_text::Refused(telecomOperator, source);
}

std::optional<Refusal> RefusedPinEntry(std::string_view pin)
{
    if (pin.empty()) {
        return Refusal::FromAscii(kPinMissing);
    }
    const std::string digits = protocol::TrimText(pin);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return Refusal::FromAscii("must be digits only");
    }
    return std::nullopt;
}

std::optional<Refusal> RefusedFrontEndMinutes(std::string_view minutes)
{
    if (FrontEndMinutesAccepted(minutes)) {
        return std::nullopt;
    }
    return Refusal::FromAscii(kFrontEndMinutesMissing);
}

std::optional<ApnSettings> ParseApnAnswer(std::string_view payload)
{
    const std::vector<std::string> items = protocol::SplitText(payload, ",");
    if (items.size() < 3) {
        return std::nullopt;
    }
    return ApnSettings{Inner(items[0], 2, 1), Inner(items[1], 1, 1), Inner(items[2], 1, 1)};
}

std::string BuildPinWrite(std::string_view pin)
{
    return "PW" + protocol::TrimText(pin);
}

std::string BuildOperatorWrite(std::string_view telecomOperator)
{
    return quoted_text::BuildWrite(protocol::command_codes::kOperatorWrite, telecomOperator)
        .payload;
}

std::string ParseOperatorAnswer(std::string_view payload)
{
    return quoted_text::ParseAnswer(payload);
}

std::string ParseSignalQualityAnswer(std::string_view payload)
{
    constexpr std::size_t kValueOffset = 13; // byte 14, the "R" being byte 1
    if (payload.size() <= kValueOffset) {
        return {};
    }
    return std::string(payload.substr(kValueOffset, 2));
}

SignalReading InterpretSignalQuality(std::string_view raw)
{
    SignalReading reading{std::string(raw), std::nullopt};
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (raw.size() != 2 || !isDigit(raw[0]) || !isDigit(raw[1])) {
        return reading;
    }
    const int value = (raw[0] - '0') * 10 + (raw[1] - '0');
    if (value <= kStrongestSignal || value == kUnknownSignal) {
        reading.value = value;
    }
    return reading;
}

std::optional<int> SignalLevelDbm(const SignalReading &reading)
{
    if (!reading.value || *reading.value > kStrongestSignal) {
        return std::nullopt;
    }
    return static_cast<int>(ScaleToDbm(*reading.value));
}

int SignalBarSteps(const SignalReading &reading)
{
    // The lowest value that lights each step.
    static constexpr std::array<int, kSignalBarSteps> kStepThresholds{2, 10, 15, 20, 25};
    if (!SignalLevelDbm(reading)) {
        return 0;
    }
    int steps = 0;
    for (const int threshold : kStepThresholds) {
        steps += *reading.value >= threshold ? 1 : 0;
    }
    return steps;
}

std::string DescribeSignal(const SignalReading &reading)
{
    const std::optional<int> dbm = SignalLevelDbm(reading);
    if (dbm) {
        const std::string level = std::to_string(*dbm) + " dBm";
        if (*reading.value == kWeakestSignal) {
            return level + " or less";
        }
        return *reading.value == kStrongestSignal ? level + " or better" : level;
    }
    if (reading.value) {
        return "unknown";
    }
    return "unreadable \"" + protocol::EscapeBytes(reading.raw) + "\"";
}

bool FrontEndMinutesAccepted(std::string_view minutes)
{
    return protocol::TryParseInteger(protocol::TrimText(minutes)).value_or(-1) > 0;
}

std::string BuildFrontEndWrite(std::string_view minutes)
{
    return "QW" + std::string(kDefaultFrontEndAddress) + "," + std::string(kFrontEndPort) + "," +
           protocol::TrimText(minutes);
}

std::vector<std::string> SplitDelimitedItems(std::string_view text)
{
    std::vector<std::string> items;
    std::size_t at = SkipBlanks(text, 0);
    while (at < text.size()) {
        items.push_back(text[at] == kQuote ? TakeQuotedItem(text, at) : TakeBareItem(text, at));
        at = SkipBlanks(text, at);
        if (at < text.size() && text[at] == ',') {
            if (at + 1 == text.size()) {
                items.emplace_back();
            }
            at = SkipBlanks(text, at + 1);
        }
    }
    return items;
}

std::optional<std::string> ParseFrontEndAnswer(std::string_view payload)
{
    std::vector<std::string> items = SplitDelimitedItems(payload.substr(payload.empty() ? 0 : 1));
    if (items.size() < 3) {
        return std::nullopt;
    }
    return std::move(items[2]);
}

std::optional<Refusal> RefusedWrittenFrontEndMinutes(std::string_view minutes)
{
    if (const auto refusal = RefusedFrontEndMinutes(minutes)) {
        return refusal;
    }
    if (!protocol::IsPlainDecimal(minutes, 1, std::numeric_limits<std::int32_t>::max())) {
        return Refusal::FromAscii(
            "the minutes must be decimal digits without sign or leading zero");
    }
    return std::nullopt;
}

std::optional<Refusal> RefusedFrontEndEndpoint(const FrontEndEndpoint &endpoint)
{
    constexpr long long kHighestPort = 65535;
    if (!protocol::IsPlainDottedQuad(endpoint.address)) {
        return Refusal::FromAscii(
            "the address must be four decimal numbers from 0 to 255 without leading zeros");
    }
    if (!protocol::IsPlainDecimal(endpoint.port, 1, kHighestPort)) {
        return Refusal::FromAscii("the port must be a decimal number from 1 to 65535");
    }
    return RefusedWrittenFrontEndMinutes(endpoint.minutes);
}

std::string BuildFrontEndEndpointWrite(const FrontEndEndpoint &endpoint)
{
    return "QW" + endpoint.address + "," + endpoint.port + "," + endpoint.minutes;
}

std::optional<FrontEndEndpoint> ParseFrontEndEndpoint(std::string_view payload)
{
    std::vector<std::string> items = SplitDelimitedItems(payload.substr(payload.empty() ? 0 : 1));
    if (items.size() < 3) {
        return std::nullopt;
    }
    return FrontEndEndpoint{std::move(items[0]), std::move(items[1]), std::move(items[2])};
}

} // namespace cellular

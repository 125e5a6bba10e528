// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/text.h"
#include "refusal/refusal.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Payloads and answers of the cellular access settings: APN, SIM PIN, telecom operator,
// signal quality and front-end computer. Text is bytes of the local 8-bit code page.
namespace cellular {

struct ApnSettings {
    std::string name;
    std::string user;
    std::string password;

    bool operator==(const ApnSettings &) const = default;
};

// The front-end computer every logger is pointed at; the window offers no way to change it.
inline constexpr std::string_view kDefaultFrontEndAddress = "192.0.2.60";
inline constexpr std::string_view kFrontEndPort = "6004";

// The operator's messages of refused entries.
inline constexpr char kPinMissing[] = "Please enter the Pin.";
inline constexpr char kFrontEndMinutesMissing[] = "Please complete Front-End Computer Time";

// AW"name","user","password" with each value trimmed; nothing inside a value is escaped.
std::string BuildApnWrite(const ApnSettings &apn);

// Nothing inside a value is escaped and the answer is split at commas, so a trimmed value
// with a double quote, a comma or a control character could never be read back: the
// first such value and its rule ("the user must not hold a comma"). The values are given
// untrimmed, as their source holds them.
std::optional<Refusal> RefusedApnValue(const ApnSettings &apn, protocol::TextSource source);

// The trimmed operator must not hold a double quote or a control character, which the
// answer could not carry back.
std::optional<Refusal> RefusedOperator(std::string_view telecomOperator,
                                       protocol::TextSource source);

// The rule of every PIN, wherever it is given: its trimmed text holds decimal digits
// alone. An empty value is kPinMissing; one of blanks alone passes and sends "PW" without
// digits, as the window always has.
std::optional<Refusal> RefusedPinEntry(std::string_view pin);

// kFrontEndMinutesMissing unless FrontEndMinutesAccepted.
std::optional<Refusal> RefusedFrontEndMinutes(std::string_view minutes);

// The answer to AR, split at every comma: the first item loses its first two bytes ("R"
// and the opening quote), the second and third lose their first and last byte. Fewer than
// three items give nothing; items after the third are ignored.
std::optional<ApnSettings> ParseApnAnswer(std::string_view payload);

// PW followed by the trimmed PIN, unquoted.
std::string BuildPinWrite(std::string_view pin);

// CW"operator" with the value trimmed and not escaped.
std::string BuildOperatorWrite(std::string_view telecomOperator);

// The answer to CR without its first two bytes and its last byte.
std::string ParseOperatorAnswer(std::string_view payload);

// Bytes 14 and 15 of the answer to IF, counting its leading "R" as byte 1: as many of
// them as the answer holds.
std::string ParseSignalQualityAnswer(std::string_view payload);

// The modem's signal-quality scale: 0 to 31 step 2 dB from -113 dBm, 99 when the modem
// does not know.
inline constexpr int kWeakestSignal = 0;
inline constexpr int kStrongestSignal = 31;
inline constexpr int kUnknownSignal = 99;
inline constexpr int kSignalBarSteps = 5;

// One signal-quality report: the characters as received and what they say.
struct SignalReading {
    std::string raw;
    // 0 to 31, or 99 for unknown; nothing when the characters are not two digits or are
    // two digits off the scale (32 to 98). Such a report is unreadable, never a level of 0.
    std::optional<int> value;

    bool operator==(const SignalReading &) const = default;
};

SignalReading InterpretSignalQuality(std::string_view raw);

// -113 + 2 x value: a point of the scale, or a mean of such points, in dBm.
constexpr double ScaleToDbm(double value)
{
    return -113.0 + 2.0 * value;
}

// The level of a reading on the scale; nothing for unknown or unreadable reports.
std::optional<int> SignalLevelDbm(const SignalReading &reading);

// How many of the bar's five steps the reading lights: none below 2 (-109 dBm), unknown or
// unreadable; one from 2, two from 10 (-93 dBm), three from 15 (-83 dBm), four from 20
// (-73 dBm), five from 25 (-63 dBm).
int SignalBarSteps(const SignalReading &reading);

// The reading in words: "-67 dBm", "-113 dBm or less" (0), "-51 dBm or better" (31),
// "unknown" (99), or "unreadable" with the raw bytes in quotes, escaped as in the traffic log.
std::string DescribeSignal(const SignalReading &reading);

// The trimmed minutes must be a whole number above 0; a text that is no signed 32-bit
// number counts as -1.
bool FrontEndMinutesAccepted(std::string_view minutes);

// QW<address>,6004,<minutes> with the default address and the trimmed minutes exactly as
// typed: a sign or leading zeros stay.
std::string BuildFrontEndWrite(std::string_view minutes);

// Items separated by commas or by spaces and control characters; blanks around an item are
// skipped. An item that starts with a double quote runs to the next single double quote,
// a doubled one standing for one quote character. A quote left open takes the rest of the
// text, so nothing received is lost. A comma as the very last byte adds an empty item.
std::vector<std::string> SplitDelimitedItems(std::string_view text);

// The minutes of the answer to QR: the third item after the leading "R". An answer with
// fewer items gives nothing, and the window keeps the minutes it shows.
std::optional<std::string> ParseFrontEndAnswer(std::string_view payload);

// A front-end computer endpoint as a logger reports it: address, port and minutes, as
// texts. The window writes only its fixed default; the many-logger tool writes this whole.
struct FrontEndEndpoint {
    std::string address;
    std::string port;
    std::string minutes;

    bool operator==(const FrontEndEndpoint &) const = default;
};

// The minutes as the many-logger tool takes them: kFrontEndMinutesMissing unless
// FrontEndMinutesAccepted, and then only decimal digits without a leading zero, so that
// the read-back compares with what was sent.
std::optional<Refusal> RefusedWrittenFrontEndMinutes(std::string_view minutes);

// The address must be four decimal octets 0 to 255 without leading zeros, the port 1 to
// 65535 in decimal digits without a leading zero, the minutes as above: the first broken
// rule.
std::optional<Refusal> RefusedFrontEndEndpoint(const FrontEndEndpoint &endpoint);

// QW<address>,<port>,<minutes>: the endpoint as given, with no default filled in.
std::string BuildFrontEndEndpointWrite(const FrontEndEndpoint &endpoint);

// The first three items of the answer to QR after the leading "R", split as
// ParseFrontEndAnswer splits them. An answer with fewer items gives nothing.
std::optional<FrontEndEndpoint> ParseFrontEndEndpoint(std::string_view payload);

} // namespace cellular

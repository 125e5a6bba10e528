#pragma once

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
// first such value and its rule ("the user must not hold a comma").
std::optional<std::string> RefusedApnValue(const ApnSettings &apn);

// The trimmed operator must not hold a double quote or a control character, which the
// answer could not carry back.
std::optional<std::string> RefusedOperator(std::string_view telecomOperator);

// A PIN as the many-logger tool takes it: trimmed, at least one digit and only digits.
std::optional<std::string> RefusedPinDigits(std::string_view pin);

// kFrontEndMinutesMissing unless FrontEndMinutesAccepted.
std::optional<std::string> RefusedFrontEndMinutes(std::string_view minutes);

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

} // namespace cellular

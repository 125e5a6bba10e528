// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

// A text that had to be a whole number and is not. Its message is the one the
// operator sees: "'<text>' is not a valid integer value".
class InvalidIntegerError : public std::runtime_error
{
public:
    explicit InvalidIntegerError(std::string_view text);
    const std::string &text() const { return m_text; }

private:
    std::string m_text;
};

// Removes leading and trailing bytes 0x20 and below (spaces and control characters).
std::string TrimText(std::string_view text);

// Splits at every occurrence of the separator: k separators give k + 1 items, untrimmed.
// An empty separator never matches.
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);

// Reads digits most significant first, each as a decimal value times its power of two.
// A character that is not a decimal digit throws InvalidIntegerError; empty gives 0.
// The value is taken modulo 2^64, so a string longer than 64 digits wraps around.
std::int64_t BitStringToInt(std::string_view bits);

// Puts the low `count` bits of value, most significant first, in front of `text`.
std::string IntToBitString(std::int64_t value, int count, std::string_view text = {});

// A signed 32-bit whole number: an optional sign and decimal digits, or a hexadecimal
// number introduced by "$", "x", "X", "0x" or "0X" (eight hex digits at most, read as the
// 32-bit pattern). Anything else, an empty number or an overflow fails.
std::optional<std::int32_t> TryParseInteger(std::string_view text);

// As TryParseInteger, but a failure throws InvalidIntegerError for `text`.
std::int32_t ParseInteger(std::string_view text);

// Decimal digits without sign or leading zero, of a value from `lowest` to `highest`: a
// number written the one way a reader cannot take for another (no "010", no "+5").
bool IsPlainDecimal(std::string_view text, long long lowest, long long highest);
// Four such numbers from 0 to 255, separated by dots.
bool IsPlainDottedQuad(std::string_view address);

// A field written in hexadecimal digits without prefix; throws InvalidIntegerError for
// `text` when it is not one.
std::int32_t ParseHexField(std::string_view text);

// A control character (a byte below 0x20) would break the frame of the request that
// carries a text; the one message of that rule, whichever text breaks it.
inline constexpr char kNoControlCharacters[] = "must not hold control characters";
bool HoldsControlCharacter(std::string_view text);

// Where a text to be sent comes from. The window's edits are trimmed of blanks and control
// characters at their ends before the text is sent, so a control character counts there
// only inside the text; a text given whole (a file, a command line) is trimmed of the same
// bytes, but one that holds a control character anywhere is refused, since the trim would
// take away unseen what was given.
enum class TextSource { Edit, GivenWhole };

// Whether the answer that reads a value back is split at commas.
enum class CommasInAnswer { Kept, SplitTheValue };

// A value that goes inside a request and must come back in an answer: a control character
// would break the frame, and a double quote (or a comma, where the answer is split at
// commas) would cut the answer, so the value could never be read back. The rule it
// breaks ("must not hold a double quote"); nothing when it can be sent.
std::optional<std::string> RefusedRequestText(std::string_view value, CommasInAnswer commas);

}  // namespace protocol

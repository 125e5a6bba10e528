// SPDX-License-Identifier: GPL-3.0-or-later
#include "text.h"

#include <algorithm>
#include <limits>

namespace protocol {
namespace {

bool IsBlankByte(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::optional<std::int32_t> ParseHexDigits(std::string_view digits)
{
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseDecimal(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > limit) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace

InvalidIntegerError::InvalidIntegerError(std::string_view text)
    : std::runtime_error("'" + std::string(text) + "' is not a valid integer value"), m_text(text)
{
}

std::string TrimText(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlankByte(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlankByte(text[end - 1])) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator)
{
    std::vector<std::string> items;
    if (!separator.empty()) {
        for (std::size_t at = text.find(separator); at != std::string_view::npos;
             at = text.find(separator)) {
            items.emplace_back(text.substr(0, at));
            text.remove_prefix(at + separator.size());
        }
    }
    items.emplace_back(text);
    return items;
}

std::int64_t BitStringToInt(std::string_view bits)
{
    // Unsigned, so that more digits than 64 bits hold wrap around instead of overflowing.
    std::uint64_t value = 0;
    for (const char c : bits) {
        if (c < '0' || c > '9') {
            throw InvalidIntegerError(std::string_view(&c, 1));
        }
        value = value * 2 + static_cast<std::uint64_t>(c - '0');
    }
    return static_cast<std::int64_t>(value);
}

std::string IntToBitString(std::int64_t value, int count, std::string_view text)
{
    std::string bits;
    for (int bit = count - 1; bit >= 0; --bit) {
        bits += ((value >> bit) & 1) != 0 ? '1' : '0';
    }
    return bits + std::string(text);
}

bool IsPlainDecimal(std::string_view text, long long lowest, long long highest)
{
    constexpr std::size_t kMostDigits = 10;
    if (text.empty() || text.size() > kMostDigits || (text.size() > 1 && text.front() == '0') ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const long long value = std::stoll(std::string(text));
    return value >= lowest && value <= highest;
}

bool IsPlainDottedQuad(std::string_view address)
{
    constexpr std::size_t kOctets = 4;
    constexpr long long kHighestOctet = 255;
    const std::vector<std::string> octets = SplitText(address, ".");
    return octets.size() == kOctets &&
           std::all_of(octets.begin(), octets.end(), [](const std::string &octet) {
               return IsPlainDecimal(octet, 0, kHighestOctet);
           });
}

std::optional<std::int32_t> TryParseInteger(std::string_view text)
{
    if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) {
        return ParseHexDigits(text.substr(1));
    }
    if (text.starts_with("0x") || text.starts_with("0X")) {
        return ParseHexDigits(text.substr(2));
    }
    return ParseDecimal(text);
}

std::int32_t ParseInteger(std::string_view text)
{
    if (const auto value = TryParseInteger(text)) {
        return *value;
    }
    throw InvalidIntegerError(text);
}

std::int32_t ParseHexField(std::string_view text)
{
    if (const auto value = ParseHexDigits(text)) {
        return *value;
    }
    throw InvalidIntegerError(text);
}

bool HoldsControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char byte) { return static_cast<unsigned char>(byte) < 0x20; });
}

std::optional<std::string> RefusedRequestText(std::string_view value, CommasInAnswer commas)
{
    if (HoldsControlCharacter(value)) {
        return kNoControlCharacters;
    }
    for (const char byte : value) {
        if (byte == '"') {
            return "must not hold a double quote";
        }
        if (commas == CommasInAnswer::SplitTheValue && byte == ',') {
            return "must not hold a comma";
        }
    }
    return std::nullopt;
}

}  // namespace protocol

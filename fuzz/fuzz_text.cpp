// SPDX-License-Identifier: GPL-3.0-or-later
// The text helpers every answer parser is built on: splitting, trimming and the
// integer readers that turn a received field into a number or the operator's error.

#include "fuzz_check.h"
#include "protocol/text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

void CheckSplit(std::string_view text, std::string_view separator)
{
    const std::vector<std::string> items = protocol::SplitText(text, separator);
    FUZZ_CHECK(!items.empty());
    std::string joined = items.front();
    for (std::size_t index = 1; index < items.size(); ++index) {
        joined += separator;
        joined += items[index];
    }
    FUZZ_CHECK(joined == text);
    if (separator.empty()) {
        FUZZ_CHECK(items.size() == 1);
        return;
    }
    // Every occurrence was a cut: no item holds the separator whole.
    for (const std::string &item : items) {
        FUZZ_CHECK(item.find(separator) == std::string::npos);
    }
}

void CheckTrim(std::string_view text)
{
    const std::string trimmed = protocol::TrimText(text);
    FUZZ_CHECK(text.find(trimmed) != std::string_view::npos);
    if (!trimmed.empty()) {
        FUZZ_CHECK(!IsBlank(trimmed.front()) && !IsBlank(trimmed.back()));
    }
    FUZZ_CHECK(protocol::TrimText(trimmed) == trimmed);
}

void CheckIntegers(std::string_view text)
{
    const std::optional<std::int32_t> value = protocol::TryParseInteger(text);
    try {
        const std::int32_t parsed = protocol::ParseInteger(text);
        FUZZ_CHECK(value && *value == parsed);
    } catch (const protocol::InvalidIntegerError &error) {
        FUZZ_CHECK(!value);
        FUZZ_CHECK(error.text() == text);
        // what() is a C string: a zero byte ends it (the receive path never passes one on).
        const std::string message = "'" + std::string(text) + "' is not a valid integer value";
        FUZZ_CHECK(std::string_view(error.what()) == message.substr(0, message.find('\0')));
    }
    // A plain decimal number without a leading zero reads back as the same text.
    if (value && !text.empty() && text.front() >= '1' && text.front() <= '9') {
        FUZZ_CHECK(std::to_string(*value) == text);
    }
    try {
        const std::int32_t hex = protocol::ParseHexField(text);
        FUZZ_CHECK(!text.empty() && text.size() <= 8);
        FUZZ_CHECK(protocol::TryParseInteger("$" + std::string(text)) == hex);
    } catch (const protocol::InvalidIntegerError &error) {
        FUZZ_CHECK(error.text() == text);
    }
    try {
        const std::int64_t bits = protocol::BitStringToInt(text);
        if (text.size() <= 62 && text.find_first_not_of("01") == std::string_view::npos) {
            FUZZ_CHECK(protocol::IntToBitString(bits, static_cast<int>(text.size())) == text);
        }
    } catch (const protocol::InvalidIntegerError &error) {
        FUZZ_CHECK(error.text().size() == 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string separator = input.ConsumeRandomLengthString(4);
    const std::string text = input.ConsumeRemainingBytesAsString();
    CheckSplit(text, separator);
    CheckTrim(text);
    CheckIntegers(text);
    return 0;
}

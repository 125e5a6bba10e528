// SPDX-License-Identifier: GPL-3.0-or-later
// DecodeFrame on any candidate, and BuildFrame followed by DecodeFrame on any payload.

#include "fuzz_check.h"
#include "protocol/crc.h"
#include "protocol/frame.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool IsUpperHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

void CheckCrcText(std::string_view payload)
{
    const std::string text = protocol::CrcText(payload);
    FUZZ_CHECK(text.size() == 4);
    for (const char c : text) {
        FUZZ_CHECK(IsUpperHexDigit(c));
    }
}

void CheckDecode(std::string_view candidate)
{
    const protocol::DecodedFrame decoded = protocol::DecodeFrame(candidate);
    const std::size_t length = candidate.size();
    if (length < 6) {
        // Too short to hold a payload: its CRC field would have to start at the ESC.
        FUZZ_CHECK(decoded.payload.empty());
        return;
    }
    FUZZ_CHECK(decoded.payload == candidate.substr(1, length - 6));
    FUZZ_CHECK(decoded.valid ==
               (protocol::CrcText(decoded.payload) == candidate.substr(length - 5, 4)));
}

void CheckRoundTrip(std::string_view payload)
{
    const std::string frame = protocol::BuildFrame(payload);
    FUZZ_CHECK(frame.size() == payload.size() + 6);
    FUZZ_CHECK(frame.front() == protocol::kEsc);
    FUZZ_CHECK(frame.back() == protocol::kEnq);
    const protocol::DecodedFrame decoded = protocol::DecodeFrame(frame);
    FUZZ_CHECK(decoded.valid);
    FUZZ_CHECK(decoded.payload == payload);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    CheckCrcText(bytes);
    CheckDecode(bytes);
    CheckRoundTrip(bytes);
    return 0;
}

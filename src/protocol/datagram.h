// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

namespace protocol {

// The four raw bytes a logger answers on its search port (not a frame: no ESC, no CRC).
inline constexpr std::string_view kSearchProbe{"\xFF\x04\x03\xFB", 4};

// The text a datagram on the set port carries: a zero byte ends it, and what follows
// it is lost.
std::string_view DatagramText(std::string_view datagram);

// Bytes a logger's discovery answer may carry that are read as spaces: 0x00, 0x0A,
// 0xFB and 0xFF.
void BlankDiscoveryFillers(char *bytes, std::size_t size);

// A checked frame is taken as an answer only when its payload begins with "R".
inline bool IsAnswerPayload(std::string_view payload)
{
    return payload.starts_with('R');
}

} // namespace protocol

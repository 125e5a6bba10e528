// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace protocol {

inline constexpr char kEsc = '\x1B';
inline constexpr char kEnq = '\x05';

// ESC + payload + CrcText(payload) + ENQ. The payload goes out exactly as given.
std::string BuildFrame(std::string_view payload);

struct DecodedFrame {
    std::string payload;
    bool valid = false;
};

// Checks one candidate cut from a receive buffer (ESC ... ENQ). The payload is the
// candidate without its first character and its last five; the CRC field is the four
// characters before the last one. The comparison is case-sensitive.
DecodedFrame DecodeFrame(std::string_view candidate);

}  // namespace protocol

// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame.h"

#include "crc.h"

namespace protocol {

std::string BuildFrame(std::string_view payload)
{
    std::string frame;
    frame.reserve(payload.size() + 6);
    frame += kEsc;
    frame += payload;
    frame += CrcText(payload);
    frame += kEnq;
    return frame;
}

DecodedFrame DecodeFrame(std::string_view candidate)
{
    const std::size_t length = candidate.size();
    DecodedFrame result;
    if (length >= 6) {
        result.payload = std::string(candidate.substr(1, length - 6));
    }
    // A candidate shorter than five characters has its CRC field at its very start.
    const std::string_view crcField =
        length >= 5 ? candidate.substr(length - 5, 4) : candidate.substr(0, 4);
    result.valid = CrcText(result.payload) == crcField;
    return result;
}

}  // namespace protocol

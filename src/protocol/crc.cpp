// SPDX-License-Identifier: GPL-3.0-or-later
#include "crc.h"

#include <array>

namespace protocol {
namespace {

// Eight tables for slicing by eight: table 0 is the register change one byte causes,
// table k the change of a byte followed by k zero bytes. Computed once from the
// reflected polynomial, so the loop takes eight payload bytes per step.
using CrcTables = std::array<std::array<std::uint16_t, 256>, 8>;

constexpr CrcTables MakeCrcTables()
{
    CrcTables tables{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        auto value = static_cast<std::uint16_t>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1U) != 0 ? static_cast<std::uint16_t>((value >> 1) ^ 0xA001U)
                                      : static_cast<std::uint16_t>(value >> 1);
        }
        tables[0][byte] = value;
    }
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            const std::uint16_t previous = tables[k - 1][byte];
            tables[k][byte] =
                static_cast<std::uint16_t>((previous >> 8) ^ tables[0][previous & 0xFFU]);
        }
    }
    return tables;
}

constexpr CrcTables kCrcTables = MakeCrcTables();
constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

std::uint16_t Crc16Modbus(std::string_view bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t remaining = bytes.size();
    std::uint32_t crc = 0xFFFF;
    const auto &t = kCrcTables;
    for (; remaining >= 8; remaining -= 8, data += 8) {
        crc ^= data[0] | (static_cast<std::uint32_t>(data[1]) << 8);
        crc = t[7][crc & 0xFFU] ^ t[6][crc >> 8] ^ t[5][data[2]] ^ t[4][data[3]] ^
              t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; remaining > 0; --remaining, ++data) {
        crc = (crc >> 8) ^ t[0][(crc ^ *data) & 0xFFU];
    }
    return static_cast<std::uint16_t>(crc);
}

std::string CrcText(std::string_view payload)
{
    const std::uint16_t crc = Crc16Modbus(payload);
    const auto low = static_cast<unsigned>(crc & 0xFFU);
    const auto high = static_cast<unsigned>(crc >> 8);
    return {kHexDigits[low >> 4], kHexDigits[low & 0xFU], kHexDigits[high >> 4],
            kHexDigits[high & 0xFU]};
}

}  // namespace protocol

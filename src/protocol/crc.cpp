#include "crc.h"

#include <array>

namespace protocol {
namespace {

// One table entry per byte value: the register change that byte causes, computed
// once from the reflected polynomial so that the loop handles a byte per step.
constexpr std::array<std::uint16_t, 256> MakeCrcTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        auto value = static_cast<std::uint16_t>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1U) != 0 ? static_cast<std::uint16_t>((value >> 1) ^ 0xA001U)
                                      : static_cast<std::uint16_t>(value >> 1);
        }
        table[byte] = value;
    }
    return table;
}

constexpr auto kCrcTable = MakeCrcTable();
constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

std::uint16_t Crc16Modbus(std::string_view bytes)
{
    std::uint16_t crc = 0xFFFF;
    for (const char c : bytes) {
        const auto index = static_cast<std::uint8_t>(crc ^ static_cast<std::uint8_t>(c));
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[index]);
    }
    return crc;
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

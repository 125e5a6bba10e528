// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace protocol {

// CRC-16/MODBUS (reflected polynomial 0xA001, initial value 0xFFFF, no final XOR).
std::uint16_t Crc16Modbus(std::string_view bytes);

// The four upper-case hex characters a frame carries for its payload: the low-order
// byte of the CRC first, then the high-order byte, as a Modbus serial line sends them.
std::string CrcText(std::string_view payload);

}  // namespace protocol

// SPDX-License-Identifier: GPL-3.0-or-later
#include "datagram.h"

namespace protocol {

std::string_view DatagramText(std::string_view datagram)
{
    return datagram.substr(0, datagram.find('\0'));
}

void BlankDiscoveryFillers(char *bytes, std::size_t size)
{
    for (std::size_t index = 0; index < size; ++index) {
        const auto value = static_cast<unsigned char>(bytes[index]);
        if (value == 0x00 || value == 0x0A || value == 0xFB || value == 0xFF) {
            bytes[index] = ' ';
        }
    }
}

} // namespace protocol

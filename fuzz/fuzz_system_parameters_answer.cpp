// SPDX-License-Identifier: GPL-3.0-or-later
// The block of the answer to SR. A parsed block written back and read again must give
// the same controls: the read-modify-write chains depend on it.

#include "commands/system_parameters_codec.h"
#include "fuzz_check.h"
#include "protocol/text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool IsFlag(int item)
{
    return item == 0 || item == 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view payload(reinterpret_cast<const char *>(data), size);
    system_parameters::BlockControls block;
    try {
        block = system_parameters::ParseBlockAnswer(payload);
    } catch (const protocol::InvalidIntegerError &) {
        return 0; // reported to the operator; the window keeps what it showed
    }
    FUZZ_CHECK(IsFlag(block.waitForResponse) && IsFlag(block.reconnect) &&
               IsFlag(block.transport) && IsFlag(block.gprs));
    FUZZ_CHECK(std::stoi(block.dataIntervalSeconds) <= 0xFFFF);
    FUZZ_CHECK(std::stoi(block.heartbeatMinutes) <= 0xFF);
    FUZZ_CHECK(std::stoi(block.retries) <= 0xFF);

    // Only a block whose times keep their widths can be written back unchanged.
    try {
        if (system_parameters::CheckFieldWidths(block)) {
            return 0;
        }
    } catch (const protocol::InvalidIntegerError &) {
        return 0;
    }
    const std::string write = system_parameters::BuildBlockWrite(block);
    FUZZ_CHECK(write.size() == 2 + 20);
    FUZZ_CHECK(write.substr(0, 10) == "SW" + std::string(payload.substr(1, 8)));
    const system_parameters::BlockControls again =
        system_parameters::ParseBlockAnswer("R" + write.substr(2));
    FUZZ_CHECK(again == block);
    return 0;
}

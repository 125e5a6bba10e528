// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_system_parameters.h"

#include <cctype>
#include <optional>

namespace {

using Answer = std::optional<std::string>;

constexpr std::size_t kBlockLength = 20;
constexpr std::size_t kTimeDigits = 8;

// Four two-digit decimal times, then twelve hexadecimal digits.
bool IsWellFormedBlock(const std::string &block)
{
    if (block.size() != kBlockLength) {
        return false;
    }
    for (std::size_t at = 0; at < kBlockLength; ++at) {
        const auto c = static_cast<unsigned char>(block[at]);
        if ((at < kTimeDigits ? std::isdigit(c) : std::isxdigit(c)) == 0) {
            return false;
        }
    }
    return true;
}

} // namespace

void InstallSystemParameterCommands(LoggerSim &sim, SystemParameterState &state)
{
    sim.setCommandHandler("SR", [&state](const std::string &request) -> Answer {
        if (request != "SR") {
            return std::nullopt;
        }
        return "R" + state.block;
    });
    sim.setCommandHandler("SW", [&state](const std::string &request) -> Answer {
        const std::string block = request.substr(2);
        if (!IsWellFormedBlock(block)) {
            return std::nullopt;
        }
        state.block = block;
        return std::string("RSW");
    });
}

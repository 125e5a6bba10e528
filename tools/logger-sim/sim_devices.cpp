// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_devices.h"

#include <cctype>
#include <cstdio>
#include <optional>

namespace {

constexpr std::size_t kCrcLength = 4;
constexpr std::size_t kAppendInfoLength = 84;

std::string TwoHexDigits(std::size_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value & 0xFFU));
    return text;
}

// A device index of a read sub-command: two hexadecimal digits, counted from 1.
std::optional<std::size_t> DeviceIndex(const std::string &digits)
{
    if (digits.size() != 2) {
        return std::nullopt;
    }
    std::size_t index = 0;
    for (const char digit : digits) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(digit)));
        if (upper >= '0' && upper <= '9') {
            index = index * 16 + static_cast<std::size_t>(upper - '0');
        } else if (upper >= 'A' && upper <= 'F') {
            index = index * 16 + static_cast<std::size_t>(upper - 'A' + 10);
        } else {
            return std::nullopt;
        }
    }
    return index;
}

// The sub-commands of a compound request, after its "RC". Each ends at the first "#"
// behind four characters that are the CRC of the text before them: an append info may
// itself hold "#". Nothing when a sub-command never finds its CRC.
std::optional<std::vector<std::string>> SubCommands(const std::string &body)
{
    std::vector<std::string> subCommands;
    std::size_t start = 0;
    while (start < body.size()) {
        bool closed = false;
        for (std::size_t hash = body.find('#', start); hash != std::string::npos && !closed;
             hash = body.find('#', hash + 1)) {
            if (hash - start < kCrcLength) {
                continue;
            }
            const std::string text = body.substr(start, hash - start - kCrcLength);
            if (body.compare(hash - kCrcLength, kCrcLength, LoggerSim::Crc(text)) == 0) {
                subCommands.push_back(text);
                start = hash + 1;
                closed = true;
            }
        }
        if (!closed) {
            return std::nullopt;
        }
    }
    return subCommands;
}

// Runs the sub-commands in order. The answer is "RC", the number of sub-commands, "#",
// then one item closed by "#" for every record ("D" + body) and append info ("A" + 84
// bytes) asked for; indices the registry does not hold give no item.
std::optional<std::string> AnswerCompound(DeviceRegistryState &state, const std::string &request)
{
    const auto subCommands = SubCommands(request.substr(2));
    if (!subCommands) {
        return std::nullopt;
    }
    std::string items;
    for (const std::string &subCommand : *subCommands) {
        const std::string code = subCommand.substr(0, 2);
        const std::string argument = subCommand.substr(2);
        if (code == "DA") {
            state.devices.push_back({argument, std::string(kAppendInfoLength, ' ')});
        } else if (code == "AA") {
            // The append info of the device added just before, followed by its address.
            if (state.devices.empty() || argument.size() < kAppendInfoLength) {
                return std::nullopt;
            }
            state.devices.back().appendInfo = argument.substr(0, kAppendInfoLength);
        } else if (code == "DR" || code == "AB") {
            const auto index = DeviceIndex(argument);
            if (!index || *index == 0 || *index > state.devices.size()) {
                continue;
            }
            const DeviceRegistryState::Device &device = state.devices[*index - 1];
            items += code == "DR" ? "D" + device.record : "A" + device.appendInfo;
            items += '#';
        } else {
            return std::nullopt;
        }
    }
    return "RC" + TwoHexDigits(subCommands->size()) + "#" + items;
}

}  // namespace

void InstallDeviceCommands(LoggerSim &sim, DeviceRegistryState &state)
{
    sim.setCommandHandler("DA", [&state](const std::string &request) -> std::optional<std::string> {
        state.devices.push_back({request.substr(2), std::string(kAppendInfoLength, ' ')});
        return "RDA";
    });
    sim.setCommandHandler("RC", [&state](const std::string &request) {
        return AnswerCompound(state, request);
    });
    sim.setCommandHandler("DN", [&state](const std::string &) -> std::optional<std::string> {
        return "R" + TwoHexDigits(state.devices.size());
    });
    sim.setCommandHandler("DE", [&state](const std::string &request) -> std::optional<std::string> {
        if (request != "DEAA55") {
            return std::nullopt;
        }
        state.devices.clear();
        return "RDE";
    });
}

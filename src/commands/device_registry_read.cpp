// SPDX-License-Identifier: GPL-3.0-or-later
#include "device_registry_read.h"

#include "protocol/text.h"

namespace device_registry {

namespace codes = protocol::command_codes;

std::vector<RegistryEntry> RegistryReadOutcome::entries() const
{
    std::vector<RegistryEntry> devices;
    for (std::size_t index = 0; index < rows.size() && index < appendInfos.size(); ++index) {
        devices.push_back({rows[index], appendInfos[index]});
    }
    return devices;
}

protocol::Request RegistryRead::CountRequest()
{
    return protocol::Request::Bare(codes::kDeviceCount);
}

std::optional<protocol::Request> RegistryRead::takeCount(std::string_view answer)
{
    m_count = DeviceCount(answer);
    if (m_count == 0) {
        return std::nullopt;
    }
    return protocol::Request{codes::kDeviceRead, DeviceReadRequest(m_count)};
}

RegistryReadOutcome RegistryRead::takeDevices(std::string_view answer) const
{
    RegistryReadOutcome outcome;
    const auto items = DeviceReadItems(answer);
    if (!items) {
        return outcome;
    }
    outcome.answered = true;
    outcome.items = items->size();
    // Record and append-info items alternate.
    for (std::size_t index = 0; index < items->size(); ++index) {
        const std::string &item = (*items)[index];
        if (index % 2 == 1) {
            outcome.appendInfos.push_back(ParseAppendInfoItem(item));
            continue;
        }
        try {
            outcome.rows.push_back(ParseRecordItem(item));
        } catch (const protocol::InvalidIntegerError &error) {
            outcome.unreadable = error.text();
            break;
        }
    }
    return outcome;
}

bool RegistryRead::holdsTheCount(const RegistryReadOutcome &outcome) const
{
    return outcome.answered && outcome.items == 2 * static_cast<std::size_t>(m_count);
}

}  // namespace device_registry

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_registry_codec.h"
#include "protocol/request.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace device_registry {

// What the answer to a device read gave, as far as it could be read: the rows and the
// append infos in their order (their items alternate, so an answer cut short may hold one
// row more than append infos).
struct RegistryReadOutcome {
    // Whether the answer was a device read's (it begins with "RC").
    bool answered = false;
    // How many items the answer holds, read or not.
    std::size_t items = 0;
    std::vector<DeviceRow> rows;
    std::vector<std::string> appendInfos;
    // The text of the first record field that is not a number; no item after it is read.
    std::optional<std::string> unreadable;

    // The devices as record and append info pairs.
    std::vector<RegistryEntry> entries() const;
};

// Reading the registry takes two requests: the device count, then, when the logger holds
// devices, the records and append infos of devices 1 to count in one compound request.
// Given each answer, the read says what to send next or what was read. It sends nothing
// and waits for nothing, so the window and the fleet both drive it.
class RegistryRead
{
public:
    // The first request. Only an answer shaped as a count (IsDeviceCountAnswer) is its
    // answer: a late acknowledgement of an earlier write is not.
    static protocol::Request CountRequest();

    // Given the count's answer: the request that reads the devices, or nothing when the
    // registry is empty and the read is done. A count that is not hexadecimal throws
    // protocol::InvalidIntegerError.
    std::optional<protocol::Request> takeCount(std::string_view answer);
    int count() const { return m_count; }

    // Given the read's answer: every item up to the first unreadable one.
    RegistryReadOutcome takeDevices(std::string_view answer) const;
    // Whether the answer holds an item pair for each device counted, no more and no less.
    bool holdsTheCount(const RegistryReadOutcome &outcome) const;

private:
    int m_count = 0;
};

}  // namespace device_registry

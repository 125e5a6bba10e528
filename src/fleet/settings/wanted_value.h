// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/cellular_link_codec.h"
#include "commands/device_registry_codec.h"
#include "commands/network_addressing_codec.h"
#include "commands/system_parameters_codec.h"

#include <QString>

#include <bitset>
#include <variant>
#include <vector>

// What a read reports once a logger holds a written value, as typed values. A profile may
// give some fields of a value alone (an APN name, the front-end minutes, two fields of the
// system block, a device without its append info): the fields left out are whatever the
// logger holds, and are not compared.
namespace fleet {

// The fields of a value that are given, by their place among the setting's fields (the
// catalogue's `fields`, the order of the family's report).
using GivenFields = std::bitset<16>;
inline constexpr GivenFields kAllFields{0xFFFF};

// A value of several fields: the given ones hold the wanted values, the others are not
// looked at.
template <typename Value>
struct SomeFields {
    Value value;
    GivenFields given = kAllFields;
};

// A device of the registry as wanted; without its append info it keeps the logger's.
struct WantedDevice {
    device_registry::RegistryEntry entry;
    bool appendGiven = true;
};

// A text (the data server, a quoted text such as the operator), the IP configuration, the
// APN, the front-end computer, the device registry or the system-parameter block.
using WantedValue =
    std::variant<QString, network_addressing::IpConfiguration, SomeFields<cellular::ApnSettings>,
                 SomeFields<cellular::FrontEndEndpoint>, std::vector<WantedDevice>,
                 SomeFields<system_parameters::BlockControls>>;

} // namespace fleet

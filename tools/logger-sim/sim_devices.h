// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_sim.h"

#include <string>
#include <vector>

// The logger's registry of attached devices, as it was written to it.
struct DeviceRegistryState {
    struct Device {
        std::string record;      // the record body: serial, type prefix, "0", address, type
        std::string appendInfo;  // 60 + 24 bytes
    };
    std::vector<Device> devices;
};

// Answers the registry commands from `state`: "DA" and the compound "RC" request with
// "DA"/"AA" sub-commands add a device, "DN" tells the count, the compound request with
// "DR"/"AB" sub-commands reads records and append infos, "DEAA55" empties the registry.
// A compound request whose sub-command CRC does not match is not answered.
void InstallDeviceCommands(LoggerSim &sim, DeviceRegistryState &state);

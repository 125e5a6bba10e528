// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_sim.h"
#include "sim_cellular.h"
#include "sim_devices.h"
#include "sim_network.h"
#include "sim_system_parameters.h"

// Everything a logger keeps, all in memory.
struct LoggerSettings {
    NetworkState network;
    CellularState cellular;
    DeviceRegistryState devices;
    SystemParameterState systemParameters;
    // Settings of one quoted text no family keeps, by report key.
    std::map<std::string, std::string> quotedTexts;
};

// A complete substitute logger: the endpoint with every command family installed on
// its own settings.
class SimulatedLogger
{
public:
    SimulatedLogger(const QHostAddress &address, quint16 commandPort, quint16 searchPort,
                    LoggerIdentity identity, LoggerSettings settings = {});

    LoggerSim &endpoint() { return m_endpoint; }
    LoggerSettings &settings() { return m_settings; }

private:
    LoggerSettings m_settings;
    LoggerSim m_endpoint;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_sim.h"

#include <string>

// One upstream server slot of the logger: where it reports over one of its links.
struct UpstreamServerSlot {
    std::string address = "0.0.0.0";
    std::string port = "0";
};

// The logger's network addressing, kept in memory so that a write followed by a read
// returns what was written.
struct NetworkState {
    bool dhcp = false;
    std::string ipAddress = "192.168.1.100";
    std::string subnetMask = "255.255.255.0";
    std::string gateway = "192.168.1.1";
    std::string ipConfigurationPort = "6001";
    std::string mac = "00-1A-2B-3C-4D-5E";
    std::string dataServerAddress = "192.0.2.20";
    std::string dataServerPort = "9040";
    UpstreamServerSlot gprsServer;
    UpstreamServerSlot ethernetServer;
    // Whether a fixed address written takes effect at once: the answer to the write still
    // comes from the old address, everything after it goes to the new one.
    bool movesToAWrittenAddress = false;
};

// Answers ER/EW, R3/R4, MR, GW/GR and RW/RR from and into `state`, which must outlive the
// logger. A request that does not have the expected layout is left unanswered.
void InstallNetworkCommands(LoggerSim &sim, NetworkState &state);

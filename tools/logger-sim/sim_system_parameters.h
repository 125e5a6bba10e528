// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_sim.h"

#include <string>

// The logger's system-parameter block, kept in memory so that a write followed by a
// read returns what was written.
struct SystemParameterState {
    // Logging 00:00 to 23:59, data every 300 s, heartbeat every 5 min, 3 retries, wait for
    // a response, reconnect over TCP with GPRS off.
    std::string block = "00002359012C05030160";
};

// Answers SR with the block and stores the block of SW, both from and into `state`, which
// must outlive the logger. A request that does not have the expected layout is left
// unanswered, as a logger that cannot read it would.
void InstallSystemParameterCommands(LoggerSim &sim, SystemParameterState &state);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_sim.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// The logger's cellular access settings, kept in memory so that a write followed by a
// read returns what was written.
struct CellularState {
    std::string apnName = "internet";
    std::string apnUser;
    std::string apnPassword;
    std::string pin;
    std::string telecomOperator = "Operator";
    // Two characters, answered at bytes 14 and 15 of the signal-quality report.
    std::string signalQuality = "23";
    // When not empty, each signal-quality report takes the next of these values in turn,
    // from the first again after the last, so that the signal changes while it is watched.
    // An empty value leaves that request unanswered.
    std::vector<std::string> signalQualitySequence;
    std::size_t nextInSequence = 0;
    std::string frontEndAddress = "192.0.2.60";
    std::string frontEndPort = "6004";
    std::string frontEndMinutes = "30";
};

// Answers AR/AW, PW/PC, CR/CW, IF and QR/QW from and into `state`, which must outlive the
// logger. A request that does not have the expected layout is left unanswered.
void InstallCellularCommands(LoggerSim &sim, CellularState &state);

// Every setting of one text in the tool's catalogue that no other family answers is kept
// as one quoted text under its report key: its read code answers R"text", its write code
// CODE"text" stores the text. So a new setting of that shape needs nothing here.
void InstallQuotedTextCommands(LoggerSim &sim, std::map<std::string, std::string> &texts);

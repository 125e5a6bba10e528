#pragma once

#include "discovery/address_range.h"
#include "fleet_run.h"

#include <QHostAddress>

#include <vector>

namespace fleet {

class FleetLink;

// What a sweep sends and how long it listens.
struct SweepPlan {
    int probesPerSecond = 2000;
    int waitMs = 3000;       // after the last probe
    QHostAddress ownAddress; // an answer from here is the PC's own
};

// Sends the probe on the search port to every address of the range at a steady pace and
// gathers the loggers that answer, sorted by address. An answer without a serial number,
// or from the PC's own address, is no logger.
std::vector<LoggerTarget> SweepLoggers(FleetLink &link, const discovery::AddressRange &range,
                                       const SweepPlan &plan);

// The same for a few known addresses, probed at once: tells their serial numbers.
std::vector<LoggerTarget> IdentifyLoggers(FleetLink &link, const std::vector<QHostAddress> &hosts,
                                          const SweepPlan &plan);

} // namespace fleet

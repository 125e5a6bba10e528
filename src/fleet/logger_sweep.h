#pragma once

#include "fleet_run.h"

#include <QHostAddress>

#include <vector>

namespace fleet {

class FleetLink;

// Sends the probe to every host on the search port and gathers the loggers that answer
// within `waitMs`, sorted by address. An answer without a serial number, or from the PC's
// own address, is no logger.
std::vector<LoggerTarget> SweepLoggers(FleetLink &link, const std::vector<QHostAddress> &hosts,
                                       int waitMs, const QHostAddress &ownAddress);

}  // namespace fleet

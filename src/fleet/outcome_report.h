// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_outcome.h"

#include <QJsonObject>

namespace fleet {

// Each setting of a logger's outcome as the reports give it, under its report key: of a
// profile's setting its apply entry, else what a write did that no read tells, else the value
// the logger holds. The one place an outcome's typed values become a report's JSON.
QJsonObject SettingsReport(const LoggerOutcome &outcome);

} // namespace fleet

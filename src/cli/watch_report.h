// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/cellular_link_codec.h"
#include "fleet/logger_outcome.h"
#include "report_format.h"

#include <QDateTime>
#include <QString>

#include <deque>
#include <variant>

namespace cli {

// One reading of a watched logger's signal quality: when its request went out, and the
// logger's report or, for a missed reading, why there is none.
struct WatchReading {
    QDateTime requestedAt;
    std::variant<cellular::SignalReading, LoggerError> result;

    bool missed() const { return std::holds_alternative<LoggerError>(result); }
};

// The watch prints a line per reading as it comes: in a table or CSV the header first,
// then time, raw, value, dBm and error (value and dBm empty where the reading has none);
// in JSON one object per line with value and dBm null where the reading has none, and a
// missed reading's error and error_kind.
QString WatchHeader(Format format);
QString WatchRecord(const WatchReading &reading, Format format);

// The line a terminal shows and rewrites: the latest reading's five-step bar and meaning,
// a sparkline of the recent readings (oldest first; a blank for a missed reading, "?" for
// one without a value) and how many readings were taken and missed so far.
QString WatchStatusLine(const std::deque<WatchReading> &recent, int readings, int missed);

} // namespace cli

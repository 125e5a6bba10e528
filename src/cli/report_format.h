#pragma once

#include "fleet/logger_outcome.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace cli {

enum class Format { Table, Json, Csv };

std::optional<Format> FormatNamed(const QString &name);

// The loggers found by a search: serial, ip and version.
QString FormatLoggers(const std::vector<fleet::LoggerTarget> &loggers, Format format);

// One record per logger: ip, serial when known, one field per key in `keys` and the
// error of a logger that failed (in JSON also its kind, as error_kind). In a table or CSV, a nested
// value is one cell of key=value pairs, and a list's items are separated by "; ".
QString FormatOutcomes(const std::vector<fleet::LoggerOutcome> &outcomes, const QStringList &keys,
                       Format format);

} // namespace cli

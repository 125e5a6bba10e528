// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/logger_outcome.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace cli {

enum class Format { Table, Json, Csv };

// Whether a report or trace shows the APN password and the PIN, or kHiddenSecret.
enum class Secrets { Hidden, Shown };

std::optional<Format> FormatNamed(const QString &name);

// The text with each control character (C0, DEL and C1) written as \xHH, so that what a
// logger holds cannot drive the terminal that shows a table or a message. CSV stays plain
// for the programs that read it; JSON escapes control characters itself.
QString ForTerminal(const QString &text);

// One record of a report: a CSV line, or a table line whose cells but the last are padded
// to the column's width and two spaces. A report printed record by record uses them as
// the whole reports below do.
QString CsvRecord(const QStringList &fields);
QString TableLine(const QStringList &cells, const std::vector<qsizetype> &widths);

// A header and its rows as CSV, or as a table whose cells reach the terminal as text.
QString FormatRows(const QStringList &header, const std::vector<QStringList> &rows, Format format);

// The loggers found by a search: serial, ip and version.
QString FormatLoggers(const std::vector<fleet::LoggerTarget> &loggers, Format format);

// One record per logger: ip, serial when known, one field per key in `keys` and the
// error of a logger that failed (in JSON also its kind, as error_kind). In a table or CSV, a nested
// value is one cell of key=value pairs, a list's items are separated by "; ", and an apply's
// entry is its status ("would change: NOW -> WANTED", "failed: ERROR", ...).
QString FormatOutcomes(const std::vector<fleet::LoggerOutcome> &outcomes, const QStringList &keys,
                       Format format, Secrets secrets);

} // namespace cli

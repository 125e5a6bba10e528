// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonValue>
#include <QString>

namespace fleet {

// A value of a report as one line of text, for a table cell or a person to read: a nested
// value as key=value pairs, a list's items separated by "; ", and an apply's entry as its
// status ("would change: NOW -> WANTED", "not written: REASON", "failed: ERROR", ...).
QString ReportText(const QJsonValue &value);

} // namespace fleet

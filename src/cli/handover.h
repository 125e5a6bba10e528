// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"
#include "fleet/logger_outcome.h"
#include "report_format.h"

#include <QJsonObject>
#include <QString>

#include <vector>

namespace cli {

// What a logger holds according to a record: its latest address and, per setting, the
// value it was last set to (or found holding) and when.
struct HandoverSetting {
    QString key;
    QJsonValue value;
    QString setAt;
};
struct HandoverLogger {
    QString serial;
    QString address;
    QString commissionedAt; // empty while no run ended with it done
    std::vector<HandoverSetting> settings;
};

// The loggers of a record, by serial number; a line that is not a JSON object is refused
// with its number.
Checked<std::vector<HandoverLogger>> ReadHandover(const QString &path);
QString FormatHandover(const std::vector<HandoverLogger> &loggers, Format format);
// The table of the handover: one row per logger and setting, under its header.
QStringList HandoverHeader();
std::vector<QStringList> HandoverRows(const std::vector<HandoverLogger> &loggers);

} // namespace cli

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/logger_outcome.h"
#include "fleet/refusal.h"
#include "report_format.h"

#include <QDate>
#include <QFile>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace cli {

// The record of a commissioning: JSON Lines, one object per event, each with its time
// (UTC), the tool's version and the PC's address. Appended to across runs; each line is
// flushed as it is written, so that a crash loses nothing written before it.
class CommissionRecord
{
public:
    // Opens the file for appending; the refusal names it and says why not.
    std::optional<fleet::Refusal> open(const QString &path, const QString &pcAddress);
    // Writes the event with the time, tool and pc fields added.
    void write(QJsonObject event);

private:
    QFile m_file;
    QString m_pc;
};

// Beside the plan, named after it and the day: plant.csv -> plant-commissioning-2026-12-09.jsonl.
QString DefaultRecordPath(const QString &planPath, const QDate &day);

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
fleet::Checked<std::vector<HandoverLogger>> ReadHandover(const QString &path);
QString FormatHandover(const std::vector<HandoverLogger> &loggers, Format format);
// The table of the handover: one row per logger and setting, under its header.
QStringList HandoverHeader();
std::vector<QStringList> HandoverRows(const std::vector<HandoverLogger> &loggers);

} // namespace cli

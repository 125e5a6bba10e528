// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"

#include <QDate>
#include <QFile>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace fleet {

// The record of a commissioning: JSON Lines, one object per event, each with its time
// (UTC), the program and its version, and the PC's address. Appended to across runs; each
// line is flushed as it is written, so that a crash loses nothing written before it. The
// command-line tool and the plant view write it alike.
class CommissionRecord
{
public:
    // program: "tarnwick-cli" or "tarnwick", written with the version.
    explicit CommissionRecord(const QString &program);

    // Opens the file for appending; the refusal names it and says why not.
    std::optional<Refusal> open(const QString &path, const QString &pcAddress);
    // Writes the event with the time, tool and pc fields added.
    void write(QJsonObject event);
    QString path() const { return m_file.fileName(); }

private:
    QString m_tool;
    QFile m_file;
    QString m_pc;
};

// Beside the plan, named after it and the day: plant.csv -> plant-commissioning-2026-12-09.jsonl.
QString DefaultRecordPath(const QString &planPath, const QDate &day);

} // namespace fleet

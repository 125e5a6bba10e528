// SPDX-License-Identifier: GPL-3.0-or-later
#include "commission_record.h"

#include "tarnwick_version.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

namespace fleet {

CommissionRecord::CommissionRecord(const QString &program)
    : m_tool(program + QStringLiteral(" " TARNWICK_VERSION))
{
}

std::optional<Refusal> CommissionRecord::open(const QString &path, const QString &pcAddress)
{
    m_pc = pcAddress;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return Refusal{
            QStringLiteral("cannot write the record %1: %2").arg(path, m_file.errorString())};
    }
    return std::nullopt;
}

void CommissionRecord::write(QJsonObject event)
{
    event.insert("time", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    event.insert("tool", m_tool);
    event.insert("pc", m_pc);
    m_file.write(QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n');
    m_file.flush();
}

QString DefaultRecordPath(const QString &planPath, const QDate &day)
{
    const QFileInfo plan(planPath);
    return plan.dir().filePath(QStringLiteral("%1-commissioning-%2.jsonl")
                                   .arg(plan.completeBaseName(), day.toString(Qt::ISODate)));
}

} // namespace fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_text.h"

#include "profile_apply.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

namespace fleet {
namespace {

// An apply's entry for one setting: its status, and what a reader needs beside it.
QString ApplyEntryText(const QJsonObject &entry)
{
    const QString status = entry.value("status").toString();
    if (status == QLatin1String(apply_status::kWouldChange)) {
        return QStringLiteral("would change: %1 -> %2")
            .arg(ReportText(entry.value("value")), ReportText(entry.value("wanted")));
    }
    if (status == QLatin1String(apply_status::kNotWritten)) {
        return QStringLiteral("not written: ") + entry.value("reason").toString();
    }
    if (status == QLatin1String(apply_status::kFailed)) {
        return QStringLiteral("failed: ") + entry.value("error").toString();
    }
    // After an address change, where the logger answered its read-back.
    if (const QJsonValue at = entry.value("value").toObject().value("answers_at"); at.isString()) {
        return QStringLiteral("changed, answers at ") + at.toString();
    }
    return QString(status).replace(QLatin1Char('_'), QLatin1Char(' '));
}

} // namespace

QString ReportText(const QJsonValue &value)
{
    if (value.isString()) {
        return value.toString();
    }
    if (value.isDouble()) {
        return QString::number(value.toInteger());
    }
    if (value.isBool()) {
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    }
    if (value.isObject() && value.toObject().contains("status")) {
        return ApplyEntryText(value.toObject());
    }
    if (value.isObject()) {
        QStringList pairs;
        const QJsonObject object = value.toObject();
        for (auto field = object.begin(); field != object.end(); ++field) {
            pairs.append(field.key() + QLatin1Char('=') + ReportText(field.value()));
        }
        return pairs.join(QLatin1Char(' '));
    }
    if (value.isArray()) {
        QStringList items;
        for (const QJsonValue &item : value.toArray()) {
            items.append(ReportText(item));
        }
        return items.join(QStringLiteral("; "));
    }
    return QString();
}

} // namespace fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#include "handover.h"

#include "fleet/profile_apply.h"
#include "fleet/report_text.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <map>

namespace cli {

Checked<std::vector<HandoverLogger>> ReadHandover(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Refusal{QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
    }
    std::map<QString, HandoverLogger> loggers;
    int number = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        ++number;
        if (line.isEmpty()) {
            continue;
        }
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (!document.isObject()) {
            return Refusal{
                QStringLiteral("%1: line %2 is not a JSON object").arg(path).arg(number)};
        }
        const QJsonObject event = document.object();
        const QString kind = event.value("event").toString();
        if (kind != QLatin1String("done") && kind != QLatin1String("failed")) {
            continue;
        }
        const QString serial = event.value("serial").toString();
        const QString time = event.value("time").toString();
        HandoverLogger &logger = loggers[serial];
        logger.serial = serial;
        logger.address = event.value("address_after").toString();
        if (kind == QLatin1String("done")) {
            logger.commissionedAt = time;
        }
        const QJsonObject settings = event.value("settings").toObject();
        for (auto field = settings.begin(); field != settings.end(); ++field) {
            const QJsonObject entry = field.value().toObject();
            const QString state = entry.value("status").toString();
            const bool set = state == QLatin1String(fleet::apply_status::kChanged) ||
                             state == QLatin1String(fleet::apply_status::kWritten);
            if (!set && state != QLatin1String(fleet::apply_status::kUnchanged)) {
                continue;
            }
            auto held = std::find_if(logger.settings.begin(), logger.settings.end(),
                                     [&field](const HandoverSetting &setting) {
                                         return setting.key == field.key();
                                     });
            if (held == logger.settings.end()) {
                logger.settings.push_back({field.key(), {}, {}});
                held = std::prev(logger.settings.end());
            }
            // A value that cannot be read back was sent: its write is all there is to tell.
            held->value = entry.contains("after") ? entry.value("after")
                                                  : QJsonValue(QStringLiteral("(written)"));
            // Found holding it already: set before this run, so known from now on.
            if (set || held->setAt.isEmpty()) {
                held->setAt = time;
            }
        }
    }
    std::vector<HandoverLogger> list;
    for (auto &[serial, logger] : loggers) {
        list.push_back(std::move(logger));
    }
    return list;
}

QString FormatHandover(const std::vector<HandoverLogger> &loggers, Format format)
{
    if (format == Format::Json) {
        QJsonArray list;
        for (const HandoverLogger &logger : loggers) {
            QJsonObject settings;
            for (const HandoverSetting &setting : logger.settings) {
                settings.insert(setting.key,
                                QJsonObject{{"value", setting.value}, {"set_at", setting.setAt}});
            }
            QJsonObject record{{"serial", logger.serial},
                               {"ip", logger.address},
                               {"settings", settings}};
            record.insert("commissioned_at", logger.commissionedAt.isEmpty()
                                                 ? QJsonValue(QJsonValue::Null)
                                                 : QJsonValue(logger.commissionedAt));
            list.append(record);
        }
        return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented));
    }
    return FormatRows(HandoverHeader(), HandoverRows(loggers), format);
}

QStringList HandoverHeader()
{
    return {"serial", "ip", "commissioned_at", "setting", "value", "set_at"};
}

std::vector<QStringList> HandoverRows(const std::vector<HandoverLogger> &loggers)
{
    std::vector<QStringList> rows;
    for (const HandoverLogger &logger : loggers) {
        for (const HandoverSetting &setting : logger.settings) {
            rows.push_back({logger.serial, logger.address, logger.commissionedAt, setting.key,
                            fleet::ReportText(setting.value), setting.setAt});
        }
    }
    return rows;
}

} // namespace cli

// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_format.h"

#include "fleet/outcome_report.h"
#include "fleet/report_text.h"
#include "fleet/settings/cellular.h"
#include "reports/csv_table.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace cli {
namespace {

using Row = QStringList;

} // namespace

QString FormatRows(const QStringList &header, const std::vector<QStringList> &rows, Format format)
{
    QString text;
    if (format == Format::Csv) {
        text = CsvRecord(header);
        for (const Row &row : rows) {
            text += CsvRecord(row);
        }
        return text;
    }
    // What a logger holds reaches the terminal as text, never as its control sequences.
    std::vector<Row> shown = rows;
    for (Row &row : shown) {
        std::transform(row.begin(), row.end(), row.begin(), ForTerminal);
    }
    std::vector<qsizetype> widths(static_cast<std::size_t>(header.size()));
    const auto measure = [&widths](const Row &row) {
        for (qsizetype column = 0; column < row.size(); ++column) {
            auto &width = widths[static_cast<std::size_t>(column)];
            width = std::max(width, row[column].size());
        }
    };
    measure(header);
    std::for_each(shown.begin(), shown.end(), measure);
    text += TableLine(header, widths);
    for (const Row &row : shown) {
        text += TableLine(row, widths);
    }
    return text;
}

QString CsvRecord(const QStringList &fields)
{
    // Lines end with LF, as other tools' output on a terminal or in a pipe.
    QStringList quoted;
    std::transform(fields.begin(), fields.end(), std::back_inserter(quoted), CsvField);
    return quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QString ForTerminal(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            shown += QStringLiteral("\\x") +
                     QString::number(code, 16).rightJustified(2, QLatin1Char('0')).toUpper();
        } else {
            shown += c;
        }
    }
    return shown;
}

QString TableLine(const QStringList &cells, const std::vector<qsizetype> &widths)
{
    QString out;
    for (qsizetype column = 0; column < cells.size(); ++column) {
        const bool last = column + 1 == cells.size();
        out += last ? cells[column]
                    : cells[column].leftJustified(widths[static_cast<std::size_t>(column)] + 2);
    }
    // An empty last cell leaves no padding behind.
    while (out.endsWith(QLatin1Char(' '))) {
        out.chop(1);
    }
    return out + QLatin1Char('\n');
}

std::optional<Format> FormatNamed(const QString &name)
{
    if (name == QLatin1String("table")) {
        return Format::Table;
    }
    if (name == QLatin1String("json")) {
        return Format::Json;
    }
    if (name == QLatin1String("csv")) {
        return Format::Csv;
    }
    return std::nullopt;
}

QString FormatLoggers(const std::vector<fleet::LoggerTarget> &loggers, Format format)
{
    if (format == Format::Json) {
        QJsonArray list;
        for (const fleet::LoggerTarget &logger : loggers) {
            list.append(QJsonObject{{"serial", logger.serial},
                                    {"ip", logger.address.toString()},
                                    {"version", logger.version}});
        }
        return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented));
    }
    std::vector<Row> rows;
    for (const fleet::LoggerTarget &logger : loggers) {
        rows.push_back({logger.serial, logger.address.toString(), logger.version});
    }
    return FormatRows({"serial", "ip", "version"}, rows, format);
}

QString FormatOutcomes(const std::vector<fleet::LoggerOutcome> &outcomes, const QStringList &keys,
                       Format format, Secrets secrets)
{
    const auto reportOf = [secrets](const fleet::LoggerOutcome &outcome) {
        const QJsonObject report = fleet::SettingsReport(outcome);
        return secrets == Secrets::Hidden ? fleet::WithSecretsHidden(report) : report;
    };
    if (format == Format::Json) {
        QJsonArray list;
        for (const fleet::LoggerOutcome &outcome : outcomes) {
            QJsonObject record = reportOf(outcome);
            record.insert("ip", outcome.address.toString());
            if (!outcome.serial.isEmpty()) {
                record.insert("serial", outcome.serial);
            }
            if (!outcome.succeeded()) {
                record.insert("error", outcome.failure->message);
                record.insert("error_kind", outcome.failure->kindName());
            }
            list.append(record);
        }
        return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented));
    }
    Row header{"ip", "serial"};
    header += keys;
    header.append(QStringLiteral("error"));
    std::vector<Row> rows;
    for (const fleet::LoggerOutcome &outcome : outcomes) {
        Row row{outcome.address.toString(), outcome.serial};
        const QJsonObject report = reportOf(outcome);
        for (const QString &key : keys) {
            row.append(fleet::ReportText(report.value(key)));
        }
        row.append(outcome.succeeded() ? QString() : outcome.failure->message);
        rows.push_back(row);
    }
    return FormatRows(header, rows, format);
}

} // namespace cli

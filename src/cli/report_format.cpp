#include "report_format.h"

#include "fleet/profile_apply.h"
#include "reports/csv_table.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace cli {
namespace {

using Row = QStringList;

QString Cell(const QJsonValue &value);

// An apply's entry for one setting: its status, and what a reader needs beside it.
QString ApplyEntryCell(const QJsonObject &entry)
{
    const QString status = entry.value("status").toString();
    if (status == QLatin1String(fleet::apply_status::kWouldChange)) {
        return QStringLiteral("would change: %1 -> %2")
            .arg(Cell(entry.value("value")), Cell(entry.value("wanted")));
    }
    if (status == QLatin1String(fleet::apply_status::kNotWritten)) {
        return QStringLiteral("not written: ") + entry.value("reason").toString();
    }
    if (status == QLatin1String(fleet::apply_status::kFailed)) {
        return QStringLiteral("failed: ") + entry.value("error").toString();
    }
    return QString(status).replace(QLatin1Char('_'), QLatin1Char(' '));
}

QString Cell(const QJsonValue &value)
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
        return ApplyEntryCell(value.toObject());
    }
    if (value.isObject()) {
        QStringList pairs;
        const QJsonObject object = value.toObject();
        for (auto field = object.begin(); field != object.end(); ++field) {
            pairs.append(field.key() + QLatin1Char('=') + Cell(field.value()));
        }
        return pairs.join(QLatin1Char(' '));
    }
    if (value.isArray()) {
        QStringList items;
        for (const QJsonValue &item : value.toArray()) {
            items.append(Cell(item));
        }
        return items.join(QStringLiteral("; "));
    }
    return QString();
}

QString Render(const Row &header, const std::vector<Row> &rows, Format format)
{
    QString text;
    if (format == Format::Csv) {
        text = CsvRecord(header);
        for (const Row &row : rows) {
            text += CsvRecord(row);
        }
        return text;
    }
    std::vector<qsizetype> widths(static_cast<std::size_t>(header.size()));
    const auto measure = [&widths](const Row &row) {
        for (qsizetype column = 0; column < row.size(); ++column) {
            auto &width = widths[static_cast<std::size_t>(column)];
            width = std::max(width, row[column].size());
        }
    };
    measure(header);
    std::for_each(rows.begin(), rows.end(), measure);
    text += TableLine(header, widths);
    for (const Row &row : rows) {
        text += TableLine(row, widths);
    }
    return text;
}

} // namespace

QString CsvRecord(const QStringList &fields)
{
    // Lines end with LF, as other tools' output on a terminal or in a pipe.
    QStringList quoted;
    std::transform(fields.begin(), fields.end(), std::back_inserter(quoted), CsvField);
    return quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
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
    return Render({"serial", "ip", "version"}, rows, format);
}

QString FormatOutcomes(const std::vector<fleet::LoggerOutcome> &outcomes, const QStringList &keys,
                       Format format)
{
    if (format == Format::Json) {
        QJsonArray list;
        for (const fleet::LoggerOutcome &outcome : outcomes) {
            QJsonObject record = outcome.values;
            record.insert("ip", outcome.address.toString());
            if (!outcome.serial.isEmpty()) {
                record.insert("serial", outcome.serial);
            }
            if (!outcome.succeeded()) {
                record.insert("error", outcome.failure->message);
                record.insert("error_kind", fleet::FailureKindName(outcome.failure->kind));
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
        for (const QString &key : keys) {
            row.append(Cell(outcome.values.value(key)));
        }
        row.append(outcome.succeeded() ? QString() : outcome.failure->message);
        rows.push_back(row);
    }
    return Render(header, rows, format);
}

} // namespace cli

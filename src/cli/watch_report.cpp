// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch_report.h"

#include "fleet/logger_outcome.h"
#include "reports/signal_readings.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <vector>

namespace cli {
namespace {

QStringList Columns()
{
    return SignalReadingColumns() << QStringLiteral("error");
}

QStringList Fields(const WatchReading &reading)
{
    if (const auto *failure = std::get_if<LoggerError>(&reading.result)) {
        return SignalReadingFields(reading.requestedAt, {})
               << QStringLiteral("missed: ") + failure->message;
    }
    return SignalReadingFields(reading.requestedAt,
                               std::get<cellular::SignalReading>(reading.result))
           << QString();
}

// Lines are printed one at a time, so the columns are as wide as a time stamp and a
// reading on the scale need, not as their widest cell so far.
std::vector<qsizetype> ColumnWidths()
{
    const QStringList header = Columns();
    const QStringList widest =
        SignalReadingFields(QDateTime::currentDateTime(), cellular::InterpretSignalQuality("00"))
        << QString();
    std::vector<qsizetype> widths;
    for (qsizetype column = 0; column < header.size(); ++column) {
        widths.push_back(std::max(header[column].size(), widest[column].size()));
    }
    return widths;
}

QJsonValue NumberOrNull(const QString &field)
{
    return field.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(field.toInt());
}

QString JsonRecord(const WatchReading &reading)
{
    const QStringList fields = Fields(reading);
    QJsonObject record{{"time", fields[0]}};
    if (const auto *failure = std::get_if<LoggerError>(&reading.result)) {
        record.insert("error", failure->message);
        record.insert("error_kind", failure->kindName());
    } else {
        record.insert("raw", fields[1]);
        record.insert("value", NumberOrNull(fields[2]));
        record.insert("dBm", NumberOrNull(fields[3]));
    }
    return QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact)) +
           QLatin1Char('\n');
}

// The eight heights of a sparkline, lowest first.
const QString kSparks = QStringLiteral("\u2581\u2582\u2583\u2584\u2585\u2586\u2587\u2588");

QChar Spark(const WatchReading &reading)
{
    if (reading.missed()) {
        return QLatin1Char(' ');
    }
    const std::optional<int> value = std::get<cellular::SignalReading>(reading.result).value;
    if (!value || *value == cellular::kUnknownSignal) {
        return QLatin1Char('?');
    }
    return kSparks[*value * (kSparks.size() - 1) / cellular::kStrongestSignal];
}

} // namespace

QString WatchHeader(Format format)
{
    switch (format) {
    case Format::Table:
        return TableLine(Columns(), ColumnWidths());
    case Format::Csv:
        return CsvRecord(Columns());
    case Format::Json:
        break;
    }
    return QString();
}

QString WatchRecord(const WatchReading &reading, Format format)
{
    switch (format) {
    case Format::Table: {
        QStringList fields = Fields(reading);
        std::transform(fields.begin(), fields.end(), fields.begin(), ForTerminal);
        return TableLine(fields, ColumnWidths());
    }
    case Format::Csv:
        return CsvRecord(Fields(reading));
    case Format::Json:
        break;
    }
    return JsonRecord(reading);
}

QString WatchStatusLine(const std::deque<WatchReading> &recent, int readings, int missed)
{
    int steps = 0;
    QString meaning = QStringLiteral("missed");
    if (!recent.empty() && !recent.back().missed()) {
        const auto &latest = std::get<cellular::SignalReading>(recent.back().result);
        steps = cellular::SignalBarSteps(latest);
        meaning = QString::fromStdString(cellular::DescribeSignal(latest));
    }
    QString sparkline;
    for (const WatchReading &reading : recent) {
        sparkline += Spark(reading);
    }
    return QStringLiteral("[%1%2] %3  %4  %5 read, %6 missed")
        .arg(QString(steps, QLatin1Char('#')),
             QString(cellular::kSignalBarSteps - steps, QLatin1Char(' ')),
             meaning.leftJustified(17), sparkline)
        .arg(readings)
        .arg(missed);
}

} // namespace cli

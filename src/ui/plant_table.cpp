// SPDX-License-Identifier: GPL-3.0-or-later
#include "plant_table.h"

#include "fleet/profile_apply.h"
#include "fleet/report_text.h"
#include "fleet/settings/cellular.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <map>

namespace {

const QString kMaskedPassword = QStringLiteral("********");

QJsonObject ObjectValue(const PlantRow &row, const char *reportKey)
{
    return row.outcome.values.value(QLatin1String(reportKey)).toObject();
}

QString TextValue(const PlantRow &row, const char *reportKey)
{
    return row.outcome.values.value(QLatin1String(reportKey)).toString();
}

bool HasValue(const PlantRow &row, const char *reportKey)
{
    return row.outcome.values.contains(QLatin1String(reportKey));
}

QString IpConfigurationText(const QJsonObject &ip)
{
    const QString address = ip.value(QLatin1String("address")).toString();
    const QString mask = ip.value(QLatin1String("mask")).toString();
    const QString gateway = ip.value(QLatin1String("gateway")).toString();
    // The DHCP request writes all-zero addresses, and a logger told to use DHCP reads
    // them back; a logger on a fixed address reports that address.
    const QString none = QStringLiteral("0.0.0.0");
    if (address == none && mask == none && gateway == none) {
        return QStringLiteral("DHCP");
    }
    return QStringLiteral("%1 / %2 / %3").arg(address, mask, gateway);
}

// "22 (-69 dBm)", "99 (unknown)", or the codec's words for an unreadable report.
QString SignalText(const PlantRow &row)
{
    const cellular::SignalReading reading = PlantSignalReading(row);
    if (reading.raw.empty()) {
        return {};
    }
    const QString description = QString::fromStdString(cellular::DescribeSignal(reading));
    return reading.value ? QStringLiteral("%1 (%2)").arg(*reading.value).arg(description)
                         : description;
}

// A reported value that is a number or a text, as text.
QString ReportedText(const QJsonValue &value)
{
    return value.isDouble() ? QString::number(value.toInteger()) : value.toString();
}

QString SystemField(const PlantRow &row, const char *key)
{
    return ReportedText(ObjectValue(row, "system").value(QLatin1String(key)));
}

QString ApplyStatusText(const PlantRow &row)
{
    switch (row.applyState) {
    case ApplyState::None:
        break;
    case ApplyState::Waiting:
        return QStringLiteral("waiting");
    case ApplyState::Checking:
        return QStringLiteral("checking…");
    case ApplyState::Applying:
        return QStringLiteral("applying…");
    case ApplyState::Checked:
    case ApplyState::Applied:
        return ApplySummary(row.applyOutcome);
    case ApplyState::Stopped:
        return QStringLiteral("stopped");
    }
    return {};
}

QString StatusText(const PlantRow &row)
{
    if (row.applyState != ApplyState::None) {
        const QString status = ApplyStatusText(row);
        return row.stale ? status + QStringLiteral("; stale until read") : status;
    }
    switch (row.state) {
    case ReadState::NotRead:
        return {};
    case ReadState::Waiting:
        return QStringLiteral("waiting");
    case ReadState::Reading:
        return QStringLiteral("reading…");
    case ReadState::Done:
        return QStringLiteral("done");
    case ReadState::Failed:
        return row.outcome.failure ? row.outcome.failure->message : QStringLiteral("failed");
    case ReadState::Stopped:
        return QStringLiteral("stopped");
    }
    return {};
}

} // namespace

bool TakeApplyReadBack(PlantRow &row)
{
    namespace status = fleet::apply_status;
    bool unseen = !row.applyOutcome.succeeded();
    for (auto entry = row.applyOutcome.values.begin(); entry != row.applyOutcome.values.end();
         ++entry) {
        const QJsonObject setting = entry.value().toObject();
        const QJsonValue state = setting.value(QLatin1String("status"));
        if ((state == QLatin1String(status::kChanged) ||
             state == QLatin1String(status::kUnchanged)) &&
            setting.contains(QLatin1String("value"))) {
            row.outcome.values.insert(entry.key(), setting.value(QLatin1String("value")));
        } else if (state == QLatin1String(status::kFailed)) {
            unseen = true;
        }
    }
    return unseen;
}

cellular::SignalReading PlantSignalReading(const PlantRow &row)
{
    return fleet::SignalReadingOfReport(row.outcome.values.value(QLatin1String("signal")));
}

QString PlantColumnTitle(int column)
{
    static const QStringList titles{
        QStringLiteral("Serial"),
        QStringLiteral("IP"),
        QStringLiteral("Version"),
        QStringLiteral("MAC"),
        QStringLiteral("IP configuration"),
        QStringLiteral("Data server"),
        QStringLiteral("APN"),
        QStringLiteral("APN user"),
        QStringLiteral("APN password"),
        QStringLiteral("Operator"),
        QStringLiteral("Signal"),
        QStringLiteral("GPRS"),
        QStringLiteral("Data (min)"),
        QStringLiteral("Heartbeat (min)"),
        QStringLiteral("Front-end (min)"),
        QStringLiteral("Devices"),
        QStringLiteral("Status"),
    };
    return titles.value(column);
}

QString PlantCellText(const PlantRow &row, int column)
{
    switch (static_cast<PlantColumn>(column)) {
    case SerialColumn:
        return row.target.serial;
    case IpColumn:
        return row.target.address.toString();
    case VersionColumn:
        return row.target.version;
    case MacColumn:
        return TextValue(row, "mac");
    case IpConfigurationColumn:
        return HasValue(row, "ip_configuration")
                   ? IpConfigurationText(ObjectValue(row, "ip_configuration"))
                   : QString();
    case DataServerColumn:
        return TextValue(row, "data_server");
    case ApnNameColumn:
        return ObjectValue(row, "apn").value(QLatin1String("name")).toString();
    case ApnUserColumn:
        return ObjectValue(row, "apn").value(QLatin1String("user")).toString();
    case ApnPasswordColumn:
        return ObjectValue(row, "apn").value(QLatin1String("password")).toString().isEmpty()
                   ? QString()
                   : kMaskedPassword;
    case OperatorColumn:
        return TextValue(row, "operator");
    case SignalColumn:
        return SignalText(row);
    case GprsColumn:
        return SystemField(row, "gprs");
    case DataIntervalColumn: {
        // In whole minutes, rounded up, as the window's interval row shows it.
        const QString seconds = SystemField(row, "data_interval_seconds");
        return seconds.isEmpty() ? QString() : QString::number((seconds.toInt() + 59) / 60);
    }
    case HeartbeatColumn:
        return SystemField(row, "heartbeat_minutes");
    case FrontEndColumn:
        return ReportedText(ObjectValue(row, "front_end").value(QLatin1String("minutes")));
    case DeviceCountColumn:
        return HasValue(row, "devices")
                   ? QString::number(
                         row.outcome.values.value(QLatin1String("devices")).toArray().size())
                   : QString();
    case StatusColumn:
        return StatusText(row);
    case PlantColumnCount:
        break;
    }
    return {};
}

QString PlantComparedValue(const PlantRow &row, int column)
{
    switch (static_cast<PlantColumn>(column)) {
    case SerialColumn:
    case IpColumn:
    case MacColumn:
    case SignalColumn:
    case StatusColumn:
    case PlantColumnCount:
        return {};
    case IpConfigurationColumn: {
        const QString text = PlantCellText(row, column);
        const QJsonObject ip = ObjectValue(row, "ip_configuration");
        return text == QLatin1String("DHCP") || text.isEmpty()
                   ? text
                   : ip.value(QLatin1String("mask")).toString() + QLatin1Char('/') +
                         ip.value(QLatin1String("gateway")).toString();
    }
    case ApnPasswordColumn:
        // The password itself, never shown: a logger with another password stands out.
        return HasValue(row, "apn")
                   ? QStringLiteral("password:") +
                         ObjectValue(row, "apn").value(QLatin1String("password")).toString()
                   : QString();
    default:
        return PlantCellText(row, column);
    }
}

QString UsualValue(const ValueHolders &holders)
{
    const QString *mostHeld = nullptr;
    int mostHolders = 0;
    bool tie = false;
    for (const auto &[value, count] : holders) {
        if (count > mostHolders) {
            mostHeld = &value;
            mostHolders = count;
            tie = false;
        } else if (count == mostHolders) {
            tie = true;
        }
    }
    return mostHeld == nullptr || tie || mostHolders < 2 ? QString() : *mostHeld;
}

bool IsOddValue(const QString &compared, const QString &usual)
{
    return !compared.isEmpty() && !usual.isEmpty() && compared != usual;
}

QString ApplySummary(const fleet::LoggerOutcome &outcome)
{
    namespace status = fleet::apply_status;
    QStringList counts;
    for (const char *name :
         {status::kFailed, status::kChanged, status::kWritten, status::kWouldChange,
          status::kWouldWrite, status::kUnchanged, status::kNotWritten}) {
        const auto held = std::count_if(
            outcome.values.begin(), outcome.values.end(), [name](const QJsonValue &entry) {
                return entry.toObject().value(QLatin1String("status")) == QLatin1String(name);
            });
        if (held > 0) {
            counts.append(QStringLiteral("%1 %2").arg(held).arg(
                QString::fromLatin1(name).replace(QLatin1Char('_'), QLatin1Char(' '))));
        }
    }
    QString summary = counts.join(QStringLiteral(", "));
    if (outcome.failure) {
        summary +=
            (summary.isEmpty() ? QString() : QStringLiteral("; ")) + outcome.failure->message;
    }
    return summary;
}

QStringList ApplyDetails(const fleet::LoggerOutcome &outcome)
{
    const QJsonObject entries = fleet::WithSecretsHidden(outcome.values);
    QStringList lines;
    for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
        lines.append(entry.key() + QStringLiteral(": ") + fleet::ReportText(entry.value()));
    }
    return lines;
}

ListTable PlantTableText(const std::vector<PlantRow> &rows)
{
    ListTable table;
    for (int column = 0; column < PlantColumnCount; ++column) {
        table.header.append(PlantColumnTitle(column));
    }
    for (const PlantRow &row : rows) {
        QStringList fields;
        for (int column = 0; column < PlantColumnCount; ++column) {
            fields.append(PlantCellText(row, column));
        }
        table.rows.append(fields);
    }
    return table;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "plant_table.h"

#include "fleet/outcome_report.h"
#include "fleet/profile_apply.h"
#include "fleet/report_text.h"
#include "fleet/settings/cellular.h"

#include <QJsonObject>

#include <algorithm>
#include <cstring>
#include <map>

namespace {

const QString kMaskedPassword = QStringLiteral("********");

// The text a setting column reads of the logger's value, as the reports give it; empty
// when nothing was read.
QString ColumnText(const PlantRow &row, const PlantSettingColumn &column)
{
    const fleet::SettingValue *value = row.outcome.settings.find(column.setting);
    return value == nullptr || column.shown.text == nullptr ? QString() : column.shown.text(*value);
}

const PlantSettingColumn *SettingColumn(int column)
{
    const auto &columns = PlantSettingColumns();
    const int at = column - PlantFirstSettingColumn;
    return at >= 0 && at < static_cast<int>(columns.size()) ? &columns[static_cast<std::size_t>(at)]
                                                             : nullptr;
}

QString Dotted(const network_addressing::OctetRow &octets)
{
    return fleet::WireText(octets[0] + '.' + octets[1] + '.' + octets[2] + '.' + octets[3]);
}

QString IpConfigurationText(const network_addressing::IpConfiguration &ip)
{
    const QString address = Dotted(ip.address);
    const QString mask = Dotted(ip.mask);
    const QString gateway = Dotted(ip.gateway);
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

QString SettingCellText(const PlantRow &row, const PlantSettingColumn &column)
{
    const fleet::SettingValues &values = row.outcome.settings;
    switch (column.shown.kind) {
    case fleet::ColumnKind::Text:
    case fleet::ColumnKind::OwnText:
    case fleet::ColumnKind::Number:
        return ColumnText(row, column);
    case fleet::ColumnKind::Secret:
        return ColumnText(row, column).isEmpty() ? QString() : kMaskedPassword;
    case fleet::ColumnKind::MinutesOfSeconds: {
        // In whole minutes, rounded up, as the window's interval row shows it.
        const QString seconds = ColumnText(row, column);
        return seconds.isEmpty() ? QString() : QString::number((seconds.toInt() + 59) / 60);
    }
    case fleet::ColumnKind::Count: {
        const auto *list = values.get<fleet::DeviceRegistry>(column.setting);
        return list == nullptr ? QString() : QString::number(list->size());
    }
    case fleet::ColumnKind::IpConfiguration: {
        const auto *ip = values.get<fleet::IpSetting>(column.setting);
        return ip == nullptr ? QString() : IpConfigurationText(ip->configuration);
    }
    case fleet::ColumnKind::SignalLevel:
        return SignalText(row);
    }
    return {};
}

QString SettingComparedValue(const PlantRow &row, const PlantSettingColumn &column)
{
    switch (column.shown.kind) {
    case fleet::ColumnKind::OwnText:
    case fleet::ColumnKind::SignalLevel:
        return {};
    case fleet::ColumnKind::IpConfiguration: {
        const QString text = SettingCellText(row, column);
        if (text == QLatin1String("DHCP") || text.isEmpty()) {
            return text;
        }
        const auto &ip = row.outcome.settings.get<fleet::IpSetting>(column.setting)->configuration;
        return Dotted(ip.mask) + QLatin1Char('/') + Dotted(ip.gateway);
    }
    case fleet::ColumnKind::Secret:
        // The secret itself, never shown: a logger with another one stands out.
        return row.outcome.settings.contains(column.setting)
                   ? QStringLiteral("secret:") + ColumnText(row, column)
                   : QString();
    default:
        return SettingCellText(row, column);
    }
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
    using fleet::ApplyStatus;
    bool unseen = !row.applyOutcome.succeeded();
    for (const auto &[setting, entry] : row.applyOutcome.applied) {
        if ((entry.status == ApplyStatus::Changed || entry.status == ApplyStatus::Unchanged) &&
            entry.value) {
            row.outcome.settings.set(setting, *entry.value);
        } else if (entry.status == ApplyStatus::Failed) {
            unseen = true;
        }
    }
    return unseen;
}

cellular::SignalReading PlantSignalReading(const PlantRow &row)
{
    const auto *reading = row.outcome.settings.get<cellular::SignalReading>(fleet::Setting::Signal);
    return reading == nullptr ? cellular::SignalReading{} : *reading;
}

const std::vector<PlantSettingColumn> &PlantSettingColumns()
{
    static const std::vector<PlantSettingColumn> columns = [] {
        std::vector<PlantSettingColumn> all;
        for (const fleet::SettingSpec &setting : fleet::Catalogue()) {
            for (const fleet::PlantColumnSpec &column : setting.columns) {
                all.push_back({setting.setting, column});
            }
        }
        std::stable_sort(all.begin(), all.end(),
                         [](const PlantSettingColumn &left, const PlantSettingColumn &right) {
                             return left.shown.place < right.shown.place;
                         });
        return all;
    }();
    return columns;
}

int PlantColumnOf(fleet::Setting setting, const char *field)
{
    const auto &columns = PlantSettingColumns();
    for (std::size_t at = 0; at < columns.size(); ++at) {
        const PlantSettingColumn &column = columns[at];
        const bool sameField = field == nullptr ? column.shown.field == nullptr
                               : column.shown.field != nullptr &&
                                     std::strcmp(field, column.shown.field) == 0;
        if (column.setting == setting && sameField) {
            return PlantFirstSettingColumn + static_cast<int>(at);
        }
    }
    return -1;
}

bool PlantColumnSortsByNumber(int column)
{
    const PlantSettingColumn *setting = SettingColumn(column);
    if (setting == nullptr) {
        return false;
    }
    switch (setting->shown.kind) {
    case fleet::ColumnKind::Number:
    case fleet::ColumnKind::MinutesOfSeconds:
    case fleet::ColumnKind::Count:
    case fleet::ColumnKind::SignalLevel:
        return true;
    default:
        return false;
    }
}

QString PlantColumnTitle(int column)
{
    if (const PlantSettingColumn *setting = SettingColumn(column)) {
        return QString::fromUtf8(setting->shown.caption);
    }
    if (column == StatusColumn) {
        return QStringLiteral("Status");
    }
    static const QStringList titles{
        QStringLiteral("Serial"),
        QStringLiteral("IP"),
        QStringLiteral("Version"),
    };
    return titles.value(column);
}

QString PlantCellText(const PlantRow &row, int column)
{
    if (const PlantSettingColumn *setting = SettingColumn(column)) {
        return SettingCellText(row, *setting);
    }
    if (column == StatusColumn) {
        return StatusText(row);
    }
    switch (column) {
    case SerialColumn:
        return row.target.serial;
    case IpColumn:
        return row.target.address.toString();
    case VersionColumn:
        return row.target.version;
    default:
        return {};
    }
}

QString PlantComparedValue(const PlantRow &row, int column)
{
    // A plant's loggers should run one version; serial, address and status differ by nature.
    if (column == VersionColumn) {
        return row.target.version;
    }
    const PlantSettingColumn *setting = SettingColumn(column);
    return setting == nullptr ? QString() : SettingComparedValue(row, *setting);
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
    using enum fleet::ApplyStatus;
    QStringList counts;
    for (const fleet::ApplyStatus status :
         {Failed, Changed, Written, WouldChange, WouldWrite, Unchanged, NotWritten}) {
        const auto held = std::count_if(
            outcome.applied.begin(), outcome.applied.end(),
            [status](const auto &entry) { return entry.second.status == status; });
        if (held > 0) {
            counts.append(QStringLiteral("%1 %2").arg(held).arg(
                QString::fromLatin1(fleet::ApplyStatusName(status))
                    .replace(QLatin1Char('_'), QLatin1Char(' '))));
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
    const QJsonObject entries = fleet::WithSecretsHidden(fleet::SettingsReport(outcome));
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

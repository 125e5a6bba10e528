// SPDX-License-Identifier: GPL-3.0-or-later
#include "outcome_report.h"

#include "profile_apply.h"
#include "settings/catalogue.h"

namespace fleet {

QJsonObject SettingsReport(const LoggerOutcome &outcome)
{
    QJsonObject report;
    for (const SettingSpec &row : Catalogue()) {
        const QString key = QLatin1String(row.reportKey);
        if (const auto applied = outcome.applied.find(row.setting);
            applied != outcome.applied.end()) {
            report.insert(key, ApplyEntryReport(applied->second));
        } else if (const auto note = outcome.written.find(row.setting);
                   note != outcome.written.end()) {
            report.insert(key, Report(note->second));
        } else if (const SettingValue *held = outcome.settings.find(row.setting)) {
            report.insert(key, Report(*held));
        }
    }
    return report;
}

} // namespace fleet

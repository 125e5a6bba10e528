// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile_apply.h"

#include "settings/catalogue.h"

#include <QJsonObject>

#include <memory>

namespace fleet {
namespace {

// Keeps what became of the setting.
void Record(LoggerJob &job, Setting setting, const ApplyEntry &entry)
{
    job.holdApplied(setting, entry);
}

ApplyEntry Entry(ApplyStatus status)
{
    ApplyEntry entry;
    entry.status = status;
    return entry;
}

// A value a read cannot tell: sent each time, and its answer is all there is to check.
void AddBlindWrites(LoggerJob &job, const ProfileSetting &setting, ApplyMode mode)
{
    const Setting which = setting.setting;
    if (mode == ApplyMode::DryRun) {
        job.then([&job, which] {
            Record(job, which, Entry(ApplyStatus::WouldWrite));
            job.next();
        });
        return;
    }
    for (const SettingWrite &write : setting.writes) {
        write.addSteps(job);
    }
    job.then([&job, which] {
        Record(job, which, Entry(ApplyStatus::Written));
        job.next();
    });
}

// Read, compare, and write only what differs.
void AddDifferenceWrites(LoggerJob &job, const ProfileSetting &setting, ApplyMode mode,
                         const std::shared_ptr<std::optional<SettingValue>> &before)
{
    const Setting which = setting.setting;
    const WantedValue wanted = *setting.wanted;
    const SettingSpec::Read read = SpecOf(which).read;
    job.then([&job, read] { read(job); });
    job.then([&job, which, wanted, before, mode] {
        *before = *job.outcome().settings.find(which);
        ApplyEntry entry;
        entry.value = *before;
        if (Holds(**before, wanted)) {
            entry.status = ApplyStatus::Unchanged;
            Record(job, which, entry);
            job.skipRestOfSetting();
        } else if (mode == ApplyMode::DryRun) {
            entry.status = ApplyStatus::WouldChange;
            entry.wanted = wanted;
            Record(job, which, entry);
            job.skipRestOfSetting();
        } else {
            job.next();
        }
    });
    for (const SettingWrite &write : setting.writes) {
        write.addSteps(job);
    }
    // Each write above ends with its read-back, which keeps what the logger holds now.
    job.then([&job, which, before] {
        ApplyEntry entry = Entry(ApplyStatus::Changed);
        entry.was = *before;
        if (const SettingValue *now = job.outcome().settings.find(which)) {
            entry.value = *now;
        }
        Record(job, which, entry);
        job.next();
    });
}

} // namespace

const char *ApplyStatusName(ApplyStatus status)
{
    switch (status) {
    case ApplyStatus::Unchanged:
        return apply_status::kUnchanged;
    case ApplyStatus::Changed:
        return apply_status::kChanged;
    case ApplyStatus::WouldChange:
        return apply_status::kWouldChange;
    case ApplyStatus::Written:
        return apply_status::kWritten;
    case ApplyStatus::WouldWrite:
        return apply_status::kWouldWrite;
    case ApplyStatus::NotWritten:
        return apply_status::kNotWritten;
    case ApplyStatus::Failed:
        return apply_status::kFailed;
    }
    return "";
}

QJsonObject ApplyEntryReport(const ApplyEntry &entry)
{
    QJsonObject report{{"status", QLatin1String(ApplyStatusName(entry.status))}};
    if (entry.value) {
        report.insert("value", Report(*entry.value));
    }
    if (entry.was) {
        report.insert("was", Report(*entry.was));
    }
    if (entry.wanted) {
        report.insert("wanted", Report(*entry.wanted));
    }
    if (entry.status == ApplyStatus::NotWritten) {
        report.insert("reason", entry.reason);
    }
    if (entry.failure) {
        report.insert("error", entry.failure->message);
        report.insert("error_kind", entry.failure->kindName());
    }
    return report;
}

QJsonObject ApplyDifferenceReport(const ApplyEntry &entry)
{
    QJsonObject report = ApplyEntryReport(entry);
    if (entry.value && entry.wanted) {
        if (const std::optional<FieldsDiffering> differing =
                DifferingFields(*entry.value, *entry.wanted)) {
            report.insert("value", Report(differing->now));
            report.insert("wanted", Report(differing->wanted));
        }
    }
    return report;
}

void AddApplySteps(LoggerJob &job, const ProfileSetting &setting, ApplyMode mode)
{
    const Setting which = setting.setting;
    if (!setting.notWritten.isEmpty()) {
        job.then([&job, which, reason = setting.notWritten] {
            ApplyEntry entry = Entry(ApplyStatus::NotWritten);
            entry.reason = reason;
            Record(job, which, entry);
            job.next();
        });
        return;
    }
    // The value read before any write, for the report of a failure after it.
    const auto before = std::make_shared<std::optional<SettingValue>>();
    job.beginSetting([&job, which, before](const LoggerError &failure) {
        ApplyEntry entry = Entry(ApplyStatus::Failed);
        entry.failure = failure;
        entry.value = *before;
        Record(job, which, entry);
    });
    if (setting.wanted) {
        AddDifferenceWrites(job, setting, mode, before);
    } else {
        AddBlindWrites(job, setting, mode);
    }
    job.endSetting();
}

} // namespace fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile_apply.h"

#include "settings/catalogue.h"

#include <QJsonArray>
#include <QJsonObject>

#include <memory>

namespace fleet {
namespace {

void Record(LoggerJob &job, const QString &key, QJsonObject entry, const char *status)
{
    entry.insert("status", QLatin1String(status));
    job.record(key, entry);
}

// A value a read cannot tell: sent each time, and its answer is all there is to check.
void AddBlindWrites(LoggerJob &job, const ProfileSetting &setting, ApplyMode mode,
                    const QString &key)
{
    if (mode == ApplyMode::DryRun) {
        job.then([&job, key] {
            Record(job, key, {}, apply_status::kWouldWrite);
            job.next();
        });
        return;
    }
    for (const SettingWrite &write : setting.writes) {
        write.addSteps(job);
    }
    job.then([&job, key] {
        Record(job, key, {}, apply_status::kWritten);
        job.next();
    });
}

// Read, compare, and write only what differs.
void AddDifferenceWrites(LoggerJob &job, const ProfileSetting &setting, ApplyMode mode,
                         const QString &key, const std::shared_ptr<QJsonValue> &before)
{
    const QJsonValue wanted = *setting.wanted;
    const SettingSpec::Read read = SpecOf(setting.setting).read;
    job.then([&job, read] { read(job); });
    job.then([&job, key, wanted, before, mode] {
        *before = job.outcome().values.value(key);
        if (Holds(*before, wanted)) {
            Record(job, key, {{"value", *before}}, apply_status::kUnchanged);
            job.skipRestOfSetting();
        } else if (mode == ApplyMode::DryRun) {
            Record(job, key, {{"value", *before}, {"wanted", wanted}},
                   apply_status::kWouldChange);
            job.skipRestOfSetting();
        } else {
            job.next();
        }
    });
    for (const SettingWrite &write : setting.writes) {
        write.addSteps(job);
    }
    // Each write above ends with its read-back, which records what the logger holds now.
    job.then([&job, key, before] {
        Record(job, key, {{"was", *before}, {"value", job.outcome().values.value(key)}},
               apply_status::kChanged);
        job.next();
    });
}

} // namespace

void AddApplySteps(LoggerJob &job, const ProfileSetting &setting, ApplyMode mode)
{
    const QString key = ReportKey(setting.setting);
    if (!setting.notWritten.isEmpty()) {
        job.then([&job, key, reason = setting.notWritten] {
            Record(job, key, {{"reason", reason}}, apply_status::kNotWritten);
            job.next();
        });
        return;
    }
    // The value read before any write, for the report of a failure after it.
    const auto before = std::make_shared<QJsonValue>(QJsonValue::Undefined);
    job.beginSetting([&job, key, before](const Failure &failure) {
        QJsonObject entry{{"error", failure.message},
                          {"error_kind", FailureKindName(failure.kind)}};
        if (!before->isUndefined()) {
            entry.insert("value", *before);
        }
        Record(job, key, entry, apply_status::kFailed);
    });
    if (setting.wanted) {
        AddDifferenceWrites(job, setting, mode, key, before);
    } else {
        AddBlindWrites(job, setting, mode, key);
    }
    job.endSetting();
}

bool Holds(const QJsonValue &read, const QJsonValue &wanted)
{
    if (wanted.isObject()) {
        const QJsonObject readObject = read.toObject();
        const QJsonObject wantedObject = wanted.toObject();
        for (auto field = wantedObject.begin(); field != wantedObject.end(); ++field) {
            if (!readObject.contains(field.key()) ||
                !Holds(readObject.value(field.key()), field.value())) {
                return false;
            }
        }
        return read.isObject();
    }
    if (wanted.isArray()) {
        const QJsonArray readList = read.toArray();
        const QJsonArray wantedList = wanted.toArray();
        if (!read.isArray() || readList.size() != wantedList.size()) {
            return false;
        }
        for (qsizetype index = 0; index < wantedList.size(); ++index) {
            if (!Holds(readList.at(index), wantedList.at(index))) {
                return false;
            }
        }
        return true;
    }
    return read == wanted;
}

} // namespace fleet

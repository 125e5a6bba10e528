// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_job.h"
#include "settings/setting.h"

#include <QJsonObject>

// A profile applied as a difference: each setting is read first and written only when the
// logger does not hold the profile's value already, so that applying a profile twice writes
// nothing the second time, and a dry run tells what a run would change.
namespace fleet {

enum class ApplyMode { Write, DryRun };

// What became of one setting, as the "status" of its entry in the outcome.
namespace apply_status {
inline constexpr char kUnchanged[] = "unchanged";     // the logger held the value already
inline constexpr char kChanged[] = "changed";         // written, and read back as wanted
inline constexpr char kWouldChange[] = "would_change"; // a dry run found another value
inline constexpr char kWritten[] = "written";         // a value a read cannot tell, sent
inline constexpr char kWouldWrite[] = "would_write";  // the same in a dry run
inline constexpr char kNotWritten[] = "not_written";  // the profile's value is never written
inline constexpr char kFailed[] = "failed";
} // namespace apply_status

// The name of a status, as the reports give it.
const char *ApplyStatusName(ApplyStatus status);

// An entry as the reports give it: {"status"} with, as they apply, "value" (read, or held
// after the write), "was" (before a change), "wanted" (in a dry run), "reason" (not
// written), "error" and "error_kind" (failed).
QJsonObject ApplyEntryReport(const ApplyEntry &entry);
// An entry as the difference before an apply shows it: of a change of a value of several
// fields (the APN, the system block), the fields that differ alone, now and wanted, which
// the others would hide.
QJsonObject ApplyDifferenceReport(const ApplyEntry &entry);

// Adds the steps that bring the logger to the profile's value of one setting. The outcome
// then holds its entry. A failure ends this setting alone.
void AddApplySteps(LoggerJob &job, const ProfileSetting &setting, ApplyMode mode);

} // namespace fleet

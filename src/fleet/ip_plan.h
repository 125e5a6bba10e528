// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"
#include "logger_outcome.h"
#include "settings/network.h"
#include "settings/setting.h"

#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace fleet {

// One logger's row of a plan.
struct PlannedIp {
    qsizetype line = 0; // of the plan file, for messages
    FixedIp ip;
    SettingWrite write;
};

// Per-logger IP configurations by serial number, from a CSV file with the header
// serial,ip,mask,gateway. Each row is checked as a fixed address written alone is; across
// rows, no serial number and no address may appear twice.
using IpPlan = std::map<QString, PlannedIp>;

Checked<IpPlan> LoadIpPlan(const QString &path);
Checked<IpPlan> IpPlanFromText(const QString &text);

// The plan against the loggers of the run, before anything is sent to them: every logger
// must tell its serial number and have its row, and every row must be a logger's, or some
// logger would be left at an address meant for another. No row may give a logger the
// address another logger of the run answers at now.
std::optional<Refusal> CheckIpPlanAgainst(const IpPlan &plan,
                                          const std::vector<LoggerTarget> &loggers);

} // namespace fleet

#pragma once

#include "refusal.h"
#include "settings/setting.h"

#include <QString>

#include <map>

namespace fleet {

// Per-logger IP configurations by serial number, from a CSV file with the header
// serial,ip,mask,gateway; each row checked as the window checks a fixed address.
using IpPlan = std::map<QString, SettingWrite>;

Checked<IpPlan> LoadIpPlan(const QString &path);
Checked<IpPlan> IpPlanFromText(const QString &text);

} // namespace fleet

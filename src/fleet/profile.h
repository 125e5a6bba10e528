// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"
#include "logger_outcome.h"
#include "settings/setting.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace fleet {

inline constexpr char kProfileFormat[] = "tarnwick-profile";
inline constexpr int kProfileVersion = 1;

// The profile of a logger as a backup writes it: the format and version, the logger it
// came from, and every setting read that a profile keeps (docs/profile.md).
QJsonObject ProfileDocument(const LoggerOutcome &backup);

// Writes the profile whole or not at all, so a failed save leaves an earlier file as it
// was; a file that holds an APN password or a PIN is readable by its owner only (mode
// 0600). The refusal names the file and the reason.
std::optional<Refusal> SaveProfile(const QString &path, const QJsonObject &document);

// A profile checked key by key: every setting but the address change in the order they
// are written, and the address change (the IP configuration) on its own.
struct Profile {
    std::vector<ProfileSetting> settings;
    std::optional<ProfileSetting> addressChange;
    bool holdsSecrets = false; // an APN password or a PIN
};

// Reads and checks a profile file. Another format or version, an unknown key (named with
// its path, such as "settings.apn.pasword") or a value the window would refuse gives the
// refusal; nothing is written then.
Checked<Profile> LoadProfile(const QString &path);
Checked<Profile> ProfileFromDocument(const QByteArray &json);

// The keys of a profile's settings, in catalogue order.
QStringList ProfileSettingKeys();

} // namespace fleet

#pragma once

#include "logger_job.h"
#include "logger_settings.h"

#include <QJsonObject>
#include <QString>

#include <map>
#include <optional>
#include <variant>
#include <vector>

namespace fleet {

inline constexpr char kProfileFormat[] = "tarnwick-profile";
inline constexpr int kProfileVersion = 1;

// The profile of a logger as a backup writes it: the format and version, the logger it
// came from, and every setting read (docs/profile.md).
QJsonObject ProfileDocument(const LoggerOutcome &backup);

// Writes the profile; a file that holds an APN password or a PIN is readable by its
// owner only (mode 0600). Returns the message of a failure.
std::optional<QString> SaveProfile(const QString &path, const QJsonObject &document);

// A profile checked key by key, as the writes it asks for: every setting but the IP
// configuration in the order they are written, and the IP configuration on its own.
struct Profile {
    std::vector<SettingWrite> writes;
    std::optional<SettingWrite> ipWrite;
};

// Reads and checks a profile file. Another format or version, an unknown key (named with
// its path, such as "settings.apn.pasword") or a value the window would refuse gives the
// message; nothing is written then.
std::variant<Profile, QString> LoadProfile(const QString &path);
std::variant<Profile, QString> ProfileFromDocument(const QByteArray &json);

// Per-logger IP configurations by serial number, from a CSV file with the header
// serial,ip,mask,gateway; each row checked as the window checks a fixed address.
using Plan = std::map<QString, SettingWrite>;
std::variant<Plan, QString> LoadPlan(const QString &path);
std::variant<Plan, QString> PlanFromText(const QString &text);

} // namespace fleet

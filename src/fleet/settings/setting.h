// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"
#include "wanted_value.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace fleet {

class LoggerJob;

// Every setting the fleet reads or writes; the catalogue describes each.
enum class Setting {
    Ip,
    DataServer,
    Mac,
    Apn,
    Pin,
    Operator,
    Signal,
    FrontEnd,
    Gprs,
    Intervals,
    Devices,
    System,
};

// Whether a written value belongs to one logger alone: a fixed address must not go to
// several loggers.
enum class Ownership { Shared, OneLoggersOwn };

// A checked write of one setting: the steps that send it and read it back.
struct SettingWrite {
    Setting setting;
    std::function<void(LoggerJob &)> addSteps;
    Ownership ownership = Ownership::Shared;
    // What a read of the setting reports once the write is done; none when a read cannot
    // tell (a logger never reports its PIN, and reports the address DHCP gave it).
    std::optional<WantedValue> wanted = std::nullopt;
    // The address the logger answers at once the write is done, when it moves.
    std::optional<quint32> movesTo = std::nullopt;
};

using CheckedWrite = Checked<SettingWrite>;

// A profile's value of one setting: the writes that bring a logger to it, and what a read
// reports once the logger holds it (none when a read cannot tell: then it is written every
// time). A value that is never written says why in `notWritten`, and has no writes.
struct ProfileSetting {
    Setting setting;
    std::vector<SettingWrite> writes;
    std::optional<WantedValue> wanted = std::nullopt;
    QString notWritten;
};

using CheckedProfileSetting = Checked<ProfileSetting>;

// SETTING=VALUE sets a setting; SETTING+=VALUE adds to one (a device to the registry).
struct Assignment {
    enum class Mode { Set, Append };

    QString value;
    Mode mode = Mode::Set;
};

} // namespace fleet

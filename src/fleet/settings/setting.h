#pragma once

#include "fleet/refusal.h"

#include <QString>

#include <functional>
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
};

using CheckedWrite = Checked<SettingWrite>;
using CheckedWrites = Checked<std::vector<SettingWrite>>;

// SETTING=VALUE sets a setting; SETTING+=VALUE adds to one (a device to the registry).
struct Assignment {
    enum class Mode { Set, Append };

    QString value;
    Mode mode = Mode::Set;
};

} // namespace fleet

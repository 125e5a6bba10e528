// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/setting_value.h"
#include "transport/logger_error.h"

#include <QHostAddress>
#include <QString>

#include <map>
#include <optional>

namespace fleet {

// A logger to work with: its address and, when a search or the caller knows it, its
// serial number and firmware version.
struct LoggerTarget {
    QHostAddress address;
    QString serial;
    QString version;
    // Another serial number that answered a probe of this address: two loggers at one
    // address (an address clash), whose answers could be taken for each other's.
    QString clashingSerial = QString();
};

// "address clash: SN-1 and SN-2 both answer at 192.0.2.12", of a logger with a clashing
// serial number.
QString AddressClash(const LoggerTarget &logger);

// What became of one setting of a profile applied to a logger, or found by a dry run.
enum class ApplyStatus {
    Unchanged,   // the logger held the value already
    Changed,     // written, and read back as wanted
    WouldChange, // a dry run found another value
    Written,     // a value a read cannot tell, sent
    WouldWrite,  // the same in a dry run
    NotWritten,  // the profile's value is never written
    Failed,
};

struct ApplyEntry {
    ApplyStatus status = ApplyStatus::Unchanged;
    std::optional<SettingValue> value; // as read, or as held after the write
    std::optional<SettingValue> was;   // before a change
    // A dry run's: what a read reports once the logger holds the profile's value (a
    // profile may give some fields of a value alone).
    std::optional<WantedValue> wanted;
    QString reason;                 // why the value is never written
    std::optional<LoggerError> failure; // why the setting failed
};

// What became of one logger: the values read or written, or why it failed.
struct LoggerOutcome {
    QHostAddress address;
    QString serial; // empty when not known
    // What ended the job: the client's one kind of error, so that a report can tell a silent
    // logger from one that answered something else than expected (its kind's name is the
    // report's `error_kind`).
    std::optional<LoggerError> failure;
    // What the logger holds of each setting read or read back, as typed values.
    SettingValues settings{};
    // What a write did of each setting no read tells, when that came after its last read.
    std::map<Setting, WriteNote> written{};
    // Each setting of a profile applied or checked.
    std::map<Setting, ApplyEntry> applied{};

    bool succeeded() const { return !failure.has_value(); }
};

} // namespace fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transport/logger_error.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace fleet {

// What ended a logger's job, or one of its settings: the client's one kind of error, so
// that a report can tell a silent logger from one that answered something else than
// expected. Its kind's name (`FailureKindName`) is the report's `error_kind`.
using FailureKind = LoggerError::Kind;
using Failure = LoggerError;

inline QString FailureKindName(FailureKind kind)
{
    return LoggerError::KindName(kind);
}

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

// What became of one logger: the values read or written, or why it failed.
struct LoggerOutcome {
    QHostAddress address;
    QString serial; // empty when not known
    QJsonObject values;
    std::optional<Failure> failure;

    bool succeeded() const { return !failure.has_value(); }
};

} // namespace fleet

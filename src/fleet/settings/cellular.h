// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/cellular_link_codec.h"
#include "setting.h"
#include "setting_value.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// The cellular settings of a logger: APN, SIM PIN (write only), telecom operator, signal
// quality (read only) and front-end computer time. The telecom operator, one quoted text,
// is read and written as every such setting is (quoted_text.h).
namespace fleet {

class LoggerJob;

void ReadApn(LoggerJob &job);
// The values as reports give them: the APN's three texts; the signal's level (below); the
// front-end computer's address, and its port and minutes as numbers where they are digits.
// Of an APN or an endpoint, the given fields alone.
QJsonObject ApnReport(const cellular::ApnSettings &apn, GivenFields given = kAllFields);
QJsonValue SignalReport(const cellular::SignalReading &reading);
QJsonObject FrontEndReport(const cellular::FrontEndEndpoint &endpoint,
                           GivenFields given = kAllFields);
// The fields in which two APNs or endpoints report differently, by their places in the
// report.
GivenFields FieldsThatDiffer(const cellular::ApnSettings &one, const cellular::ApnSettings &other);
GivenFields FieldsThatDiffer(const cellular::FrontEndEndpoint &one,
                             const cellular::FrontEndEndpoint &other);
CheckedWrite ParseApnAssignment(const Assignment &assignment);
CheckedProfileSetting ApnFromProfile(const QJsonValue &value, const QString &path);
// A logger's recorded settings with each non-empty secret field (the APN password, as the
// catalogue names it) replaced by the hidden secret's text. The PIN is never recorded: a
// logger cannot read it back.
QJsonObject WithSecretsHidden(QJsonObject values);

CheckedWrite ParsePinAssignment(const Assignment &assignment);
CheckedProfileSetting PinFromProfile(const QJsonValue &value, const QString &path);

// The report holds a level of the scale as a number, "unknown" when the modem does not
// know, or the characters received when they are no level.
void ReadSignal(LoggerJob &job);

void ReadFrontEnd(LoggerJob &job);
CheckedWrite ParseFrontEndAssignment(const Assignment &assignment);
CheckedProfileSetting FrontEndFromProfile(const QJsonValue &value, const QString &path);

} // namespace fleet

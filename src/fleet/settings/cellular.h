#pragma once

#include "setting.h"

#include <QJsonValue>
#include <QString>

// The cellular settings of a logger: APN, SIM PIN (write only), telecom operator, signal
// quality (read only) and front-end computer time.
namespace fleet {

class LoggerJob;

void ReadApn(LoggerJob &job);
CheckedWrite ParseApnAssignment(const Assignment &assignment);
CheckedWrites ApnFromProfile(const QJsonValue &value, const QString &path);

CheckedWrite ParsePinAssignment(const Assignment &assignment);
CheckedWrites PinFromProfile(const QJsonValue &value, const QString &path);

void ReadOperator(LoggerJob &job);
CheckedWrite ParseOperatorAssignment(const Assignment &assignment);
CheckedWrites OperatorFromProfile(const QJsonValue &value, const QString &path);

void ReadSignal(LoggerJob &job);

void ReadFrontEnd(LoggerJob &job);
CheckedWrite ParseFrontEndAssignment(const Assignment &assignment);
CheckedWrites FrontEndFromProfile(const QJsonValue &value, const QString &path);

} // namespace fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setting.h"

#include <QJsonValue>
#include <QString>

// The system-parameter block of a logger, read and written whole, and the GPRS and
// interval writes that change one part of it as the window's chains do.
namespace fleet {

class LoggerJob;

void ReadSystemBlock(LoggerJob &job);
CheckedProfileSetting SystemBlockFromProfile(const QJsonValue &value, const QString &path);

// gprs=on|off and intervals=DATA_MINUTES,HEART_MINUTES: read the block, change it, check
// and write it as the Set button would, and read it back.
CheckedWrite ParseGprsAssignment(const Assignment &assignment);
CheckedWrite ParseIntervalsAssignment(const Assignment &assignment);

} // namespace fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setting.h"
#include "setting_value.h"

#include <QJsonObject>

#include <QJsonValue>
#include <QString>

// The system-parameter block of a logger, read and written whole, and the GPRS and
// interval writes that change one part of it as the window's chains do.
namespace fleet {

class LoggerJob;

void ReadSystemBlock(LoggerJob &job);
// The block as reports give it: times as HH:MM, numbers, and each choice as its word; the
// given fields alone.
QJsonObject BlockReport(const system_parameters::BlockControls &block,
                        GivenFields given = kAllFields);
// The fields in which two blocks report differently, by their places in the report.
GivenFields FieldsThatDiffer(const system_parameters::BlockControls &one,
                             const system_parameters::BlockControls &other);
// One field of a block as its report gives it; empty when the value is no block.
QString BlockChoiceText(const SettingValue &value, int system_parameters::BlockControls::*item);
QString BlockNumberText(const SettingValue &value,
                        std::string system_parameters::BlockControls::*decimal);
template <int system_parameters::BlockControls::*Item>
QString BlockChoiceOf(const SettingValue &value)
{
    return BlockChoiceText(value, Item);
}
template <std::string system_parameters::BlockControls::*Decimal>
QString BlockNumberOf(const SettingValue &value)
{
    return BlockNumberText(value, Decimal);
}
CheckedProfileSetting SystemBlockFromProfile(const QJsonValue &value, const QString &path);

// gprs=on|off and intervals=DATA_MINUTES,HEART_MINUTES: read the block, change it, check
// and write it as the Set button would, and read it back.
CheckedWrite ParseGprsAssignment(const Assignment &assignment);
CheckedWrite ParseIntervalsAssignment(const Assignment &assignment);

} // namespace fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setting.h"

#include <QJsonValue>
#include <QString>

// A setting of one free text in double quotes (the telecom operator): read with the first
// read code of its row in the catalogue, written with the first write code and read back.
// A row points at the instances for its setting, so such a setting needs no code of its own.
namespace fleet {

class LoggerJob;

void ReadQuotedText(LoggerJob &job, Setting setting);
CheckedWrite QuotedTextWrite(Setting setting, const QString &text);
CheckedProfileSetting QuotedTextFromProfile(Setting setting, const QJsonValue &value,
                                            const QString &path);

template <Setting S>
void ReadQuotedTextOf(LoggerJob &job)
{
    ReadQuotedText(job, S);
}

template <Setting S>
CheckedWrite QuotedTextAssignment(const Assignment &assignment)
{
    return QuotedTextWrite(S, assignment.value);
}

template <Setting S>
CheckedProfileSetting QuotedTextOfProfile(const QJsonValue &value, const QString &path)
{
    return QuotedTextFromProfile(S, value, path);
}

} // namespace fleet

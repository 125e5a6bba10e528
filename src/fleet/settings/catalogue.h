// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setting.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The catalogue of settings: one row per setting says how it is named, read, written
// and kept in a profile. The command line, the reports and the profiles loop over it.
namespace fleet {

class LoggerJob;

// A logger's address changes last, after every other setting of it is verified: once it
// changes, the logger no longer answers where the run looks for it.
enum class WriteOrder { WithTheOthers, Last };

struct SettingDescriptor {
    // Reads the setting, records it under its report key and goes on with the next step.
    using Read = void (*)(LoggerJob &job);
    using ParseAssignment = CheckedWrite (*)(const Assignment &assignment);
    // The profile's value as the writes it asks for; `path` names the value in messages.
    using ReadProfile = CheckedProfileSetting (*)(const QJsonValue &value, const QString &path);

    Setting setting;
    const char *commandLineName; // "data-server"
    const char *reportKey;       // "data_server"
    const char *profileKey;      // nullptr: never in a profile
    QStringList setForms;        // the VALUEs of SETTING=VALUE; none: read only
    QString appendForm;          // the VALUE of SETTING+=VALUE; empty: nothing to add to
    Read read;                   // nullptr: a logger cannot report it
    ParseAssignment parse;       // nullptr: read only
    ReadProfile fromProfile;     // nullptr: a profile's value is never written
    WriteOrder order;
};

// Every setting, in the order reports show them and profiles are applied.
const std::vector<SettingDescriptor> &Catalogue();
const SettingDescriptor &DescriptorOf(Setting setting);

QString CommandLineName(Setting setting);
QString ReportKey(Setting setting);
std::optional<Setting> SettingNamed(const QString &commandLineName);

// The settings a logger can report, in catalogue order, and their command-line names.
std::vector<Setting> ReadableSettings();
QStringList ReadableSettingNames();
// The forms of every write, for the help: "ip=dhcp", "devices+=SERIAL,...".
QStringList WriteForms();

// Adds the steps that read the settings into the job's outcome, one key per setting.
void AddReads(LoggerJob &job, const std::vector<Setting> &settings);

// SETTING=VALUE or SETTING+=VALUE as the write verb takes it (docs/profile.md gives the
// values): the write, checked as the window checks it before anything is sent.
CheckedWrite ParseAssignment(const QString &assignment);

// The refusal of a value that has none of the setting's forms.
Refusal ExpectedForm(Setting setting, Assignment::Mode mode);

} // namespace fleet

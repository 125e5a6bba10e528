// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/request.h"
#include "setting.h"
#include "setting_value.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The catalogue of settings: one SettingSpec per setting says how it is named, read,
// written, kept in a profile and shown.
namespace fleet {

class LoggerJob;

// A logger's address changes last, after every other setting of it is verified: once it
// changes, the logger no longer answers where the run looks for it.
enum class WriteOrder { WithTheOthers, Last };

// The command family a setting belongs to, as the window's form groups them.
enum class Family { Network, Cellular, Devices, System };

// The shape of the value the reports give for a setting.
enum class ValueShape {
    Text,       // one text
    Words,      // one of the words `fields` lists
    Level,      // a level of a scale as a number, or a text when the logger gave none
    Object,     // an object of the texts and numbers `fields` names
    ObjectList, // a list of such objects
};

// How the plant view shows one column of a setting, and whether a plant's loggers should
// agree on it (the odd value is marked).
enum class ColumnKind {
    Text,             // the text; compared
    OwnText,          // the text; never compared, each logger has its own
    Secret,           // masked; compared by the hidden value
    Number,           // a number; compared, sorted as a number
    MinutesOfSeconds, // seconds shown as whole minutes rounded up; compared, sorted
    Count,            // how many entries the list holds; compared, sorted
    IpConfiguration,  // DHCP or address / mask / gateway; compared by mask and gateway
    SignalLevel,      // the level and its words; never compared, sorted by level
};

struct PlantColumnSpec {
    // The text a column reads of the setting's value, as the reports give it (empty when
    // the value is of another type): by default the value's own text. The kinds that read
    // the value whole (the count of a list, the IP configuration, the signal level) use
    // none.
    using Text = QString (*)(const SettingValue &value);

    const char *caption; // "Operator"
    const char *field;   // the field of an object value; nullptr: the value itself
    ColumnKind kind;
    int place; // where the plant view puts it: columns run by place, left to right
    Text text = TextOf;
};

// Everything the tool knows of one setting. The command line, its help and error texts,
// the reports, the profiles, the plant view's columns, `--list-settings json` (which the
// Ansible modules read) and the substitute logger all loop over these.
struct SettingSpec {
    // Reads the setting, records it under its report key and goes on with the next step.
    using Read = void (*)(LoggerJob &job);
    using ParseAssignment = CheckedWrite (*)(const Assignment &assignment);
    // The profile's value as the writes it asks for; `path` names the value in messages.
    using ReadProfile = CheckedProfileSetting (*)(const QJsonValue &value, const QString &path);

    Setting setting;
    const char *commandLineName; // "data-server"
    const char *reportKey;       // "data_server"
    const char *profileKey;      // nullptr: never in a profile
    Family family;
    // The codes that read and write it; a setting of one quoted text (`ValueShape::Text`
    // read by `ReadQuotedText`) is read by the first and written by the first.
    std::vector<protocol::CommandCode> readCodes;
    std::vector<protocol::CommandCode> writeCodes;
    // nullptr: nothing secret; "": the whole value; else the field of the value that is.
    const char *secret;
    ValueShape shape;
    QStringList fields;                   // of an object, or the words
    std::vector<PlantColumnSpec> columns; // none: the plant view does not show it
    QStringList setForms;                 // the VALUEs of SETTING=VALUE; none: read only
    QString appendForm;                   // the VALUE of SETTING+=VALUE; empty: nothing to add to
    QString example;                      // a write it takes: "operator=Field Tel"
    Read read;                            // nullptr: a logger cannot report it
    ParseAssignment parse;                // nullptr: read only
    ReadProfile fromProfile;              // nullptr: a profile's value is never written
    WriteOrder order;
};

// Every setting, in the order reports show them and profiles are applied.
const std::vector<SettingSpec> &Catalogue();
const SettingSpec &SpecOf(Setting setting);

QString CommandLineName(Setting setting);
QString ReportKey(Setting setting);
std::optional<Setting> SettingNamed(const QString &commandLineName);

// The settings a logger can report, in catalogue order, and their command-line names.
std::vector<Setting> ReadableSettings();
QStringList ReadableSettingNames();
// The forms of every write, for the help: "ip=dhcp", "devices+=SERIAL,...".
QStringList WriteForms();

// Every setting described for other programs, as JSON: names, keys, family, codes, secret,
// value shape, forms and plant-view columns (`tarnwick-cli --list-settings json`).
QByteArray SettingsDescription();

// Adds the steps that read the settings into the job's outcome, one key per setting.
void AddReads(LoggerJob &job, const std::vector<Setting> &settings);

// SETTING=VALUE or SETTING+=VALUE as the write verb takes it (docs/profile.md gives the
// values): the write, checked as the window checks it before anything is sent.
CheckedWrite ParseAssignment(const QString &assignment);

// The refusal of a value that has none of the setting's forms.
Refusal ExpectedForm(Setting setting, Assignment::Mode mode);

} // namespace fleet

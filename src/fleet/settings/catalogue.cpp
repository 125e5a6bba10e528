// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue.h"

#include "cellular.h"
#include "devices.h"
#include "fleet/logger_job.h"
#include "network.h"
#include "quoted_text.h"
#include "system.h"
#include "write_steps.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace fleet {

const std::vector<SettingSpec> &Catalogue()
{
    using enum Setting;
    using enum WriteOrder;
    namespace codes = protocol::command_codes;
    using cellular::ApnSettings;
    using cellular::FrontEndEndpoint;
    using Block = system_parameters::BlockControls;
    static const std::vector<SettingSpec> catalogue{
        {.setting = Ip,
         .commandLineName = "ip",
         .reportKey = "ip_configuration",
         .profileKey = "ip_configuration",
         .family = Family::Network,
         .readCodes = {codes::kIpConfigurationRead},
         .writeCodes = {codes::kIpConfigurationWrite},
         .secret = nullptr,
         .shape = ValueShape::Object,
         .fields = {"address", "mask", "gateway"},
         .columns = {{"IP configuration", nullptr, ColumnKind::IpConfiguration, 20}},
         .setForms = {"dhcp", "ADDRESS,MASK,GATEWAY"},
         .appendForm = {},
         .example = "ip=dhcp",
         .read = ReadIpConfiguration,
         .parse = ParseIpAssignment,
         .fromProfile = IpFromProfile,
         .order = Last},
        {.setting = DataServer,
         .commandLineName = "data-server",
         .reportKey = "data_server",
         .profileKey = "data_server",
         .family = Family::Network,
         .readCodes = {codes::kDataServerRead},
         .writeCodes = {codes::kDataServerWrite},
         .secret = nullptr,
         .shape = ValueShape::Text,
         .fields = {},
         .columns = {{"Data server", nullptr, ColumnKind::Text, 30}},
         .setForms = {"A.B.C.D", "none"},
         .appendForm = {},
         .example = "data-server=198.51.100.20",
         .read = ReadDataServer,
         .parse = ParseDataServerAssignment,
         .fromProfile = DataServerFromProfile,
         .order = WithTheOthers},
        {.setting = Mac,
         .commandLineName = "mac",
         .reportKey = "mac",
         .profileKey = "mac",
         .family = Family::Network,
         .readCodes = {codes::kMacRead},
         .writeCodes = {},
         .secret = nullptr,
         .shape = ValueShape::Text,
         .fields = {},
         .columns = {{"MAC", nullptr, ColumnKind::OwnText, 10}},
         .setForms = {},
         .appendForm = {},
         .example = {},
         .read = ReadMac,
         .parse = nullptr,
         .fromProfile = nullptr,
         .order = WithTheOthers},
        {.setting = Apn,
         .commandLineName = "apn",
         .reportKey = "apn",
         .profileKey = "apn",
         .family = Family::Cellular,
         .readCodes = {codes::kApnRead},
         .writeCodes = {codes::kApnWrite},
         .secret = "password",
         .shape = ValueShape::Object,
         .fields = {"name", "user", "password"},
         .columns = {{"APN", "name", ColumnKind::Text, 40, FieldText<ApnSettings, &ApnSettings::name>},
                     {"APN user", "user", ColumnKind::Text, 41,
                      FieldText<ApnSettings, &ApnSettings::user>},
                     {"APN password", "password", ColumnKind::Secret, 42,
                      FieldText<ApnSettings, &ApnSettings::password>}},
         .setForms = {"NAME,USER,PASSWORD"},
         .appendForm = {},
         .example = "apn=plant.apn,plant,s3cret",
         .read = ReadApn,
         .parse = ParseApnAssignment,
         .fromProfile = ApnFromProfile,
         .order = WithTheOthers},
        {.setting = Pin,
         .commandLineName = "pin",
         .reportKey = "pin",
         .profileKey = "pin",
         .family = Family::Cellular,
         .readCodes = {},
         .writeCodes = {codes::kPinWrite, codes::kPinClear},
         .secret = "",
         .shape = ValueShape::Words,
         .fields = {"written", "cleared"},
         .columns = {},
         .setForms = {"DIGITS", "clear"},
         .appendForm = {},
         .example = "pin=1234",
         .read = nullptr,
         .parse = ParsePinAssignment,
         .fromProfile = PinFromProfile,
         .order = WithTheOthers},
        {.setting = Operator,
         .commandLineName = "operator",
         .reportKey = "operator",
         .profileKey = "operator",
         .family = Family::Cellular,
         .readCodes = {codes::kOperatorRead},
         .writeCodes = {codes::kOperatorWrite},
         .secret = nullptr,
         .shape = ValueShape::Text,
         .fields = {},
         .columns = {{"Operator", nullptr, ColumnKind::Text, 50}},
         .setForms = {"TEXT"},
         .appendForm = {},
         .example = "operator=Field Tel",
         .read = ReadQuotedTextOf<Operator>,
         .parse = QuotedTextAssignment<Operator>,
         .fromProfile = QuotedTextOfProfile<Operator>,
         .order = WithTheOthers},
        {.setting = Signal,
         .commandLineName = "signal",
         .reportKey = "signal",
         .profileKey = "signal",
         .family = Family::Cellular,
         .readCodes = {codes::kSignalQualityRead},
         .writeCodes = {},
         .secret = nullptr,
         .shape = ValueShape::Level,
         .fields = {},
         .columns = {{"Signal", nullptr, ColumnKind::SignalLevel, 60}},
         .setForms = {},
         .appendForm = {},
         .example = {},
         .read = ReadSignal,
         .parse = nullptr,
         .fromProfile = nullptr,
         .order = WithTheOthers},
        {.setting = FrontEnd,
         .commandLineName = "front-end",
         .reportKey = "front_end",
         .profileKey = "front_end",
         .family = Family::Cellular,
         .readCodes = {codes::kFrontEndRead},
         .writeCodes = {codes::kFrontEndWrite},
         .secret = nullptr,
         .shape = ValueShape::Object,
         .fields = {"address", "port", "minutes"},
         .columns = {{"Front-end (min)", "minutes", ColumnKind::Number, 80,
                      FieldNumberText<FrontEndEndpoint, &FrontEndEndpoint::minutes>}},
         .setForms = {"ADDRESS,PORT,MINUTES", "MINUTES"},
         .appendForm = {},
         .example = "front-end=10.9.8.7,7001,45",
         .read = ReadFrontEnd,
         .parse = ParseFrontEndAssignment,
         .fromProfile = FrontEndFromProfile,
         .order = WithTheOthers},
        {.setting = Gprs,
         .commandLineName = "gprs",
         .reportKey = "gprs",
         .profileKey = nullptr,
         .family = Family::System,
         .readCodes = {},
         .writeCodes = {codes::kSystemBlockRead, codes::kSystemBlockWrite},
         .secret = nullptr,
         .shape = ValueShape::Words,
         .fields = {"on", "off"},
         .columns = {},
         .setForms = {"on", "off"},
         .appendForm = {},
         .example = "gprs=on",
         .read = nullptr,
         .parse = ParseGprsAssignment,
         .fromProfile = nullptr,
         .order = WithTheOthers},
        {.setting = Intervals,
         .commandLineName = "intervals",
         .reportKey = "intervals",
         .profileKey = nullptr,
         .family = Family::System,
         .readCodes = {},
         .writeCodes = {codes::kSystemBlockRead, codes::kSystemBlockWrite},
         .secret = nullptr,
         .shape = ValueShape::Object,
         .fields = {"data_minutes", "heartbeat_minutes"},
         .columns = {},
         .setForms = {"DATA_MINUTES,HEART_MINUTES"},
         .appendForm = {},
         .example = "intervals=10,3",
         .read = nullptr,
         .parse = ParseIntervalsAssignment,
         .fromProfile = nullptr,
         .order = WithTheOthers},
        {.setting = Devices,
         .commandLineName = "devices",
         .reportKey = "devices",
         .profileKey = "devices",
         .family = Family::Devices,
         .readCodes = {codes::kDeviceCount, codes::kDeviceRead},
         .writeCodes = {codes::kDeviceDeleteAll, codes::kDeviceAdd},
         .secret = nullptr,
         .shape = ValueShape::ObjectList,
         .fields = {"serial", "address", "type", "append"},
         .columns = {{"Devices", nullptr, ColumnKind::Count, 90}},
         .setForms = {"clear"},
         .appendForm = "SERIAL,ADDRESS,TYPE[,APPEND]",
         .example = "devices+=INV1,3,A1,roof#east",
         .read = ReadDevices,
         .parse = ParseDevicesAssignment,
         .fromProfile = DevicesFromProfile,
         .order = WithTheOthers},
        {.setting = System,
         .commandLineName = "system",
         .reportKey = "system",
         .profileKey = "system",
         .family = Family::System,
         .readCodes = {codes::kSystemBlockRead},
         .writeCodes = {codes::kSystemBlockWrite},
         .secret = nullptr,
         .shape = ValueShape::Object,
         .fields = {"start", "stop", "data_interval_seconds", "heartbeat_minutes", "retries",
                    "wait_for_response", "reconnect", "transport", "gprs"},
         .columns = {{"GPRS", "gprs", ColumnKind::Text, 70, BlockChoiceOf<&Block::gprs>},
                     {"Data (min)", "data_interval_seconds", ColumnKind::MinutesOfSeconds, 71,
                      BlockNumberOf<&Block::dataIntervalSeconds>},
                     {"Heartbeat (min)", "heartbeat_minutes", ColumnKind::Number, 72,
                      BlockNumberOf<&Block::heartbeatMinutes>}},
         .setForms = {},
         .appendForm = {},
         .example = {},
         .read = ReadSystemBlock,
         .parse = nullptr,
         .fromProfile = SystemBlockFromProfile,
         .order = WithTheOthers},
    };
    return catalogue;
}

const SettingSpec &SpecOf(Setting setting)
{
    const auto &catalogue = Catalogue();
    return *std::find_if(
        catalogue.begin(), catalogue.end(),
        [setting](const SettingSpec &row) { return row.setting == setting; });
}

QString CommandLineName(Setting setting)
{
    return QLatin1String(SpecOf(setting).commandLineName);
}

QString ReportKey(Setting setting)
{
    return QLatin1String(SpecOf(setting).reportKey);
}

std::optional<Setting> SettingNamed(const QString &commandLineName)
{
    for (const SettingSpec &row : Catalogue()) {
        if (commandLineName == QLatin1String(row.commandLineName)) {
            return row.setting;
        }
    }
    return std::nullopt;
}

std::vector<Setting> ReadableSettings()
{
    std::vector<Setting> settings;
    for (const SettingSpec &row : Catalogue()) {
        if (row.read != nullptr) {
            settings.push_back(row.setting);
        }
    }
    return settings;
}

QStringList ReadableSettingNames()
{
    QStringList names;
    for (const Setting setting : ReadableSettings()) {
        names.append(CommandLineName(setting));
    }
    return names;
}

QStringList WriteForms()
{
    QStringList forms;
    for (const SettingSpec &row : Catalogue()) {
        const QString name = QLatin1String(row.commandLineName);
        for (const QString &form : row.setForms) {
            forms.append(name + QLatin1Char('=') + form);
        }
        if (!row.appendForm.isEmpty()) {
            forms.append(name + QStringLiteral("+=") + row.appendForm);
        }
    }
    return forms;
}

namespace {

QJsonArray Codes(const std::vector<protocol::CommandCode> &codes)
{
    QJsonArray texts;
    for (const protocol::CommandCode code : codes) {
        texts.append(QString::fromStdString(code.str()));
    }
    return texts;
}

QString FamilyName(Family family)
{
    switch (family) {
    case Family::Network:
        return QStringLiteral("network");
    case Family::Cellular:
        return QStringLiteral("cellular");
    case Family::Devices:
        return QStringLiteral("devices");
    case Family::System:
        return QStringLiteral("system");
    }
    return {};
}

QString ShapeName(ValueShape shape)
{
    switch (shape) {
    case ValueShape::Text:
        return QStringLiteral("text");
    case ValueShape::Words:
        return QStringLiteral("words");
    case ValueShape::Level:
        return QStringLiteral("level");
    case ValueShape::Object:
        return QStringLiteral("object");
    case ValueShape::ObjectList:
        return QStringLiteral("list");
    }
    return {};
}

// false, true for a value secret as a whole, or the name of the field that is.
QJsonValue SecretDescription(const char *secret)
{
    if (secret == nullptr) {
        return false;
    }
    return *secret == '\0' ? QJsonValue(true) : QJsonValue(QLatin1String(secret));
}

QJsonValue OrNull(const char *text)
{
    return text == nullptr ? QJsonValue() : QJsonValue(QLatin1String(text));
}

} // namespace

QByteArray SettingsDescription()
{
    QJsonArray settings;
    for (const SettingSpec &row : Catalogue()) {
        QJsonArray columns;
        for (const PlantColumnSpec &column : row.columns) {
            columns.append(QJsonObject{{"caption", QLatin1String(column.caption)},
                                       {"field", OrNull(column.field)},
                                       {"place", column.place}});
        }
        settings.append(QJsonObject{
            {"name", QLatin1String(row.commandLineName)},
            {"report_key", QLatin1String(row.reportKey)},
            {"profile_key", OrNull(row.profileKey)},
            {"family", FamilyName(row.family)},
            {"read_codes", Codes(row.readCodes)},
            {"write_codes", Codes(row.writeCodes)},
            {"secret", SecretDescription(row.secret)},
            {"shape", ShapeName(row.shape)},
            {"fields", QJsonArray::fromStringList(row.fields)},
            {"readable", row.read != nullptr},
            {"writable", row.parse != nullptr},
            {"applied", row.fromProfile != nullptr},
            {"set_forms", QJsonArray::fromStringList(row.setForms)},
            {"append_form", row.appendForm.isEmpty() ? QJsonValue() : QJsonValue(row.appendForm)},
            {"example", row.example.isEmpty() ? QJsonValue() : QJsonValue(row.example)},
            {"written_last", row.order == WriteOrder::Last},
            {"plant_columns", columns},
        });
    }
    return QJsonDocument(settings).toJson(QJsonDocument::Indented);
}

void AddReads(LoggerJob &job, const std::vector<Setting> &settings)
{
    for (const Setting setting : settings) {
        const SettingSpec::Read read = SpecOf(setting).read;
        job.then([&job, read] { read(job); });
    }
}

Refusal ExpectedForm(Setting setting, Assignment::Mode mode)
{
    const SettingSpec &row = SpecOf(setting);
    const QString name = QLatin1String(row.commandLineName);
    if (mode == Assignment::Mode::Append) {
        return {QStringLiteral("%1: expected %1+=%2").arg(name, row.appendForm)};
    }
    QStringList forms;
    for (const QString &form : row.setForms) {
        forms.append(name + QLatin1Char('=') + form);
    }
    return {QStringLiteral("%1: expected %2").arg(name, forms.join(QStringLiteral(" or ")))};
}

CheckedWrite ParseAssignment(const QString &assignment)
{
    const qsizetype equals = assignment.indexOf(QLatin1Char('='));
    if (equals <= 0) {
        return Refusal{QStringLiteral("%1: expected SETTING=VALUE").arg(assignment)};
    }
    const Assignment::Mode mode = assignment.at(equals - 1) == QLatin1Char('+')
                                      ? Assignment::Mode::Append
                                      : Assignment::Mode::Set;
    const QString name = assignment.left(mode == Assignment::Mode::Append ? equals - 1 : equals);
    const std::optional<Setting> setting = SettingNamed(name);
    if (mode == Assignment::Mode::Append &&
        (!setting || SpecOf(*setting).appendForm.isEmpty())) {
        QStringList adders;
        for (const SettingSpec &row : Catalogue()) {
            if (!row.appendForm.isEmpty()) {
                adders.append(QLatin1String(row.commandLineName) + QStringLiteral("+="));
            }
        }
        return Refusal{QStringLiteral("%1: only %2 adds to a setting")
                           .arg(name, adders.join(QStringLiteral(", ")))};
    }
    if (!setting || SpecOf(*setting).parse == nullptr) {
        return Refusal{QStringLiteral("%1: not a setting that can be written").arg(name)};
    }
    const SettingSpec::ParseAssignment parse = SpecOf(*setting).parse;
    return RefusingTextOutsideCodePage(*setting, [&] {
        return parse({assignment.mid(equals + 1), mode});
    });
}

} // namespace fleet

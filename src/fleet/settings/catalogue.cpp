// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue.h"

#include "cellular.h"
#include "devices.h"
#include "fleet/logger_job.h"
#include "network.h"
#include "system.h"
#include "write_steps.h"

#include <algorithm>

namespace fleet {

const std::vector<SettingDescriptor> &Catalogue()
{
    using enum Setting;
    using enum WriteOrder;
    static const std::vector<SettingDescriptor> catalogue{
        {Ip,
         "ip",
         "ip_configuration",
         "ip_configuration",
         {"dhcp", "ADDRESS,MASK,GATEWAY"},
         {},
         ReadIpConfiguration,
         ParseIpAssignment,
         IpFromProfile,
         Last},
        {DataServer,
         "data-server",
         "data_server",
         "data_server",
         {"A.B.C.D", "none"},
         {},
         ReadDataServer,
         ParseDataServerAssignment,
         DataServerFromProfile,
         WithTheOthers},
        {Mac, "mac", "mac", "mac", {}, {}, ReadMac, nullptr, nullptr, WithTheOthers},
        {Apn,
         "apn",
         "apn",
         "apn",
         {"NAME,USER,PASSWORD"},
         {},
         ReadApn,
         ParseApnAssignment,
         ApnFromProfile,
         WithTheOthers},
        {Pin,
         "pin",
         "pin",
         "pin",
         {"DIGITS", "clear"},
         {},
         nullptr,
         ParsePinAssignment,
         PinFromProfile,
         WithTheOthers},
        {Operator,
         "operator",
         "operator",
         "operator",
         {"TEXT"},
         {},
         ReadOperator,
         ParseOperatorAssignment,
         OperatorFromProfile,
         WithTheOthers},
        {Signal, "signal", "signal", "signal", {}, {}, ReadSignal, nullptr, nullptr, WithTheOthers},
        {FrontEnd,
         "front-end",
         "front_end",
         "front_end",
         {"ADDRESS,PORT,MINUTES", "MINUTES"},
         {},
         ReadFrontEnd,
         ParseFrontEndAssignment,
         FrontEndFromProfile,
         WithTheOthers},
        {Gprs,
         "gprs",
         "gprs",
         nullptr,
         {"on", "off"},
         {},
         nullptr,
         ParseGprsAssignment,
         nullptr,
         WithTheOthers},
        {Intervals,
         "intervals",
         "intervals",
         nullptr,
         {"DATA_MINUTES,HEART_MINUTES"},
         {},
         nullptr,
         ParseIntervalsAssignment,
         nullptr,
         WithTheOthers},
        {Devices,
         "devices",
         "devices",
         "devices",
         {"clear"},
         "SERIAL,ADDRESS,TYPE[,APPEND]",
         ReadDevices,
         ParseDevicesAssignment,
         DevicesFromProfile,
         WithTheOthers},
        {System,
         "system",
         "system",
         "system",
         {},
         {},
         ReadSystemBlock,
         nullptr,
         SystemBlockFromProfile,
         WithTheOthers},
    };
    return catalogue;
}

const SettingDescriptor &DescriptorOf(Setting setting)
{
    const auto &catalogue = Catalogue();
    return *std::find_if(
        catalogue.begin(), catalogue.end(),
        [setting](const SettingDescriptor &row) { return row.setting == setting; });
}

QString CommandLineName(Setting setting)
{
    return QLatin1String(DescriptorOf(setting).commandLineName);
}

QString ReportKey(Setting setting)
{
    return QLatin1String(DescriptorOf(setting).reportKey);
}

std::optional<Setting> SettingNamed(const QString &commandLineName)
{
    for (const SettingDescriptor &row : Catalogue()) {
        if (commandLineName == QLatin1String(row.commandLineName)) {
            return row.setting;
        }
    }
    return std::nullopt;
}

std::vector<Setting> ReadableSettings()
{
    std::vector<Setting> settings;
    for (const SettingDescriptor &row : Catalogue()) {
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
    for (const SettingDescriptor &row : Catalogue()) {
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

void AddReads(LoggerJob &job, const std::vector<Setting> &settings)
{
    for (const Setting setting : settings) {
        const SettingDescriptor::Read read = DescriptorOf(setting).read;
        job.then([&job, read] { read(job); });
    }
}

Refusal ExpectedForm(Setting setting, Assignment::Mode mode)
{
    const SettingDescriptor &row = DescriptorOf(setting);
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
        (!setting || DescriptorOf(*setting).appendForm.isEmpty())) {
        QStringList adders;
        for (const SettingDescriptor &row : Catalogue()) {
            if (!row.appendForm.isEmpty()) {
                adders.append(QLatin1String(row.commandLineName) + QStringLiteral("+="));
            }
        }
        return Refusal{QStringLiteral("%1: only %2 adds to a setting")
                           .arg(name, adders.join(QStringLiteral(", ")))};
    }
    if (!setting || DescriptorOf(*setting).parse == nullptr) {
        return Refusal{QStringLiteral("%1: not a setting that can be written").arg(name)};
    }
    const SettingDescriptor::ParseAssignment parse = DescriptorOf(*setting).parse;
    return RefusingTextOutsideCodePage(*setting, [&] {
        return parse({assignment.mid(equals + 1), mode});
    });
}

} // namespace fleet

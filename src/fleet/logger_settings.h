#pragma once

#include "commands/system_parameters_codec.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace fleet {

class LoggerJob;

// The settings a logger can be asked for, by the names the command line uses.
enum class Setting { Ip, DataServer, Mac, Apn, Operator, Signal, FrontEnd, Devices, System };

// Every setting in the order reports show them.
const std::vector<Setting> &AllSettings();
QString CommandLineName(Setting setting); // "data-server"
QString ReportKey(Setting setting);       // "data_server"
std::optional<Setting> SettingNamed(const QString &commandLineName);

// The report key under which a write of the named setting records what it wrote
// ("data-server" -> "data_server", "ip" -> "ip_configuration").
QString WriteReportKey(const QString &setting);

// Adds the steps that read the settings into the job's outcome, one key per setting.
void AddReads(LoggerJob &job, const std::vector<Setting> &settings);

// A checked write of one setting: the steps that send it and read it back, whether it
// changes the logger's own address (such writes go last), and whether its value is one
// logger's own (a fixed address must not go to several loggers).
struct SettingWrite {
    QString setting;
    std::function<void(LoggerJob &)> addSteps;
    bool changesAddress = false;
    bool oneLoggersOwn = false;
};

// Either a write that may be sent, or the refusal that names the setting and the rule.
using CheckedWrite = std::variant<SettingWrite, QString>;

// SETTING=VALUE as the write verb takes it (see docs/profile.md for the values).
CheckedWrite ParseAssignment(const QString &assignment);

// The writes themselves, each checking its values as the window does before anything is
// sent. Texts are taken as the user gave them and trimmed as the window trims its edits.
CheckedWrite DhcpWrite();
CheckedWrite FixedIpWrite(const QString &address, const QString &mask, const QString &gateway);
CheckedWrite DataServerWrite(const QString &address); // "none" clears it
CheckedWrite ApnWrite(const QString &name, const QString &user, const QString &password);
CheckedWrite PinWrite(const QString &pin); // "clear" clears it
CheckedWrite OperatorWrite(const QString &telecomOperator);
CheckedWrite FrontEndWrite(const QString &minutes);
CheckedWrite GprsWrite(bool on);
CheckedWrite IntervalsWrite(const QString &dataMinutes, const QString &heartbeatMinutes);
CheckedWrite DeviceAddWrite(const QString &serial, const QString &address, const QString &type,
                            const QString &appendInfo);
CheckedWrite DevicesClearWrite();
CheckedWrite SystemBlockWrite(const system_parameters::BlockControls &block);

// The system-parameter block in a report, and back.
QJsonObject BlockReport(const system_parameters::BlockControls &block);
std::variant<system_parameters::BlockControls, QString> BlockFromReport(const QJsonObject &report);

} // namespace fleet

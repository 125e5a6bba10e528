// SPDX-License-Identifier: GPL-3.0-or-later
#include "setting_value.h"

#include "cellular.h"
#include "devices.h"
#include "network.h"
#include "system.h"
#include "write_steps.h"

#include <QJsonObject>

namespace fleet {
namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

} // namespace

QJsonValue Report(const SettingValue &value)
{
    return std::visit(
        Overloaded{
            [](const QString &text) { return QJsonValue(text); },
            [](const IpSetting &ip) { return QJsonValue(IpReport(ip)); },
            [](const cellular::ApnSettings &apn) { return QJsonValue(ApnReport(apn)); },
            [](const cellular::SignalReading &reading) { return SignalReport(reading); },
            [](const cellular::FrontEndEndpoint &endpoint) {
                return QJsonValue(FrontEndReport(endpoint));
            },
            [](const DeviceRegistry &devices) { return QJsonValue(RegistryReport(devices)); },
            [](const system_parameters::BlockControls &block) {
                return QJsonValue(BlockReport(block));
            },
        },
        value);
}

QJsonValue Report(const WriteNote &note)
{
    return std::visit(Overloaded{
                          [](const QString &word) { return QJsonValue(word); },
                          [](const IntervalMinutes &minutes) {
                              return QJsonValue(
                                  QJsonObject{{"data_minutes", minutes.data},
                                              {"heartbeat_minutes", minutes.heartbeat}});
                          },
                      },
                      note);
}

QString TextOf(const SettingValue &value)
{
    const QString *text = std::get_if<QString>(&value);
    return text == nullptr ? QString() : *text;
}

QString WireText(const std::string &wire)
{
    return Text(wire);
}

QString NumberOrTextOf(const std::string &wire)
{
    const QJsonValue value = NumberOrText(wire);
    return value.isDouble() ? QString::number(value.toInteger()) : value.toString();
}

} // namespace fleet

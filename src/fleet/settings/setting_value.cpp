// SPDX-License-Identifier: GPL-3.0-or-later
#include "setting_value.h"

#include "cellular.h"
#include "devices.h"
#include "network.h"
#include "system.h"
#include "write_steps.h"

#include <QJsonObject>

#include <type_traits>

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

QJsonValue Report(const WantedValue &wanted)
{
    return std::visit(
        Overloaded{
            [](const QString &text) { return QJsonValue(text); },
            [](const network_addressing::IpConfiguration &ip) {
                return QJsonValue(ConfigurationReport(ip));
            },
            [](const SomeFields<cellular::ApnSettings> &apn) {
                return QJsonValue(ApnReport(apn.value, apn.given));
            },
            [](const SomeFields<cellular::FrontEndEndpoint> &endpoint) {
                return QJsonValue(FrontEndReport(endpoint.value, endpoint.given));
            },
            [](const std::vector<WantedDevice> &devices) {
                return QJsonValue(RegistryReport(devices));
            },
            [](const SomeFields<system_parameters::BlockControls> &block) {
                return QJsonValue(BlockReport(block.value, block.given));
            },
        },
        wanted);
}

namespace {

// The given fields that `held` does not hold: each family tells in which of its fields two
// values differ.
template <typename Value>
GivenFields Differing(const Value &held, const SomeFields<Value> &wanted)
{
    return wanted.given & FieldsThatDiffer(held, wanted.value);
}

template <typename Value>
bool HoldsFields(const SettingValue &read, const SomeFields<Value> &wanted)
{
    const Value *held = std::get_if<Value>(&read);
    return held != nullptr && Differing(*held, wanted).none();
}

} // namespace

bool Holds(const SettingValue &read, const WantedValue &wanted)
{
    return std::visit(
        Overloaded{
            [&read](const QString &text) {
                const QString *held = std::get_if<QString>(&read);
                return held != nullptr && *held == text;
            },
            [&read](const network_addressing::IpConfiguration &ip) {
                const IpSetting *held = std::get_if<IpSetting>(&read);
                return held != nullptr && SameConfiguration(held->configuration, ip);
            },
            [&read](const std::vector<WantedDevice> &devices) {
                const DeviceRegistry *held = std::get_if<DeviceRegistry>(&read);
                return held != nullptr && RegistryHolds(*held, devices);
            },
            [&read](const auto &fields) { return HoldsFields(read, fields); },
        },
        wanted);
}

std::optional<FieldsDiffering> DifferingFields(const SettingValue &now, const WantedValue &wanted)
{
    return std::visit(
        Overloaded{
            [](const QString &) { return std::optional<FieldsDiffering>(); },
            [](const network_addressing::IpConfiguration &) {
                return std::optional<FieldsDiffering>();
            },
            [](const std::vector<WantedDevice> &) { return std::optional<FieldsDiffering>(); },
            [&now](const auto &fields) -> std::optional<FieldsDiffering> {
                using Value = std::decay_t<decltype(fields.value)>;
                const Value *held = std::get_if<Value>(&now);
                if (held == nullptr) {
                    return std::nullopt;
                }
                const GivenFields differing = Differing(*held, fields);
                return FieldsDiffering{SomeFields<Value>{*held, differing},
                                       SomeFields<Value>{fields.value, differing}};
            },
        },
        wanted);
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

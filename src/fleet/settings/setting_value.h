// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/cellular_link_codec.h"
#include "commands/device_registry_codec.h"
#include "commands/network_addressing_codec.h"
#include "commands/system_parameters_codec.h"
#include "setting.h"

#include <QJsonValue>
#include <QString>

#include <map>
#include <optional>
#include <variant>
#include <vector>

// What a logger holds of its settings, as values of the types its command families read:
// the codecs' own structures, so that nothing is read back from a report. Only the report
// and profile writers turn them into JSON (Report), of what is held and of what is wanted.
namespace fleet {

// A logger's IP configuration, and after an address change where it answered its read-back.
struct IpSetting {
    network_addressing::IpConfiguration configuration;
    QString answersAt; // empty: read where it was asked
};

using DeviceRegistry = std::vector<device_registry::RegistryEntry>;

// One setting's value: a text (the data server, the MAC address, a quoted text such as the
// operator), the IP configuration, the APN, the signal quality, the front-end computer,
// the device registry or the system-parameter block.
using SettingValue =
    std::variant<QString, IpSetting, cellular::ApnSettings, cellular::SignalReading,
                 cellular::FrontEndEndpoint, DeviceRegistry, system_parameters::BlockControls>;

// The value as the reports and profiles give it, by its family's report function.
QJsonValue Report(const SettingValue &value);

// The wanted value as the reports give it (a dry run's "wanted"): of a value given in part,
// the given fields alone.
QJsonValue Report(const WantedValue &wanted);

// Whether a value read holds the wanted one: of a value of several fields the given ones,
// each compared as its report gives it (digits as a number); the registry device by device,
// in order; a text or the IP configuration whole.
bool Holds(const SettingValue &read, const WantedValue &wanted);

// The fields of a wanted value of several that `now` does not hold: now's values of them,
// and the wanted ones.
struct FieldsDiffering {
    WantedValue now;
    WantedValue wanted;
};

// None when the wanted value is not one of several fields (a text, the registry) or `now`
// is of another type.
std::optional<FieldsDiffering> DifferingFields(const SettingValue &now, const WantedValue &wanted);

// The intervals a write gave the logger, in whole minutes.
struct IntervalMinutes {
    qint64 data = 0;
    qint64 heartbeat = 0;
};

// What a write of a setting did that no read tells: a word ("written" or "cleared" of the
// PIN, "dhcp" of the IP configuration, "on" or "off" of the GPRS state) or the intervals.
using WriteNote = std::variant<QString, IntervalMinutes>;

// The note as the reports give it.
QJsonValue Report(const WriteNote &note);

// The values a logger holds, keyed by setting: the last read or read-back of each.
class SettingValues
{
public:
    void set(Setting setting, SettingValue value) { m_values.insert_or_assign(setting, std::move(value)); }
    bool contains(Setting setting) const { return m_values.count(setting) > 0; }
    const SettingValue *find(Setting setting) const
    {
        const auto held = m_values.find(setting);
        return held == m_values.end() ? nullptr : &held->second;
    }
    // The value when the logger holds one of this type, else nullptr.
    template <typename Value>
    const Value *get(Setting setting) const
    {
        const SettingValue *value = find(setting);
        return value == nullptr ? nullptr : std::get_if<Value>(value);
    }

private:
    std::map<Setting, SettingValue> m_values;
};

// The texts the plant view's columns read of a value, as the reports give them; empty
// when the value is of another type.
QString TextOf(const SettingValue &value);
// A field of one text of a family's structure, in the loggers' code page.
template <typename Value, std::string Value::*Field>
QString FieldText(const SettingValue &value);
// A field the logger reports as decimal digits: the number's digits, else the text.
template <typename Value, std::string Value::*Field>
QString FieldNumberText(const SettingValue &value);

QString WireText(const std::string &wire);
QString NumberOrTextOf(const std::string &wire);

template <typename Value, std::string Value::*Field>
QString FieldText(const SettingValue &value)
{
    const Value *held = std::get_if<Value>(&value);
    return held == nullptr ? QString() : WireText(held->*Field);
}

template <typename Value, std::string Value::*Field>
QString FieldNumberText(const SettingValue &value)
{
    const Value *held = std::get_if<Value>(&value);
    return held == nullptr ? QString() : NumberOrTextOf(held->*Field);
}

} // namespace fleet

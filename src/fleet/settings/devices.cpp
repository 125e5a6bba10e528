// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices.h"

#include "catalogue.h"
#include "commands/device_registry_codec.h"
#include "commands/device_registry_read.h"
#include "fleet/logger_job.h"
#include "profile_values.h"
#include "protocol/text.h"
#include "wire_text/wire_text.h"
#include "write_steps.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

namespace fleet {
namespace {

namespace codes = protocol::command_codes;
using protocol::Request;

const QStringList kDeviceKeys{"serial", "address", "type", "append"};

using device_registry::RegistryEntry;

QString Line(const RegistryEntry &entry)
{
    return Text(entry.row.serialNumber + "," + entry.row.address + "," + entry.row.typeCode + "," +
                entry.appendInfo);
}

QJsonObject DeviceReport(const RegistryEntry &device)
{
    return {{"serial", Text(device.row.serialNumber)},
            {"address", NumberOrText(device.row.address)},
            {"type", Text(device.row.typeCode)},
            {"append", Text(device.appendInfo)}};
}


void ReadDeviceCount(LoggerJob &job, std::function<void(int)> done)
{
    job.ask(
        device_registry::RegistryRead::CountRequest(),
        [done](const std::string &payload) { done(device_registry::DeviceCount(payload)); },
        device_registry::IsDeviceCountAnswer);
}

// The registry as the read sequence gives it; a read that does not hold the devices
// counted fails.
void ReadDeviceEntries(LoggerJob &job, std::function<void(const std::vector<RegistryEntry> &)> done)
{
    const auto read = std::make_shared<device_registry::RegistryRead>();
    job.ask(
        device_registry::RegistryRead::CountRequest(),
        [&job, read, done](const std::string &countAnswer) {
            const std::optional<Request> next = read->takeCount(countAnswer);
            if (!next) {
                done({});
                return;
            }
            job.ask(*next, [&job, read, done](const std::string &payload) {
                const device_registry::RegistryReadOutcome outcome = read->takeDevices(payload);
                if (!read->holdsTheCount(outcome)) {
                    job.fail(LoggerError::Kind::NotUnderstood,
                             QStringLiteral("answer to the device read not understood: expected %1 "
                                            "devices")
                                 .arg(read->count()));
                    return;
                }
                if (outcome.unreadable) {
                    throw protocol::InvalidIntegerError(*outcome.unreadable);
                }
                done(outcome.entries());
            });
        },
        device_registry::IsDeviceCountAnswer);
}

// The registry after a device add: one more device than before, the new one last.
void VerifyDeviceAdded(LoggerJob &job, std::size_t countBefore, const RegistryEntry &expected)
{
    ReadDeviceEntries(job, [&job, countBefore,
                            expected](const std::vector<RegistryEntry> &devices) {
        if (devices.size() != countBefore + 1) {
            job.fail(LoggerError::Kind::Differs,
                     QStringLiteral("read-back differs: the registry holds %1 devices, expected %2")
                         .arg(devices.size())
                         .arg(countBefore + 1));
            return;
        }
        if (devices.back() != expected) {
            Differs(job, Setting::Devices, Line(devices.back()), Line(expected));
            return;
        }
        Recorded(job, Setting::Devices, devices);
    });
}

// Sends the add once. Its answer lost, the registry tells whether it arrived: the add is
// resent only when the device is not there, so a lost answer never doubles a device.
void SendDeviceAdd(LoggerJob &job, const Request &request, std::size_t countBefore,
                   const RegistryEntry &expected, int triesLeft)
{
    job.askOnce(
        request,
        [&job, countBefore, expected](const std::string &) {
            VerifyDeviceAdded(job, countBefore, expected);
        },
        [&job, request, countBefore, expected, triesLeft] {
            ReadDeviceCount(job, [&job, request, countBefore, expected, triesLeft](int count) {
                if (static_cast<std::size_t>(count) == countBefore + 1) {
                    VerifyDeviceAdded(job, countBefore, expected);
                } else if (static_cast<std::size_t>(count) != countBefore) {
                    job.fail(LoggerError::Kind::Differs,
                             QStringLiteral("the registry changed while a device was added: %1 "
                                            "devices, expected %2")
                                 .arg(count)
                                 .arg(countBefore));
                } else if (triesLeft <= 1) {
                    job.fail(LoggerError::Kind::NoAnswer,
                             QStringLiteral("no answer to DA after %1 tries, and the device is "
                                            "not in the registry")
                                 .arg(1 + job.policy().retries));
                } else {
                    SendDeviceAdd(job, request, countBefore, expected, triesLeft - 1);
                }
            });
        });
}

// A device add as it is sent, and the registry entry it reads back as.
struct DeviceAdd {
    Request request;
    RegistryEntry expected;
};

Checked<DeviceAdd> CheckedDeviceAdd(const QString &serial, const QString &address,
                                    const QString &type, const QString &appendInfo)
{
    const device_registry::DeviceInput input{ToWireForSending(serial), ToWireForSending(address),
                                             ToWireForSending(type), ToWireForSending(appendInfo)};
    try {
        if (const auto refusal = device_registry::RefusedDevice(input)) {
            return Refused(Setting::Devices, *refusal);
        }
        return DeviceAdd{{codes::kDeviceAdd,
                          device_registry::AddDeviceRequest(input, IsCharacterBoundary)},
                         device_registry::EntryAsReadBack(input, IsCharacterBoundary)};
    } catch (const protocol::InvalidIntegerError &error) {
        return Refused(Setting::Devices, std::string(error.what()));
    }
}

// A device add that an earlier step of the job may fill in.
using LaterDeviceAdd = std::shared_ptr<std::optional<DeviceAdd>>;

// The add of a device known once the earlier steps have run.
void AddDeviceAddSteps(LoggerJob &job, LaterDeviceAdd add)
{
    job.then([&job, add] {
        ReadDeviceCount(job, [&job, add](int count) {
            SendDeviceAdd(job, (*add)->request, static_cast<std::size_t>(count), (*add)->expected,
                          1 + job.policy().retries);
        });
    });
}

SettingWrite DeviceAddWrite(const DeviceAdd &add)
{
    return SettingWrite{Setting::Devices, [add](LoggerJob &job) {
                            AddDeviceAddSteps(job, std::make_shared<std::optional<DeviceAdd>>(add));
                        }};
}

SettingWrite DevicesClearWrite()
{
    return SettingWrite{Setting::Devices,
                        VerifiedWrite({codes::kDeviceDeleteAll, device_registry::kDeleteAllRequest},
                                      [](LoggerJob &job) {
                                          ReadDeviceCount(job, [&job](int count) {
                                              if (count != 0) {
                                                  Differs(job, Setting::Devices,
                                                          QStringLiteral("%1 devices").arg(count),
                                                          QStringLiteral("0 devices"));
                                                  return;
                                              }
                                              Recorded(job, Setting::Devices, DeviceRegistry());
                                          });
                                      })};
}

// A profile's device as given: its texts, and whether it gave an append info.
struct ProfileDevice {
    QStringList texts; // serial, address, type, append
    bool appendGiven = true;
};

// The registry replaced by the profile's devices, where some leave their append info out:
// the registry is read first, and each such device keeps the append info of the logger's
// device with its serial number (none when the logger holds no such device).
SettingWrite RegistryKeepingAppendInfos(const std::vector<ProfileDevice> &devices)
{
    return SettingWrite{
        Setting::Devices, [devices](LoggerJob &job) {
            std::vector<LaterDeviceAdd> adds;
            for (std::size_t index = 0; index < devices.size(); ++index) {
                adds.push_back(std::make_shared<std::optional<DeviceAdd>>());
            }
            job.then([&job, devices, adds] {
                ReadDeviceEntries(job, [&job, devices,
                                        adds](const std::vector<RegistryEntry> &held) {
                    for (std::size_t index = 0; index < devices.size(); ++index) {
                        QStringList texts = devices[index].texts;
                        if (!devices[index].appendGiven) {
                            const std::string serial = ToWire(texts[0].trimmed());
                            const auto same = std::find_if(
                                held.begin(), held.end(), [&serial](const RegistryEntry &entry) {
                                    return entry.row.serialNumber == serial;
                                });
                            texts[3] = same == held.end() ? QString() : Text(same->appendInfo);
                        }
                        const Checked<DeviceAdd> add =
                            RefusingTextOutsideCodePage(Setting::Devices, [&texts] {
                                return CheckedDeviceAdd(texts[0], texts[1], texts[2], texts[3]);
                            });
                        if (!add.accepted()) {
                            job.fail(LoggerError::Kind::Refused, add.refusal().message);
                            return;
                        }
                        *adds[index] = add.value();
                    }
                    job.next();
                });
            });
            DevicesClearWrite().addSteps(job);
            for (const LaterDeviceAdd &add : adds) {
                AddDeviceAddSteps(job, add);
            }
        }};
}

} // namespace

QJsonArray RegistryReport(const DeviceRegistry &devices)
{
    QJsonArray list;
    for (const RegistryEntry &device : devices) {
        list.append(DeviceReport(device));
    }
    return list;
}

QJsonArray RegistryReport(const std::vector<WantedDevice> &devices)
{
    QJsonArray list;
    for (const WantedDevice &device : devices) {
        QJsonObject report = DeviceReport(device.entry);
        if (!device.appendGiven) {
            report.remove(QLatin1String("append"));
        }
        list.append(report);
    }
    return list;
}

bool RegistryHolds(const DeviceRegistry &held, const std::vector<WantedDevice> &wanted)
{
    return std::equal(held.begin(), held.end(), wanted.begin(), wanted.end(),
                      [](const RegistryEntry &device, const WantedDevice &want) {
                          const device_registry::DeviceRow &row = device.row;
                          const device_registry::DeviceRow &wantedRow = want.entry.row;
                          return row.serialNumber == wantedRow.serialNumber &&
                                 SameNumberOrText(row.address, wantedRow.address) &&
                                 row.typeCode == wantedRow.typeCode &&
                                 (!want.appendGiven || device.appendInfo == want.entry.appendInfo);
                      });
}

void ReadDevices(LoggerJob &job)
{
    ReadAndRecord<std::vector<RegistryEntry>>(job, Setting::Devices, ReadDeviceEntries);
}

CheckedWrite ParseDevicesAssignment(const Assignment &assignment)
{
    if (assignment.mode == Assignment::Mode::Set) {
        return assignment.value == QLatin1String("clear")
                   ? CheckedWrite(DevicesClearWrite())
                   : CheckedWrite(ExpectedForm(Setting::Devices, assignment.mode));
    }
    // The append info is the rest of the value and may hold commas of its own.
    const QStringList parts = assignment.value.split(QLatin1Char(','));
    if (parts.size() < 3) {
        return ExpectedForm(Setting::Devices, assignment.mode);
    }
    const Checked<DeviceAdd> add = CheckedDeviceAdd(
        parts[0], parts[1], parts[2],
        parts.size() > 3 ? QStringList(parts.mid(3)).join(QLatin1Char(',')) : QString());
    if (!add.accepted()) {
        return add.refusal();
    }
    return DeviceAddWrite(add.value());
}

CheckedProfileSetting DevicesFromProfile(const QJsonValue &value, const QString &path)
{
    if (!value.isArray()) {
        return Refusal{QStringLiteral("\"%1\" must be a list").arg(path)};
    }
    // The registry is emptied, then each device added in order.
    ProfileSetting devices{Setting::Devices, {DevicesClearWrite()}, std::nullopt, {}};
    std::vector<WantedDevice> wanted;
    std::vector<ProfileDevice> given;
    int index = 0;
    for (const QJsonValue &device : value.toArray()) {
        const Checked<QStringList> fields =
            ProfileFields(device, QStringLiteral("%1[%2]").arg(path).arg(index++), kDeviceKeys);
        if (!fields.accepted()) {
            return fields.refusal();
        }
        const QStringList &texts = fields.value();
        const Checked<DeviceAdd> add = CheckedDeviceAdd(texts[0], texts[1], texts[2], texts[3]);
        if (!add.accepted()) {
            return add.refusal();
        }
        devices.writes.push_back(DeviceAddWrite(add.value()));
        // Without its append info, whatever the logger holds.
        const bool appendGiven = device.toObject().contains(QLatin1String("append"));
        wanted.push_back({add.value().expected, appendGiven});
        given.push_back({texts, appendGiven});
    }
    devices.wanted = std::move(wanted);
    if (std::any_of(given.begin(), given.end(),
                    [](const ProfileDevice &device) { return !device.appendGiven; })) {
        devices.writes = {RegistryKeepingAppendInfos(given)};
    }
    return devices;
}

} // namespace fleet

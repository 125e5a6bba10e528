// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setting.h"
#include "setting_value.h"

#include <QJsonArray>

#include <QJsonValue>
#include <QString>

// The device registry of a logger: read as a list, emptied, or added to one device at a
// time.
namespace fleet {

class LoggerJob;

void ReadDevices(LoggerJob &job);
// The registry as a read reports it, and as every write records it once read back.
QJsonArray RegistryReport(const DeviceRegistry &devices);
// The registry as wanted: a device given without its append info has none in the report.
QJsonArray RegistryReport(const std::vector<WantedDevice> &devices);
// Whether the registry holds the wanted devices, in their order and no others; a device
// given without its append info holds any.
bool RegistryHolds(const DeviceRegistry &held, const std::vector<WantedDevice> &wanted);
// devices=clear empties the registry; devices+=SERIAL,ADDRESS,TYPE[,APPEND] adds a device.
CheckedWrite ParseDevicesAssignment(const Assignment &assignment);
// The registry is replaced: emptied, then each device added in its order.
CheckedProfileSetting DevicesFromProfile(const QJsonValue &value, const QString &path);

} // namespace fleet

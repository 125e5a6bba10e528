#pragma once

#include "setting.h"

#include <QJsonValue>
#include <QString>

// The network settings of a logger: its IP configuration, its data server and its MAC
// address (read only).
namespace fleet {

class LoggerJob;

void ReadIpConfiguration(LoggerJob &job);
CheckedWrite ParseIpAssignment(const Assignment &assignment);
CheckedProfileSetting IpFromProfile(const QJsonValue &value, const QString &path);
// A fixed address, checked as the window checks it.
CheckedWrite FixedIpWrite(const QString &address, const QString &mask, const QString &gateway);

void ReadDataServer(LoggerJob &job);
CheckedWrite ParseDataServerAssignment(const Assignment &assignment);
CheckedProfileSetting DataServerFromProfile(const QJsonValue &value, const QString &path);

void ReadMac(LoggerJob &job);

} // namespace fleet

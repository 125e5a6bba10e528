// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/address_range.h"
#include "setting.h"
#include "setting_value.h"

#include <QJsonValue>
#include <QString>

// The network settings of a logger: its IP configuration, its data server and its MAC
// address (read only).
namespace fleet {

class LoggerJob;

// A fixed IP configuration, each address as a number.
struct FixedIp {
    quint32 address = 0;
    quint32 mask = 0;
    quint32 gateway = 0;
};

void ReadIpConfiguration(LoggerJob &job);
// The configuration as reports give it: its three addresses, and "answers_at" after a move.
QJsonObject IpReport(const IpSetting &ip);
QJsonObject ConfigurationReport(const network_addressing::IpConfiguration &configuration);
// Whether two configurations hold the same octets.
bool SameConfiguration(const network_addressing::IpConfiguration &one,
                       const network_addressing::IpConfiguration &other);
CheckedWrite ParseIpAssignment(const Assignment &assignment);
CheckedProfileSetting IpFromProfile(const QJsonValue &value, const QString &path);
// A fixed address, checked as the window's Set checks it: the codec's entry rules
// (complete, numbers 0 to 255 without leading zero), an address a logger can have on any
// PC (not 0.0.0.0/8, multicast or the broadcast address), and the codec's rules of a
// configuration a logger can work at (network_addressing::RefusedSubnet).
Checked<FixedIp> CheckFixedIp(const QString &address, const QString &mask, const QString &gateway);
// The address change. First the new address is probed: when a logger other than this one
// answers there, nothing is changed and the job fails as refused. After the change, or
// after it went unanswered, the configuration is read back at the new address, else at
// the old one, and recorded with the address it answered at ("answers_at").
SettingWrite FixedIpWrite(const FixedIp &ip);

// A logger's new address against the PC of the run, by the one check of a logger's
// address (the PC's own addresses and networks, loopback where loggers are not on it).
std::optional<Refusal> RefusedNewAddress(quint32 address,
                                         const QList<discovery::LocalNetwork> &pcNetworks,
                                         discovery::LoopbackLoggers loopback);

void ReadDataServer(LoggerJob &job);
CheckedWrite ParseDataServerAssignment(const Assignment &assignment);
CheckedProfileSetting DataServerFromProfile(const QJsonValue &value, const QString &path);

void ReadMac(LoggerJob &job);

} // namespace fleet

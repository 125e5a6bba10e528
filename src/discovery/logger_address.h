#pragma once

#include "address_range.h"
#include "pc_address.h"

#include <QList>
#include <QString>

// The one check of an address the operator gives as a logger's, shared by every place
// that sends to a logger it was told the address of.
namespace discovery {

// Loopback addresses are loggers' only in a run whose every logger is on loopback (the
// substitute loggers of a test bench); mixed with real ones they are a typing slip.
enum class LoopbackTargets { Refused, Accepted };

// Accepted when each of the addresses lies in 127.0.0.0/8 (an address that does not
// parse counts as not on loopback).
LoopbackTargets LoopbackUse(const QStringList &addressTexts);

// The address of one logger, or the message naming the address and why it is none:
// not four decimal octets, 0.0.0.0/8, loopback unless accepted, multicast,
// 255.255.255.255, the network or broadcast address of one of the PC's networks, or one
// of the PC's own addresses. `pcAdapters` are the PC's addresses with their networks.
Parsed<quint32> CheckLoggerAddress(const QString &text, const QList<LocalAdapter> &pcAdapters,
                                   LoopbackTargets loopback);

} // namespace discovery

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/address_range.h"
#include "discovery/paced_prober.h"
#include "logger_outcome.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <map>
#include <optional>
#include <vector>

namespace fleet {

class FleetLink;

// What a sweep sends and how long it listens.
struct SweepPlan {
    int probesPerSecond = 2000;
    int waitMs = 3000; // after the last probe
    // Times each address is probed, one round of the range after the other: a probe or
    // its answer lost on a busy LAN costs the logger only when every round loses it.
    int rounds = 2;
    QHostAddress ownAddress; // an answer from here is the PC's own
    // A range's network and broadcast addresses of these are never probed.
    QList<discovery::LocalNetwork> pcNetworks;
};

// Gathers the loggers that answer the probe on the search port, sorted by address, each
// once however many of its probes it answered. An answer without a serial number, from the PC's own
// address or from an address that was not probed (a host that heard a broadcast) is no logger.
class LoggerSweep : public QObject
{
    Q_OBJECT

public:
    LoggerSweep(FleetLink &link, const SweepPlan &plan, QObject *parent = nullptr);

    // Probes every address of the range at a steady pace, the plan's rounds one after the
    // other, then listens for the wait.
    void sweep(const discovery::AddressRange &range);
    // Probes a few known addresses, each round at once, then listens for the wait: tells
    // their serial numbers.
    void identify(const std::vector<QHostAddress> &hosts);

    // Complete once finished has been emitted.
    std::vector<LoggerTarget> loggers() const;

signals:
    void finished();

private:
    void probingFinished();
    void takeAnswer(const std::string &candidate, const QHostAddress &sender);
    bool wasProbed(quint32 address) const;

    FleetLink &m_link;
    SweepPlan m_plan;
    PacedProber m_prober;
    QTimer m_wait;
    std::optional<discovery::AddressRange> m_range;
    int m_roundsLeft = 0; // of the range, after the one being probed
    QSet<quint32> m_hosts;
    std::map<quint32, LoggerTarget> m_found;
};

} // namespace fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_sweep.h"

#include "discovery/discovery_answer.h"
#include "fleet_link.h"
#include "protocol/text.h"
#include "wire_text/wire_text.h"

namespace fleet {

LoggerSweep::LoggerSweep(FleetLink &link, const SweepPlan &plan, QObject *parent)
    : QObject(parent), m_link(link), m_plan(plan), m_prober([this](const QHostAddress &target) {
          if (discovery::IsRangeProbeTarget(target.toIPv4Address(), m_plan.pcNetworks)) {
              m_link.sendProbe(target);
          }
      })
{
    m_wait.setSingleShot(true);
    m_wait.setInterval(plan.waitMs);
    connect(&m_wait, &QTimer::timeout, this, &LoggerSweep::finished);
    connect(&m_prober, &PacedProber::finished, this, &LoggerSweep::probingFinished);
    connect(&link, &FleetLink::discoveryAnswered, this, &LoggerSweep::takeAnswer);
}

void LoggerSweep::sweep(const discovery::AddressRange &range)
{
    m_range = range;
    m_roundsLeft = m_plan.rounds - 1;
    m_prober.start(range, m_plan.probesPerSecond);
    if (!m_prober.isRunning()) {
        m_wait.start();
    }
}

void LoggerSweep::probingFinished()
{
    if (m_roundsLeft > 0) {
        --m_roundsLeft;
        m_prober.start(*m_range, m_plan.probesPerSecond);
        return;
    }
    m_wait.start();
}

void LoggerSweep::identify(const std::vector<QHostAddress> &hosts)
{
    for (const QHostAddress &host : hosts) {
        m_hosts.insert(host.toIPv4Address());
    }
    for (int round = 0; round < m_plan.rounds; ++round) {
        for (const QHostAddress &host : hosts) {
            m_link.sendProbe(host);
        }
    }
    m_wait.start();
}

std::vector<LoggerTarget> LoggerSweep::loggers() const
{
    std::vector<LoggerTarget> loggers;
    for (const auto &[address, target] : m_found) {
        loggers.push_back(target);
    }
    return loggers;
}

void LoggerSweep::takeAnswer(const std::string &candidate, const QHostAddress &sender)
{
    const discovery::DiscoveryAnswer answer = discovery::SplitDiscoveryAnswer(candidate);
    const std::string serial = protocol::TrimText(answer.serial);
    if (serial.empty() || sender == m_plan.ownAddress || !wasProbed(sender.toIPv4Address())) {
        return;
    }
    LoggerTarget found{sender, FromWire(serial), FromWire(answer.version), {}};
    if (const auto earlier = m_found.find(sender.toIPv4Address()); earlier != m_found.end()) {
        found.clashingSerial = earlier->second.serial != found.serial
                                   ? earlier->second.serial
                                   : earlier->second.clashingSerial;
    }
    m_found[sender.toIPv4Address()] = found;
}

bool LoggerSweep::wasProbed(quint32 address) const
{
    return m_hosts.contains(address) || (m_range && m_range->contains(address) &&
                                         discovery::IsRangeProbeTarget(address, m_plan.pcNetworks));
}

} // namespace fleet

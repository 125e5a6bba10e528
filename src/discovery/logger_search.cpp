// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_search.h"

#include "discovery_answer.h"
#include "paced_prober.h"

#include "protocol/text.h"
#include "transport/command_exchange.h"
#include "transport/logger_client.h"
#include "wire_text/wire_text.h"

#include <QHostAddress>
#include <QProgressBar>

namespace {

// The answer step while a search runs. No request of it goes to a command port: the
// probes go to the search port, and the step only says that discovery answers are taken.
const CommandExchange::AnswerStep kSearchStep = "SS";

constexpr int kProgressSteps = 10; // the range of pb1
constexpr quint32 kSlash24Mask = 0xFFFFFF00;

} // namespace

LoggerSearch::LoggerSearch(LoggerClient &client, CommandExchange &exchange,
                           const Controls &controls, int tickMs, QObject *parent)
    : QObject(parent), m_client(client), m_exchange(exchange), m_controls(controls),
      m_rangeProber(new PacedProber(
          [this](const QHostAddress &target, bool lastTry) {
              if (!discovery::IsRangeProbeTarget(target.toIPv4Address(), m_pcNetworks)) {
                  return PacedProber::ProbeSend::Done;
              }
              return sendCountedProbe(target, lastTry);
          },
          this))
{
    m_tmr2.setObjectName(QStringLiteral("tmr2"));
    m_tmr2.setInterval(tickMs);
    connect(&m_tmr2, &QTimer::timeout, this, &LoggerSearch::tmr2Timer);
    m_tmr2.start(); // the bar also runs once after start-up

    m_rangeAnswerWindow.setSingleShot(true);
    m_rangeAnswerWindow.setInterval(kProgressSteps * tickMs);
    connect(&m_rangeAnswerWindow, &QTimer::timeout, this, [this] { reportEnd(); });
    connect(m_rangeProber, &PacedProber::progressed, this,
            [this](quint64 sent) { m_controls.progress->setValue(int(sent)); });
    connect(m_rangeProber, &PacedProber::finished, this, &LoggerSearch::rangeProbingFinished);
}

PacedProber::ProbeSend LoggerSearch::sendCountedProbe(const QHostAddress &target, bool lastTry)
{
    std::optional<LoggerError> failure = m_client.sendProbe(target);
    if (failure && failure->transient && !lastTry) {
        return PacedProber::ProbeSend::TryAgain;
    }
    ++m_outcome.probes;
    if (failure) {
        ++m_outcome.failedProbes;
        if (!m_outcome.firstFailure) {
            m_outcome.firstFailure = std::move(failure);
        }
    }
    return PacedProber::ProbeSend::Done;
}

void LoggerSearch::beginSearch()
{
    stopRangeSearch();
    m_rangeAnswerWindow.stop();
    m_searchedRange.reset();
    m_probedAddress.clear();
    m_cancelledAddress.clear();
    m_outcome = {};
    m_controls.loggers->clear();
    m_exchange.setCurrentCommand(kSearchStep);
    emit searchStarted();
}

void LoggerSearch::btnsearchClick()
{
    beginSearch();
    // The PC holds no address when it has no usable adapter: nothing to sweep.
    const QHostAddress pcAddress = m_controls.pcAddress();
    bool isIpv4 = false;
    const quint32 pcIpv4 = pcAddress.toIPv4Address(&isIpv4);
    if (isIpv4) {
        m_searchedFrom = pcAddress.toString();
        const quint32 network = pcIpv4 & kSlash24Mask;
        for (quint32 host = 1; host <= 255; ++host) {
            sendCountedProbe(QHostAddress(network | host));
        }
        m_outcome.probed = QStringLiteral("%1/24").arg(QHostAddress(network).toString());
        m_outcome.addresses = m_outcome.addressesDone = m_outcome.probes;
    }
    m_controls.progress->setValue(0);
    if (!m_tmr2.isActive()) {
        m_tmr2.start();
    }
}

void LoggerSearch::searchRange(const discovery::AddressRange &range, int probesPerSecond,
                               const QList<discovery::LocalNetwork> &pcNetworks)
{
    beginSearch();
    m_searchedRange = range;
    m_searchedFrom = range.toString();
    m_pcNetworks = pcNetworks;
    m_tmr2.stop(); // pb1 counts the probes of the range instead of the sweep's ticks
    m_outcome.probed = range.toString();
    m_outcome.rangeSearch = true;
    m_outcome.addresses = range.size();
    m_controls.progress->setRange(0, int(range.size()));
    m_controls.progress->setValue(0);
    emit rangeSearchRunningChanged(true);
    m_rangeProber->start(range, probesPerSecond);
}

void LoggerSearch::stopRangeSearch()
{
    m_rangeProber->stop();
}

bool LoggerSearch::rangeSearchRunning() const
{
    return m_rangeProber->isRunning();
}

void LoggerSearch::rangeProbingFinished(bool completed)
{
    m_controls.progress->setRange(0, kProgressSteps);
    m_controls.progress->setValue(0);
    m_outcome.addressesDone = m_rangeProber->sent();
    if (completed) {
        m_rangeAnswerWindow.start();
    } else {
        reportEnd(true);
    }
    emit rangeSearchRunningChanged(false);
}

std::optional<LoggerError> LoggerSearch::probeAddress(const QHostAddress &address)
{
    m_exchange.setCurrentCommand(kSearchStep);
    m_probedAddress = address.toString();
    if (m_cancelledAddress == m_probedAddress) {
        m_cancelledAddress.clear();
    }
    return m_client.sendProbe(address);
}

void LoggerSearch::cancelAddressProbe()
{
    m_cancelledAddress = std::exchange(m_probedAddress, QString());
}

void LoggerSearch::reportEnd(bool stopped)
{
    if (m_outcome.probed.isEmpty()) {
        return; // reported already, or nothing was probed
    }
    SearchOutcome outcome = std::exchange(m_outcome, SearchOutcome{});
    outcome.listed = static_cast<int>(m_controls.loggers->size());
    outcome.stopped = stopped;
    emit searchEnded(outcome);
}

bool LoggerSearch::rangeAwaitsAnswers() const
{
    return m_rangeProber->isRunning() || m_rangeAnswerWindow.isActive();
}

bool LoggerSearch::listsAnswerFrom(const QString &senderAddress) const
{
    if (senderAddress == m_cancelledAddress) {
        return false;
    }
    if (!m_searchedRange || senderAddress == m_probedAddress) {
        return true;
    }
    const std::optional<quint32> sender = discovery::ParseDottedQuad(senderAddress);
    return sender && m_searchedRange->contains(*sender);
}

void LoggerSearch::handleDiscoveryAnswer(const std::string &candidate, const QString &senderAddress)
{
    const bool searchIsCurrent = m_exchange.currentCommand() == kSearchStep;
    if (!searchIsCurrent && !rangeAwaitsAnswers()) {
        return;
    }
    // A range answer that comes while another command is pending leaves that command's
    // lock and timeout alone.
    if (searchIsCurrent) {
        m_exchange.tmr1Timer();
    }

    const auto [serial, version] = discovery::SplitDiscoveryAnswer(candidate);

    const QHostAddress pcAddress = m_controls.pcAddress();
    if (senderAddress.isEmpty() || (!pcAddress.isNull() && senderAddress == pcAddress.toString()) ||
        serial.empty() || !listsAnswerFrom(senderAddress)) {
        return;
    }
    const QHostAddress sender(senderAddress);
    // A new row takes the serial trimmed; a row listed already takes it as it came.
    const bool listed = m_controls.loggers->rowOf(sender).has_value();
    discovery::ListedLogger logger{FromWire(listed ? serial : protocol::TrimText(serial)), sender,
                                   FromWire(version)};
    if (senderAddress == m_probedAddress) {
        logger.foundBy = discovery::FoundBy::AddedByAddress;
    } else {
        logger.foundBy =
            m_searchedRange ? discovery::FoundBy::RangeSearch : discovery::FoundBy::Sweep;
        logger.foundThrough = m_searchedFrom;
    }
    m_controls.loggers->list(std::move(logger));
    emit loggerListed(senderAddress);
}

void LoggerSearch::tmr2Timer()
{
    QProgressBar *bar = m_controls.progress;
    if (bar->value() == bar->maximum()) {
        m_tmr2.stop();
        bar->setValue(0);
        reportEnd();
    }
    if (m_tmr2.isActive()) {
        bar->setValue(bar->value() + 1);
    }
}

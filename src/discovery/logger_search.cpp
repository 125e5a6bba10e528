#include "logger_search.h"

#include "discovery_answer.h"
#include "paced_prober.h"
#include "search_probe.h"

#include "protocol/text.h"
#include "transport/command_exchange.h"
#include "transport/udp_endpoints.h"
#include "wire_text/wire_text.h"

#include <QHostAddress>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>

namespace {

constexpr int kIpColumn = 1;
constexpr int kVersionColumn = 2;
constexpr int kProgressSteps = 10;  // the range of pb1

// The caption up to and including its third ".": the /24 network prefix.
QString NetworkPrefix(const QString &pcAddress)
{
    qsizetype at = -1;
    for (int dot = 0; dot < 3; ++dot) {
        const qsizetype next = pcAddress.indexOf(QLatin1Char('.'), at + 1);
        if (next < 0) {
            break;
        }
        at = next;
    }
    return pcAddress.left(at + 1);
}

}  // namespace

LoggerSearch::LoggerSearch(UdpEndpoints &endpoints, CommandExchange &exchange,
                           const Controls &controls, int tickMs, QObject *parent)
    : QObject(parent), m_endpoints(endpoints), m_exchange(exchange), m_controls(controls),
      m_rangeProber(new PacedProber(
          [this](const QHostAddress &target) {
              if (discovery::IsRangeProbeTarget(target.toIPv4Address(), m_pcNetworks)) {
                  sendProbe(target);
              }
          },
          this))
{
    m_tmr2.setObjectName(QStringLiteral("tmr2"));
    m_tmr2.setInterval(tickMs);
    connect(&m_tmr2, &QTimer::timeout, this, &LoggerSearch::tmr2Timer);
    m_tmr2.start();  // the bar also runs once after start-up

    m_rangeAnswerWindow.setSingleShot(true);
    m_rangeAnswerWindow.setInterval(kProgressSteps * tickMs);
    connect(&m_rangeAnswerWindow, &QTimer::timeout, this, &LoggerSearch::reportIfEmpty);
    connect(m_rangeProber, &PacedProber::progressed, this,
            [this](quint64 sent) { m_controls.progress->setValue(int(sent)); });
    connect(m_rangeProber, &PacedProber::finished, this, &LoggerSearch::rangeProbingFinished);
}

void LoggerSearch::sendProbe(const QHostAddress &target)
{
    static const QByteArray probe(discovery::kSearchProbe.data(),
                                  qsizetype(discovery::kSearchProbe.size()));
    m_endpoints.sendProbe(probe, target);
}

void LoggerSearch::beginSearch()
{
    stopRangeSearch();
    m_rangeAnswerWindow.stop();
    m_searchedRange.reset();
    m_probedAddress.clear();
    m_controls.loggerList->clear();
    m_exchange.setCurrentCommand("SS");
    emit searchStarted();
}

void LoggerSearch::btnsearchClick()
{
    beginSearch();
    const QString prefix = NetworkPrefix(m_controls.pcAddress->text());
    for (int host = 1; host <= 255; ++host) {
        QHostAddress target;
        if (target.setAddress(prefix + QString::number(host))) {
            sendProbe(target);
        }
    }
    m_probedNetwork = prefix + QStringLiteral("0/24");
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
    m_pcNetworks = pcNetworks;
    m_tmr2.stop();  // pb1 counts the probes of the range instead of the sweep's ticks
    m_probedNetwork = range.toString();
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
    if (completed) {
        m_rangeAnswerWindow.start();
    } else {
        m_probedNetwork.clear();  // the operator stopped it: nothing to report
    }
    emit rangeSearchRunningChanged(false);
}

void LoggerSearch::probeAddress(const QHostAddress &address)
{
    m_exchange.setCurrentCommand("SS");
    m_probedAddress = address.toString();
    sendProbe(address);
}

void LoggerSearch::reportIfEmpty()
{
    const QString probed = std::exchange(m_probedNetwork, QString());
    if (!probed.isEmpty() && m_controls.loggerList->topLevelItemCount() == 0) {
        emit searchEndedEmpty(probed);
    }
}

bool LoggerSearch::rangeAwaitsAnswers() const
{
    return m_rangeProber->isRunning() || m_rangeAnswerWindow.isActive();
}

bool LoggerSearch::listsAnswerFrom(const QString &senderAddress) const
{
    if (!m_searchedRange || senderAddress == m_probedAddress) {
        return true;
    }
    const std::optional<quint32> sender = discovery::ParseDottedQuad(senderAddress);
    return sender && m_searchedRange->contains(*sender);
}

void LoggerSearch::handleDiscoveryAnswer(const std::string &candidate,
                                         const QString &senderAddress)
{
    const bool searchIsCurrent = m_exchange.currentCommand() == "SS";
    if (!searchIsCurrent && !rangeAwaitsAnswers()) {
        return;
    }
    // A range answer that comes while another command is pending leaves that command's
    // lock and timeout alone.
    if (searchIsCurrent) {
        m_exchange.tmr1Timer();
    }

    const auto [serial, version] = discovery::SplitDiscoveryAnswer(candidate);

    if (senderAddress.isEmpty() || senderAddress == m_controls.pcAddress->text() ||
        serial.empty() || !listsAnswerFrom(senderAddress)) {
        return;
    }
    QTreeWidget *list = m_controls.loggerList;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = list->topLevelItem(row);
        if (item->text(kIpColumn) == senderAddress) {
            item->setText(0, FromWire(serial));
            emit loggerListed(senderAddress);
            return;
        }
    }
    auto *item = new QTreeWidgetItem(list);
    item->setText(0, FromWire(protocol::TrimText(serial)));
    item->setText(kIpColumn, senderAddress);
    item->setText(kVersionColumn, FromWire(version));
    emit loggerListed(senderAddress);
}

void LoggerSearch::tmr2Timer()
{
    QProgressBar *bar = m_controls.progress;
    if (bar->value() == bar->maximum()) {
        m_tmr2.stop();
        bar->setValue(0);
        reportIfEmpty();
    }
    if (m_tmr2.isActive()) {
        bar->setValue(bar->value() + 1);
    }
}

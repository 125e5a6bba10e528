#include "logger_search.h"

#include "discovery_answer.h"
#include "search_probe.h"

#include "protocol/text.h"
#include "transport/command_exchange.h"
#include "transport/udp_endpoints.h"
#include "transport/wire_text.h"

#include <QHostAddress>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>

namespace {

constexpr int kIpColumn = 1;
constexpr int kVersionColumn = 2;

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
    : QObject(parent), m_endpoints(endpoints), m_exchange(exchange), m_controls(controls)
{
    m_tmr2.setObjectName(QStringLiteral("tmr2"));
    m_tmr2.setInterval(tickMs);
    connect(&m_tmr2, &QTimer::timeout, this, &LoggerSearch::tmr2Timer);
    m_tmr2.start();  // the bar also runs once after start-up
}

void LoggerSearch::btnsearchClick()
{
    m_controls.loggerList->clear();
    m_exchange.setCurrentCommand("SS");
    const QString prefix = NetworkPrefix(m_controls.pcAddress->text());
    const QByteArray probe(discovery::kSearchProbe.data(),
                           qsizetype(discovery::kSearchProbe.size()));
    for (int host = 1; host <= 255; ++host) {
        QHostAddress target;
        if (target.setAddress(prefix + QString::number(host))) {
            m_endpoints.sendProbe(probe, target);
        }
    }
    m_controls.progress->setValue(0);
    if (!m_tmr2.isActive()) {
        m_tmr2.start();
    }
}

void LoggerSearch::handleDiscoveryAnswer(const std::string &candidate,
                                         const QString &senderAddress)
{
    m_exchange.tmr1Timer();

    const auto [serial, version] = discovery::SplitDiscoveryAnswer(candidate);

    if (senderAddress.isEmpty() || senderAddress == m_controls.pcAddress->text() ||
        serial.empty()) {
        return;
    }
    QTreeWidget *list = m_controls.loggerList;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = list->topLevelItem(row);
        if (item->text(kIpColumn) == senderAddress) {
            item->setText(0, FromWire(serial));
            return;
        }
    }
    auto *item = new QTreeWidgetItem(list);
    item->setText(0, FromWire(protocol::TrimText(serial)));
    item->setText(kIpColumn, senderAddress);
    item->setText(kVersionColumn, FromWire(version));
}

void LoggerSearch::tmr2Timer()
{
    QProgressBar *bar = m_controls.progress;
    if (bar->value() == bar->maximum()) {
        m_tmr2.stop();
        bar->setValue(0);
    }
    if (m_tmr2.isActive()) {
        bar->setValue(bar->value() + 1);
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "window_harness.h"

#include "transport/udp_endpoints.h"

#include <QTreeWidget>
#include <QtTest>

Timing WindowHarness::FastTiming()
{
    Timing timing;
    timing.commandTimeoutMs = 400;
    timing.searchTickMs = 20;
    timing.readBackPauseMs = 50;
    return timing;
}

QList<discovery::LocalAdapter> WindowHarness::LoopbackAdapters()
{
    return {{QStringLiteral("lo"), QStringLiteral("Loopback A"),
             QHostAddress(QStringLiteral("127.0.0.1")), 24},
            {QStringLiteral("lo"), QStringLiteral("Loopback B"),
             QHostAddress(QStringLiteral("127.0.1.1")), 24}};
}

WindowHarness::WindowHarness(int loggerCount, const Timing &timing)
{
    quint16 commandPort = 0;
    quint16 searchPort = 0;
    for (int index = 0; index < loggerCount; ++index) {
        const QHostAddress address(QStringLiteral("127.0.0.%1").arg(index + 2));
        LoggerSim::Identity identity;
        identity.serial = "SN" + std::to_string(1000 + index);
        identity.version = "V1." + std::to_string(index);
        auto logger = std::make_unique<LoggerSim>(address, commandPort, searchPort, identity);
        if (!logger->start()) {
            qFatal("substitute logger could not bind %s", qPrintable(address.toString()));
        }
        commandPort = logger->commandPort();
        searchPort = logger->searchPort();
        m_loggers.push_back(std::move(logger));
    }
    m_settings = LoopbackNetwork(commandPort, searchPort);
    m_window = std::make_unique<MainWindow>(m_notifier, m_settings, timing,
                                            [] { return QStringLiteral("127.0.0.1"); },
                                            [] { return LoopbackAdapters(); });
    m_window->show();
}

WindowHarness::~WindowHarness() = default;

NetworkSettings WindowHarness::LoopbackNetwork(quint16 remoteSetPort, quint16 remoteSearchPort)
{
    NetworkSettings settings;
    settings.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    settings.localSetPort = 0;
    settings.localSearchPort = 0;
    settings.remoteSetPort = remoteSetPort;
    settings.remoteSearchPort = remoteSearchPort;
    return settings;
}

void WindowHarness::selectLogger(int index)
{
    auto *list = control<QTreeWidget>("listview1");
    LoggerSim &logger = *m_loggers.at(static_cast<std::size_t>(index));
    const std::size_t listed = m_window->loggerList().list(
        {QString::fromStdString(logger.identity().serial), logger.address(),
         QString::fromStdString(logger.identity().version)});
    QTreeWidgetItem *row = list->topLevelItem(static_cast<int>(listed));
    list->setCurrentItem(row);
    row->setSelected(true);
}

quint16 WindowHarness::windowSetPort()
{
    return m_window->findChild<UdpEndpoints *>()->setSocket().localPort();
}

quint16 WindowHarness::windowSearchPort()
{
    return m_window->findChild<UdpEndpoints *>()->searchSocket().localPort();
}

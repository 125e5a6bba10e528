// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulated_logger.h"

SimulatedLogger::SimulatedLogger(const QHostAddress &address, quint16 commandPort,
                                 quint16 searchPort, LoggerIdentity identity,
                                 LoggerSettings settings)
    : m_settings(std::move(settings)),
      m_endpoint(address, commandPort, searchPort, std::move(identity))
{
    InstallNetworkCommands(m_endpoint, m_settings.network);
    InstallCellularCommands(m_endpoint, m_settings.cellular);
    InstallDeviceCommands(m_endpoint, m_settings.devices);
    InstallSystemParameterCommands(m_endpoint, m_settings.systemParameters);
    InstallQuotedTextCommands(m_endpoint, m_settings.quotedTexts);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive_path.h"

ReceivePath::ReceivePath(LoggerClient &client, QObject *parent)
    : QObject(parent), m_client(client)
{
    connect(&m_client, &LoggerClient::discoveryAnswered, this,
            [this](const std::string &candidate, const QHostAddress &sender) {
                if (m_discoveryHandler) {
                    m_discoveryHandler(candidate, sender.toString());
                }
            });
}

void ReceivePath::setDiscoveryHandler(DiscoveryHandler handler)
{
    m_discoveryHandler = std::move(handler);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_client.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

// The window's side of the client's receiving: every discovery answer goes to the
// search, and the client's view of the set and search buffers. The client reads the
// sockets (one datagram per run) and hands the answers of the logger asked to the
// exchange, its standing receiver.
class ReceivePath : public QObject
{
    Q_OBJECT

public:
    using DiscoveryHandler =
        std::function<void(const std::string &candidate, const QString &senderAddress)>;
    // Offered each datagram of the set socket that no attached logger sent, before the
    // window's exchange; returns whether it took the datagram, which the window then never
    // sees.
    using SetDatagramClaim = LoggerClient::Claim;

    explicit ReceivePath(LoggerClient &client, QObject *parent = nullptr);

    void setDiscoveryHandler(DiscoveryHandler handler);
    // An empty claim gives every datagram back to the window.
    void setSetDatagramClaim(SetDatagramClaim claim) { m_client.setClaim(std::move(claim)); }

    LoggerClient &client() { return m_client; }
    // The buffer of the logger the window asked last.
    const protocol::ReceiveBuffer &setBuffer() const { return m_client.standingBuffer(); }
    const protocol::ReceiveBuffer &searchBuffer() const { return m_client.searchBuffer(); }

private:
    LoggerClient &m_client;
    DiscoveryHandler m_discoveryHandler;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/receive_buffer.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class CommandExchange;
class UdpEndpoints;
class QUdpSocket;
struct ReceivedDatagram;

// Runs once per read notification: reads one datagram (set socket first), adds it to
// that socket's receive buffer and hands what it cuts out to its owner: one checked
// answer to the current command's handler, or every discovery answer to the search.
// A set-socket datagram from another address than the logger the request went to is set
// aside unread: it answers nothing of this exchange.
// When a request goes out, whole frames left in the set buffer by earlier answers are
// discarded: only a frame that arrives after the send can answer it.
class ReceivePath : public QObject
{
    Q_OBJECT

public:
    using DiscoveryHandler =
        std::function<void(const std::string &candidate, const QString &senderAddress)>;
    // Offered each datagram of the set socket before the window's own buffer; returns
    // whether it took the datagram, which the window then never sees.
    using SetDatagramClaim = std::function<bool(const ReceivedDatagram &datagram)>;

    ReceivePath(UdpEndpoints &endpoints, CommandExchange &exchange, QObject *parent = nullptr);

    void setDiscoveryHandler(DiscoveryHandler handler);
    // A fleet run over the window's sockets takes its loggers' answers here; an empty
    // claim gives every datagram back to the window.
    void setSetDatagramClaim(SetDatagramClaim claim);

    const protocol::ReceiveBuffer &setBuffer() const { return m_setBuffer; }
    const protocol::ReceiveBuffer &searchBuffer() const { return m_searchBuffer; }

public slots:
    void ReceivePathRun();
    // Drops every whole frame from the set buffer, reporting each to the traffic log; a
    // frame whose end has not arrived stays, so an answer split over datagrams still joins.
    void discardLeftOverAnswers();

private:
    void runSetPath(const ReceivedDatagram &datagram);
    void runSearchPath(QByteArray datagram, const QString &sender);
    void queueRunIfDatagramsWait();

    UdpEndpoints &m_endpoints;
    CommandExchange &m_exchange;
    DiscoveryHandler m_discoveryHandler;
    SetDatagramClaim m_setDatagramClaim;
    protocol::ReceiveBuffer m_setBuffer;
    protocol::ReceiveBuffer m_searchBuffer;
    bool m_runQueued = false;
};

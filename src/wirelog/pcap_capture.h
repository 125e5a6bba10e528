// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transport/datagram_observer.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <optional>

// The datagram as an IPv4 packet would have carried it: a 20-byte IPv4 header (no
// options, TTL 64, protocol UDP, header checksum filled in), an 8-byte UDP header with
// its checksum, and the datagram's bytes. Sent datagrams go from the tool's socket to
// the peer, received ones from the peer to the tool's socket.
QByteArray Ipv4UdpPacket(const ObservedDatagram &datagram, quint16 identification);

// Writes the datagrams as a classic pcap capture of raw IPv4 packets, one per datagram,
// with the recorded times; those that never crossed the wire (refused sends, frames
// left over) are left out. A socket bound to every interface has no address of its own:
// its datagrams carry `pcAddress` instead. The capture holds the datagrams' real bytes,
// PINs and passwords among them, so only the file's owner may read it. Returns the
// reason on failure, nothing on success.
std::optional<QString> WritePcapCapture(const QList<ObservedDatagram> &datagrams,
                                        const QHostAddress &pcAddress, const QString &path);

#pragma once

#include "transport/datagram_observer.h"

#include <QByteArray>
#include <QString>

#include <optional>

class TrafficLog;

// The datagram as an IPv4 packet would have carried it: a 20-byte IPv4 header (no
// options, TTL 64, protocol UDP, header checksum filled in), an 8-byte UDP header with
// its checksum, and the datagram's bytes. Sent datagrams go from the tool's socket to
// the peer, received ones from the peer to the tool's socket.
QByteArray Ipv4UdpPacket(const ObservedDatagram &datagram, quint16 identification);

// Writes the log as a classic pcap capture of raw IPv4 packets, one per datagram, with
// the recorded times. Returns the reason on failure, nothing on success.
std::optional<QString> WritePcapCapture(const TrafficLog &log, const QString &path);

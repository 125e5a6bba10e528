// SPDX-License-Identifier: GPL-3.0-or-later
#include "pcap_capture.h"

#include "private_file/private_file.h"

#include <QDataStream>
#include <QSaveFile>

namespace {

constexpr int kIpv4HeaderBytes = 20;
constexpr int kUdpHeaderBytes = 8;
constexpr quint8 kUdpProtocol = 17;
// The classic pcap file header: microsecond times, version 2.4, packets that begin with
// their IP header (link type "raw IP"), none longer than a UDP datagram can be.
constexpr quint32 kPcapMagic = 0xA1B2C3D4;
constexpr quint16 kPcapMajorVersion = 2;
constexpr quint16 kPcapMinorVersion = 4;
constexpr quint32 kLinkTypeRawIp = 101;
constexpr quint32 kSnapshotLength = 65535;

void PutUint16(QByteArray &packet, int at, quint16 value)
{
    packet[at] = static_cast<char>(value >> 8);
    packet[at + 1] = static_cast<char>(value & 0xFF);
}

void PutUint32(QByteArray &packet, int at, quint32 value)
{
    PutUint16(packet, at, static_cast<quint16>(value >> 16));
    PutUint16(packet, at + 2, static_cast<quint16>(value & 0xFFFF));
}

// The Internet checksum: the ones' complement of the ones' complement sum of 16-bit words.
quint32 AddWords(quint32 sum, const char *bytes, qsizetype length)
{
    for (qsizetype at = 0; at + 1 < length; at += 2) {
        sum += static_cast<quint32>(static_cast<quint8>(bytes[at]) << 8 |
                                    static_cast<quint8>(bytes[at + 1]));
    }
    if (length % 2 == 1) {
        sum += static_cast<quint32>(static_cast<quint8>(bytes[length - 1]) << 8);
    }
    return sum;
}

quint16 FoldChecksum(quint32 sum)
{
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<quint16>(~sum & 0xFFFF);
}

} // namespace

QByteArray Ipv4UdpPacket(const ObservedDatagram &datagram, quint16 identification)
{
    const bool sent = datagram.direction == ObservedDatagram::Direction::Sent;
    const quint32 source = (sent ? datagram.localAddress : datagram.peerAddress).toIPv4Address();
    const quint32 destination =
        (sent ? datagram.peerAddress : datagram.localAddress).toIPv4Address();
    const quint16 sourcePort = sent ? datagram.localPort : datagram.peerPort;
    const quint16 destinationPort = sent ? datagram.peerPort : datagram.localPort;
    const auto udpLength = static_cast<quint16>(kUdpHeaderBytes + datagram.bytes.size());

    QByteArray packet(kIpv4HeaderBytes + udpLength, '\0');
    packet[0] = 0x45; // version 4, five 32-bit words of header
    PutUint16(packet, 2, static_cast<quint16>(kIpv4HeaderBytes + udpLength));
    PutUint16(packet, 4, identification);
    PutUint16(packet, 6, 0x4000); // don't fragment
    packet[8] = 64;
    packet[9] = static_cast<char>(kUdpProtocol);
    PutUint32(packet, 12, source);
    PutUint32(packet, 16, destination);
    PutUint16(packet, 10, FoldChecksum(AddWords(0, packet.constData(), kIpv4HeaderBytes)));

    PutUint16(packet, 20, sourcePort);
    PutUint16(packet, 22, destinationPort);
    PutUint16(packet, 24, udpLength);
    packet.replace(kIpv4HeaderBytes + kUdpHeaderBytes, datagram.bytes.size(), datagram.bytes);

    // The UDP checksum covers a pseudo-header of both addresses, the protocol and the
    // length; a computed 0 is sent as FFFF, since 0 means "no checksum".
    quint32 sum = AddWords(0, packet.constData() + 12, 8);
    sum += kUdpProtocol + udpLength;
    sum = AddWords(sum, packet.constData() + kIpv4HeaderBytes, udpLength);
    const quint16 udpChecksum = FoldChecksum(sum);
    PutUint16(packet, 26, udpChecksum == 0 ? 0xFFFF : udpChecksum);
    return packet;
}

std::optional<QString> WritePcapCapture(const QList<ObservedDatagram> &datagrams,
                                        const QHostAddress &pcAddress, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    if (std::optional<QString> reason = private_file::MakeOwnerOnly(file)) {
        return reason;
    }
    // Classic pcap in the writer's byte order, which readers tell from the magic number.
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out << kPcapMagic << kPcapMajorVersion << kPcapMinorVersion << qint32{0} << quint32{0}
        << quint32{kSnapshotLength} << kLinkTypeRawIp;
    quint16 identification = 0;
    for (ObservedDatagram datagram : datagrams) {
        if (datagram.direction == ObservedDatagram::Direction::LeftOverDiscarded ||
            datagram.direction == ObservedDatagram::Direction::SetAside ||
            datagram.direction == ObservedDatagram::Direction::SendFailed) {
            continue; // not on the wire, or on it once already as received
        }
        if (datagram.localAddress == QHostAddress::AnyIPv4 ||
            datagram.localAddress == QHostAddress::Any) {
            datagram.localAddress = pcAddress;
        }
        const QByteArray packet = Ipv4UdpPacket(datagram, identification++);
        const auto length = static_cast<quint32>(packet.size());
        out << static_cast<quint32>(datagram.microsecondsSinceEpoch / 1000000)
            << static_cast<quint32>(datagram.microsecondsSinceEpoch % 1000000) << length << length;
        out.writeRawData(packet.constData(), static_cast<int>(packet.size()));
    }
    if (out.status() != QDataStream::Ok || !file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transport/datagram_observer.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <deque>
#include <map>
#include <optional>

// The recent history of the datagrams on both sockets, oldest first. It keeps at most
// kMaxDatagrams datagrams and kMaxBytes of datagram bytes: past either bound the oldest
// go, so a flood of large datagrams cannot grow the tool's memory. Recording is a copy
// into a deque and nothing else: whoever shows the log reads it at its own pace. Each
// answer is marked with the request last sent to its sender, whatever sent it (a command
// of the form, the signal watch, the plant view).
class TrafficLog : public DatagramObserver
{
public:
    static constexpr std::size_t kMaxDatagrams = 10000;
    static constexpr qint64 kMaxBytes = qint64{4} * 1024 * 1024;

    void datagramObserved(const ObservedDatagram &datagram) override;

    std::size_t size() const { return m_datagrams.size(); }
    const ObservedDatagram &at(std::size_t index) const { return m_datagrams.at(index); }
    // Every datagram kept, oldest first (the copies share their bytes with the log).
    QList<ObservedDatagram> datagrams() const { return {m_datagrams.begin(), m_datagrams.end()}; }
    qint64 byteCount() const { return m_byteCount; }
    // Every datagram ever recorded has a number, counting from 0; the oldest one kept is
    // firstNumber(), the newest firstNumber() + size() - 1. Clearing keeps the count.
    quint64 firstNumber() const { return m_recordedCount - m_datagrams.size(); }
    quint64 recordedCount() const { return m_recordedCount; }

    void clear();

private:
    std::deque<ObservedDatagram> m_datagrams;
    // The request last sent to each logger, by its IPv4 address.
    std::map<quint32, QByteArray> m_lastRequest;
    qint64 m_byteCount = 0;
    quint64 m_recordedCount = 0;
};

// What describes a datagram, field by field: date and time (ms), direction, socket, peer,
// length, payload text with non-printing bytes escaped, and the verdict of each piece of a
// set-socket datagram. Secrets are hidden.
QStringList DatagramFields(const ObservedDatagram &datagram);

// One line per datagram: its fields and the whole datagram in hexadecimal (secrets hidden),
// separated by tabs.
QString TrafficLogLine(const ObservedDatagram &datagram);

// Bytes as a hex dump: 16 bytes a line, offset, hexadecimal, printable ASCII.
QString HexDump(const QByteArray &bytes);

// The payload text, escaped: on the set socket every piece of the datagram (a frame's
// payload, or the bytes of a piece that is no whole frame), on the search socket the text
// between ESC and ENQ of every discovery answer; for a search-socket datagram without one
// (a probe) the whole datagram. A PIN or APN password, sent or in the answer to an APN
// read, shows as kHiddenSecret.
QString DatagramPayloadText(const ObservedDatagram &datagram);

// The verdict of each piece of a set-socket datagram, in the order of the payload text:
// "CRC good", "CRC bad", "stray byte(s)", "part of a frame"; empty on the search socket
// (its answers carry no CRC). A datagram the system refused is "not sent: " and why.
QString DatagramVerdict(const ObservedDatagram &datagram);

// The datagram's bytes with every byte of a PIN or APN password written as '*', for the
// hexadecimal views and the text export. A capture keeps the real bytes.
QByteArray ShownBytes(const ObservedDatagram &datagram);
// Whether a frame of the datagram holds a PIN or an APN password.
bool HoldsSecret(const ObservedDatagram &datagram);
// The datagram's length in bytes, or "hidden" when it holds a secret.
QString LengthText(const ObservedDatagram &datagram);

// "sent", "received", "send failed", "discarded: left over" or
// "from another address: set aside".
QString DirectionText(ObservedDatagram::Direction direction);
// "set" or "search".
QString EndpointText(ObservedDatagram::Endpoint endpoint);
// "address:port" of the peer, empty for a frame left over (its sender is not known).
QString PeerText(const ObservedDatagram &datagram);
// Local time of day with milliseconds, hh:mm:ss.zzz.
QString TimeText(const ObservedDatagram &datagram);
// Local date and time with milliseconds and the offset from UTC, yyyy-MM-dd hh:mm:ss.zzz +hh:mm.
QString DateTimeText(const ObservedDatagram &datagram);

// Writes the datagrams as text, one line each, with a header line, whole or not at all: a
// failed save leaves an earlier file of that name as it was. The reason of a failure.
std::optional<QString> SaveTrafficText(const QList<ObservedDatagram> &datagrams,
                                       const QString &path);

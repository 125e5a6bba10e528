#pragma once

#include "transport/datagram_observer.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <deque>
#include <optional>

// The recent history of the datagrams on both sockets, oldest first. It keeps at most
// kMaxDatagrams datagrams and kMaxBytes of datagram bytes: past either bound the oldest
// go, so a flood of large datagrams cannot grow the tool's memory. Recording is a copy
// into a deque and nothing else: whoever shows the log reads it at its own pace.
class TrafficLog : public DatagramObserver
{
public:
    static constexpr std::size_t kMaxDatagrams = 10000;
    static constexpr qint64 kMaxBytes = qint64{4} * 1024 * 1024;

    void datagramObserved(const ObservedDatagram &datagram) override;

    std::size_t size() const { return m_datagrams.size(); }
    const ObservedDatagram &at(std::size_t index) const { return m_datagrams.at(index); }
    qint64 byteCount() const { return m_byteCount; }
    // Every datagram ever recorded has a number, counting from 0; the oldest one kept is
    // firstNumber(), the newest firstNumber() + size() - 1. Clearing keeps the count.
    quint64 firstNumber() const { return m_recordedCount - m_datagrams.size(); }
    quint64 recordedCount() const { return m_recordedCount; }

    void clear();

private:
    std::deque<ObservedDatagram> m_datagrams;
    qint64 m_byteCount = 0;
    quint64 m_recordedCount = 0;
};

// What describes a datagram, field by field: time (ms), direction, socket, peer, length,
// payload text with non-printing bytes escaped, CRC verdict of set-socket frames.
QStringList DatagramFields(const ObservedDatagram &datagram);

// One line per datagram: its fields and the whole datagram in hexadecimal, separated by
// tabs.
QString TrafficLogLine(const ObservedDatagram &datagram);

// The datagram as a hex dump: 16 bytes a line, offset, hexadecimal, printable ASCII.
QString HexDump(const QByteArray &bytes);

// The payload text, escaped: on the set socket the payload of every frame the datagram
// holds, on the search socket the text between ESC and ENQ of every discovery answer;
// for a datagram without either (a probe, a frame cut short) the whole datagram.
QString DatagramPayloadText(const ObservedDatagram &datagram);

// "CRC good" or "CRC bad" for each frame of a set-socket datagram, "no frame" for a
// set-socket datagram without one, empty on the search socket (its answers carry no CRC).
QString DatagramCrcVerdict(const ObservedDatagram &datagram);

// "sent" or "received".
QString DirectionText(ObservedDatagram::Direction direction);
// "set" or "search".
QString EndpointText(ObservedDatagram::Endpoint endpoint);
// Local time of day with milliseconds, hh:mm:ss.zzz.
QString TimeText(const ObservedDatagram &datagram);

// Writes the log as text, one line per datagram, with a header line, whole or not at
// all: a failed save leaves an earlier file of that name as it was. The reason of a
// failure.
std::optional<QString> SaveTrafficText(const TrafficLog &log, const QString &path);

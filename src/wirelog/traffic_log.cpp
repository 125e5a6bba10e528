#include "traffic_log.h"

#include "protocol/frame_verdicts.h"

#include <QDateTime>
#include <QIODevice>
#include <QStringList>

namespace {

std::string_view AsBytes(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QString Latin1(const std::string &text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void TrafficLog::datagramObserved(const ObservedDatagram &datagram)
{
    while (!m_datagrams.empty() && (m_datagrams.size() >= kMaxDatagrams ||
                                    m_byteCount + datagram.bytes.size() > kMaxBytes)) {
        m_byteCount -= m_datagrams.front().bytes.size();
        m_datagrams.pop_front();
    }
    m_datagrams.push_back(datagram);
    m_byteCount += datagram.bytes.size();
    ++m_recordedCount;
}

void TrafficLog::clear()
{
    m_datagrams.clear();
    m_byteCount = 0;
}

QString DirectionText(ObservedDatagram::Direction direction)
{
    return direction == ObservedDatagram::Direction::Sent ? QStringLiteral("sent")
                                                          : QStringLiteral("received");
}

QString EndpointText(ObservedDatagram::Endpoint endpoint)
{
    return endpoint == ObservedDatagram::Endpoint::Set ? QStringLiteral("set")
                                                       : QStringLiteral("search");
}

QString TimeText(const ObservedDatagram &datagram)
{
    return QDateTime::fromMSecsSinceEpoch(datagram.microsecondsSinceEpoch / 1000)
        .toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString DatagramPayloadText(const ObservedDatagram &datagram)
{
    QStringList payloads;
    if (datagram.endpoint == ObservedDatagram::Endpoint::Set) {
        for (const protocol::InspectedFrame &frame :
             protocol::InspectFrames(AsBytes(datagram.bytes))) {
            payloads.append(Latin1(protocol::EscapeBytes(frame.payload)));
        }
    } else {
        for (const std::string &candidate : protocol::CutCandidates(AsBytes(datagram.bytes))) {
            const std::string_view text(candidate);
            payloads.append(Latin1(protocol::EscapeBytes(text.substr(1, text.size() - 2))));
        }
    }
    if (payloads.isEmpty()) {
        return Latin1(protocol::EscapeBytes(AsBytes(datagram.bytes)));
    }
    return payloads.join(QStringLiteral(" | "));
}

QString DatagramCrcVerdict(const ObservedDatagram &datagram)
{
    if (datagram.endpoint != ObservedDatagram::Endpoint::Set) {
        return {};
    }
    const std::vector<protocol::InspectedFrame> frames =
        protocol::InspectFrames(AsBytes(datagram.bytes));
    if (frames.empty()) {
        return QStringLiteral("no frame");
    }
    QStringList verdicts;
    for (const protocol::InspectedFrame &frame : frames) {
        verdicts.append(frame.verdict == protocol::CrcVerdict::Good ? QStringLiteral("CRC good")
                                                                    : QStringLiteral("CRC bad"));
    }
    return verdicts.join(QStringLiteral(", "));
}

QString TrafficLogLine(const ObservedDatagram &datagram)
{
    return QStringList{TimeText(datagram),
                       DirectionText(datagram.direction),
                       EndpointText(datagram.endpoint),
                       datagram.peerAddress.toString() + QLatin1Char(':') +
                           QString::number(datagram.peerPort),
                       QString::number(datagram.bytes.size()),
                       DatagramPayloadText(datagram),
                       DatagramCrcVerdict(datagram),
                       QString::fromLatin1(datagram.bytes.toHex(' ').toUpper())}
        .join(QLatin1Char('\t'));
}

bool WriteTrafficText(const TrafficLog &log, QIODevice &device)
{
    const QString header =
        QStringLiteral("Time\tDirection\tSocket\tPeer\tLength\tPayload\tCRC\tBytes\n");
    if (device.write(header.toUtf8()) < 0) {
        return false;
    }
    for (std::size_t index = 0; index < log.size(); ++index) {
        if (device.write((TrafficLogLine(log.at(index)) + QLatin1Char('\n')).toUtf8()) < 0) {
            return false;
        }
    }
    return true;
}

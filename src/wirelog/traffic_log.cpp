#include "traffic_log.h"

#include "protocol/frame_verdicts.h"

#include <QDateTime>
#include <QSaveFile>
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

QStringList DatagramFields(const ObservedDatagram &datagram)
{
    return {TimeText(datagram),
            DirectionText(datagram.direction),
            EndpointText(datagram.endpoint),
            datagram.peerAddress.toString() + QLatin1Char(':') + QString::number(datagram.peerPort),
            QString::number(datagram.bytes.size()),
            DatagramPayloadText(datagram),
            DatagramCrcVerdict(datagram)};
}

QString TrafficLogLine(const ObservedDatagram &datagram)
{
    QStringList fields = DatagramFields(datagram);
    fields.append(QString::fromLatin1(datagram.bytes.toHex(' ').toUpper()));
    return fields.join(QLatin1Char('\t'));
}

QString HexDump(const QByteArray &bytes)
{
    constexpr int kBytesPerLine = 16;
    QStringList lines;
    for (qsizetype offset = 0; offset < bytes.size(); offset += kBytesPerLine) {
        const QByteArray chunk = bytes.mid(offset, kBytesPerLine);
        QString hex = QString::fromLatin1(chunk.toHex(' ').toUpper());
        hex = hex.leftJustified(kBytesPerLine * 3 - 1, QLatin1Char(' '));
        QString printable;
        for (const char byte : chunk) {
            const auto value = static_cast<unsigned char>(byte);
            printable += value >= 0x20 && value < 0x7F ? QLatin1Char(byte) : QLatin1Char('.');
        }
        lines.append(
            QStringLiteral("%1  %2  %3").arg(offset, 4, 16, QLatin1Char('0')).arg(hex, printable));
    }
    return lines.join(QLatin1Char('\n'));
}

std::optional<QString> SaveTrafficText(const TrafficLog &log, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return file.errorString();
    }
    file.write("Time\tDirection\tSocket\tPeer\tLength\tPayload\tCRC\tBytes\n");
    for (std::size_t index = 0; index < log.size(); ++index) {
        file.write((TrafficLogLine(log.at(index)) + QLatin1Char('\n')).toUtf8());
    }
    // A failed write makes the commit fail, and the file is left as it was.
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

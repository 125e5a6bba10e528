// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic_log.h"

#include "protocol/frame_verdicts.h"

#include <QDateTime>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cstdlib>

namespace {

std::string_view AsBytes(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QString Latin1(const std::string &text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsFrame(const protocol::DatagramPiece &piece)
{
    return piece.verdict == protocol::PieceVerdict::CrcGood ||
           piece.verdict == protocol::PieceVerdict::CrcBad ||
           piece.verdict == protocol::PieceVerdict::CrcGoodLostToStrayEsc;
}

// The secret a frame of the datagram holds: a PIN or APN password it sends, or the
// password in the answer to an APN read.
std::optional<protocol::SecretRange> SecretOf(const ObservedDatagram &datagram,
                                              const protocol::DatagramPiece &piece)
{
    if (!IsFrame(piece)) {
        return std::nullopt;
    }
    if (datagram.direction == ObservedDatagram::Direction::Received ||
        datagram.direction == ObservedDatagram::Direction::LeftOverDiscarded) {
        constexpr qsizetype kFrameOverhead = 6; // ESC, four CRC characters, ENQ
        const QByteArray &request = datagram.answeredRequest;
        return request.size() < kFrameOverhead
                   ? std::nullopt
                   : protocol::FindAnswerSecret(
                         AsBytes(request).substr(1, std::size_t(request.size() - kFrameOverhead)),
                         piece.payload);
    }
    return protocol::FindSecret(piece.payload);
}

// The payload with its PIN or APN password, if it holds one, replaced.
std::string HideSecret(const ObservedDatagram &datagram, const protocol::DatagramPiece &piece)
{
    const std::string &payload = piece.payload;
    const auto secret = SecretOf(datagram, piece);
    if (!secret || secret->begin == secret->end) {
        return payload;
    }
    return payload.substr(0, secret->begin) + std::string(protocol::kHiddenSecret) +
           payload.substr(secret->end);
}

QString VerdictText(const protocol::DatagramPiece &piece)
{
    switch (piece.verdict) {
    case protocol::PieceVerdict::CrcGood:
        return QStringLiteral("CRC good");
    case protocol::PieceVerdict::CrcBad:
        return QStringLiteral("CRC bad");
    case protocol::PieceVerdict::CrcGoodLostToStrayEsc:
        return QStringLiteral("CRC good, dropped with the stray byte");
    case protocol::PieceVerdict::StrayBytes:
        return piece.bytes.size() == 1 ? QStringLiteral("stray byte")
                                       : QStringLiteral("%1 stray bytes").arg(piece.bytes.size());
    case protocol::PieceVerdict::PartOfFrame:
        return QStringLiteral("part of a frame");
    }
    return {};
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
    ObservedDatagram &recorded = m_datagrams.back();
    if (recorded.endpoint == ObservedDatagram::Endpoint::Set) {
        const quint32 peer = recorded.peerAddress.toIPv4Address();
        // The frame is kept whole (its bytes are shared, not copied); its payload is cut
        // out only when the answer is shown.
        if (recorded.direction == ObservedDatagram::Direction::Sent) {
            m_lastRequest[peer] = recorded.bytes;
        } else if (recorded.direction == ObservedDatagram::Direction::Received ||
                   recorded.direction == ObservedDatagram::Direction::LeftOverDiscarded) {
            // A discarded frame answered the request last sent to the logger that left it.
            const auto asked = m_lastRequest.find(
                recorded.direction == ObservedDatagram::Direction::Received
                    ? peer
                    : recorded.leftOverFrom.toIPv4Address());
            if (asked != m_lastRequest.end()) {
                recorded.answeredRequest = asked->second;
            }
        }
    }
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
    switch (direction) {
    case ObservedDatagram::Direction::Sent:
        return QStringLiteral("sent");
    case ObservedDatagram::Direction::Received:
        return QStringLiteral("received");
    case ObservedDatagram::Direction::SendFailed:
        return QStringLiteral("send failed");
    case ObservedDatagram::Direction::SetAside:
        return QStringLiteral("from another address: set aside");
    case ObservedDatagram::Direction::LeftOverDiscarded:
        break;
    }
    return QStringLiteral("discarded: left over");
}

QString EndpointText(ObservedDatagram::Endpoint endpoint)
{
    return endpoint == ObservedDatagram::Endpoint::Set ? QStringLiteral("set")
                                                       : QStringLiteral("search");
}

QString PeerText(const ObservedDatagram &datagram)
{
    if (datagram.peerAddress.isNull()) {
        return {};
    }
    return datagram.peerAddress.toString() + QLatin1Char(':') + QString::number(datagram.peerPort);
}

QString TimeText(const ObservedDatagram &datagram)
{
    return QDateTime::fromMSecsSinceEpoch(datagram.microsecondsSinceEpoch / 1000)
        .toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString DateTimeText(const ObservedDatagram &datagram)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(datagram.microsecondsSinceEpoch / 1000);
    const int offsetMinutes = local.offsetFromUtc() / 60;
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) +
           (offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(std::abs(offsetMinutes) / 60, 2, 10, QLatin1Char('0'))
               .arg(std::abs(offsetMinutes) % 60, 2, 10, QLatin1Char('0'));
}

QString DatagramPayloadText(const ObservedDatagram &datagram)
{
    QStringList payloads;
    if (datagram.endpoint == ObservedDatagram::Endpoint::Set) {
        for (const protocol::DatagramPiece &piece :
             protocol::InspectDatagram(AsBytes(datagram.bytes))) {
            payloads.append(IsFrame(piece)
                                ? Latin1(protocol::EscapeBytes(HideSecret(datagram, piece)))
                                : Latin1(protocol::EscapeBytes(piece.bytes)));
        }
    } else {
        for (const std::string &candidate : protocol::CutCandidates(AsBytes(datagram.bytes))) {
            const std::string_view text(candidate);
            payloads.append(Latin1(protocol::EscapeBytes(text.substr(1, text.size() - 2))));
        }
        if (payloads.isEmpty()) {
            return Latin1(protocol::EscapeBytes(AsBytes(datagram.bytes)));
        }
    }
    return payloads.join(QStringLiteral(" | "));
}

QString DatagramVerdict(const ObservedDatagram &datagram)
{
    if (datagram.direction == ObservedDatagram::Direction::SendFailed) {
        return QStringLiteral("not sent: ") + datagram.failure;
    }
    if (datagram.endpoint != ObservedDatagram::Endpoint::Set) {
        return {};
    }
    QStringList verdicts;
    for (const protocol::DatagramPiece &piece :
         protocol::InspectDatagram(AsBytes(datagram.bytes))) {
        verdicts.append(VerdictText(piece));
    }
    return verdicts.join(QStringLiteral(", "));
}

QByteArray ShownBytes(const ObservedDatagram &datagram)
{
    if (datagram.endpoint != ObservedDatagram::Endpoint::Set) {
        return datagram.bytes;
    }
    QByteArray shown;
    for (const protocol::DatagramPiece &piece :
         protocol::InspectDatagram(AsBytes(datagram.bytes))) {
        // A secret's frame shows neither its length nor its CRC: either would narrow a
        // PIN down to a few candidates.
        const auto secret = SecretOf(datagram, piece);
        const std::string &bytes =
            secret ? protocol::FrameWithSecretHidden(piece.payload, *secret) : piece.bytes;
        shown.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return shown;
}

bool HoldsSecret(const ObservedDatagram &datagram)
{
    if (datagram.endpoint != ObservedDatagram::Endpoint::Set) {
        return false;
    }
    const std::vector<protocol::DatagramPiece> pieces =
        protocol::InspectDatagram(AsBytes(datagram.bytes));
    return std::any_of(pieces.begin(), pieces.end(), [&datagram](const auto &piece) {
        return SecretOf(datagram, piece).has_value();
    });
}

QString LengthText(const ObservedDatagram &datagram)
{
    return HoldsSecret(datagram) ? QStringLiteral("hidden")
                                 : QString::number(datagram.bytes.size());
}

QStringList DatagramFields(const ObservedDatagram &datagram)
{
    return {DateTimeText(datagram),
            DirectionText(datagram.direction),
            EndpointText(datagram.endpoint),
            PeerText(datagram),
            LengthText(datagram),
            DatagramPayloadText(datagram),
            DatagramVerdict(datagram)};
}

QString TrafficLogLine(const ObservedDatagram &datagram)
{
    QStringList fields = DatagramFields(datagram);
    fields.append(QString::fromLatin1(ShownBytes(datagram).toHex(' ').toUpper()));
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

std::optional<QString> SaveTrafficText(const QList<ObservedDatagram> &datagrams,
                                       const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return file.errorString();
    }
    file.write("Time\tDirection\tSocket\tPeer\tLength\tPayload\tVerdict\tBytes\n");
    for (const ObservedDatagram &datagram : datagrams) {
        file.write((TrafficLogLine(datagram) + QLatin1Char('\n')).toUtf8());
    }
    // A failed write makes the commit fail, and the file is left as it was.
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "console_output.h"

#include "protocol/frame_verdicts.h"

#include <QElapsedTimer>

#include <chrono>
#include <memory>

namespace cli {

int PrintRefusal(Console &console, const QString &verbName, const Refusal &refusal)
{
    console.err << "tarnwick-cli " << verbName << ": " << refusal.message << '\n';
    return kBadUsage;
}

int PrintOutcomes(Console &console, const std::vector<fleet::LoggerOutcome> &outcomes,
                  const QStringList &keys, Format format, Secrets secrets)
{
    console.out << FormatOutcomes(outcomes, keys, format, secrets);
    console.out.flush();
    int failed = 0;
    for (const fleet::LoggerOutcome &outcome : outcomes) {
        if (!outcome.succeeded()) {
            ++failed;
            console.err << QStringLiteral("%1: %2\n")
                               .arg(outcome.address.toString(),
                                    ForTerminal(outcome.failure->message));
        }
    }
    if (failed > 0) {
        console.err << QStringLiteral("%1 of %2 loggers failed\n").arg(failed).arg(outcomes.size());
    }
    return failed == 0 ? kAllSucceeded : kSomeFailed;
}

ProgressLine::ProgressLine(Console &console, int total)
    : m_console(console), m_total(total), m_clock(console.progressClock)
{
    if (!m_clock) {
        auto clock = std::make_shared<QElapsedTimer>();
        clock->start();
        m_clock = [clock] { return clock->elapsed(); };
    }
    m_progress.total = total;
    m_pace.setInterval(console.progressPace);
    QObject::connect(&m_pace, &QTimer::timeout, &m_pace, [this] { draw(); });
    m_pace.start();
}

void ProgressLine::loggerStarted()
{
    ++m_started;
}

void ProgressLine::loggerFinished(const fleet::RunProgress &progress)
{
    ++m_finished;
    m_progress = progress;
    draw();
    if (progress.done == progress.total) {
        end();
    }
}

void ProgressLine::end()
{
    m_pace.stop();
    if (!m_ended && m_width > 0) {
        m_console.err << '\n';
        m_console.err.flush();
    }
    m_ended = true;
}

void ProgressLine::draw()
{
    if (m_ended) {
        return;
    }
    QString line = QStringLiteral("%1/%2 loggers done, %3 under way, %4 failed, %5 s")
                       .arg(m_progress.done)
                       .arg(m_total)
                       .arg(m_started - m_finished)
                       .arg(m_progress.failed)
                       .arg(static_cast<double>(m_clock()) / 1000.0, 0, 'f', 1);
    const qsizetype width = line.size();
    line = line.leftJustified(m_width);
    m_width = width;
    m_console.err << '\r' << line;
    m_console.err.flush();
}

TracePrinter::TracePrinter(Console &console, Secrets secrets)
    : m_console(console), m_secrets(secrets),
      m_startMicroseconds(std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count())
{
}

QByteArray TracePrinter::shownBytes(const ObservedDatagram &datagram)
{
    if (datagram.endpoint != ObservedDatagram::Endpoint::Set) {
        return datagram.bytes;
    }
    const bool sent = datagram.direction == ObservedDatagram::Direction::Sent;
    // A discarded frame was received too: an answer whose secret is hidden alike.
    const bool leftOver = datagram.direction == ObservedDatagram::Direction::LeftOverDiscarded;
    const bool received = datagram.direction == ObservedDatagram::Direction::Received || leftOver;
    const quint32 peer = (leftOver ? datagram.leftOverFrom : datagram.peerAddress).toIPv4Address();
    QByteArray shown;
    for (const protocol::DatagramPiece &piece : protocol::InspectDatagram(
             {datagram.bytes.constData(), static_cast<std::size_t>(datagram.bytes.size())})) {
        const bool frame = piece.verdict == protocol::PieceVerdict::CrcGood ||
                           piece.verdict == protocol::PieceVerdict::CrcBad ||
                           piece.verdict == protocol::PieceVerdict::CrcGoodLostToStrayEsc;
        std::optional<protocol::SecretRange> secret;
        if (frame && sent) {
            m_lastRequest[peer] = piece.payload;
            secret = protocol::FindSecret(piece.payload);
        } else if (frame && received) {
            secret = protocol::FindAnswerSecret(m_lastRequest[peer], piece.payload);
        }
        const std::string bytes = secret && m_secrets == Secrets::Hidden
                                      ? protocol::FrameWithSecretHidden(piece.payload, *secret)
                                      : piece.bytes;
        shown.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return shown;
}

void TracePrinter::datagramObserved(const ObservedDatagram &datagram)
{
    const QByteArray bytes = shownBytes(datagram);
    QString printable;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        printable += value >= 0x20 && value < 0x7F ? QChar::fromLatin1(byte) : QLatin1Char('.');
    }
    const bool sent = datagram.direction == ObservedDatagram::Direction::Sent;
    const bool notSent = datagram.direction == ObservedDatagram::Direction::SendFailed;
    const bool search = datagram.endpoint == ObservedDatagram::Endpoint::Search;
    const bool leftOver = datagram.direction == ObservedDatagram::Direction::LeftOverDiscarded;
    m_console.err << QStringLiteral("%1 %2 %3 %4 %5 |%6|%7\n")
                         .arg(static_cast<double>(datagram.microsecondsSinceEpoch -
                                                  m_startMicroseconds) /
                                  1e6,
                              8, 'f', 3)
                         .arg(notSent ? QLatin1String("-x")
                              : sent  ? QLatin1String("->")
                                      : QLatin1String("<-"))
                         .arg(search ? QLatin1String("search") : QLatin1String("command"))
                         .arg(datagram.peerAddress.toString())
                         .arg(QString::fromLatin1(bytes.toHex(' ')))
                         .arg(printable)
                         .arg(notSent    ? QStringLiteral(" not sent: %1").arg(datagram.failure)
                              : leftOver ? QStringLiteral(" discarded: left over from %1")
                                               .arg(datagram.leftOverFrom.toString())
                                         : QString());
    m_console.err.flush();
}

void TracePrinter::answerSetAside(const QHostAddress &logger, const std::string &payload)
{
    m_console.err << QStringLiteral("set aside: an answer from %1 beginning %2 is not the "
                                    "answer awaited\n")
                         .arg(logger.toString(), QString::fromLatin1(payload.substr(0, 3)));
    m_console.err.flush();
}

} // namespace cli

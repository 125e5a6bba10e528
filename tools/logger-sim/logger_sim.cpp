// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_sim.h"

#include <QNetworkDatagram>
#include <QTimer>

namespace {

constexpr char kEsc = '\x1B';
constexpr char kEnq = '\x05';

QByteArray ToBytes(const std::string &text)
{
    return {text.data(), static_cast<qsizetype>(text.size())};
}

// Bit by bit, as the logger firmware's reference does it.
unsigned ModbusCrc(const std::string &bytes)
{
    unsigned crc = 0xFFFF;
    for (const unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) != 0 ? (crc >> 1) ^ 0xA001U : crc >> 1;
        }
    }
    return crc;
}

} // namespace

LoggerSim::LoggerSim(const QHostAddress &address, quint16 commandPort, quint16 searchPort,
                     Identity identity, QObject *parent)
    : QObject(parent), m_address(address), m_requestedCommandPort(commandPort),
      m_requestedSearchPort(searchPort), m_identity(std::move(identity))
{
    connect(&m_commandSocket, &QUdpSocket::readyRead, this, &LoggerSim::readCommands);
    connect(&m_searchSocket, &QUdpSocket::readyRead, this, &LoggerSim::readProbes);
}

bool LoggerSim::start()
{
    return m_commandSocket.bind(m_address, m_requestedCommandPort,
                                QAbstractSocket::DontShareAddress) &&
           m_searchSocket.bind(m_address, m_requestedSearchPort, QAbstractSocket::DontShareAddress);
}

bool LoggerSim::moveTo(const QHostAddress &address)
{
    m_requestedCommandPort = commandPort();
    m_requestedSearchPort = searchPort();
    m_commandSocket.close();
    m_searchSocket.close();
    m_address = address;
    return start();
}

void LoggerSim::setCommandHandler(const std::string &code, CommandHandler handler)
{
    m_handlers[code] = std::move(handler);
}

void LoggerSim::setDiscoveryAnswer(std::optional<std::string> rawAnswer)
{
    m_discoveryAnswer = std::move(rawAnswer);
}

std::string LoggerSim::Crc(const std::string &payload)
{
    const unsigned crc = ModbusCrc(payload);
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X", crc & 0xFFU, crc >> 8);
    return text;
}

std::string LoggerSim::Frame(const std::string &payload)
{
    return kEsc + payload + Crc(payload) + kEnq;
}

void LoggerSim::send(QUdpSocket &socket, const std::string &bytes, const QHostAddress &to,
                     quint16 port)
{
    socket.writeDatagram(ToBytes(bytes), to, port);
    emit datagramSent(ToBytes(bytes), to);
}

void LoggerSim::sendFromCommandPort(const std::string &bytes, const QHostAddress &to, quint16 port)
{
    send(m_commandSocket, bytes, to, port);
}

void LoggerSim::sendFromSearchPort(const std::string &bytes, const QHostAddress &to, quint16 port)
{
    send(m_searchSocket, bytes, to, port);
}

void LoggerSim::readCommands()
{
    while (m_commandSocket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_commandSocket.receiveDatagram();
        if (m_misbehaviour.silent) {
            continue;
        }
        emit datagramReceived(datagram.data(), datagram.senderAddress());
        const std::string bytes = datagram.data().toStdString();
        // One request per datagram: ESC payload CRC ENQ.
        const std::size_t esc = bytes.find(kEsc);
        const std::size_t enq = bytes.find(kEnq, esc == std::string::npos ? 0 : esc);
        if (esc == std::string::npos || enq == std::string::npos || enq - esc < 5) {
            continue;
        }
        const std::string payload = bytes.substr(esc + 1, enq - esc - 5);
        if (bytes.substr(enq - 4, 4) != Crc(payload)) {
            continue;
        }
        m_requests.push_back(payload);
        handleRequest(payload, datagram.senderAddress(),
                      static_cast<quint16>(datagram.senderPort()));
    }
}

void LoggerSim::readProbes()
{
    static const std::string probe{'\xFF', '\x04', '\x03', '\xFB'};
    while (m_searchSocket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_searchSocket.receiveDatagram();
        if (m_misbehaviour.silent) {
            continue;
        }
        emit datagramReceived(datagram.data(), datagram.senderAddress());
        if (datagram.data().toStdString() != probe) {
            continue;
        }
        ++m_probes;
        if (m_probes <= m_misbehaviour.probesUnanswered) {
            continue;
        }
        const std::string answer =
            m_discoveryAnswer.value_or(kEsc + m_identity.serial + '#' + m_identity.version + kEnq);
        QUdpSocket &socket = m_misbehaviour.probeAnswerFrom
                                 ? otherAddressSocket(*m_misbehaviour.probeAnswerFrom)
                                 : m_searchSocket;
        send(socket, answer, datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
    }
}

void LoggerSim::handleRequest(const std::string &payload, const QHostAddress &from, quint16 port)
{
    const auto handler = m_handlers.find(payload.substr(0, 2));
    if (handler == m_handlers.end()) {
        return;
    }
    const std::optional<std::string> answer = handler->second(payload);
    if (!answer) {
        return;
    }
    if (m_misbehaviour.dropRate > 0.0 &&
        std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < m_misbehaviour.dropRate) {
        return;
    }
    int delayMs = m_misbehaviour.delayMs;
    if (m_misbehaviour.lateOnce && payload.starts_with(m_misbehaviour.lateOnce->command)) {
        delayMs = m_misbehaviour.lateOnce->delayMs;
        m_misbehaviour.lateOnce.reset();
    }
    if (delayMs > 0) {
        QTimer::singleShot(delayMs, this, [this, answer = *answer, from, port] {
            sendAnswer(answer, from, port);
        });
    } else {
        sendAnswer(*answer, from, port);
    }
}

std::string LoggerSim::framedWithFaults(const std::string &payload) const
{
    std::string crc = Crc(payload);
    if (m_misbehaviour.badCrc) {
        crc[0] = crc[0] == '0' ? '1' : '0';
    }
    if (m_misbehaviour.lowerCaseCrc) {
        for (char &digit : crc) {
            digit = static_cast<char>(std::tolower(static_cast<unsigned char>(digit)));
        }
    }
    return kEsc + payload + crc + kEnq;
}

QUdpSocket &LoggerSim::otherAddressSocket(const QHostAddress &address)
{
    if (!m_otherAddressSocket || m_otherAddressSocket->localAddress() != address) {
        m_otherAddressSocket = std::make_unique<QUdpSocket>();
        m_otherAddressSocket->bind(address, 0);
    }
    return *m_otherAddressSocket;
}

void LoggerSim::sendAnswer(const std::string &payload, const QHostAddress &to, quint16 port)
{
    QUdpSocket *socket = m_misbehaviour.answerFrom ? &otherAddressSocket(*m_misbehaviour.answerFrom)
                                                   : &m_commandSocket;
    const std::string frame = framedWithFaults(payload);
    std::string datagram = m_misbehaviour.garbageBefore + frame;
    if (m_misbehaviour.doubleFrame) {
        datagram += frame;
    }
    if (m_misbehaviour.splitFrame) {
        const std::size_t half = datagram.size() / 2;
        send(*socket, datagram.substr(0, half), to, port);
        send(*socket, datagram.substr(half), to, port);
        return;
    }
    send(*socket, datagram, to, port);
    if (m_misbehaviour.answerTwice) {
        send(*socket, datagram, to, port);
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

struct LoggerIdentity {
    std::string serial = "SIM0000001";
    std::string version = "V1.0";
};

// Ways to misbehave, applied to every command answer.
struct LoggerMisbehaviour {
    int delayMs = 0;                        // answer this late
    double dropRate = 0.0;                  // share of requests left unanswered, 0..1
    bool badCrc = false;                    // CRC digits that do not match the payload
    bool lowerCaseCrc = false;              // right CRC, written in lower case
    bool splitFrame = false;                // the answer over two datagrams
    bool doubleFrame = false;               // the answer twice in one datagram
    bool answerTwice = false;               // the answer twice, in two datagrams
    std::string garbageBefore;              // bytes sent in front of the frame
    std::optional<QHostAddress> answerFrom; // answer from another address
    // Answer the probe from another address, as every host of a network answers a probe
    // sent to its broadcast address.
    std::optional<QHostAddress> probeAnswerFrom;
    int probesUnanswered = 0; // the first probes received go unanswered
    // Hears nothing at all, neither probe nor command: a logger not powered up yet.
    bool silent = false;
    // Answer the next request with this command code this late, once.
    struct LateAnswer {
        std::string command;
        int delayMs = 0;
    };
    std::optional<LateAnswer> lateOnce;
};

// A PV data logger as the tool meets it on the LAN: it answers the discovery probe on
// its search port and framed commands on its command port, and can misbehave on
// request. Its frame handling is its own, written apart from the tool's codecs, so
// that the two check each other.
class LoggerSim : public QObject
{
    Q_OBJECT

public:
    using Identity = LoggerIdentity;
    using Misbehaviour = LoggerMisbehaviour;

    // Returns the answer payload for a request payload, or nothing to stay silent.
    using CommandHandler = std::function<std::optional<std::string>(const std::string &request)>;

    LoggerSim(const QHostAddress &address, quint16 commandPort, quint16 searchPort,
              Identity identity = {}, QObject *parent = nullptr);

    // Binds both ports (0 picks a free one). False when either bind fails.
    bool start();
    // Binds both ports again at another address, as a logger does once its address has
    // changed. False when either bind fails.
    bool moveTo(const QHostAddress &address);

    QHostAddress address() const { return m_address; }
    quint16 commandPort() const { return m_commandSocket.localPort(); }
    quint16 searchPort() const { return m_searchSocket.localPort(); }

    Identity &identity() { return m_identity; }
    Misbehaviour &misbehaviour() { return m_misbehaviour; }

    // Handlers are looked up by the first two characters of the request payload.
    void setCommandHandler(const std::string &code, CommandHandler handler);
    bool handles(const std::string &code) const { return m_handlers.contains(code); }

    // Replaces the discovery answer (ESC serial # version ENQ) by these raw bytes.
    void setDiscoveryAnswer(std::optional<std::string> rawAnswer);

    // Sends raw bytes from the command or the search port, as a hostile peer would.
    void sendFromCommandPort(const std::string &bytes, const QHostAddress &to, quint16 port);
    void sendFromSearchPort(const std::string &bytes, const QHostAddress &to, quint16 port);

    // Every valid request payload received, in order.
    const std::vector<std::string> &requests() const { return m_requests; }
    int probesReceived() const { return m_probes; }
    void setSeed(unsigned seed) { m_random.seed(seed); }

    static std::string Frame(const std::string &payload);
    static std::string Crc(const std::string &payload);

signals:
    // Every datagram that arrives on either port and every one the logger sends.
    void datagramReceived(const QByteArray &bytes, const QHostAddress &from);
    void datagramSent(const QByteArray &bytes, const QHostAddress &to);

private:
    void readCommands();
    void readProbes();
    void handleRequest(const std::string &payload, const QHostAddress &from, quint16 port);
    void sendAnswer(const std::string &payload, const QHostAddress &to, quint16 port);
    std::string framedWithFaults(const std::string &payload) const;
    void send(QUdpSocket &socket, const std::string &bytes, const QHostAddress &to, quint16 port);
    // A socket bound to another address of this host, made when first needed.
    QUdpSocket &otherAddressSocket(const QHostAddress &address);

    QHostAddress m_address;
    quint16 m_requestedCommandPort;
    quint16 m_requestedSearchPort;
    Identity m_identity;
    Misbehaviour m_misbehaviour;
    QUdpSocket m_commandSocket;
    QUdpSocket m_searchSocket;
    std::unique_ptr<QUdpSocket> m_otherAddressSocket;
    std::map<std::string, CommandHandler> m_handlers;
    std::optional<std::string> m_discoveryAnswer;
    std::vector<std::string> m_requests;
    int m_probes = 0;
    std::mt19937 m_random{12345};
};

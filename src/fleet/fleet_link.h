#pragma once

#include "protocol/receive_buffer.h"
#include "transport/settings.h"
#include "transport/udp_endpoints.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

namespace fleet {

// One datagram as it went out or came in, for the trace.
struct TracedDatagram {
    qint64 elapsedMs = 0;
    bool sent = false;
    bool searchPort = false;
    QHostAddress peer;
    QByteArray bytes;
};

// The two sockets shared by every logger of a run: requests go out on the set socket and
// each answer is handed to the logger it came from, matched by sender address; probes and
// their answers use the search socket.
class FleetLink : public QObject
{
    Q_OBJECT

public:
    using AnswerSink = std::function<void(const std::string &payload)>;
    using DiscoverySink =
        std::function<void(const std::string &candidate, const QHostAddress &sender)>;
    using TraceSink = std::function<void(const TracedDatagram &)>;

    explicit FleetLink(const NetworkSettings &settings, QObject *parent = nullptr);

    // Opens both sockets. On failure, the message that says which port is taken.
    std::optional<QString> open();

    void setTrace(TraceSink trace) { m_trace = std::move(trace); }
    void setDiscoverySink(DiscoverySink sink) { m_discoverySink = std::move(sink); }

    // Answers from this address go to the sink until it is detached; answers from an
    // address nobody attached are dropped.
    void attach(const QHostAddress &logger, AnswerSink sink);
    void detach(const QHostAddress &logger);

    void sendRequest(const QHostAddress &logger, const std::string &payload);
    void sendProbe(const QHostAddress &host);

private:
    struct Peer {
        protocol::ReceiveBuffer buffer;
        AnswerSink sink;
    };

    void readSetSocket();
    void readSearchSocket();
    void trace(bool sent, bool searchPort, const QHostAddress &peer, const QByteArray &bytes);

    NetworkSettings m_settings;
    UdpEndpoints m_endpoints;
    std::unordered_map<quint32, Peer> m_peers;
    protocol::ReceiveBuffer m_searchBuffer;
    DiscoverySink m_discoverySink;
    TraceSink m_trace;
    QElapsedTimer m_clock;
};

} // namespace fleet

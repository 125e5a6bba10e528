// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/crc.h"
#include "protocol/frame.h"
#include "protocol/receive_buffer.h"
#include "transport/command_exchange.h"
#include "transport/logger_client.h"
#include "transport/notifier.h"
#include "wirelog/traffic_log.h"
#include "transport/udp_endpoints.h"
#include "wire_text/wire_text.h"

#include <benchmark/benchmark.h>
#include <boost/crc.hpp>

#include <QCoreApplication>

#include <array>
#include <chrono>
#include <string>

namespace {

std::string Payload(std::size_t size)
{
    std::string payload;
    for (std::size_t i = 0; i < size; ++i) {
        payload += static_cast<char>('A' + i % 26);
    }
    return payload;
}

// One 50-byte answer frame: ESC, "R" and 43 letters, four CRC characters, ENQ.
std::string AnswerFrame()
{
    std::string payload = "R";
    payload += Payload(43);
    return protocol::BuildFrame(payload);
}

void BM_CrcText(benchmark::State &state)
{
    const std::string payload = Payload(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(protocol::CrcText(payload));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// The same CRC (CRC-16/MODBUS) from Boost, with the same four-character text around it.
void BM_BoostCrcText(benchmark::State &state)
{
    const std::string payload = Payload(static_cast<std::size_t>(state.range(0)));
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (auto _ : state) {
        boost::crc_optimal<16, 0x8005, 0xFFFF, 0, true, true> crc;
        crc.process_bytes(payload.data(), payload.size());
        const unsigned value = crc.checksum();
        const std::string text{kHex[(value >> 4) & 0xF], kHex[value & 0xF],
                               kHex[(value >> 12) & 0xF], kHex[(value >> 8) & 0xF]};
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Cutting and checking a stream of 50-byte answer frames, 64 frames per chunk.
void BM_CutAndDecode(benchmark::State &state)
{
    const std::string frame = AnswerFrame();
    std::string chunk;
    for (int i = 0; i < 64; ++i) {
        chunk += frame;
    }
    protocol::ReceiveBuffer buffer;
    int64_t frames = 0;
    for (auto _ : state) {
        buffer.append(chunk);
        while (auto candidate = buffer.cutNextCandidate()) {
            const protocol::DecodedFrame decoded = protocol::DecodeFrame(*candidate);
            benchmark::DoNotOptimize(decoded.valid);
            ++frames;
        }
    }
    state.SetItemsProcessed(frames);  // items are frames: items_per_second is frames per second
}

// The exchange's view of a window that is never shown: dispatching needs none of it.
class NoWindow : public ExchangeWindow
{
public:
    void lockControls() override {}
    void unlockControls() override {}
    std::optional<QString> selectedLoggerAddress() const override { return std::nullopt; }
};

class SilentNotifier : public Notifier
{
public:
    void inform(const QString &) override {}
    void warn(const QString &) override {}
    bool ask(const QString &) override { return false; }
    void reportError(const QString &) override {}
};

// Every code of the window's dispatch table, the chain codes included.
constexpr std::array<const char *, 31> kDispatchCodes{
    "ER", "EW", "GW", "GR", "RW",    "RR",  "PW", "PC",  "AW",   "AR",    "CW",
    "CR", "R3", "R4", "RC", "MR",    "DA",  "DN", "DR",  "DE",   "SR",    "GON1",
    "GOFF1", "SW1", "SW", "SW2", "GON2", "GOFF2", "QR", "QW", "IF"};

// What the set-socket path does with each datagram, one 50-byte answer frame per
// datagram: cut at the first zero byte, append to the receive buffer, cut the candidate,
// check its CRC and its leading "R", and hand it to the real CommandExchange, which looks
// the current command up in its table of answer handlers and runs the handler. The
// handlers only count, so what is measured is the path up to the handler.
void BM_CutDecodeDispatch(benchmark::State &state)
{
    NoWindow window;
    SilentNotifier notifier;
    UdpEndpoints endpoints(NetworkSettings{});
    LoggerClient client(endpoints);
    CommandExchange exchange(client, window, notifier, Timing{});
    int64_t handled = 0;
    for (const char *code : kDispatchCodes) {
        exchange.registerAnswerHandler(code, [&handled](const std::string &payload) {
            benchmark::DoNotOptimize(payload.data());
            ++handled;
        });
    }
    exchange.setCurrentCommand("IF");

    const std::string frame = AnswerFrame();
    protocol::ReceiveBuffer buffer;
    int64_t frames = 0;
    for (auto _ : state) {
        std::string_view datagram = frame;
        const std::size_t zero = datagram.find('\0');
        if (zero != std::string_view::npos) {
            datagram = datagram.substr(0, zero);
        }
        buffer.append(datagram);
        if (buffer.holdsEscAndEnq()) {
            while (const auto candidate = buffer.cutNextCandidate()) {
                const protocol::DecodedFrame decoded = protocol::DecodeFrame(*candidate);
                if (decoded.valid && decoded.payload.starts_with('R') &&
                    exchange.dispatchAnswer(decoded.payload)) {
                    break;
                }
            }
        }
        ++frames;
    }
    if (handled != frames) {
        state.SkipWithError("a frame was not dispatched");
    }
    state.SetItemsProcessed(frames);  // items are frames: items_per_second is frames per second
}

// What the traffic log adds to each datagram once it holds its 10,000: the record the
// endpoints fill (time, addresses, ports, a copy of the bytes) and its place in the log,
// the oldest record going.
void BM_TrafficLogRecord(benchmark::State &state)
{
    const QByteArray bytes = QByteArray::fromStdString(AnswerFrame());
    const QHostAddress local(QStringLiteral("0.0.0.0"));
    const QHostAddress peer(QStringLiteral("192.0.2.11"));
    TrafficLog log;
    const auto record = [&] {
        ObservedDatagram datagram;
        datagram.microsecondsSinceEpoch = std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::system_clock::now().time_since_epoch())
                                              .count();
        datagram.direction = ObservedDatagram::Direction::Received;
        datagram.localAddress = local;
        datagram.localPort = 8000;
        datagram.peerAddress = QHostAddress(peer.toIPv4Address());
        datagram.peerPort = 8000;
        datagram.bytes = QByteArray(bytes.constData(), bytes.size());
        log.datagramObserved(datagram);
    };
    for (std::size_t index = 0; index < TrafficLog::kMaxDatagrams; ++index) {
        record();
    }
    for (auto _ : state) {
        record();
    }
    state.SetItemsProcessed(state.iterations());
}

// A 10,230-byte answer none of whose characters the code page holds, shown as text: in
// GBK lead bytes each followed by a byte that cannot end their character, in UTF-8
// continuation bytes without a lead byte. Every byte but the GBK blanks is kept escaped.
std::string UndecodableAnswer(const QString &codePage)
{
    constexpr std::size_t kAnswerBytes = 10230;
    std::string answer;
    for (std::size_t index = 0; answer.size() < kAnswerBytes; ++index) {
        if (codePage == QLatin1String("GBK")) {
            answer += static_cast<char>(0x81 + index % 0x7E);
            answer += ' ';
        } else {
            answer += static_cast<char>(0x80 + index % 0x40);
        }
    }
    return answer;
}

void BM_FromWireUndecodable(benchmark::State &state, const QString &codePage)
{
    if (!wire_text::SelectCodePage(codePage)) {
        state.SkipWithError("this build cannot convert the code page");
        return;
    }
    const std::string answer = UndecodableAnswer(codePage);
    for (auto _ : state) {
        benchmark::DoNotOptimize(FromWire(answer));
    }
    wire_text::SelectCodePage(QString::fromLatin1(wire_text::kSystemCodePage));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(answer.size()));
}

}  // namespace

BENCHMARK_CAPTURE(BM_FromWireUndecodable, GBK, QStringLiteral("GBK"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FromWireUndecodable, UTF8, QStringLiteral("UTF-8"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CrcText)->Arg(16)->Arg(64)->Arg(1024);
BENCHMARK(BM_BoostCrcText)->Arg(16)->Arg(64)->Arg(1024);
BENCHMARK(BM_CutAndDecode);
BENCHMARK(BM_CutDecodeDispatch);
BENCHMARK(BM_TrafficLogRecord);

int main(int argc, char **argv)
{
    // The exchange and its sockets are Qt objects; they want an application object.
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "protocol/crc.h"
#include "protocol/frame.h"
#include "protocol/receive_buffer.h"

#include <benchmark/benchmark.h>
#include <boost/crc.hpp>

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
        const std::string text{kHex[(value >> 4) & 0xF], kHex[value & 0xF], kHex[(value >> 12) & 0xF],
                               kHex[(value >> 8) & 0xF]};
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Cutting and checking a stream of 50-byte answer frames, 64 frames per chunk.
void BM_CutAndDecode(benchmark::State &state)
{
    const std::string frame = protocol::BuildFrame("R" + Payload(43));
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
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_CrcText)->Arg(16)->Arg(64)->Arg(1024);
BENCHMARK(BM_BoostCrcText)->Arg(16)->Arg(64)->Arg(1024);
BENCHMARK(BM_CutAndDecode);

BENCHMARK_MAIN();

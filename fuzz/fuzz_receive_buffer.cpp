// SPDX-License-Identifier: GPL-3.0-or-later
// The frame cutter fed a stream in chunks, cutting a few candidates after each chunk as
// the receive path does (one answer per datagram), then everything left at the end.

#include "fuzz_check.h"
#include "protocol/frame.h"
#include "protocol/receive_buffer.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using protocol::kEnq;
using protocol::kEsc;

// Cuts the whole stream at once, written apart from the buffer: every ENQ closes a
// candidate from the first ESC since the previous cut, or, with none, only moves the
// cut past itself. Where the chunks fall must not change what comes out.
std::vector<std::string> CutWholeStream(const std::string &stream)
{
    std::vector<std::string> candidates;
    std::size_t from = 0;
    for (std::size_t at = 0; at < stream.size(); ++at) {
        if (stream[at] != kEnq) {
            continue;
        }
        const std::size_t esc = stream.find(kEsc, from);
        if (esc != std::string::npos && esc < at) {
            candidates.push_back(stream.substr(esc, at - esc + 1));
        }
        from = at + 1;
    }
    return candidates;
}

std::size_t Count(const std::string &text, char c)
{
    std::size_t count = 0;
    for (const char byte : text) {
        count += byte == c ? 1 : 0;
    }
    return count;
}

// Cuts one candidate; checks its shape and that the buffer shrank by at least its size.
bool CutOne(protocol::ReceiveBuffer &buffer, std::vector<std::string> &candidates)
{
    const std::size_t before = buffer.contents().size();
    const auto candidate = buffer.cutNextCandidate();
    FUZZ_CHECK(buffer.contents().size() <= buffer.capacity());
    if (!candidate) {
        // Nothing complete: no ENQ is left, and a frame still open is kept.
        FUZZ_CHECK(buffer.contents().find(kEnq) == std::string::npos);
        return false;
    }
    FUZZ_CHECK(candidate->size() >= 2);
    FUZZ_CHECK(candidate->front() == kEsc);
    FUZZ_CHECK(candidate->back() == kEnq);
    FUZZ_CHECK(Count(*candidate, kEnq) == 1);
    FUZZ_CHECK(buffer.contents().size() + candidate->size() <= before);
    candidates.push_back(*candidate);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    // A small capacity makes the trimming reachable; the default one makes the
    // comparison with the whole-stream cut exact.
    const bool smallCapacity = input.ConsumeBool();
    const std::size_t capacity = smallCapacity ? input.ConsumeIntegralInRange<std::size_t>(1, 64)
                                               : protocol::ReceiveBuffer::kDefaultCapacity;
    protocol::ReceiveBuffer buffer(capacity);

    std::string stream;
    std::vector<std::string> candidates;
    while (input.remaining_bytes() > 0) {
        const std::string chunk =
            input.ConsumeRandomLengthString(input.ConsumeIntegralInRange<std::size_t>(1, 300));
        const int cuts = input.ConsumeIntegralInRange(0, 3);
        stream += chunk;
        buffer.append(chunk);
        FUZZ_CHECK(buffer.contents().size() <= capacity);
        for (int cut = 0; cut < cuts && CutOne(buffer, candidates); ++cut) {
        }
    }
    // Every cut removes at least two bytes, so draining ends within this many cuts.
    const std::size_t mostCuts = buffer.contents().size() / 2 + 1;
    std::size_t drained = 0;
    while (CutOne(buffer, candidates)) {
        FUZZ_CHECK(++drained <= mostCuts);
    }
    if (!smallCapacity && stream.size() <= capacity) {
        FUZZ_CHECK(candidates == CutWholeStream(stream));
    }
    return 0;
}

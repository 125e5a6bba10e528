// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

// What has arrived on one socket and has not yet been cut out as a frame.
// Candidates run from the first ESC through the first ENQ after it. The buffer never
// holds more than its capacity: a sender that never writes an ENQ cannot make it grow
// for the whole run.
class ReceiveBuffer
{
public:
    static constexpr std::size_t kDefaultCapacity = std::size_t{64} * 1024;

    explicit ReceiveBuffer(std::size_t capacity = kDefaultCapacity);

    // Appends received bytes. Past the capacity the oldest bytes go: the buffer keeps
    // its newest bytes from the first ESC among them, or nothing when they hold none.
    void append(std::string_view bytes);

    bool holdsEscAndEnq() const;

    // Removes and returns the next candidate, with everything before it. Without a
    // complete candidate, returns nothing and keeps a frame whose ENQ has not arrived.
    std::optional<std::string> cutNextCandidate();

    // Removes every complete candidate, with what stands before it, and returns the
    // candidates in order. A frame whose ENQ has not arrived stays, so an answer split
    // over datagrams still joins. Called when a request goes out: frames left by earlier
    // answers can no longer answer anything.
    std::vector<std::string> discardCompleteCandidates();

    const std::string &contents() const { return m_bytes; }
    std::size_t capacity() const { return m_capacity; }

private:
    std::string m_bytes;
    std::size_t m_capacity;
};

}  // namespace protocol

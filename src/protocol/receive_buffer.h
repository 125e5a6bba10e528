#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

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

    const std::string &contents() const { return m_bytes; }
    std::size_t capacity() const { return m_capacity; }

private:
    std::string m_bytes;
    std::size_t m_capacity;
};

}  // namespace protocol

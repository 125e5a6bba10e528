// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "receive_buffer.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

// What becomes of the complete frames a datagram holds beyond the answer taken from it.
enum class LaterFrames {
    // They stay in the buffer; the next request's send discards whatever is left then.
    // The window: its current command may take no answer, and the turn passes to the next
    // frame of the same datagram.
    StayForNextSend,
    // They are cut out and dropped at once. The fleet: a logger has one request pending,
    // so a datagram answers it at most once.
    DroppedNow,
};

// Whether the receiver takes this answer payload; one it does not take is dropped.
using AnswerWanted = std::function<bool(std::string_view payload)>;

// Is handed each whole frame that DroppedNow drops behind the answer.
using FrameDropped = std::function<void(const std::string &frame)>;

// Cuts candidates out of the buffer until one is a checked answer ("R...") that `wanted`
// takes, and returns its payload. Candidates with a bad CRC and payloads that are no
// answer are dropped. A frame whose ENQ has not arrived always stays.
std::optional<std::string> TakeAnswer(ReceiveBuffer &buffer, LaterFrames later,
                                      const AnswerWanted &wanted, const FrameDropped &dropped = {});

} // namespace protocol

// SPDX-License-Identifier: GPL-3.0-or-later
#include "answer_taking.h"

#include "datagram.h"
#include "frame.h"

namespace protocol {

std::optional<std::string> TakeAnswer(ReceiveBuffer &buffer, LaterFrames later,
                                      const AnswerWanted &wanted, const FrameDropped &dropped)
{
    if (!buffer.holdsEscAndEnq()) {
        return std::nullopt;
    }
    while (const std::optional<std::string> candidate = buffer.cutNextCandidate()) {
        DecodedFrame frame = DecodeFrame(*candidate);
        if (!frame.valid || !IsAnswerPayload(frame.payload) || !wanted(frame.payload)) {
            continue;
        }
        if (later == LaterFrames::DroppedNow) {
            for (const std::string &behind : buffer.discardCompleteCandidates()) {
                if (dropped) {
                    dropped(behind);
                }
            }
        }
        return std::move(frame.payload);
    }
    return std::nullopt;
}

} // namespace protocol

#include "frame_verdicts.h"

#include "frame.h"
#include "receive_buffer.h"

namespace protocol {

std::vector<std::string> CutCandidates(std::string_view datagram)
{
    ReceiveBuffer buffer(datagram.size());
    buffer.append(datagram);
    std::vector<std::string> candidates;
    while (auto candidate = buffer.cutNextCandidate()) {
        candidates.push_back(std::move(*candidate));
    }
    return candidates;
}

std::vector<InspectedFrame> InspectFrames(std::string_view datagram)
{
    std::vector<InspectedFrame> frames;
    for (const std::string &candidate : CutCandidates(datagram)) {
        DecodedFrame decoded = DecodeFrame(candidate);
        frames.push_back(
            {std::move(decoded.payload), decoded.valid ? CrcVerdict::Good : CrcVerdict::Bad});
    }
    return frames;
}

std::string EscapeBytes(std::string_view bytes)
{
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (byte == '\\') {
            text += "\\\\";
        } else if (value >= 0x20 && value < 0x7F) {
            text += byte;
        } else {
            text += "\\x";
            text += kHexDigits[value >> 4];
            text += kHexDigits[value & 0x0F];
        }
    }
    return text;
}

} // namespace protocol

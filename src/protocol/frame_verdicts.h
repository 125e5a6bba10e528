#pragma once

#include <string>
#include <string_view>
#include <vector>

// What one datagram holds, for showing it to a person: the frames cut from it alone and
// whether each frame's CRC matches. Cutting and checking are the receive path's own rules.
namespace protocol {

enum class CrcVerdict {
    Good,
    Bad,
};

struct InspectedFrame {
    std::string payload;
    CrcVerdict verdict = CrcVerdict::Bad;

    bool operator==(const InspectedFrame &) const = default;
};

// Every candidate (ESC through ENQ) the datagram holds by itself, in order, cut by the
// receive buffers' rule. Bytes outside candidates, and a frame cut short by the
// datagram's end, give nothing.
std::vector<std::string> CutCandidates(std::string_view datagram);

// Every candidate of the datagram, decoded as a frame.
std::vector<InspectedFrame> InspectFrames(std::string_view datagram);

// Printable ASCII stays as it is, a backslash is doubled, every other byte is written as
// \xHH (upper-case digits), so that the text says exactly which bytes went on the wire.
std::string EscapeBytes(std::string_view bytes);

} // namespace protocol

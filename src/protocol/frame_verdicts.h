// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What one datagram holds, for showing it to a person: the datagram cut into pieces by
// the receive buffers' rule, each piece with its verdict. Cutting and checking are the
// receive path's own rules.
namespace protocol {

enum class PieceVerdict {
    CrcGood,
    CrcBad,
    // A frame whose CRC matches, read together with a stray ESC before it: the receive
    // path cuts candidates from the first ESC, so it takes the two as one and drops both.
    CrcGoodLostToStrayEsc,
    // Bytes outside every frame, a lone ESC among them.
    StrayBytes,
    // A frame's start without its ENQ, or bytes through an ENQ at the datagram's start
    // without an ESC: one half of a frame split over two datagrams.
    PartOfFrame,
};

struct DatagramPiece {
    std::string bytes;
    // A frame's payload; empty for the other pieces.
    std::string payload;
    PieceVerdict verdict = PieceVerdict::StrayBytes;

    bool operator==(const DatagramPiece &) const = default;
};

// The pieces of a set-socket datagram, in order; together their bytes are the datagram.
std::vector<DatagramPiece> InspectDatagram(std::string_view datagram);

// Every candidate (ESC through ENQ) the datagram holds by itself, in order, cut by the
// receive buffers' rule. Bytes outside candidates, and a frame cut short by the
// datagram's end, give nothing.
std::vector<std::string> CutCandidates(std::string_view datagram);

// Where a request's payload holds a secret, as [begin, end) offsets into the payload: the
// SIM PIN of "PW" (everything after the code) and the APN password of "AW" (the last of
// its three quoted values; with fewer separators than three values, everything after
// the code). Nothing for any other payload.
struct SecretRange {
    std::size_t begin = 0;
    std::size_t end = 0;
};
std::optional<SecretRange> FindSecret(std::string_view payload);
// Where the answer to a request holds a secret: the APN password, the last of the three
// quoted values of the answer to "AR". Nothing for any other request.
std::optional<SecretRange> FindAnswerSecret(std::string_view request, std::string_view answer);

// What a person is shown in place of a secret; its length does not tell the secret's.
inline constexpr std::string_view kHiddenSecret = "********";

// A frame that holds a secret as a person is shown it: ESC, the payload with the secret
// replaced by kHiddenSecret, four '*' in place of the CRC, ENQ. Neither the secret's
// length nor a checksum that would tell the guesses that fit it is shown.
std::string FrameWithSecretHidden(std::string_view payload, SecretRange secret);

// Printable ASCII stays as it is, a backslash is doubled, every other byte is written as
// \xHH (upper-case digits), so that the text says exactly which bytes went on the wire.
std::string EscapeBytes(std::string_view bytes);

} // namespace protocol

// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame_verdicts.h"

#include "frame.h"
#include "receive_buffer.h"

#include <algorithm>

namespace protocol {

namespace {

void AddPiece(std::vector<DatagramPiece> &pieces, std::string_view bytes, PieceVerdict verdict,
              std::string payload = {})
{
    if (!bytes.empty()) {
        pieces.push_back({std::string(bytes), std::move(payload), verdict});
    }
}

// A candidate from ESC through ENQ: one frame, or a stray ESC and the frame after it.
void AddCandidate(std::vector<DatagramPiece> &pieces, std::string_view candidate)
{
    DecodedFrame decoded = DecodeFrame(candidate);
    if (decoded.valid) {
        AddPiece(pieces, candidate, PieceVerdict::CrcGood, std::move(decoded.payload));
        return;
    }
    const std::size_t lastEsc = candidate.rfind(kEsc);
    if (lastEsc > 0) {
        DecodedFrame inner = DecodeFrame(candidate.substr(lastEsc));
        if (inner.valid) {
            AddPiece(pieces, candidate.substr(0, lastEsc), PieceVerdict::StrayBytes);
            AddPiece(pieces, candidate.substr(lastEsc), PieceVerdict::CrcGoodLostToStrayEsc,
                     std::move(inner.payload));
            return;
        }
    }
    AddPiece(pieces, candidate, PieceVerdict::CrcBad, std::move(decoded.payload));
}

} // namespace

std::vector<DatagramPiece> InspectDatagram(std::string_view datagram)
{
    std::vector<DatagramPiece> pieces;
    std::size_t at = 0;
    while (at < datagram.size()) {
        const std::size_t esc = datagram.find(kEsc, at);
        const std::size_t enq = datagram.find(kEnq, at);
        if (enq == std::string_view::npos) {
            // No frame ends here: what follows the last ESC may be the start of one.
            if (esc == std::string_view::npos) {
                AddPiece(pieces, datagram.substr(at), PieceVerdict::StrayBytes);
            } else {
                AddPiece(pieces, datagram.substr(at, esc - at), PieceVerdict::StrayBytes);
                AddPiece(pieces, datagram.substr(esc), PieceVerdict::PartOfFrame);
            }
            break;
        }
        if (esc == std::string_view::npos || esc > enq) {
            // An ENQ without an ESC before it ends a frame begun in an earlier datagram
            // when it stands in the datagram's first run of bytes; anywhere else it ends nothing.
            AddPiece(pieces, datagram.substr(at, enq + 1 - at),
                     at == 0 ? PieceVerdict::PartOfFrame : PieceVerdict::StrayBytes);
            at = enq + 1;
            continue;
        }
        AddPiece(pieces, datagram.substr(at, esc - at), PieceVerdict::StrayBytes);
        AddCandidate(pieces, datagram.substr(esc, enq + 1 - esc));
        at = enq + 1;
    }
    return pieces;
}

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

namespace {

// The last of three quoted values "a","b","c" that start at `from`: a value may hold the
// separator itself, so the secret is taken from the second separator on, which can only
// make it longer. With fewer separators than three values, everything from `from` on.
SecretRange ThirdQuotedValue(std::string_view payload, std::size_t from)
{
    constexpr std::string_view kSeparator = "\",\"";
    const std::size_t first = payload.find(kSeparator, from);
    const std::size_t second =
        first == std::string_view::npos ? first : payload.find(kSeparator, first + 1);
    if (second == std::string_view::npos) {
        return SecretRange{from, payload.size()};
    }
    const std::size_t begin = second + kSeparator.size();
    const std::size_t end =
        payload.ends_with('"') && payload.size() > begin ? payload.size() - 1 : payload.size();
    return SecretRange{begin, end};
}

} // namespace

std::optional<SecretRange> FindSecret(std::string_view payload)
{
    constexpr std::size_t kCodeLength = 2;
    if (payload.starts_with("PW")) {
        return SecretRange{kCodeLength, payload.size()};
    }
    if (!payload.starts_with("AW")) {
        return std::nullopt;
    }
    return ThirdQuotedValue(payload, kCodeLength);
}

std::string FrameWithSecretHidden(std::string_view payload, SecretRange secret)
{
    constexpr std::string_view kHiddenCrc = "****";
    std::string frame(1, kEsc);
    frame += payload.substr(0, secret.begin);
    frame += kHiddenSecret;
    frame += payload.substr(std::min(secret.end, payload.size()));
    frame += kHiddenCrc;
    frame += kEnq;
    return frame;
}

std::optional<SecretRange> FindAnswerSecret(std::string_view request, std::string_view answer)
{
    // R"name","user","password" answers AR.
    if (request != "AR" || !answer.starts_with('R')) {
        return std::nullopt;
    }
    return ThirdQuotedValue(answer, 1);
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "quoted_text_codec.h"

#include "protocol/text.h"

namespace quoted_text {

std::optional<Refusal> Refused(std::string_view text, protocol::TextSource source)
{
    if (source == protocol::TextSource::GivenWhole && protocol::HoldsControlCharacter(text)) {
        return Refusal::FromAscii(protocol::kNoControlCharacters);
    }
    if (auto rule = protocol::RefusedRequestText(protocol::TrimText(text),
                                                 protocol::CommasInAnswer::Kept)) {
        return Refusal::FromAscii(*rule);
    }
    return std::nullopt;
}

protocol::Request BuildWrite(protocol::CommandCode code, std::string_view text)
{
    return {code, code.str() + '"' + protocol::TrimText(text) + '"'};
}

std::string ParseAnswer(std::string_view payload)
{
    constexpr std::size_t kFront = 2; // R"
    constexpr std::size_t kBack = 1;  // "
    if (payload.size() <= kFront + kBack) {
        return {};
    }
    return std::string(payload.substr(kFront, payload.size() - kFront - kBack));
}

} // namespace quoted_text

// SPDX-License-Identifier: GPL-3.0-or-later
// The answers of the network-addressing commands: ER (IP configuration), R3 (data
// server), MR (MAC address) and the upstream-server read-backs GR and RR.

#include "commands/network_addressing_codec.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using network_addressing::OctetRow;

// The edits of a cut row give back the text they came from: the octets that a "." ended,
// joined by ".", and the fourth edit after the last of those dots.
void CheckCut(std::string_view text, const OctetRow &octets)
{
    const auto dots = static_cast<std::size_t>(std::count(text.begin(), text.end(), '.'));
    const std::size_t filled = std::min<std::size_t>(dots, 3);
    std::string rebuilt;
    for (std::size_t index = 0; index < filled; ++index) {
        FUZZ_CHECK(octets[index].find('.') == std::string::npos);
        rebuilt += octets[index] + '.';
    }
    for (std::size_t index = filled; index < 3; ++index) {
        FUZZ_CHECK(octets[index].empty());
    }
    rebuilt += octets[3];
    FUZZ_CHECK(rebuilt == text);
}

std::string_view AfterMark(std::string_view payload)
{
    return payload.empty() ? payload : payload.substr(1);
}

void CheckIpAnswer(std::string_view payload)
{
    const auto configuration = network_addressing::ParseIpAnswer(payload);
    const std::string_view answer = AfterMark(payload);
    const auto commas = std::count(answer.begin(), answer.end(), ',');
    FUZZ_CHECK(configuration.has_value() == (commas >= 2));
    if (!configuration) {
        return;
    }
    const std::size_t first = answer.find(',');
    const std::size_t second = answer.find(',', first + 1);
    const std::size_t third = answer.find(',', second + 1);
    CheckCut(answer.substr(0, first), configuration->address);
    CheckCut(answer.substr(first + 1, second - first - 1), configuration->mask);
    CheckCut(answer.substr(second + 1, third == std::string_view::npos ? std::string_view::npos
                                                                       : third - second - 1),
             configuration->gateway);
}

void CheckDataServerAnswer(std::string_view payload)
{
    const OctetRow octets = network_addressing::ParseDataServerAnswer(payload);
    const std::string_view answer = AfterMark(payload);
    const std::size_t comma = answer.find(',');
    CheckCut(comma == std::string_view::npos ? std::string_view{} : answer.substr(0, comma),
             octets);
}

void CheckReadBack(std::string_view payload)
{
    using network_addressing::ServerReadBack;
    const ServerReadBack verdict = network_addressing::JudgeServerReadBack(payload);
    if (payload.size() < 2) {
        FUZZ_CHECK(verdict == ServerReadBack::Ignored);
        return;
    }
    const std::string expected = std::string(network_addressing::kDefaultUpstreamServerAddress) +
                                 ',' + std::string(network_addressing::kUpstreamServerPort);
    FUZZ_CHECK((verdict == ServerReadBack::Matches) == (payload.substr(1) == expected));
    FUZZ_CHECK(verdict != ServerReadBack::Ignored);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view payload(reinterpret_cast<const char *>(data), size);
    CheckIpAnswer(payload);
    CheckDataServerAnswer(payload);
    FUZZ_CHECK(network_addressing::ParseMacAnswer(payload) == AfterMark(payload));
    CheckReadBack(payload);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "network_addressing_codec.h"

#include "protocol/text.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace network_addressing {
namespace {

constexpr std::string_view kFixedIpPort = "6001";

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(std::string_view text)
{
    return protocol::TrimText(text).empty();
}

bool IsComplete(const OctetRow &row)
{
    return std::none_of(row.begin(), row.end(),
                        [](const std::string &octet) { return IsBlank(octet); });
}

// One to three decimal digits worth 0 to 255, with nothing around them: the text goes
// on the wire as it is, between "." and "," separators.
bool IsOctet(std::string_view text)
{
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), IsDigit)) {
        return false;
    }
    return std::stoi(std::string(text)) <= 255;
}

bool IsValid(const OctetRow &row)
{
    return std::all_of(row.begin(), row.end(),
                       [](const std::string &octet) { return IsOctet(octet); });
}

std::string JoinOctets(const OctetRow &row)
{
    return row[0] + '.' + row[1] + '.' + row[2] + '.' + row[3];
}

struct NamedRow {
    const OctetRow &row;
    std::string_view name;
};

std::optional<Refusal> CheckRows(std::initializer_list<NamedRow> rows)
{
    for (const NamedRow &named : rows) {
        if (!IsComplete(named.row)) {
            return Refusal::FromAscii("Please complete the " + std::string(named.name) + ".");
        }
    }
    for (const NamedRow &named : rows) {
        if (!IsValid(named.row)) {
            return Refusal::FromAscii("The " + std::string(named.name) +
                                      " must be four numbers from 0 to 255.");
        }
    }
    for (const NamedRow &named : rows) {
        if (!protocol::IsPlainDottedQuad(JoinOctets(named.row))) {
            return Refusal::FromAscii(
                JoinOctets(named.row) +
                " is not four decimal numbers from 0 to 255 without leading zeros");
        }
    }
    return std::nullopt;
}

std::string Dotted(std::uint32_t address)
{
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFFU) + '.' +
           std::to_string((address >> 8) & 0xFFU) + '.' + std::to_string(address & 0xFFU);
}

// The answer after its leading "R".
std::string_view AfterAnswerMark(std::string_view payload)
{
    return payload.empty() ? payload : payload.substr(1);
}

} // namespace

std::string BuildFixedIpRequest(const IpConfiguration &configuration)
{
    return "EW" + JoinOctets(configuration.address) + ',' + JoinOctets(configuration.mask) + ',' +
           JoinOctets(configuration.gateway) + ',' + std::string(kFixedIpPort);
}

std::optional<Refusal> CheckFixedIpEntry(const IpConfiguration &configuration)
{
    return CheckRows({{configuration.address, "IP address"},
                      {configuration.mask, "Subnet Mask"},
                      {configuration.gateway, "Gateway address"}});
}

std::optional<Refusal> CheckDataServerEntry(const OctetRow &address)
{
    return CheckRows({{address, "IP address"}});
}

std::uint32_t AddressNumber(const OctetRow &octets)
{
    std::uint32_t number = 0;
    for (const std::string &octet : octets) {
        number = (number << 8) | static_cast<std::uint32_t>(std::stoul(octet));
    }
    return number;
}

std::optional<Refusal> RefusedSubnet(const IpConfiguration &configuration)
{
    const std::uint32_t address = AddressNumber(configuration.address);
    const std::uint32_t mask = AddressNumber(configuration.mask);
    const std::uint32_t gateway = AddressNumber(configuration.gateway);
    const std::uint32_t hostBits = ~mask;
    if ((hostBits & (hostBits + 1)) != 0) {
        return Refusal::FromAscii("the mask " + Dotted(mask) +
                                  " is not a network mask (ones, then zeros)");
    }
    if (mask == 0) {
        return Refusal::FromAscii(
            "the mask 0.0.0.0 makes every address the logger's own network, so it would "
            "reach no gateway");
    }
    const std::uint32_t network = address & mask;
    const std::uint32_t broadcast = network | hostBits;
    const std::string block =
        Dotted(network) + '/' + std::to_string(32 - std::popcount(hostBits));
    // A /31 or /32 has neither a network nor a broadcast address.
    constexpr int kFewestHostBitsWithBoth = 2;
    const bool hasBoth = std::popcount(hostBits) >= kFewestHostBitsWithBoth;
    if (hasBoth && address == network) {
        return Refusal::FromAscii(Dotted(address) + " is the network address of " + block +
                                  ", not a logger's");
    }
    if (hasBoth && address == broadcast) {
        return Refusal::FromAscii(Dotted(address) + " is the broadcast address of " + block +
                                  ", not a logger's");
    }
    if (gateway == 0) {
        return std::nullopt;
    }
    if ((gateway & mask) != network) {
        return Refusal::FromAscii("the gateway " + Dotted(gateway) + " is outside " + block +
                                  ", the network of " + Dotted(address));
    }
    if (gateway == address) {
        return Refusal::FromAscii("the gateway " + Dotted(gateway) +
                                  " is the logger's own address: a gateway is another host of " +
                                  block);
    }
    if (hasBoth && (gateway == network || gateway == broadcast)) {
        return Refusal::FromAscii("the gateway " + Dotted(gateway) + " is the " +
                                  (gateway == network ? "network" : "broadcast") + " address of " +
                                  block + ", not a host's");
    }
    return std::nullopt;
}

std::string BuildDataServerRequest(const OctetRow &address)
{
    return "R4" + JoinOctets(address) + ',' + std::string(kDataServerSetPort);
}

std::optional<IpConfiguration> ParseIpAnswer(std::string_view payload)
{
    const std::vector<std::string> fields = protocol::SplitText(AfterAnswerMark(payload), ",");
    if (fields.size() < 3) {
        return std::nullopt;
    }
    return IpConfiguration{CutDottedText(fields[0]), CutDottedText(fields[1]),
                           CutDottedText(fields[2])};
}

OctetRow ParseDataServerAnswer(std::string_view payload)
{
    const std::string_view answer = AfterAnswerMark(payload);
    const std::size_t comma = answer.find(',');
    return CutDottedText(comma == std::string_view::npos ? std::string_view{}
                                                         : answer.substr(0, comma));
}

std::string ParseDataServerPort(std::string_view payload)
{
    const std::string_view answer = AfterAnswerMark(payload);
    const std::size_t comma = answer.find(',');
    return comma == std::string_view::npos ? std::string() : std::string(answer.substr(comma + 1));
}

std::string ParseMacAnswer(std::string_view payload)
{
    return std::string(AfterAnswerMark(payload));
}

OctetRow CutDottedText(std::string_view text)
{
    OctetRow octets;
    for (std::size_t index = 0; index < 3; ++index) {
        const std::size_t dot = text.find('.');
        if (dot == std::string_view::npos) {
            continue; // this edit stays empty and the rest is cut for the next
        }
        octets[index] = std::string(text.substr(0, dot));
        text.remove_prefix(dot + 1);
    }
    octets[3] = std::string(text);
    return octets;
}

std::string BuildUpstreamServerWrite(std::string_view code)
{
    return std::string(code) + std::string(kDefaultUpstreamServerAddress) + ',' +
           std::string(kUpstreamServerPort);
}

ServerReadBack JudgeServerReadBack(std::string_view payload)
{
    if (payload.size() < 2) {
        return ServerReadBack::Ignored;
    }
    const std::string_view answer = AfterAnswerMark(payload);
    const std::size_t comma = answer.find(',');
    if (comma == std::string_view::npos) {
        return ServerReadBack::Unreadable;
    }
    const bool matches = answer.substr(0, comma) == kDefaultUpstreamServerAddress &&
                         answer.substr(comma + 1) == kUpstreamServerPort;
    return matches ? ServerReadBack::Matches : ServerReadBack::Differs;
}

OctetKeyDecision FilterOctetKey(std::string_view text, char typed)
{
    const bool digitOrBackspace = IsDigit(typed) || typed == kBackspace;
    if (IsBlank(text)) {
        return {.clearText = true, .moveFocus = false, .insert = digitOrBackspace};
    }
    return {.clearText = false, .moveFocus = typed == '.', .insert = digitOrBackspace};
}

OctetNormalisation NormaliseOctet(std::string text)
{
    if (const std::string trimmed = protocol::TrimText(text);
        !trimmed.empty() && protocol::ParseInteger(trimmed) > 255) {
        text = "255";
    }
    if (!IsBlank(text) && text.size() >= 2 && text.front() == '0') {
        text.erase(0, 1);
    }
    const bool moveFocus = protocol::TrimText(text).size() >= 3;
    return {std::move(text), moveFocus};
}

std::optional<OctetRow> SuggestMask(const OctetRow &address)
{
    if (!IsComplete(address)) {
        return std::nullopt;
    }
    const std::int32_t first = protocol::ParseInteger(protocol::TrimText(address[0]));
    if (first >= 1 && first <= 126) {
        return OctetRow{"255", "0", "0", "0"};
    }
    if (first >= 128 && first <= 191) {
        return OctetRow{"255", "255", "0", "0"};
    }
    if (first >= 192 && first <= 223) {
        return OctetRow{"255", "255", "255", "0"};
    }
    return std::nullopt;
}

} // namespace network_addressing

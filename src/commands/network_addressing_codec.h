// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Payloads and answers of the network-addressing commands, and the input rules of the
// octet edits, as pure functions on the wire's byte strings.
namespace network_addressing {

// The upstream server address written into both slots (GPRS and Ethernet) and expected
// back from their read-backs, with the port that goes with it.
inline constexpr std::string_view kDefaultUpstreamServerAddress = "203.0.113.10";
inline constexpr std::string_view kUpstreamServerPort = "6001";

inline constexpr std::string_view kDhcpIpRequest = "EW0.0.0.0,0.0.0.0,0.0.0.0,6001";
inline constexpr std::string_view kClearDataServerRequest = "R40.0.0.0,0";

// The four octet texts of one IPv4 address, left to right.
using OctetRow = std::array<std::string, 4>;

struct IpConfiguration {
    OctetRow address;
    OctetRow mask;
    OctetRow gateway;
};

// The fixed-address write: each octet text exactly as given, joined by "." and ",".
std::string BuildFixedIpRequest(const IpConfiguration &configuration);

// The operator's message for the first row that is incomplete (an octet blank after
// trimming) or, once all are complete, the first row with an octet that is not a
// number from 0 to 255, or then the first with an octet written with a leading zero,
// which a logger may read as another number ("010" as eight); nothing when the entry can
// be sent.
std::optional<Refusal> CheckFixedIpEntry(const IpConfiguration &configuration);

// The same checks for the data server address.
std::optional<Refusal> CheckDataServerEntry(const OctetRow &address);

// Once CheckFixedIpEntry has passed: the first rule that makes the configuration one a
// logger cannot work at, in words ("the mask 255.0.255.0 is not a network mask (ones,
// then zeros)"). The mask must be ones then zeros, and not 0.0.0.0; in a block with
// network and broadcast addresses (up to /30) the address is neither; the gateway,
// unless 0.0.0.0 (none: a logger that sends over its modem may have none), lies in the
// address's block and is neither the logger's own address nor, up to /30, the block's
// network or broadcast address.
std::optional<Refusal> RefusedSubnet(const IpConfiguration &configuration);

// An address as one 32-bit number, the first octet highest; the octets must have passed
// the checks above.
std::uint32_t AddressNumber(const OctetRow &octets);

std::string BuildDataServerRequest(const OctetRow &address);

// "R" address "," mask "," gateway [further fields]; nothing with fewer than three fields.
std::optional<IpConfiguration> ParseIpAnswer(std::string_view payload);

// The port every data server write sends: the system fixes it, the window does not show it.
inline constexpr std::string_view kDataServerPort = "9040";

// "R" address "," port: the address cut into its octets; all empty without a ",".
OctetRow ParseDataServerAnswer(std::string_view payload);
// The port of that answer, as the logger wrote it; empty without a ",".
std::string ParseDataServerPort(std::string_view payload);

// The port of a data server read answer: the text after its first ","; empty without one.
std::string ParseDataServerPort(std::string_view payload);

// The port every data server Set writes.
inline constexpr std::string_view kDataServerSetPort = "9040";

// "R" and the MAC address text, returned as the logger wrote it.
std::string ParseMacAnswer(std::string_view payload);

// Cuts a dotted text into four edits: each of the first three takes the text before
// the next "." (empty when none is left, the rest staying whole), the fourth what remains.
OctetRow CutDottedText(std::string_view text);

// The write of an upstream server slot: code ("GW" or "RW"), address and port.
std::string BuildUpstreamServerWrite(std::string_view code);

enum class ServerReadBack {
    Ignored, // too short to be an answer: the exchange stays pending
    Unreadable, // no "," to part address and port: the exchange ends without a verdict
    Matches,    // the slot holds the default address and port
    Differs,    // anything else
};

ServerReadBack JudgeServerReadBack(std::string_view payload);

// What a typed character does in an octet edit.
struct OctetKeyDecision {
    bool clearText = false; // the edit holds only blanks: empty it first
    bool moveFocus = false; // a "." after the first digits moves on to the next edit
    bool insert = false;    // only digits and Backspace get through
};

inline constexpr char kBackspace = '\b';

OctetKeyDecision FilterOctetKey(std::string_view text, char typed);

// The edit's text after a key release, and whether the focus moves on.
struct OctetNormalisation {
    std::string text;
    bool moveFocus = false;
};

// Clamps to "255", removes one leading zero and moves on at three characters. Throws
// protocol::InvalidIntegerError when the text is not a whole number.
OctetNormalisation NormaliseOctet(std::string text);

// The mask of the address's class (A, B or C), from its first octet; nothing when the
// address is incomplete or of no such class. Throws protocol::InvalidIntegerError when
// the first octet is not a whole number.
std::optional<OctetRow> SuggestMask(const OctetRow &address);

} // namespace network_addressing

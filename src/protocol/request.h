// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace protocol {

// The two characters at the head of a request's payload that name what a logger is asked
// to do: upper-case letters and digits. A code is made from a literal and checked when the
// program is compiled, so a code of other characters never builds.
class CommandCode
{
public:
    consteval explicit CommandCode(const char (&text)[3]) : m_text{text[0], text[1]}
    {
        for (const char letter : m_text) {
            if ((letter < 'A' || letter > 'Z') && (letter < '0' || letter > '9')) {
                throw "a command code is two upper-case letters or digits";
            }
        }
    }

    constexpr std::string_view text() const { return {m_text, sizeof m_text}; }
    std::string str() const { return std::string(text()); }

    constexpr bool operator==(const CommandCode &) const = default;

private:
    char m_text[2];
};

// The codes the window's command families and the fleet's family files send to a logger's
// command port. A setting read and written through its row of the catalogue alone (one
// quoted text) names its two codes in that row.
namespace command_codes {

inline constexpr CommandCode kIpConfigurationRead{"ER"};
inline constexpr CommandCode kIpConfigurationWrite{"EW"};
inline constexpr CommandCode kDataServerRead{"R3"};
inline constexpr CommandCode kDataServerWrite{"R4"};
inline constexpr CommandCode kMacRead{"MR"};
inline constexpr CommandCode kGprsServerWrite{"GW"};
inline constexpr CommandCode kGprsServerRead{"GR"};
inline constexpr CommandCode kEthernetServerWrite{"RW"};
inline constexpr CommandCode kEthernetServerRead{"RR"};
inline constexpr CommandCode kApnRead{"AR"};
inline constexpr CommandCode kApnWrite{"AW"};
inline constexpr CommandCode kPinWrite{"PW"};
inline constexpr CommandCode kPinClear{"PC"};
inline constexpr CommandCode kOperatorRead{"CR"};
inline constexpr CommandCode kOperatorWrite{"CW"};
inline constexpr CommandCode kSignalQualityRead{"IF"};
inline constexpr CommandCode kFrontEndRead{"QR"};
inline constexpr CommandCode kFrontEndWrite{"QW"};
inline constexpr CommandCode kDeviceAdd{"DA"};
inline constexpr CommandCode kDeviceCount{"DN"};
inline constexpr CommandCode kDeviceRead{"DR"};
inline constexpr CommandCode kDeviceDeleteAll{"DE"};
inline constexpr CommandCode kSystemBlockRead{"SR"};
inline constexpr CommandCode kSystemBlockWrite{"SW"};

} // namespace command_codes

// One request to a logger: its code, and the payload its frame carries, which begins with
// the code's text (the codecs build the payloads of requests that carry values).
struct Request {
    CommandCode code;
    std::string payload;

    // A request that is its code alone, as every plain read is.
    static Request Bare(CommandCode code) { return {code, code.str()}; }
};

} // namespace protocol

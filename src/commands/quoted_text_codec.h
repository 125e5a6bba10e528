// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/request.h"
#include "protocol/text.h"
#include "refusal/refusal.h"

#include <optional>
#include <string>
#include <string_view>

// A setting that is one free text in double quotes: written as CODE"text", read back as
// R"text". The telecom operator is one; a new setting of this shape needs no codec of its
// own.
namespace quoted_text {

// The trimmed text must not hold a double quote or a control character, which the answer
// could not carry back; the rule it breaks, or nothing. The text is given untrimmed, as
// its source holds it.
std::optional<Refusal> Refused(std::string_view text, protocol::TextSource source);

// CODE"text" with the value trimmed and not escaped.
protocol::Request BuildWrite(protocol::CommandCode code, std::string_view text);

// The text between the answer's quotes: R"text" gives text.
std::string ParseAnswer(std::string_view payload);

} // namespace quoted_text

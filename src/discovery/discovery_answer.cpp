// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery_answer.h"

namespace discovery {

DiscoveryAnswer SplitDiscoveryAnswer(std::string_view candidate)
{
    const std::string_view body =
        candidate.size() >= 2 ? candidate.substr(1, candidate.size() - 2) : std::string_view{};
    const std::size_t hash = body.find('#');
    if (hash == std::string_view::npos) {
        return {std::string(body), {}};
    }
    return {std::string(body.substr(0, hash)), std::string(body.substr(hash + 1))};
}

} // namespace discovery

// SPDX-License-Identifier: GPL-3.0-or-later
// The split of a discovery answer into serial number and version.

#include "discovery/discovery_answer.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view candidate(reinterpret_cast<const char *>(data), size);
    const discovery::DiscoveryAnswer answer = discovery::SplitDiscoveryAnswer(candidate);
    const std::string_view body = size >= 2 ? candidate.substr(1, size - 2) : std::string_view{};
    const std::size_t hash = body.find('#');
    FUZZ_CHECK(answer.serial.find('#') == std::string_view::npos);
    if (hash == std::string_view::npos) {
        FUZZ_CHECK(answer.serial == body);
        FUZZ_CHECK(answer.version.empty());
    } else {
        // Nothing between the ESC and the ENQ is lost or added but the first "#".
        FUZZ_CHECK(answer.serial + '#' + answer.version == body);
    }
    return 0;
}

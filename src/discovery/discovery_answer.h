// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// A logger's answer to the search probe, as the search receive buffer cuts it:
// ESC, serial number, "#", version text, ENQ. Plain C++, no Qt.
namespace discovery {

struct DiscoveryAnswer {
    std::string serial;
    std::string version;

    bool operator==(const DiscoveryAnswer &) const = default;
};

// Drops the first and the last byte of the candidate (its ESC and ENQ) and splits the
// rest at its first "#": the serial number before it, the version text after it. Without
// a "#" the whole rest is the serial number and the version is empty. Nothing is trimmed.
DiscoveryAnswer SplitDiscoveryAnswer(std::string_view candidate);

} // namespace discovery

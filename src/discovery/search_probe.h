// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace discovery {

// The four raw bytes a logger answers on its search port (not a frame: no ESC, no CRC).
inline constexpr std::string_view kSearchProbe{"\xFF\x04\x03\xFB", 4};

} // namespace discovery

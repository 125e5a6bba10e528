// SPDX-License-Identifier: GPL-3.0-or-later
#include "default_route.h"

#include <QNetworkInterface>

// clang-format off: winsock2 must come before the IP helper's header.
#include <winsock2.h>
#include <iphlpapi.h>
// clang-format on

#include <limits>
#include <vector>

namespace discovery {

// The default route (destination and mask 0.0.0.0) of the lowest metric in the system's
// IPv4 routing table.
QString DefaultRouteInterface()
{
    ULONG size = 0;
    if (GetIpForwardTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }
    std::vector<unsigned char> buffer(size);
    auto *table = reinterpret_cast<MIB_IPFORWARDTABLE *>(buffer.data());
    if (GetIpForwardTable(table, &size, FALSE) != NO_ERROR) {
        return {};
    }
    const MIB_IPFORWARDROW *best = nullptr;
    for (DWORD index = 0; index < table->dwNumEntries; ++index) {
        const MIB_IPFORWARDROW &row = table->table[index];
        if (row.dwForwardDest == 0 && row.dwForwardMask == 0 &&
            (best == nullptr || row.dwForwardMetric1 < best->dwForwardMetric1)) {
            best = &row;
        }
    }
    if (best == nullptr) {
        return {};
    }
    return QNetworkInterface::interfaceFromIndex(static_cast<int>(best->dwForwardIfIndex)).name();
}

} // namespace discovery

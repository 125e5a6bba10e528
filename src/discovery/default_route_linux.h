// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

namespace discovery {

// Reads the kernel's IPv4 routing table in the text form of /proc/net/route: the
// interface of the usable default route (destination and mask 0, flag "up") with the
// lowest metric; the first such line wins a tie.
QString DefaultRouteInterfaceFromTable(QByteArrayView table);

} // namespace discovery

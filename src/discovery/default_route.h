// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace discovery {

// The name of the interface that carries the IPv4 default route, or an empty text when
// there is none or the system does not tell.
QString DefaultRouteInterface();

} // namespace discovery

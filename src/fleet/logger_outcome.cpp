// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_outcome.h"

namespace fleet {

QString AddressClash(const LoggerTarget &logger)
{
    return QStringLiteral("address clash: %1 and %2 both answer at %3")
        .arg(logger.clashingSerial, logger.serial, logger.address.toString());
}

} // namespace fleet

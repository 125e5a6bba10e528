// SPDX-License-Identifier: GPL-3.0-or-later
#include "signal_readings.h"

#include "protocol/frame_verdicts.h"

QStringList SignalReadingColumns()
{
    return {QStringLiteral("time"), QStringLiteral("raw"), QStringLiteral("value"),
            QStringLiteral("dBm")};
}

QStringList SignalReadingFields(const QDateTime &takenAt, const cellular::SignalReading &reading)
{
    const QDateTime local = takenAt.toLocalTime();
    const std::optional<int> dbm = cellular::SignalLevelDbm(reading);
    return {local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs),
            QString::fromStdString(protocol::EscapeBytes(reading.raw)),
            reading.value ? QString::number(*reading.value) : QString(),
            dbm ? QString::number(*dbm) : QString()};
}

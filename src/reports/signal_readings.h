// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/cellular_link_codec.h"

#include <QDateTime>
#include <QStringList>

// A signal-quality reading as a report row: when it was taken (local time with its
// offset, to the millisecond), the characters as received (bytes outside printable ASCII
// as \xHH), the value on the modem's scale and the level in dBm. Value and dBm are empty
// where the reading has none, so that a spreadsheet never takes an unreadable answer for 0.
QStringList SignalReadingColumns();
QStringList SignalReadingFields(const QDateTime &takenAt, const cellular::SignalReading &reading);

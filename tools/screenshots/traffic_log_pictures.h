// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The traffic log window during a sweep, with an answer whose CRC does not match
// selected (traffic-log.png), and two answers of the capture it saves as tshark dissects
// them with the project's dissector, rendered as a picture (tshark-dissection.png).
void TakeTrafficLogPictures(const QString &directory);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The signal-quality watch of a logger whose antenna is being turned: ten minutes of
// readings that rise and fall, with two missed answers and one unknown report
// (signal-watch.png). The watch's clock moves two seconds with each reading, so ten
// minutes pass in a few seconds.
void TakeSignalWatchPicture(const QString &directory);

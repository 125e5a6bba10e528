// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The plant view after a read of a small plant whose one logger holds another operator
// and another heartbeat (plant-view.png), the first page of its PDF report rendered as a
// picture (plant-report.png), and the difference of a profile on three selected loggers
// before it is applied (plant-apply.png), and the checklist of "Commission…" under way
// (plant-commission.png).
void TakePlantViewPictures(const QString &directory);

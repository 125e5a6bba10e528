#pragma once

#include <QString>

// The plant view after a read of a small plant whose one logger holds another operator
// and another heartbeat (plant-view.png), and the first page of its PDF report rendered
// as a picture (plant-report.png).
void TakePlantViewPictures(const QString &directory);

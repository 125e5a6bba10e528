// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "list_table.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

class QPainter;
class QRect;

// What the report's heading says besides the table.
struct PlantReportHeading {
    QDateTime when;
    QString pc; // the PC's name and address
    QString title = QStringLiteral("Plant report");
    qsizetype loggers = -1; // the count in the heading; the table's rows when not given
};

// The plant report a technician hands over after commissioning: a landscape A4 PDF with
// the title, the date, the PC and the table of every logger's settings (its passwords already
// masked), continued on further pages, each with the column captions, when the plant
// does not fit on one. Written whole or not at all; returns the reason on failure.
std::optional<QString> WritePlantReport(const QString &path, const PlantReportHeading &heading,
                                        const ListTable &table);

// Draws the report with `painter`, whose device has pages of `page` size; `newPage` turns
// to the next. The PDF is drawn by it, and so is a picture of its first page.
void PaintPlantReport(QPainter &painter, const QRect &page, const std::function<void()> &newPage,
                      const PlantReportHeading &heading, const ListTable &table);

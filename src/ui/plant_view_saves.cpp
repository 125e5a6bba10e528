// SPDX-License-Identifier: GPL-3.0-or-later
// The plant view's saves: a logger's settings as a profile, the table as CSV and as a
// PDF report, and what became of each.

#include "plant_view_window.h"

#include "reports/plant_report.h"
#include "plant_table_model.h"

#include "fleet/profile.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSysInfo>

#include <algorithm>

void PlantViewWindow::saveProfile()
{
    const PlantRow *row = selectedReadRow();
    if (row == nullptr) {
        return;
    }
    const QString extension = QStringLiteral("json");
    const QString stem =
        QStringLiteral("profile-") +
        (row->target.serial.isEmpty() ? row->target.address.toString() : row->target.serial);
    const QString path = ChooseSavePath(m_links.chooseFile, this,
                                        {QStringLiteral("Save profile (it holds the APN password)"),
                                         QStringLiteral("Profiles"), extension,
                                         stem + QLatin1Char('.') + extension});
    if (path.isEmpty()) {
        return;
    }
    const auto refusal = fleet::SaveProfile(path, fleet::ProfileDocument(row->outcome));
    reportSave(path, refusal ? std::optional<QString>(refusal->message) : std::nullopt);
}

void PlantViewWindow::exportCsv()
{
    const QString extension = QStringLiteral("csv");
    const QString path = ChooseSavePath(
        m_links.chooseFile, this,
        {QStringLiteral("Export the plant table"), QStringLiteral("CSV files"), extension,
         DatedFileName(QStringLiteral("plant"), extension, QDate::currentDate())});
    if (!path.isEmpty()) {
        reportSave(path, WriteListCsv(PlantTableText(shownRows()), path), true);
    }
}

void PlantViewWindow::exportPdf()
{
    const QString extension = QStringLiteral("pdf");
    const QString path = ChooseSavePath(
        m_links.chooseFile, this,
        {QStringLiteral("Export the plant report"), QStringLiteral("PDF files"), extension,
         DatedFileName(QStringLiteral("plant-report"), extension, QDate::currentDate())});
    if (path.isEmpty()) {
        return;
    }
    const PlantReportHeading heading{
        QDateTime::currentDateTime(),
        QStringLiteral("%1 (%2)").arg(QSysInfo::machineHostName(), m_links.pcAddress())};
    reportSave(path, WritePlantReport(path, heading, PlantTableText(shownRows())), true);
}

void PlantViewWindow::reportSave(const QString &path, const std::optional<QString> &failure,
                                 bool ofTheTable)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (failure || !ofTheTable) {
        m_notice->setText(failure ? QStringLiteral("Not saved to %1: %2").arg(shown, *failure)
                                  : QStringLiteral("Saved %1").arg(shown));
        return;
    }
    const std::vector<PlantRow> rows = shownRows();
    const auto stale = std::count_if(rows.begin(), rows.end(),
                                     [](const PlantRow &row) { return row.stale; });
    m_notice->setText(stale == 0 ? QStringLiteral("Saved %1").arg(shown)
                                 : QStringLiteral("Saved %1, with %2 stale rows (marked in the "
                                                  "file): Read all, then save again for values "
                                                  "read now")
                                       .arg(shown)
                                       .arg(stale));
}

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
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSysInfo>

#include <algorithm>
#include <utility>

StaleExportChoice AskAboutStaleRows(QWidget *parent, int staleRows)
{
    const QString rows =
        staleRows == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(staleRows);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Export"),
                    QStringLiteral("%1 to export may not show what the loggers hold now (stale "
                                   "until read). Read them before exporting?")
                        .arg(rows),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(QStringLiteral("Exported as they are, the file marks them stale."));
    QPushButton *read = box.addButton(QStringLiteral("Read, then export"), QMessageBox::AcceptRole);
    QPushButton *asIs = box.addButton(QStringLiteral("Export as is"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(read);
    box.exec();
    if (box.clickedButton() == read) {
        return StaleExportChoice::ReadFirst;
    }
    return box.clickedButton() == asIs ? StaleExportChoice::ExportAsIs : StaleExportChoice::Cancel;
}

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
    exportTable(ExportFormat::Csv);
}

void PlantViewWindow::exportPdf()
{
    exportTable(ExportFormat::Pdf);
}

void PlantViewWindow::exportTable(ExportFormat format)
{
    std::vector<std::size_t> stale = shownStaleRows();
    StaleExportChoice choice = StaleExportChoice::ExportAsIs;
    if (!stale.empty()) {
        choice = m_askAboutStaleRows(this, static_cast<int>(stale.size()));
        if (choice == StaleExportChoice::Cancel) {
            return;
        }
    }
    const bool csv = format == ExportFormat::Csv;
    const QString extension = csv ? QStringLiteral("csv") : QStringLiteral("pdf");
    const QString path = ChooseSavePath(
        m_links.chooseFile, this,
        {csv ? QStringLiteral("Export the plant table") : QStringLiteral("Export the plant report"),
         csv ? QStringLiteral("CSV files") : QStringLiteral("PDF files"), extension,
         DatedFileName(csv ? QStringLiteral("plant") : QStringLiteral("plant-report"), extension,
                       QDate::currentDate())});
    if (path.isEmpty()) {
        return;
    }
    if (choice == StaleExportChoice::ExportAsIs) {
        writeExport(format, path);
        return;
    }
    // The file is written once the read has ended, with what it read.
    if (!mayStartRun()) {
        m_notice->setText(QStringLiteral("Not saved to %1: the stale rows could not be read now")
                              .arg(QDir::toNativeSeparators(path)));
        return;
    }
    m_pendingExport = PendingExport{format, path};
    startRun(RunKind::Read, std::move(stale));
}

void PlantViewWindow::writeExport(ExportFormat format, const QString &path)
{
    if (format == ExportFormat::Csv) {
        reportSave(path, WriteListCsv(PlantTableText(shownRows()), path), true);
        return;
    }
    const PlantReportHeading heading{
        QDateTime::currentDateTime(),
        QStringLiteral("%1 (%2)").arg(QSysInfo::machineHostName(), m_links.pcAddress())};
    reportSave(path, WritePlantReport(path, heading, PlantTableText(shownRows())), true);
}

std::vector<std::size_t> PlantViewWindow::shownStaleRows() const
{
    std::vector<std::size_t> rows;
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        const auto sourceRow =
            static_cast<std::size_t>(m_filter->mapToSource(m_filter->index(row, 0)).row());
        if (m_model->rows().at(sourceRow).stale) {
            rows.push_back(sourceRow);
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PlantViewWindow::finishPendingExport()
{
    const std::optional<PendingExport> pending = std::exchange(m_pendingExport, std::nullopt);
    if (!pending) {
        return;
    }
    if (m_stopRequested) {
        m_notice->setText(QStringLiteral("Not saved to %1: the read of the stale rows was stopped")
                              .arg(QDir::toNativeSeparators(pending->path)));
        return;
    }
    writeExport(pending->format, pending->path);
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

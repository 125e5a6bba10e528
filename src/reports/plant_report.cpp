// SPDX-License-Identifier: GPL-3.0-or-later
#include "plant_report.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <climits>
#include <numeric>

namespace {

constexpr int kResolutionDpi = 300;
constexpr qreal kTitlePoints = 14;
constexpr qreal kTablePoints = 8;
constexpr qreal kSmallestTablePoints = 4.5;

// Room on each side of a cell's text, in proportion to the font.
int CellPadding(const QFontMetrics &metrics)
{
    return metrics.height() / 3;
}

// Each column as wide as its widest text (captions in bold), all of them narrowed alike
// when the page is narrower than that.
QList<int> ColumnWidths(QPainter &painter, const QFont &captionFont, const QFont &cellFont,
                        const ListTable &table, int pageWidth)
{
    // Measured as the painter will draw them.
    painter.setFont(captionFont);
    const QFontMetrics captions = painter.fontMetrics();
    painter.setFont(cellFont);
    const QFontMetrics cells = painter.fontMetrics();
    const int padding = CellPadding(cells);
    QList<int> widths;
    for (qsizetype column = 0; column < table.header.size(); ++column) {
        int widest = captions.horizontalAdvance(table.header.at(column));
        for (const QStringList &row : table.rows) {
            widest = std::max(widest, cells.horizontalAdvance(row.value(column)));
        }
        widths.append(widest + 2 * padding);
    }
    const int total = std::accumulate(widths.begin(), widths.end(), 0);
    if (total > pageWidth) {
        for (int &width : widths) {
            width = static_cast<int>(static_cast<qint64>(width) * pageWidth / total);
        }
    }
    return widths;
}

// The table's font at the largest size up to kTablePoints, in half points, at which the
// widest texts fit the page's width, but never below kSmallestTablePoints (texts are cut
// short then).
qreal TablePoints(QPainter &painter, QFont font, const ListTable &table, int pageWidth)
{
    qreal points = kTablePoints;
    for (; points > kSmallestTablePoints; points -= 0.5) {
        font.setPointSizeF(points);
        QFont bold = font;
        bold.setBold(true);
        const QList<int> natural = ColumnWidths(painter, bold, font, table, INT_MAX);
        if (std::accumulate(natural.begin(), natural.end(), 0) <= pageWidth) {
            break;
        }
    }
    return points;
}

void DrawRow(QPainter &painter, const QStringList &texts, const QList<int> &widths, int top,
             int height)
{
    int left = 0;
    for (qsizetype column = 0; column < widths.size(); ++column) {
        const QRect cell(left, top, widths.at(column), height);
        const QFontMetrics metrics = painter.fontMetrics();
        const int padding = CellPadding(metrics);
        const QRect text = cell.adjusted(padding, 0, -padding, 0);
        // The widths were measured with these metrics: a text they leave room for is drawn
        // whole (eliding measures a little differently and would cut it).
        const QString shown = texts.value(column);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.horizontalAdvance(shown) <= text.width()
                             ? shown
                             : metrics.elidedText(shown, Qt::ElideRight, text.width()));
        left += widths.at(column);
    }
    painter.drawLine(0, top + height, left, top + height);
}

} // namespace

void PaintPlantReport(QPainter &painter, const QRect &page, const std::function<void()> &newPage,
                      const PlantReportHeading &heading, const ListTable &table)
{
    QFont font = painter.font();
    font.setPointSizeF(kTitlePoints);
    font.setBold(true);
    painter.setFont(font);
    const int titleHeight = painter.fontMetrics().height();
    painter.drawText(QRect(0, 0, page.width(), titleHeight), Qt::AlignLeft, heading.title);

    font.setBold(false);
    font.setPointSizeF(TablePoints(painter, font, table, page.width()));
    painter.setFont(font);
    QFont captionFont = font;
    captionFont.setBold(true);
    const int rowHeight = painter.fontMetrics().height() * 3 / 2;
    int top = titleHeight + rowHeight / 2;
    painter.drawText(QRect(0, top, page.width(), rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Date: %1     PC: %2     Loggers: %3")
                         .arg(heading.when.toString(QStringLiteral("yyyy-MM-dd HH:mm")), heading.pc)
                         .arg(heading.loggers >= 0 ? heading.loggers : table.rows.size()));
    top += rowHeight * 2;

    const QList<int> widths = ColumnWidths(painter, captionFont, font, table, page.width());
    const auto drawCaptions = [&] {
        painter.setFont(captionFont);
        DrawRow(painter, table.header, widths, top, rowHeight);
        painter.setFont(font);
        top += rowHeight;
    };
    drawCaptions();
    for (const QStringList &row : table.rows) {
        if (top + rowHeight > page.height()) {
            newPage();
            top = 0;
            drawCaptions();
        }
        DrawRow(painter, row, widths, top, rowHeight);
        top += rowHeight;
    }
}

std::optional<QString> WritePlantReport(const QString &path, const PlantReportHeading &heading,
                                        const ListTable &table)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(kResolutionDpi);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        writer.setTitle(heading.title);
        writer.setCreator(QStringLiteral("tarnwick"));
        QPainter painter(&writer);
        PaintPlantReport(
            painter, painter.viewport(), [&writer] { writer.newPage(); }, heading, table);
        if (!painter.end()) {
            file.cancelWriting();
            return QStringLiteral("the PDF could not be completed");
        }
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

#include "plant_report.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <numeric>

namespace {

constexpr int kResolutionDpi = 300;
constexpr int kCellPadding = 12; // device units on each side of a cell's text
constexpr qreal kTitlePoints = 14;
constexpr qreal kTablePoints = 6.5;

// Each column as wide as its widest text, all of them narrowed alike when the page is
// narrower than that.
QList<int> ColumnWidths(const QFontMetrics &metrics, const ListTable &table, int pageWidth)
{
    QList<int> widths;
    for (qsizetype column = 0; column < table.header.size(); ++column) {
        int widest = metrics.horizontalAdvance(table.header.at(column));
        for (const QStringList &row : table.rows) {
            widest = std::max(widest, metrics.horizontalAdvance(row.value(column)));
        }
        widths.append(widest + 2 * kCellPadding);
    }
    const int total = std::accumulate(widths.begin(), widths.end(), 0);
    if (total > pageWidth) {
        for (int &width : widths) {
            width = static_cast<int>(static_cast<qint64>(width) * pageWidth / total);
        }
    }
    return widths;
}

void DrawRow(QPainter &painter, const QStringList &texts, const QList<int> &widths, int top,
             int height)
{
    int left = 0;
    for (qsizetype column = 0; column < widths.size(); ++column) {
        const QRect cell(left, top, widths.at(column), height);
        const QRect text = cell.adjusted(kCellPadding, 0, -kCellPadding, 0);
        painter.drawText(
            text, Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(texts.value(column), Qt::ElideRight, text.width()));
        left += widths.at(column);
    }
    painter.drawLine(0, top + height, left, top + height);
}

} // namespace

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
        writer.setTitle(QStringLiteral("Plant report"));
        writer.setCreator(QStringLiteral("tarnwick"));

        QPainter painter(&writer);
        const QRect page = painter.viewport();
        QFont font = painter.font();

        font.setPointSizeF(kTitlePoints);
        font.setBold(true);
        painter.setFont(font);
        const int titleHeight = painter.fontMetrics().height();
        painter.drawText(QRect(0, 0, page.width(), titleHeight), Qt::AlignLeft,
                         QStringLiteral("Plant report"));

        font.setPointSizeF(kTablePoints);
        font.setBold(false);
        painter.setFont(font);
        const int rowHeight = painter.fontMetrics().height() * 3 / 2;
        int top = titleHeight + rowHeight / 2;
        painter.drawText(
            QRect(0, top, page.width(), rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
            QStringLiteral("Date: %1     PC: %2     Loggers: %3")
                .arg(heading.when.toString(QStringLiteral("yyyy-MM-dd HH:mm")), heading.pc)
                .arg(table.rows.size()));
        top += rowHeight * 2;

        const QList<int> widths = ColumnWidths(painter.fontMetrics(), table, page.width());
        const auto drawCaptions = [&] {
            font.setBold(true);
            painter.setFont(font);
            DrawRow(painter, table.header, widths, top, rowHeight);
            font.setBold(false);
            painter.setFont(font);
            top += rowHeight;
        };
        drawCaptions();
        for (const QStringList &row : table.rows) {
            if (top + rowHeight > page.height()) {
                writer.newPage();
                top = 0;
                drawCaptions();
            }
            DrawRow(painter, row, widths, top, rowHeight);
            top += rowHeight;
        }
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

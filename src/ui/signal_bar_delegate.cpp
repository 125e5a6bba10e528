// SPDX-License-Identifier: GPL-3.0-or-later
#include "signal_bar_delegate.h"

#include "plant_table_model.h"

#include <QApplication>
#include <QPainter>

void SignalBarDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const QVariant steps = index.data(PlantTableModel::SignalStepsRole);
    if (!steps.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QString text = cell.text;
    cell.text.clear();
    const QStyle *style = cell.widget ? cell.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);

    painter->save();
    const bool selected = cell.state.testFlag(QStyle::State_Selected);
    const QColor ink = cell.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QColor unlit = ink;
    unlit.setAlpha(60);
    // Five steps, each a little taller than the last.
    const QRect area = cell.rect.adjusted(3, 3, 0, -3);
    for (int step = 0; step < kSteps; ++step) {
        const int height = area.height() * (step + 1) / kSteps;
        const QRect bar(area.left() + step * (kStepWidth + kStepGap), area.bottom() - height + 1,
                        kStepWidth, height);
        painter->fillRect(bar, step < steps.toInt() ? ink : unlit);
    }
    painter->setPen(ink);
    const QRect textArea = cell.rect.adjusted(kBarWidth, 0, -2, 0);
    painter->drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter,
                      cell.fontMetrics.elidedText(text, Qt::ElideRight, textArea.width()));
    painter->restore();
}

QSize SignalBarDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += kBarWidth;
    return size;
}

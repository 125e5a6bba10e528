// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

// Draws a signal-quality cell as a bar of five rising steps, as many filled as the
// model's SignalStepsRole says, before the cell's text.
class SignalBarDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    static constexpr int kSteps = 5;
    static constexpr int kStepWidth = 4;
    static constexpr int kStepGap = 1;
    static constexpr int kBarWidth = kSteps * (kStepWidth + kStepGap) + 4;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A one-line label that never asks for more width than a few characters: a text longer
// than the label is drawn cut with "…", and its tooltip then holds the whole text (before
// a tooltip of its own). text() stays the whole text.
class ElidingLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    // The text as drawn at the label's present width.
    QString shownText() const;
    // The tooltip as shown: the whole text when it is cut, then the label's own tooltip.
    QString shownToolTip() const;

    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

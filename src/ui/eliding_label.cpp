// SPDX-License-Identifier: GPL-3.0-or-later
#include "eliding_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {

constexpr int kShortestCharacters = 4;

} // namespace

QString ElidingLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

QString ElidingLabel::shownToolTip() const
{
    if (shownText() == text()) {
        return toolTip();
    }
    return toolTip().isEmpty() ? text() : text() + QStringLiteral("\n\n") + toolTip();
}

QSize ElidingLabel::minimumSizeHint() const
{
    QSize size = QLabel::minimumSizeHint();
    size.setWidth(fontMetrics().averageCharWidth() * kShortestCharacters);
    return size;
}

bool ElidingLabel::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const QString tip = shownToolTip();
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), tip, this);
        }
        return true;
    }
    return QLabel::event(event);
}

void ElidingLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), shownText(), foregroundRole());
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "signal_plot.h"

#include <QPainter>

#include <array>

namespace {

// Values at which a step of the bar lights, drawn as the plot's grid.
constexpr std::array<int, cellular::kSignalBarSteps> kGridValues{2, 10, 15, 20, 25};
constexpr int kMarkHeight = 8;
constexpr qreal kDotRadius = 2.5;

qreal SpanMs()
{
    return qreal(std::chrono::milliseconds(SignalHistory::kRecentSpan).count());
}

qreal ValueY(int value, const QRectF &area)
{
    return area.bottom() - area.height() * value / cellular::kStrongestSignal;
}

} // namespace

qsizetype SignalPlotLayout::pointCount() const
{
    qsizetype count = 0;
    for (const QPolygonF &run : runs) {
        count += run.size();
    }
    return count;
}

SignalPlotLayout LayOutSignalPlot(const std::vector<SignalSample> &samples, const QDateTime &now,
                                  const QRectF &area)
{
    SignalPlotLayout layout;
    const QDateTime spanStart = now.addDuration(-SignalHistory::kRecentSpan);
    bool runOpen = false;
    for (const SignalSample &sample : samples) {
        // A clock set back may leave a sample after `now`: it stays at the right edge.
        const qreal fraction =
            std::clamp(qreal(spanStart.msecsTo(sample.takenAt)) / SpanMs(), 0.0, 1.0);
        const qreal x = area.left() + area.width() * fraction;
        if (!sample.reading) {
            layout.missed.append(x);
            runOpen = false;
        } else if (!cellular::SignalLevelDbm(*sample.reading)) {
            layout.withoutLevel.append(x);
            runOpen = false;
        } else {
            if (!runOpen) {
                layout.runs.append(QPolygonF());
                runOpen = true;
            }
            layout.runs.last().append(QPointF(x, ValueY(*sample.reading->value, area)));
        }
    }
    return layout;
}

SignalPlot::SignalPlot(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SignalPlot::showSamples(std::vector<SignalSample> samples, const QDateTime &now)
{
    m_samples = std::move(samples);
    m_now = now;
    update();
}

QRectF SignalPlot::plotArea() const
{
    const QFontMetrics metrics = fontMetrics();
    const qreal left = metrics.horizontalAdvance(QStringLiteral("-109 dBm")) + 8;
    const qreal bottom = metrics.height() + 6;
    const qreal top = metrics.height() / 2.0 + 2;
    return QRectF(rect()).adjusted(left, top, -12, -bottom);
}

SignalPlotLayout SignalPlot::plotLayout() const
{
    return LayOutSignalPlot(m_samples, m_now, plotArea());
}

QSize SignalPlot::sizeHint() const
{
    return {560, 240};
}

QSize SignalPlot::minimumSizeHint() const
{
    return {240, 120};
}

void SignalPlot::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = plotArea();
    painter.fillRect(area, palette().color(QPalette::Base));
    drawGrid(painter, area);

    const SignalPlotLayout layout = plotLayout();
    const auto drawMarks = [&](const QList<qreal> &xs, const QColor &colour) {
        painter.setPen(QPen(colour, 2));
        for (const qreal x : xs) {
            painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() - kMarkHeight));
        }
    };
    drawMarks(layout.withoutLevel, palette().color(QPalette::Disabled, QPalette::Text));
    drawMarks(layout.missed, QColor(Qt::red));

    const QColor line = palette().color(QPalette::Highlight);
    painter.setPen(QPen(line, 1.5));
    painter.setBrush(line);
    for (const QPolygonF &run : layout.runs) {
        painter.drawPolyline(run);
        for (const QPointF &point : run) {
            painter.drawEllipse(point, kDotRadius, kDotRadius);
        }
    }
}

void SignalPlot::drawGrid(QPainter &painter, const QRectF &area) const
{
    const QColor grid = palette().color(QPalette::Mid);
    const QColor text = palette().color(QPalette::WindowText);
    const QFontMetrics metrics = fontMetrics();
    painter.setPen(grid);
    painter.drawRect(area);
    for (const int value : kGridValues) {
        const qreal y = ValueY(value, area);
        painter.setPen(QPen(grid, 1, Qt::DotLine));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(text);
        painter.drawText(QRectF(0, y - metrics.height() / 2.0, area.left() - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("%1 dBm").arg(cellular::ScaleToDbm(value)));
    }
    const int minutes = int(SignalHistory::kRecentSpan.count());
    for (int minute = 0; minute <= minutes; minute += minutes / 2) {
        const qreal x = area.left() + area.width() * minute / minutes;
        const QString caption = minute == minutes ? QStringLiteral("now")
                                                  : QStringLiteral("-%1 min").arg(minutes - minute);
        const Qt::Alignment align = minute == 0         ? Qt::AlignLeft
                                    : minute == minutes ? Qt::AlignRight
                                                        : Qt::AlignHCenter;
        const qreal width = metrics.horizontalAdvance(caption) + 4;
        const qreal left = align == Qt::AlignLeft    ? x
                           : align == Qt::AlignRight ? x - width
                                                     : x - width / 2;
        painter.drawText(QRectF(left, area.bottom() + 3, width, metrics.height()),
                         align | Qt::AlignTop, caption);
    }
}

SignalBars::SignalBars(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SignalBars::setSteps(int steps)
{
    m_steps = std::clamp(steps, 0, cellular::kSignalBarSteps);
    update();
}

QSize SignalBars::sizeHint() const
{
    return {90, 56};
}

void SignalBars::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int steps = cellular::kSignalBarSteps;
    const qreal gap = 4;
    const qreal width = (this->width() - gap * (steps - 1)) / steps;
    const QColor lit = palette().color(QPalette::Highlight);
    const QColor unlit = palette().color(QPalette::Mid);
    for (int step = 0; step < steps; ++step) {
        const qreal height = this->height() * (step + 1) / steps;
        const QRectF bar(step * (width + gap), this->height() - height, width, height);
        painter.setPen(unlit);
        painter.setBrush(step < m_steps ? lit : Qt::transparent);
        painter.drawRect(bar.adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

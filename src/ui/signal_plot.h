// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/signal_history.h"

#include <QList>
#include <QPolygonF>
#include <QWidget>

#include <vector>

// Where the readings of the recent span go in a plot area: time from left (the span's
// start) to right (now), the modem's scale 0 to 31 from bottom to top.
struct SignalPlotLayout {
    // Consecutive readings with a level, each run joined by a line; a gap ends a run.
    QList<QPolygonF> runs;
    // x of each reading that had no answer in time.
    QList<qreal> missed;
    // x of each answer that was unknown or unreadable.
    QList<qreal> withoutLevel;

    qsizetype pointCount() const;
};

SignalPlotLayout LayOutSignalPlot(const std::vector<SignalSample> &samples, const QDateTime &now,
                                  const QRectF &area);

// The readings of the last ten minutes, drawn with QPainter at whatever size the window
// gives it: levels as a line with a dot per reading, missed readings as red marks and
// unknown or unreadable answers as grey marks along the bottom.
class SignalPlot : public QWidget
{
    Q_OBJECT

public:
    explicit SignalPlot(QWidget *parent = nullptr);

    // The samples of the span ending at `now`.
    void showSamples(std::vector<SignalSample> samples, const QDateTime &now);

    // The area inside the axis captions, and what is drawn there at the present size.
    QRectF plotArea() const;
    SignalPlotLayout plotLayout() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawGrid(QPainter &painter, const QRectF &area) const;

    std::vector<SignalSample> m_samples;
    QDateTime m_now;
};

// Five steps that rise from left to right, as many of them lit as the reading earns.
class SignalBars : public QWidget
{
    Q_OBJECT

public:
    explicit SignalBars(QWidget *parent = nullptr);

    void setSteps(int steps);
    int steps() const { return m_steps; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_steps = 0;
};

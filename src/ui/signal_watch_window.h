// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "save_file_chooser.h"

#include <QWidget>

#include <optional>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class SignalBars;
class SignalPlot;
class SignalWatch;

// "Watch signal quality…": the watch of one logger in a window of its own, not modal.
// The latest reading large with its meaning and a bar of five steps, the last ten
// minutes as a plot with their minimum, mean and maximum, the missed readings, the
// interval, and a CSV of every reading. Closing the window ends the watch.
class SignalWatchWindow : public QWidget
{
    Q_OBJECT

public:
    // The interval the operator may choose, in seconds.
    static constexpr double kShortestIntervalS = 0.5;
    static constexpr double kLongestIntervalS = 60.0;

    SignalWatchWindow(SignalWatch &watch, SaveFileChooser chooseFile, QWidget *parent = nullptr);

public slots:
    // "Save…": every reading of this watch as CSV.
    void saveReadings();
    // Shows what the watch has read, up to its clock's present time.
    void refresh();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showLatest();
    void showStatistics();
    void showRunning(bool running);
    void startOrStop();

    SignalWatch &m_watch;
    SaveFileChooser m_chooseFile;
    QLabel *m_value;
    QLabel *m_meaning;
    SignalBars *m_bars;
    SignalPlot *m_plot;
    QLabel *m_statistics;
    QLabel *m_missed;
    QDoubleSpinBox *m_interval;
    QPushButton *m_startStop;
    QLabel *m_saveOutcome;
};

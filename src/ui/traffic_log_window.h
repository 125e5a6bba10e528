#pragma once

#include "save_file_chooser.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSortFilterProxyModel;
class QTableView;
class TrafficLog;
class TrafficLogModel;

// "Traffic log…": every datagram of both sockets, newest last, with the selected one in
// hexadecimal below. Not modal; while it is shown it takes what the log recorded ten
// times a second, so the exchange never waits for it.
class TrafficLogWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRefreshIntervalMs = 100;

    TrafficLogWindow(TrafficLog &log, SaveFileChooser chooseFile, QWidget *parent = nullptr);

    // Takes what the log recorded since the last refresh.
    void refresh();

public slots:
    void clearLog();
    void saveAsText();
    void saveCapture();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showSelectedDatagram();
    void showCounts();
    void reportSave(const QString &path, const std::optional<QString> &failure);

    TrafficLog &m_log;
    SaveFileChooser m_chooseFile;
    TrafficLogModel *m_model;
    QSortFilterProxyModel *m_filter;
    QLineEdit *m_peerFilter;
    QTableView *m_table;
    QPlainTextEdit *m_detail;
    QLabel *m_counts;
    QLabel *m_saveOutcome;
    QTimer m_refreshTimer;
};

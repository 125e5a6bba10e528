// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "save_file_chooser.h"

#include <QHostAddress>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class Notifier;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSortFilterProxyModel;
class QTableView;
class TrafficLog;
class TrafficLogModel;
struct ObservedDatagram;

// Supplies the PC's own address, which a capture shows for a socket bound to every interface.
using PcAddressSource = std::function<QHostAddress()>;

// "Traffic log…": every datagram of both sockets, newest last, with the selected one in
// hexadecimal below. Not modal; while it is shown it takes what the log recorded ten
// times a second, so the exchange never waits for it. The selected datagram stays
// selected, and the view scrolled up stays on its datagrams, while the oldest ones go.
class TrafficLogWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRefreshIntervalMs = 100;

    TrafficLogWindow(TrafficLog &log, Notifier &notifier, SaveFileChooser chooseFile,
                     PcAddressSource pcAddress, QWidget *parent = nullptr);

    // Takes what the log recorded since the last refresh.
    void refresh();

public slots:
    // Asks first: what the log holds cannot be brought back.
    void clearLog();
    // Both write the datagrams the peer filter shows.
    void saveAsText();
    void saveCapture();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void applyPeerFilter(const QString &typed);
    void showSelectedDatagram();
    void showCounts();
    std::optional<quint64> selectedNumber() const;
    std::optional<quint64> topVisibleNumber() const;
    void scrollToNumber(quint64 number);
    QList<ObservedDatagram> shownDatagrams() const;
    QString choosePath(const QString &caption, const QString &fileType, const QString &extension);
    void reportSave(const QString &path, const std::optional<QString> &failure);

    TrafficLog &m_log;
    Notifier &m_notifier;
    SaveFileChooser m_chooseFile;
    PcAddressSource m_pcAddress;
    TrafficLogModel *m_model;
    QSortFilterProxyModel *m_filter;
    QLineEdit *m_peerFilter;
    QTableView *m_table;
    QPlainTextEdit *m_detail;
    QLabel *m_counts;
    QLabel *m_saveOutcome;
    QTimer m_refreshTimer;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transport/datagram_observer.h"

#include <QAbstractTableModel>

#include <deque>
#include <optional>

class TrafficLog;

// The traffic log as a table, newest last. It copies the log's datagrams when it is
// refreshed, not when they are recorded, so the exchange never waits for the table.
class TrafficLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        TimeColumn,
        DirectionColumn,
        PeerColumn,
        LengthColumn,
        VerdictColumn,
        PayloadColumn,
        ColumnCount
    };

    explicit TrafficLogModel(const TrafficLog &log, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const ObservedDatagram &datagramAt(int row) const;
    // The log's number of the datagram in a row, and the row of a datagram by its number
    // (nothing when it is no longer a row).
    quint64 numberAt(int row) const;
    std::optional<int> rowOf(quint64 number) const;
    // Whether every datagram the log holds is a row.
    bool caughtUp() const;

    // A refresh takes at most this many new rows, so that a flood of datagrams costs the
    // event loop a short step per refresh; the rest follow on the next refreshes.
    static constexpr int kMaxRowsPerRefresh = 1000;

public slots:
    // Drops the rows the log no longer keeps and appends (some of) the ones it recorded
    // since, oldest first; rows the log let go of before they were shown are skipped.
    void refresh();

private:
    const TrafficLog &m_log;
    std::deque<ObservedDatagram> m_rows;
    quint64 m_firstNumber = 0; // the log's number of the first row
};

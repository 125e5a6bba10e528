// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plant_table.h"

#include <QAbstractTableModel>

#include <vector>

// The plant view's table: one row per logger, one column per setting. A value that
// differs from the one most loggers hold is shown bold on a tint, so the odd logger
// stands out; the marks follow every outcome that comes in.
class PlantTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        // A number where a column sorts by number, else the text.
        SortRole = Qt::UserRole,
        // True where the value differs from the one most loggers hold.
        OddValueRole,
        // 0 to 5 for the signal column's bar; nothing without a value of the scale.
        SignalStepsRole,
    };

    explicit PlantTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // One row per logger, none read yet.
    void setLoggers(const std::vector<fleet::LoggerTarget> &loggers);
    void setState(std::size_t row, ReadState state);
    // A finished read: done with its values, or failed with its failure.
    void setOutcome(std::size_t row, const fleet::LoggerOutcome &outcome);
    void setApplyState(std::size_t row, ApplyState state);
    // A finished dry run (checked) or apply (applied) of a profile: each setting's entry, or
    // the failure. An apply's read-backs replace the values of the last read; what it may
    // have changed unseen marks the row stale.
    void setApplyOutcome(std::size_t row, ApplyState state, const fleet::LoggerOutcome &outcome);

    // Marks a row whose values an apply may have changed unseen (a stopped apply).
    void setStale(std::size_t row);

    const std::vector<PlantRow> &rows() const { return m_rows; }

private:
    // Compares the row's values anew with its columns' and tells the views.
    void refreshRow(std::size_t row);
    // A cell's text: of a setting's column, as made when its outcome came in.
    QString cellText(std::size_t row, int column) const;

    // One column's compared values and their marks. The holders are counted as outcomes
    // come in, so that an outcome costs its own row, and the whole column only when its
    // usual value changes.
    struct ColumnMarks {
        ValueHolders holders;
        QString usual;
        std::vector<QString> compared; // by row
        std::vector<bool> odd;         // by row
        // By row, a setting column's cell texts: made once per outcome, not at each paint
        // or sort, as the texts of the loggers' code page are converted to make them.
        std::vector<QString> shown;

        // Marks every row against the usual value.
        void markAll();
    };

    std::vector<PlantRow> m_rows;
    std::vector<ColumnMarks> m_columns; // by column
};

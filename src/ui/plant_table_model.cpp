// SPDX-License-Identifier: GPL-3.0-or-later
#include "plant_table_model.h"

#include <QBrush>
#include <QColor>
#include <QFont>

namespace {

const QColor kOddValueTint(255, 236, 179);
const QColor kFailureText(170, 0, 0);

void Hold(ValueHolders &holders, const QString &value)
{
    if (!value.isEmpty()) {
        ++holders[value];
    }
}

void Release(ValueHolders &holders, const QString &value)
{
    if (value.isEmpty()) {
        return;
    }
    const auto held = holders.find(value);
    if (--held->second == 0) {
        holders.erase(held);
    }
}

bool Failed(const PlantRow &row)
{
    if (row.applyState == ApplyState::Checked || row.applyState == ApplyState::Applied) {
        return !row.applyOutcome.succeeded();
    }
    return row.applyState == ApplyState::None && row.state == ReadState::Failed;
}

} // namespace

PlantTableModel::PlantTableModel(QObject *parent)
    : QAbstractTableModel(parent), m_columns(PlantColumnCount)
{
}

int PlantTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PlantTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : PlantColumnCount;
}

QVariant PlantTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()) {
        return {};
    }
    const PlantRow &row = m_rows.at(static_cast<std::size_t>(index.row()));
    const int column = index.column();
    const bool odd =
        m_columns[static_cast<std::size_t>(column)].odd[static_cast<std::size_t>(index.row())];
    const auto at = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cellText(at, column);
    case SortRole:
        if (column == IpColumn) {
            return row.target.address.toIPv4Address();
        }
        if (column == SignalColumn) {
            // Below every level: an unknown or unreadable report, then an empty cell.
            const cellular::SignalReading reading = PlantSignalReading(row);
            if (!cellular::SignalLevelDbm(reading)) {
                return reading.raw.empty() ? -2 : -1;
            }
        }
        if (PlantColumnSortsByNumber(column)) {
            // The leading number of the text; an empty cell sorts first.
            return cellText(at, column).section(QLatin1Char(' '), 0, 0).toInt();
        }
        return cellText(at, column);
    case OddValueRole:
        return odd;
    case SignalStepsRole:
        if (column == SignalColumn) {
            const cellular::SignalReading reading = PlantSignalReading(row);
            if (reading.value) {
                return cellular::SignalBarSteps(reading);
            }
        }
        return {};
    case Qt::FontRole:
        if (odd) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        return odd ? QVariant(QBrush(kOddValueTint)) : QVariant();
    case Qt::ForegroundRole:
        return column == StatusColumn && Failed(row) ? QVariant(QBrush(kFailureText)) : QVariant();
    case Qt::ToolTipRole:
        if (odd) {
            return QStringLiteral("Differs from the value most loggers hold");
        }
        if (column != StatusColumn) {
            return {};
        }
        // After an apply, each setting's outcome on a line of its own.
        return row.applyState == ApplyState::Checked || row.applyState == ApplyState::Applied
                   ? ApplyDetails(row.applyOutcome).join(QLatin1Char('\n'))
                   : PlantCellText(row, column);
    default:
        return {};
    }
}

QVariant PlantTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return PlantColumnTitle(section);
    }
    return {};
}

void PlantTableModel::setLoggers(const std::vector<fleet::LoggerTarget> &loggers)
{
    beginResetModel();
    m_rows.clear();
    for (const fleet::LoggerTarget &logger : loggers) {
        m_rows.push_back({logger, ReadState::NotRead, {}, ApplyState::None, {}, false});
    }
    for (int column = 0; column < PlantColumnCount; ++column) {
        ColumnMarks &marks = m_columns[static_cast<std::size_t>(column)];
        marks = {};
        for (const PlantRow &row : m_rows) {
            marks.shown.push_back(PlantCellText(row, column));
            marks.compared.push_back(PlantComparedValue(row, column));
            Hold(marks.holders, marks.compared.back());
        }
        marks.usual = UsualValue(marks.holders);
        marks.markAll();
    }
    endResetModel();
}

void PlantTableModel::setState(std::size_t row, ReadState state)
{
    m_rows.at(row).state = state;
    const int at = static_cast<int>(row);
    emit dataChanged(index(at, StatusColumn), index(at, StatusColumn));
}

void PlantTableModel::setOutcome(std::size_t row, const fleet::LoggerOutcome &outcome)
{
    PlantRow &plantRow = m_rows.at(row);
    plantRow.outcome = outcome;
    plantRow.state = outcome.succeeded() ? ReadState::Done : ReadState::Failed;
    plantRow.stale = false;
    refreshRow(row);
}

void PlantTableModel::refreshRow(std::size_t row)
{
    const PlantRow &plantRow = m_rows.at(row);
    for (int column = 0; column < PlantColumnCount; ++column) {
        ColumnMarks &marks = m_columns[static_cast<std::size_t>(column)];
        marks.shown.at(row) = PlantCellText(plantRow, column);
        QString &compared = marks.compared.at(row);
        QString value = PlantComparedValue(plantRow, column);
        if (value != compared) {
            Release(marks.holders, compared);
            Hold(marks.holders, value);
            compared = std::move(value);
        }
        // A new value can change which value most loggers hold, and so every row's mark.
        if (QString usual = UsualValue(marks.holders); usual != marks.usual) {
            marks.usual = std::move(usual);
            marks.markAll();
            emit dataChanged(index(0, column), index(rowCount() - 1, column));
        } else {
            marks.odd[row] = IsOddValue(compared, marks.usual);
        }
    }
    const int at = static_cast<int>(row);
    emit dataChanged(index(at, 0), index(at, PlantColumnCount - 1));
}

QString PlantTableModel::cellText(std::size_t row, int column) const
{
    // The logger's own columns and the status change without an outcome.
    if (column < PlantFirstSettingColumn || column == StatusColumn) {
        return PlantCellText(m_rows.at(row), column);
    }
    return m_columns[static_cast<std::size_t>(column)].shown.at(row);
}

void PlantTableModel::setApplyState(std::size_t row, ApplyState state)
{
    m_rows.at(row).applyState = state;
    const int at = static_cast<int>(row);
    emit dataChanged(index(at, StatusColumn), index(at, StatusColumn));
}

void PlantTableModel::setApplyOutcome(std::size_t row, ApplyState state,
                                      const fleet::LoggerOutcome &outcome)
{
    PlantRow &plantRow = m_rows.at(row);
    plantRow.applyOutcome = outcome;
    plantRow.applyState = state;
    if (state == ApplyState::Applied) {
        plantRow.stale = TakeApplyReadBack(plantRow) || plantRow.stale;
    }
    refreshRow(row);
}

void PlantTableModel::setStale(std::size_t row)
{
    m_rows.at(row).stale = true;
    const int at = static_cast<int>(row);
    emit dataChanged(index(at, StatusColumn), index(at, StatusColumn));
}

void PlantTableModel::ColumnMarks::markAll()
{
    odd.resize(compared.size());
    for (std::size_t row = 0; row < compared.size(); ++row) {
        odd[row] = IsOddValue(compared[row], usual);
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic_log_model.h"

#include "wirelog/traffic_log.h"

#include <algorithm>

TrafficLogModel::TrafficLogModel(const TrafficLog &log, QObject *parent)
    : QAbstractTableModel(parent), m_log(log)
{
    refresh();
}

int TrafficLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TrafficLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const ObservedDatagram &TrafficLogModel::datagramAt(int row) const
{
    return m_rows.at(static_cast<std::size_t>(row));
}

quint64 TrafficLogModel::numberAt(int row) const
{
    return m_firstNumber + static_cast<quint64>(row);
}

std::optional<int> TrafficLogModel::rowOf(quint64 number) const
{
    if (number < m_firstNumber || number - m_firstNumber >= m_rows.size()) {
        return std::nullopt;
    }
    return static_cast<int>(number - m_firstNumber);
}

bool TrafficLogModel::caughtUp() const
{
    return m_firstNumber + m_rows.size() >= m_log.recordedCount();
}

QVariant TrafficLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const ObservedDatagram &datagram = datagramAt(index.row());
    if (role == Qt::ToolTipRole) {
        return QString::fromLatin1(ShownBytes(datagram).toHex(' ').toUpper());
    }
    if (role == Qt::TextAlignmentRole && index.column() == LengthColumn) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
    case TimeColumn:
        return TimeText(datagram);
    case DirectionColumn:
        if (datagram.direction == ObservedDatagram::Direction::LeftOverDiscarded ||
            datagram.direction == ObservedDatagram::Direction::SetAside) {
            return DirectionText(datagram.direction); // only the set socket takes answers
        }
        return DirectionText(datagram.direction) + QLatin1Char(' ') +
               EndpointText(datagram.endpoint);
    case PeerColumn:
        return PeerText(datagram);
    case LengthColumn:
        if (HoldsSecret(datagram)) {
            return LengthText(datagram);
        }
        return datagram.bytes.size(); // a number, so that the column sorts by it
    case VerdictColumn:
        return DatagramVerdict(datagram);
    case PayloadColumn:
        return DatagramPayloadText(datagram);
    default:
        return {};
    }
}

QVariant TrafficLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case TimeColumn:
        return QStringLiteral("Time");
    case DirectionColumn:
        return QStringLiteral("Direction");
    case PeerColumn:
        return QStringLiteral("Peer");
    case LengthColumn:
        return QStringLiteral("Length");
    case VerdictColumn:
        return QStringLiteral("Verdict");
    case PayloadColumn:
        return QStringLiteral("Payload");
    default:
        return {};
    }
}

void TrafficLogModel::refresh()
{
    // Rows the log has let go of (bound reached, or cleared) leave from the top.
    const quint64 logFirst = m_log.firstNumber();
    const auto gone = static_cast<std::size_t>(
        std::min<quint64>(logFirst > m_firstNumber ? logFirst - m_firstNumber : 0, m_rows.size()));
    if (gone > 0) {
        beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(gone));
        endRemoveRows();
    }
    m_firstNumber = std::max(m_firstNumber, logFirst);
    if (m_rows.empty()) {
        m_firstNumber = logFirst;
    }

    const quint64 nextNumber = m_firstNumber + m_rows.size();
    const quint64 logEnd =
        std::min<quint64>(m_log.recordedCount(), nextNumber + kMaxRowsPerRefresh);
    if (nextNumber >= logEnd) {
        return;
    }
    const auto added = static_cast<int>(logEnd - nextNumber);
    beginInsertRows({}, static_cast<int>(m_rows.size()),
                    static_cast<int>(m_rows.size()) + added - 1);
    for (quint64 number = nextNumber; number < logEnd; ++number) {
        m_rows.push_back(m_log.at(static_cast<std::size_t>(number - logFirst)));
    }
    endInsertRows();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial_or_ip_filter.h"

#include "plant_table.h"

void SerialOrIpFilter::setText(const QString &text)
{
    m_text = text.trimmed();
    invalidateRowsFilter();
}

bool SerialOrIpFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_text.isEmpty()) {
        return true;
    }
    for (const int column : {SerialColumn, IpColumn}) {
        const QModelIndex cell = sourceModel()->index(sourceRow, column, sourceParent);
        if (cell.data().toString().contains(m_text, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

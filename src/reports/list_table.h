// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QStringList>

// A report list's column captions and its rows, top to bottom, one text per column.
struct ListTable {
    QStringList header;
    QList<QStringList> rows;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/list_table.h"
#include "save_file_chooser.h"

#include <optional>

class QTreeWidget;

ListTable ListContents(const QTreeWidget &list);

// Two lists whose rows belong together, row by row, as one table: the columns of `left`
// then those of `right`; where one list has fewer rows its cells stay empty.
ListTable SideBySide(const ListTable &left, const ListTable &right);

// Writes the table as CSV for a spreadsheet to `path`. Returns the reason on failure,
// nothing on success.
std::optional<QString> WriteListCsv(const ListTable &table, const QString &path);

struct ExportFailure {
    QString path;
    QString reason;
};

// "Export list…": asks where to save, suggesting "stem-<date>.csv", and writes the table
// there. Returns the path and the reason on failure, nothing on success or when the
// operator cancels.
std::optional<ExportFailure> ExportList(const ListTable &table, const QString &stem, QDate date,
                                        QWidget *parent, const SaveFileChooser &chooseFile);

// SPDX-License-Identifier: GPL-3.0-or-later
#include "list_export.h"

#include "reports/csv_table.h"

#include <QSaveFile>
#include <QTreeWidget>

#include <algorithm>

ListTable ListContents(const QTreeWidget &list)
{
    ListTable table;
    const QTreeWidgetItem *captions = list.headerItem();
    for (int column = 0; column < list.columnCount(); ++column) {
        table.header.append(captions->text(column));
    }
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = list.topLevelItem(row);
        QStringList fields;
        for (int column = 0; column < list.columnCount(); ++column) {
            fields.append(item->text(column));
        }
        table.rows.append(fields);
    }
    return table;
}

ListTable SideBySide(const ListTable &left, const ListTable &right)
{
    ListTable joined{left.header + right.header, {}};
    const qsizetype rowCount = std::max(left.rows.size(), right.rows.size());
    const auto rowOrEmpty = [](const ListTable &table, qsizetype row) {
        return row < table.rows.size() ? table.rows.at(row)
                                       : QStringList(table.header.size(), QString());
    };
    for (qsizetype row = 0; row < rowCount; ++row) {
        joined.rows.append(rowOrEmpty(left, row) + rowOrEmpty(right, row));
    }
    return joined;
}

std::optional<QString> WriteListCsv(const ListTable &table, const QString &path)
{
    // Written whole or not at all: an earlier file of that name survives a failed write.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    file.write(SpreadsheetCsvDocument(table.header, table.rows));
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

std::optional<ExportFailure> ExportList(const ListTable &table, const QString &stem, QDate date,
                                        QWidget *parent, const SaveFileChooser &chooseFile)
{
    const QString extension = QStringLiteral("csv");
    const QString path = ChooseSavePath(chooseFile, parent,
                                        {QStringLiteral("Export list"), QStringLiteral("CSV files"),
                                         extension, DatedFileName(stem, extension, date)});
    if (path.isEmpty()) {
        return std::nullopt;
    }
    if (auto reason = WriteListCsv(table, path)) {
        return ExportFailure{path, *reason};
    }
    return std::nullopt;
}

#include "list_export.h"

#include "reports/csv_table.h"

#include <QFileDialog>
#include <QSaveFile>
#include <QTreeWidget>

QString AskForSaveFile(QWidget *parent, const QString &caption, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
}

QStringList ListHeader(const QTreeWidget &list)
{
    QStringList header;
    const QTreeWidgetItem *captions = list.headerItem();
    for (int column = 0; column < list.columnCount(); ++column) {
        header.append(captions->text(column));
    }
    return header;
}

QList<QStringList> ListRows(const QTreeWidget &list)
{
    QList<QStringList> rows;
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = list.topLevelItem(row);
        QStringList fields;
        for (int column = 0; column < list.columnCount(); ++column) {
            fields.append(item->text(column));
        }
        rows.append(fields);
    }
    return rows;
}

std::optional<QString> WriteListCsv(const QTreeWidget &list, const QString &path)
{
    // Written whole or not at all: an earlier file of that name survives a failed write.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    file.write(CsvDocument(ListHeader(list), ListRows(list)));
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

std::optional<QString> ExportList(const QTreeWidget &list, QWidget *parent,
                                  const SaveFileChooser &chooseFile)
{
    const QString path =
        chooseFile(parent, QStringLiteral("Export list"), QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return WriteListCsv(list, path);
}

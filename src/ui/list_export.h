#pragma once

#include "save_file_chooser.h"

#include <QList>
#include <QStringList>

#include <optional>

class QTreeWidget;

// The column captions of a report list.
QStringList ListHeader(const QTreeWidget &list);

// Every row of a report list, top to bottom, one text per column.
QList<QStringList> ListRows(const QTreeWidget &list);

// Writes the list as CSV (its column captions as the header) to `path`. Returns the
// reason on failure, nothing on success.
std::optional<QString> WriteListCsv(const QTreeWidget &list, const QString &path);

// "Export list…": asks where to save and writes the list there. Returns the reason on
// failure, nothing on success or when the operator cancels.
std::optional<QString> ExportList(const QTreeWidget &list, QWidget *parent,
                                  const SaveFileChooser &chooseFile);

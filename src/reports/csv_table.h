#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// A table as CSV text: one record per row, fields separated by commas, records ended by
// CR LF. A field that holds a comma, a double quote, CR or LF is enclosed in double quotes
// and each of its double quotes doubled. Encoded as UTF-8 without a byte order mark.
QByteArray CsvDocument(const QStringList &header, const QList<QStringList> &rows);

// One field as it stands in a record.
QString CsvField(const QString &text);

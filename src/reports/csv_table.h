// SPDX-License-Identifier: GPL-3.0-or-later
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

// CSV for a person's spreadsheet rather than for a program: a UTF-8 byte order mark
// first, so that a spreadsheet on Windows reads the text as UTF-8, and every field
// through SpreadsheetSafeText.
QByteArray SpreadsheetCsvDocument(const QStringList &header, const QList<QStringList> &rows);

// A text that a spreadsheet would take for a formula (one beginning with =, +, -, @, a
// tab or CR) with an apostrophe before it, which the spreadsheet shows as text; any other
// text as it is. A logger's serial number "=1+2" must not become a live formula.
QString SpreadsheetSafeText(const QString &text);

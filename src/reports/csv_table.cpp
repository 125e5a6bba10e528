// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv_table.h"

namespace {

bool NeedsQuotes(const QString &text)
{
    for (const QChar character : text) {
        if (character == QLatin1Char(',') || character == QLatin1Char('"') ||
            character == QLatin1Char('\r') || character == QLatin1Char('\n')) {
            return true;
        }
    }
    return false;
}

QString CsvRecord(const QStringList &fields)
{
    QStringList written;
    written.reserve(fields.size());
    for (const QString &field : fields) {
        written.append(CsvField(field));
    }
    return written.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace

QString CsvField(const QString &text)
{
    if (!NeedsQuotes(text)) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray CsvDocument(const QStringList &header, const QList<QStringList> &rows)
{
    QString document = CsvRecord(header);
    for (const QStringList &row : rows) {
        document += CsvRecord(row);
    }
    return document.toUtf8();
}

QString SpreadsheetSafeText(const QString &text)
{
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && kFormulaStarts.contains(text.front())) {
        return QLatin1Char('\'') + text;
    }
    return text;
}

QByteArray SpreadsheetCsvDocument(const QStringList &header, const QList<QStringList> &rows)
{
    const auto safe = [](const QStringList &fields) {
        QStringList written;
        written.reserve(fields.size());
        for (const QString &field : fields) {
            written.append(SpreadsheetSafeText(field));
        }
        return written;
    };
    QList<QStringList> safeRows;
    safeRows.reserve(rows.size());
    for (const QStringList &row : rows) {
        safeRows.append(safe(row));
    }
    return QByteArray("\xEF\xBB\xBF") + CsvDocument(safe(header), safeRows);
}

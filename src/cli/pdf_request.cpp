// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf_request.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {
namespace {

QJsonArray TextsOf(const QStringList &texts)
{
    return QJsonArray::fromStringList(texts);
}

// Nothing when an element is not a text.
std::optional<QStringList> TextsIn(const QJsonValue &value)
{
    if (!value.isArray()) {
        return std::nullopt;
    }
    QStringList texts;
    for (const QJsonValue &text : value.toArray()) {
        if (!text.isString()) {
            return std::nullopt;
        }
        texts.append(text.toString());
    }
    return texts;
}

} // namespace

QByteArray EncodePdfRequest(const PdfRequest &request)
{
    QJsonArray rows;
    for (const QStringList &row : request.table.rows) {
        rows.append(TextsOf(row));
    }
    // The time as milliseconds since the epoch: the painter shows it in the same local time.
    const QJsonObject object{
        {"when", static_cast<double>(request.heading.when.toMSecsSinceEpoch())},
        {"pc", request.heading.pc},
        {"title", request.heading.title},
        {"loggers", static_cast<double>(request.heading.loggers)},
        {"header", TextsOf(request.table.header)},
        {"rows", rows},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<PdfRequest> DecodePdfRequest(const QByteArray &bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    const QJsonObject object = document.object();
    const std::optional<QStringList> header = TextsIn(object.value("header"));
    if (!document.isObject() || !header || !object.value("when").isDouble() ||
        !object.value("loggers").isDouble() || !object.value("pc").isString() ||
        !object.value("title").isString() || !object.value("rows").isArray()) {
        return std::nullopt;
    }
    PdfRequest request;
    request.heading.when =
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(object.value("when").toDouble()));
    request.heading.pc = object.value("pc").toString();
    request.heading.title = object.value("title").toString();
    request.heading.loggers = static_cast<qsizetype>(object.value("loggers").toDouble());
    request.table.header = *header;
    for (const QJsonValue &value : object.value("rows").toArray()) {
        std::optional<QStringList> row = TextsIn(value);
        if (!row) {
            return std::nullopt;
        }
        request.table.rows.append(std::move(*row));
    }
    return request;
}

} // namespace cli

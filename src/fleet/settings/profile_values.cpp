// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile_values.h"

#include <algorithm>
#include <cmath>

namespace fleet {

std::optional<Refusal> UnknownKey(const QJsonObject &object, const QStringList &known,
                                  const QString &path)
{
    for (const QString &key : object.keys()) {
        if (!known.contains(key)) {
            return Refusal{QStringLiteral("unknown key \"%1%2\"").arg(path, key)};
        }
    }
    return std::nullopt;
}

namespace {

// The largest whole number a profile holds: more digits than any field takes.
constexpr double kLargestWholeNumber = 999999999;

Refusal NotAWholeNumber(const QString &path, const QString &given)
{
    return {QStringLiteral("\"%1\" must be a whole number without sign, not %2").arg(path, given)};
}

} // namespace

Checked<QString> ProfileText(const QJsonValue &value, const QString &path)
{
    if (value.isString()) {
        return value.toString();
    }
    if (value.isDouble()) {
        return ProfileWholeNumber(value, path);
    }
    return Refusal{QStringLiteral("\"%1\" must be a text").arg(path)};
}

Checked<QString> ProfileWholeNumber(const QJsonValue &value, const QString &path)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        // A fraction or a sign is refused rather than cut to a whole number.
        if (number < 0 || number > kLargestWholeNumber || number != std::floor(number)) {
            return NotAWholeNumber(path, QString::number(number, 'g', 17));
        }
        return QString::number(static_cast<qint64>(number));
    }
    if (value.isString()) {
        const QString text = value.toString();
        const bool digits = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
        if (!digits) {
            return NotAWholeNumber(path, QLatin1Char('"') + text + QLatin1Char('"'));
        }
        return text;
    }
    return NotAWholeNumber(
        path, QStringLiteral("a %1").arg(value.isBool() ? "true or false" : "list or object"));
}

Checked<QStringList> ProfileFields(const QJsonValue &value, const QString &path,
                                   const QStringList &known)
{
    if (!value.isObject()) {
        return Refusal{QStringLiteral("\"%1\" must be an object").arg(path)};
    }
    const QJsonObject fields = value.toObject();
    if (auto unknown = UnknownKey(fields, known, path + QLatin1Char('.'))) {
        return *unknown;
    }
    QStringList texts;
    for (const QString &field : known) {
        if (!fields.contains(field)) {
            texts.append(QString());
            continue;
        }
        Checked<QString> text = ProfileText(fields.value(field), path + QLatin1Char('.') + field);
        if (!text.accepted()) {
            return text.refusal();
        }
        texts.append(text.value());
    }
    return texts;
}

GivenFields FieldsGiven(const QJsonObject &object, const QStringList &known)
{
    GivenFields given;
    for (qsizetype index = 0; index < known.size(); ++index) {
        given.set(static_cast<std::size_t>(index), object.contains(known[index]));
    }
    return given;
}

} // namespace fleet

#include "profile_values.h"

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

Checked<QString> ProfileText(const QJsonValue &value, const QString &path)
{
    if (value.isString()) {
        return value.toString();
    }
    if (value.isDouble()) {
        return QString::number(value.toInteger());
    }
    return Refusal{QStringLiteral("\"%1\" must be a text").arg(path)};
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

} // namespace fleet

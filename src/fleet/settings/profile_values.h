// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"
#include "wanted_value.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>

// The values of a profile as the setting families read them; `path` names a value in
// messages ("settings.apn.name").
namespace fleet {

// The first key of the object that is not among the known ones.
std::optional<Refusal> UnknownKey(const QJsonObject &object, const QStringList &known,
                                  const QString &path);

// A value that must be a text (a whole number is taken as its decimal text).
Checked<QString> ProfileText(const QJsonValue &value, const QString &path);

// A whole number as its decimal text: a JSON number without fraction or sign, or a text
// of decimal digits. The field's own check bounds it.
Checked<QString> ProfileWholeNumber(const QJsonValue &value, const QString &path);

// An object of texts with the known keys, in their order; a key left out gives an empty
// text.
Checked<QStringList> ProfileFields(const QJsonValue &value, const QString &path,
                                   const QStringList &known);

// Which of the known keys the object gives, by their places among them.
GivenFields FieldsGiven(const QJsonObject &object, const QStringList &known);

} // namespace fleet

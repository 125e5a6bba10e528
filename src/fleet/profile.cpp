// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile.h"

#include "settings/catalogue.h"
#include "settings/profile_values.h"
#include "private_file/private_file.h"
#include "settings/write_steps.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>
#include <QStringList>

#include <string_view>

namespace fleet {
namespace {

const QStringList kDocumentKeys{"format", "version", "logger", "settings"};
const QStringList kLoggerKeys{"serial", "ip"};

Checked<Profile> ReadSettings(const QJsonObject &settings)
{
    if (auto unknown = UnknownKey(settings, ProfileSettingKeys(), QStringLiteral("settings."))) {
        return *unknown;
    }
    Profile profile;
    for (const SettingSpec &row : Catalogue()) {
        const QLatin1String key(row.profileKey);
        if (row.fromProfile == nullptr || !settings.contains(key)) {
            continue; // read only, such as the MAC address, or left out
        }
        CheckedProfileSetting setting = RefusingTextOutsideCodePage(row.setting, [&] {
            return row.fromProfile(settings.value(key), QStringLiteral("settings.") + key);
        });
        if (!setting.accepted()) {
            return setting.refusal();
        }
        if (row.order == WriteOrder::Last) {
            profile.addressChange = std::move(setting).value();
        } else {
            profile.settings.push_back(std::move(setting).value());
        }
    }
    return profile;
}

bool HoldsSecrets(const QJsonObject &document)
{
    const QJsonObject settings = document.value("settings").toObject();
    return settings.contains("pin") ||
           !settings.value("apn").toObject().value("password").toString().isEmpty();
}

Checked<Profile> ReadDocument(const QJsonObject &document)
{
    if (auto unknown = UnknownKey(document, kDocumentKeys, QString())) {
        return *unknown;
    }
    if (document.value("format").toString() != QLatin1String(kProfileFormat)) {
        return Refusal{QStringLiteral("not a profile: \"format\" must be \"%1\"")
                           .arg(QLatin1String(kProfileFormat))};
    }
    if (!document.value("version").isDouble() ||
        document.value("version").toInteger() != kProfileVersion) {
        return Refusal{QStringLiteral("profile version %1 is not supported (this program reads "
                                      "version %2)")
                           .arg(document.value("version").toVariant().toString())
                           .arg(kProfileVersion)};
    }
    if (document.contains("logger")) {
        if (!document.value("logger").isObject()) {
            return Refusal{QStringLiteral("\"logger\" must be an object")};
        }
        if (auto unknown = UnknownKey(document.value("logger").toObject(), kLoggerKeys,
                                      QStringLiteral("logger."))) {
            return *unknown;
        }
    }
    if (!document.value("settings").isObject()) {
        return Refusal{QStringLiteral("\"settings\" must be an object")};
    }
    Checked<Profile> read = ReadSettings(document.value("settings").toObject());
    if (!read.accepted()) {
        return read.refusal();
    }
    Profile profile = std::move(read).value();
    profile.holdsSecrets = HoldsSecrets(document);
    return profile;
}

// Walks a document that has parsed as JSON for what the parsed document no longer tells:
// a key an object gives twice (a JSON reader keeps one of the two values, so the other
// would be dropped unseen), and a number written with a fraction or an exponent (7001.0,
// 7.001e3), which reads as a whole number but is none in the text. The first such key or
// number, named with its path ("settings.apn.name").
class RawTextCheck
{
public:
    explicit RawTextCheck(const QByteArray &json) : m_json(json) {}

    std::optional<Refusal> problem()
    {
        value(QString());
        return m_problem;
    }

private:
    char peek()
    {
        while (m_at < m_json.size() && QChar::isSpace(static_cast<uchar>(m_json[m_at]))) {
            ++m_at;
        }
        return m_at < m_json.size() ? m_json[m_at] : '\0';
    }

    // A string's text between its quotes, escapes decoded as JSON decodes them.
    QString string()
    {
        const qsizetype start = m_at++;
        while (m_at < m_json.size() && m_json[m_at] != '"') {
            m_at += m_json[m_at] == '\\' ? 2 : 1;
        }
        ++m_at;
        const QByteArray quoted = '[' + m_json.mid(start, m_at - start) + ']';
        return QJsonDocument::fromJson(quoted).array().at(0).toString();
    }

    void value(const QString &path)
    {
        const char first = peek();
        if (first == '{') {
            ++m_at;
            QSet<QString> keys;
            while (!m_problem && peek() == '"') {
                const QString key = string();
                const QString keyPath = path.isEmpty() ? key : path + QLatin1Char('.') + key;
                if (keys.contains(key)) {
                    m_problem =
                        Refusal{QStringLiteral("the key \"%1\" is given twice").arg(keyPath)};
                    return;
                }
                keys.insert(key);
                peek();
                ++m_at; // the colon
                value(keyPath);
                if (peek() == ',') {
                    ++m_at;
                }
            }
            peek();
            ++m_at; // the closing brace
        } else if (first == '[') {
            ++m_at;
            for (int index = 0; !m_problem && peek() != ']' && m_at < m_json.size(); ++index) {
                value(QStringLiteral("%1[%2]").arg(path).arg(index));
                if (peek() == ',') {
                    ++m_at;
                }
            }
            ++m_at; // the closing bracket
        } else if (first == '"') {
            string();
        } else {
            const qsizetype start = m_at;
            while (m_at < m_json.size() &&
                   std::string_view(",]} \t\r\n").find(m_json[m_at]) == std::string_view::npos) {
                ++m_at;
            }
            const QByteArray token = m_json.mid(start, m_at - start);
            const bool number = first == '-' || (first >= '0' && first <= '9');
            if (number && (token.contains('.') || token.contains('e') || token.contains('E'))) {
                m_problem =
                    Refusal{QStringLiteral("\"%1\" must be a whole number without sign, not %2")
                                .arg(path, QString::fromLatin1(token))};
            }
        }
    }

    const QByteArray &m_json;
    qsizetype m_at = 0;
    std::optional<Refusal> m_problem;
};

Refusal CannotWrite(const QString &path, const QString &reason)
{
    return {QStringLiteral("cannot write %1: %2").arg(path, reason)};
}

} // namespace

QStringList ProfileSettingKeys()
{
    QStringList keys;
    for (const SettingSpec &row : Catalogue()) {
        if (row.profileKey != nullptr) {
            keys.append(QLatin1String(row.profileKey));
        }
    }
    return keys;
}

QJsonObject ProfileDocument(const LoggerOutcome &backup)
{
    QJsonObject logger{{"ip", backup.address.toString()}};
    if (!backup.serial.isEmpty()) {
        logger.insert("serial", backup.serial);
    }
    // A profile keeps each setting the logger holds as its report gives it.
    QJsonObject settings;
    for (const SettingSpec &row : Catalogue()) {
        const SettingValue *held = backup.settings.find(row.setting);
        if (row.profileKey != nullptr && held != nullptr) {
            settings.insert(QLatin1String(row.profileKey), Report(*held));
        }
    }
    return {{"format", QLatin1String(kProfileFormat)},
            {"version", kProfileVersion},
            {"logger", logger},
            {"settings", settings}};
}

std::optional<Refusal> SaveProfile(const QString &path, const QJsonObject &document)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return CannotWrite(path, file.errorString());
    }
    // Narrowed before anything secret goes in; an earlier file's own mode is kept
    // otherwise, and a new one gets the usual mode of new files.
    if (HoldsSecrets(document)) {
        if (const std::optional<QString> reason = private_file::MakeOwnerOnly(file)) {
            file.cancelWriting();
            return Refusal{QStringLiteral("cannot make %1 private: %2").arg(path, *reason)};
        }
    }
    file.write(QJsonDocument(document).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        return CannotWrite(path, file.errorString());
    }
    return std::nullopt;
}

Checked<Profile> ProfileFromDocument(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        return Refusal{QStringLiteral("not a profile: %1 at byte %2")
                           .arg(error.errorString())
                           .arg(error.offset)};
    }
    if (!document.isObject()) {
        return Refusal{QStringLiteral("not a profile: the document is not a JSON object")};
    }
    if (std::optional<Refusal> problem = RawTextCheck(json).problem()) {
        return *problem;
    }
    return ReadDocument(document.object());
}

Checked<Profile> LoadProfile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Refusal{QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
    }
    Checked<Profile> profile = ProfileFromDocument(file.readAll());
    if (!profile.accepted()) {
        return Refusal{path + QStringLiteral(": ") + profile.refusal().message};
    }
    return profile;
}

} // namespace fleet

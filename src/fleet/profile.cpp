#include "profile.h"

#include "settings/catalogue.h"
#include "settings/profile_values.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStringList>

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
    for (const SettingDescriptor &row : Catalogue()) {
        const QLatin1String key(row.profileKey);
        if (row.fromProfile == nullptr || !settings.contains(key)) {
            continue; // read only, such as the MAC address, or left out
        }
        CheckedProfileSetting setting =
            row.fromProfile(settings.value(key), QStringLiteral("settings.") + key);
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

Refusal CannotWrite(const QString &path, const QString &reason)
{
    return {QStringLiteral("cannot write %1: %2").arg(path, reason)};
}

} // namespace

QStringList ProfileSettingKeys()
{
    QStringList keys;
    for (const SettingDescriptor &row : Catalogue()) {
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
    // A profile keeps each setting as its report gives it.
    QJsonObject settings;
    for (const SettingDescriptor &row : Catalogue()) {
        const QString reportKey = QLatin1String(row.reportKey);
        if (row.profileKey != nullptr && backup.values.contains(reportKey)) {
            settings.insert(QLatin1String(row.profileKey), backup.values.value(reportKey));
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
    if (HoldsSecrets(document) &&
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return Refusal{QStringLiteral("cannot make %1 private: %2").arg(path, file.errorString())};
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

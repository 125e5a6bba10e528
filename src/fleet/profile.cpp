#include "profile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>


namespace fleet {
namespace {

const QStringList kDocumentKeys{"format", "version", "logger", "settings"};
const QStringList kLoggerKeys{"serial", "ip"};
const QStringList kSettingKeys{"ip_configuration", "data_server", "mac",       "apn",     "pin",
                               "operator",         "signal",      "front_end", "devices", "system"};
const QStringList kIpKeys{"address", "mask", "gateway"};
const QStringList kApnKeys{"name", "user", "password"};
const QStringList kDeviceKeys{"serial", "address", "type", "append"};
const QStringList kSystemKeys{"start",
                              "stop",
                              "data_interval_seconds",
                              "heartbeat_minutes",
                              "retries",
                              "wait_for_response",
                              "reconnect",
                              "transport",
                              "gprs"};

std::optional<QString> UnknownKey(const QJsonObject &object, const QStringList &known,
                                  const QString &path)
{
    for (const QString &key : object.keys()) {
        if (!known.contains(key)) {
            return QStringLiteral("unknown key \"%1%2\"").arg(path, key);
        }
    }
    return std::nullopt;
}

// The text of a value that must be a string (a number is taken as its decimal text).
std::optional<QString> TextOf(const QJsonValue &value)
{
    if (value.isString()) {
        return value.toString();
    }
    if (value.isDouble()) {
        return QString::number(value.toInteger());
    }
    return std::nullopt;
}

class ProfileReader
{
public:
    std::variant<Profile, QString> read(const QJsonObject &document)
    {
        if (auto problem = UnknownKey(document, kDocumentKeys, QString())) {
            return *problem;
        }
        if (document.value("format").toString() != QLatin1String(kProfileFormat)) {
            return QStringLiteral("not a profile: \"format\" must be \"%1\"")
                .arg(QLatin1String(kProfileFormat));
        }
        if (!document.value("version").isDouble() ||
            document.value("version").toInteger() != kProfileVersion) {
            return QStringLiteral("profile version %1 is not supported (this program reads "
                                  "version %2)")
                .arg(document.value("version").toVariant().toString())
                .arg(kProfileVersion);
        }
        if (document.contains("logger")) {
            if (!document.value("logger").isObject()) {
                return QStringLiteral("\"logger\" must be an object");
            }
            if (auto problem = UnknownKey(document.value("logger").toObject(), kLoggerKeys,
                                          QStringLiteral("logger."))) {
                return *problem;
            }
        }
        if (!document.value("settings").isObject()) {
            return QStringLiteral("\"settings\" must be an object");
        }
        const QJsonObject settings = document.value("settings").toObject();
        if (auto problem = UnknownKey(settings, kSettingKeys, QStringLiteral("settings."))) {
            return *problem;
        }
        // Written in this order; the IP configuration stays apart and goes last.
        for (const char *key : {"data_server", "apn", "pin", "operator", "front_end", "devices",
                                "system", "ip_configuration"}) {
            if (!settings.contains(QLatin1String(key))) {
                continue;
            }
            if (auto problem =
                    readSetting(QLatin1String(key), settings.value(QLatin1String(key)))) {
                return *problem;
            }
        }
        return std::move(m_profile);
    }

private:
    std::optional<QString> add(CheckedWrite checked, bool ip = false)
    {
        if (auto *refusal = std::get_if<QString>(&checked)) {
            return *refusal;
        }
        if (ip) {
            m_profile.ipWrite = std::get<SettingWrite>(std::move(checked));
        } else {
            m_profile.writes.push_back(std::get<SettingWrite>(std::move(checked)));
        }
        return std::nullopt;
    }

    std::optional<QString> text(const QString &key, const QJsonValue &value, QString &out)
    {
        const auto textValue = TextOf(value);
        if (!textValue) {
            return QStringLiteral("\"%1\" must be a text").arg(key);
        }
        out = *textValue;
        return std::nullopt;
    }

    std::optional<QString> object(const QString &key, const QJsonValue &value,
                                  const QStringList &known, QStringList &texts)
    {
        if (!value.isObject()) {
            return QStringLiteral("\"%1\" must be an object").arg(key);
        }
        const QJsonObject fields = value.toObject();
        if (auto problem = UnknownKey(fields, known, key + QLatin1Char('.'))) {
            return problem;
        }
        texts.clear();
        for (const QString &field : known) {
            QString fieldText;
            if (auto problem = text(key + QLatin1Char('.') + field, fields.value(field), fieldText);
                problem && fields.contains(field)) {
                return problem;
            }
            texts.append(fieldText);
        }
        return std::nullopt;
    }

    std::optional<QString> readSetting(const QString &key, const QJsonValue &value)
    {
        const QString path = QStringLiteral("settings.") + key;
        QString single;
        QStringList fields;
        if (key == QLatin1String("ip_configuration")) {
            if (value.toString() == QLatin1String("dhcp")) {
                return add(DhcpWrite(), true);
            }
            if (auto problem = object(path, value, kIpKeys, fields)) {
                return problem;
            }
            return add(FixedIpWrite(fields[0], fields[1], fields[2]), true);
        }
        if (key == QLatin1String("apn")) {
            if (auto problem = object(path, value, kApnKeys, fields)) {
                return problem;
            }
            return add(ApnWrite(fields[0], fields[1], fields[2]));
        }
        if (key == QLatin1String("devices")) {
            return readDevices(path, value);
        }
        if (key == QLatin1String("system")) {
            if (!value.isObject()) {
                return QStringLiteral("\"%1\" must be an object").arg(path);
            }
            if (auto problem = UnknownKey(value.toObject(), kSystemKeys, path + QLatin1Char('.'))) {
                return problem;
            }
            const auto block = BlockFromReport(value.toObject());
            if (const auto *problem = std::get_if<QString>(&block)) {
                return *problem;
            }
            return add(SystemBlockWrite(std::get<system_parameters::BlockControls>(block)));
        }
        if (auto problem = text(path, value, single)) {
            return problem;
        }
        if (key == QLatin1String("data_server")) {
            return add(DataServerWrite(single));
        }
        if (key == QLatin1String("pin")) {
            return add(PinWrite(single));
        }
        if (key == QLatin1String("operator")) {
            return add(OperatorWrite(single));
        }
        if (key == QLatin1String("front_end")) {
            return add(FrontEndWrite(single));
        }
        return std::nullopt; // mac and signal: read only, never written
    }

    // The registry is replaced: emptied, then each device added in its order.
    std::optional<QString> readDevices(const QString &path, const QJsonValue &value)
    {
        if (!value.isArray()) {
            return QStringLiteral("\"%1\" must be a list").arg(path);
        }
        if (auto problem = add(DevicesClearWrite())) {
            return problem;
        }
        int index = 0;
        for (const QJsonValue &device : value.toArray()) {
            QStringList fields;
            if (auto problem = object(QStringLiteral("%1[%2]").arg(path).arg(index++), device,
                                      kDeviceKeys, fields)) {
                return problem;
            }
            if (auto problem = add(DeviceAddWrite(fields[0], fields[1], fields[2], fields[3]))) {
                return problem;
            }
        }
        return std::nullopt;
    }

    Profile m_profile;
};

bool HoldsSecrets(const QJsonObject &document)
{
    const QJsonObject settings = document.value("settings").toObject();
    return settings.contains("pin") ||
           !settings.value("apn").toObject().value("password").toString().isEmpty();
}

} // namespace

QJsonObject ProfileDocument(const LoggerOutcome &backup)
{
    QJsonObject logger{{"ip", backup.address.toString()}};
    if (!backup.serial.isEmpty()) {
        logger.insert("serial", backup.serial);
    }
    return {{"format", QLatin1String(kProfileFormat)},
            {"version", kProfileVersion},
            {"logger", logger},
            {"settings", backup.values}};
}

std::optional<QString> SaveProfile(const QString &path, const QJsonObject &document)
{
    QFile file(path);
    const bool secret = HoldsSecrets(document);
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    // An existing file keeps its mode on open: narrow it before anything secret goes in.
    if (secret && file.exists() && !file.setPermissions(ownerOnly)) {
        return QStringLiteral("cannot make %1 private: %2").arg(path, file.errorString());
    }
    const bool opened = secret ? file.open(QIODevice::WriteOnly | QIODevice::Truncate, ownerOnly)
                               : file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (!opened) {
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    }
    const QByteArray json = QJsonDocument(document).toJson(QJsonDocument::Indented);
    if (file.write(json) != json.size() || !file.flush()) {
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    }
    return std::nullopt;
}

std::variant<Profile, QString> ProfileFromDocument(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        return QStringLiteral("not a profile: %1 at byte %2")
            .arg(error.errorString())
            .arg(error.offset);
    }
    if (!document.isObject()) {
        return QStringLiteral("not a profile: the document is not a JSON object");
    }
    return ProfileReader().read(document.object());
}

std::variant<Profile, QString> LoadProfile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    }
    auto profile = ProfileFromDocument(file.readAll());
    if (auto *problem = std::get_if<QString>(&profile)) {
        return path + QStringLiteral(": ") + *problem;
    }
    return profile;
}

std::variant<Plan, QString> PlanFromText(const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    Plan plan;
    bool header = false;
    for (qsizetype number = 1; number <= lines.size(); ++number) {
        const QString line = lines[number - 1].trimmed();
        if (line.isEmpty()) {
            continue;
        }
        const QStringList fields = line.split(QLatin1Char(','));
        if (!header) {
            if (line != QLatin1String("serial,ip,mask,gateway")) {
                return QStringLiteral("line %1: the first line must be serial,ip,mask,gateway")
                    .arg(number);
            }
            header = true;
            continue;
        }
        if (fields.size() != 4) {
            return QStringLiteral("line %1: expected serial,ip,mask,gateway").arg(number);
        }
        const QString serial = fields[0].trimmed();
        if (serial.isEmpty()) {
            return QStringLiteral("line %1: the serial number is empty").arg(number);
        }
        if (plan.contains(serial)) {
            return QStringLiteral("line %1: serial %2 appears twice").arg(number).arg(serial);
        }
        CheckedWrite write = FixedIpWrite(fields[1], fields[2], fields[3]);
        if (const auto *refusal = std::get_if<QString>(&write)) {
            return QStringLiteral("line %1: %2").arg(number).arg(*refusal);
        }
        plan.emplace(serial, std::get<SettingWrite>(std::move(write)));
    }
    if (!header) {
        return QStringLiteral("the plan is empty");
    }
    return plan;
}

std::variant<Plan, QString> LoadPlan(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    }
    auto plan = PlanFromText(QString::fromUtf8(file.readAll()));
    if (auto *problem = std::get_if<QString>(&plan)) {
        return path + QStringLiteral(": ") + *problem;
    }
    return plan;
}

} // namespace fleet

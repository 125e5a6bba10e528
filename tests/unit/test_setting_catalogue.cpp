// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/profile.h"
#include "fleet/settings/catalogue.h"
#include "fleet/settings/network.h"
#include "fleet/settings/setting_value.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

Q_DECLARE_METATYPE(fleet::SettingValue)

class TestSettingCatalogue : public QObject
{
    Q_OBJECT

private slots:
    // The profile documentation's table of settings names every key a profile may hold,
    // and no other.
    void profileDocumentationNamesEveryCatalogueKey()
    {
        QFile documentation(QStringLiteral(PROFILE_DOCUMENTATION));
        QVERIFY(documentation.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(documentation.readAll()).split('\n');
        const qsizetype table = lines.indexOf(QStringLiteral("`settings`:"));
        QVERIFY(table >= 0);
        const QRegularExpression row(QStringLiteral("^\\| `([a-z_]+)` \\|"));
        QStringList documented;
        for (qsizetype index = table + 2; index < lines.size() && !lines[index].isEmpty();
             ++index) {
            if (const QRegularExpressionMatch match = row.match(lines[index]); match.hasMatch()) {
                documented.append(match.captured(1));
            }
        }
        QStringList catalogue = fleet::ProfileSettingKeys();
        documented.sort();
        catalogue.sort();
        QCOMPARE(documented, catalogue);
    }

    // Files that cannot loop over the catalogue (a manual, the dissector, the JSON schema,
    // the Ansible documentation) name every setting in it, each as the file spells it.
    void everyListOfSettingsNamesEachSetting_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("needles");
        QStringList codes, manual, reports, applied, ansible;
        for (const fleet::SettingSpec &setting : fleet::Catalogue()) {
            for (const auto *list : {&setting.readCodes, &setting.writeCodes}) {
                for (const protocol::CommandCode code : *list) {
                    codes.append(QString::fromStdString(code.str()) + QStringLiteral(" = \""));
                }
            }
            const QString name = QLatin1String(setting.commandLineName);
            const QString key = QLatin1String(setting.reportKey);
            if (setting.read != nullptr) {
                manual.append(QLatin1Char('*') + name + QLatin1Char('*'));
            }
            if (setting.parse != nullptr) {
                manual.append(QLatin1Char('*') + name +
                              (setting.setForms.isEmpty() ? QStringLiteral("+=") : QStringLiteral("=")));
            }
            if (setting.read != nullptr || setting.parse != nullptr) {
                reports.append(QLatin1Char('"') + key + QStringLiteral("\": {"));
            }
            if (setting.fromProfile != nullptr) {
                const QString profileKey = QLatin1String(setting.profileKey);
                applied.append(QLatin1Char('"') + profileKey +
                               QStringLiteral("\": {\"$ref\": \"#/$defs/applyEntry\""));
                ansible.append(QStringLiteral("\n      ") + profileKey + QStringLiteral(":\n"));
            }
        }
        const QString source = QStringLiteral(PROJECT_SOURCE);
        QTest::newRow("dissector") << source + "/tools/wireshark/tarnwick.lua" << codes;
        QTest::newRow("manual") << source + "/docs/man/tarnwick-cli.1.scd" << manual;
        QTest::newRow("report schema") << source + "/docs/report.schema.json" << reports + applied;
        QTest::newRow("Ansible settings")
            << source + "/tools/ansible/ansible_collections/tarnwick/loggers/plugins/modules/"
                        "logger_settings.py"
            << ansible;
    }

    void everyListOfSettingsNamesEachSetting()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, needles);
        QFile text(file);
        QVERIFY(text.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString content = QString::fromUtf8(text.readAll());
        for (const QString &needle : needles) {
            QVERIFY2(content.contains(needle), qPrintable(needle.trimmed()));
        }
    }

    // A fixed address must fit its own network; each boundary has a row on either side.
    void fixedAddressFitsItsNetwork_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("gateway");
        QTest::addColumn<QString>("refusal"); // empty: accepted
        QTest::newRow("/30 network address")
            << "10.0.0.8"
            << "255.255.255.252"
            << "10.0.0.9"
            << "ip: 10.0.0.8 is the network address of 10.0.0.8/30, not a logger's";
        QTest::newRow("/30 broadcast address")
            << "10.0.0.11"
            << "255.255.255.252"
            << "10.0.0.9"
            << "ip: 10.0.0.11 is the broadcast address of 10.0.0.8/30, not a logger's";
        QTest::newRow("/30 first host") << "10.0.0.9"
                                        << "255.255.255.252"
                                        << "10.0.0.10"
                                        << "";
        QTest::newRow("leading zero") << "10.0.0.09"
                                      << "255.255.255.0"
                                      << "10.0.0.1"
                                      << "ip: 10.0.0.09 is not four decimal numbers from 0 to "
                                         "255 without leading zeros";
        QTest::newRow("no gateway") << "10.0.0.9"
                                    << "255.255.255.0"
                                    << "0.0.0.0"
                                    << "";
        QTest::newRow("/31 lower address") << "10.0.0.8"
                                           << "255.255.255.254"
                                           << "10.0.0.9"
                                           << "";
        QTest::newRow("/31 upper address") << "10.0.0.9"
                                           << "255.255.255.254"
                                           << "10.0.0.8"
                                           << "";
        QTest::newRow("gateway the network's last host") << "10.0.0.11"
                                                         << "255.255.255.0"
                                                         << "10.0.0.254"
                                                         << "";
        QTest::newRow("gateway just past the network")
            << "10.0.0.11"
            << "255.255.255.0"
            << "10.0.1.0"
            << "ip: the gateway 10.0.1.0 is outside 10.0.0.0/24, the network of 10.0.0.11";
    }

    void fixedAddressFitsItsNetwork()
    {
        QFETCH(QString, address);
        QFETCH(QString, mask);
        QFETCH(QString, gateway);
        QFETCH(QString, refusal);
        const Checked<fleet::FixedIp> checked = fleet::CheckFixedIp(address, mask, gateway);
        QCOMPARE(checked.accepted() ? QString() : checked.refusal().message, refusal);
    }

    // A logger holds a profile's value when each field given reads as the report gives it:
    // digits as the number they are.
    void loggerHoldsTheProfilesValue_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<fleet::SettingValue>("read");
        QTest::newRow("front-end port read with a leading zero")
            << QByteArray(R"({"front_end":{"port":7001}})")
            << fleet::SettingValue(cellular::FrontEndEndpoint{"10.9.8.7", "07001", "15"});
        QTest::newRow("ip configuration")
            << QByteArray(R"({"ip_configuration":{"address":"10.0.0.9","mask":"255.255.255.0",)"
                          R"("gateway":"10.0.0.1"}})")
            << fleet::SettingValue(fleet::IpSetting{
                   {{"10", "0", "0", "9"}, {"255", "255", "255", "0"}, {"10", "0", "0", "1"}}, {}});
    }

    void loggerHoldsTheProfilesValue()
    {
        QFETCH(QByteArray, settings);
        QFETCH(fleet::SettingValue, read);
        const Checked<fleet::Profile> profile = fleet::ProfileFromDocument(
            R"({"format":"tarnwick-profile","version":1,"settings":)" + settings + "}");
        QVERIFY(profile.accepted());
        const fleet::Profile &given = profile.value();
        const fleet::ProfileSetting &setting =
            given.addressChange ? *given.addressChange : given.settings.front();
        QVERIFY(fleet::Holds(read, *setting.wanted));
    }
};

QTEST_APPLESS_MAIN(TestSettingCatalogue)
#include "test_setting_catalogue.moc"

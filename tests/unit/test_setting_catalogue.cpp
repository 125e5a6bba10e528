#include "fleet/profile.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

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
};

QTEST_APPLESS_MAIN(TestSettingCatalogue)
#include "test_setting_catalogue.moc"

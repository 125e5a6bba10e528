// SPDX-License-Identifier: GPL-3.0-or-later
#include "code_page_for_test.h"
#include "sim_cellular.h"
#include "transport/command_exchange.h"
#include "window_harness.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

namespace {

constexpr int kWaitMs = 2000;
const QString kNoLogger = QStringLiteral("Please choose a PV data logger first");
const QString kNoMinutes = QStringLiteral("Please complete Front-End Computer Time");

std::vector<std::string> Requests(std::initializer_list<QByteArray> payloads)
{
    std::vector<std::string> requests;
    for (const QByteArray &payload : payloads) {
        requests.push_back(payload.toStdString());
    }
    return requests;
}

// Alternating control names and texts; a name beginning "redt" is a rich edit.
void FillEdits(WindowHarness &harness, const QStringList &namesAndTexts)
{
    for (qsizetype i = 0; i + 1 < namesAndTexts.size(); i += 2) {
        const QByteArray name = namesAndTexts[i].toLatin1();
        if (name.startsWith("redt")) {
            harness.control<QTextEdit>(name.constData())->setPlainText(namesAndTexts[i + 1]);
        } else {
            harness.control<QLineEdit>(name.constData())->setText(namesAndTexts[i + 1]);
        }
    }
}

QStringList Texts(WindowHarness &harness, const QStringList &names)
{
    QStringList texts;
    for (const QString &name : names) {
        texts.append(harness.control<QLineEdit>(qPrintable(name))->text());
    }
    return texts;
}

// Types each character as a key of its own; keyClicks takes only ASCII.
void Type(QLineEdit *edit, const QString &text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void Click(WindowHarness &harness, const QString &button)
{
    harness.control<QPushButton>(qPrintable(button))->click();
}

bool ExchangeIdle(WindowHarness &harness)
{
    return harness.window().exchange().currentCommand().empty() &&
           !harness.window().exchange().timeoutActive();
}

// Nothing went out: the exchange never started, and no datagram reached the logger.
void VerifyNothingSent(WindowHarness &harness)
{
    QVERIFY(ExchangeIdle(harness));
    QTest::qWait(30);
    QVERIFY(harness.logger().requests().empty());
}

} // namespace

class TestCellularLink : public QObject
{
    Q_OBJECT

private slots:
    // A character the loggers' code page cannot hold would go out as "?"; the text is
    // refused before anything is sent, naming it.
    void textOutsideTheCodePageIsRefused_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("character");
        QTest::newRow("APN user") << "btnAW" << QStringList{"edtapnname", "internet", "edtapnuser", "Ωmega"} << "Ω";
        QTest::newRow("operator, outside the basic plane")
            << "btnCW" << QStringList{"edtto", "Net 😀"} << "😀";
        QTest::newRow("PIN") << "btnPW" << QStringList{"edtpin", "12€4"} << "€";
        QTest::newRow("device append info")
            << "btnDA"
            << QStringList{"edtdevicesn", "ABC123", "edtadd", "5", "edttype", "12",
                           "redtappendinfo", "Roof€"}
            << "€";
    }

    void textOutsideTheCodePageIsRefused()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, edits);
        QFETCH(QString, character);
        const CodePageForTest latin1("ISO-8859-1");
        QVERIFY(latin1.selected());
        WindowHarness harness;
        harness.selectLogger();
        FillEdits(harness, edits);
        Click(harness, button);
        QCOMPARE(harness.notifier().errors,
                 QStringList{QStringLiteral("The loggers' code page has no character '%1': "
                                            "nothing was sent.")
                                 .arg(character)});
        VerifyNothingSent(harness);
    }

    void withoutSelectedLoggerOnlyThatIsReported_data()
    {
        QTest::addColumn<QString>("button");
        for (const char *button :
             {"btnAR", "btnAW", "btnPW", "btnPC", "btnCR", "btnCW", "btnIF", "btnQR", "btnQW"}) {
            QTest::newRow(button) << QString::fromLatin1(button);
        }
    }

    // edtpin and edtfectime are empty, so the selection check must come first.
    void withoutSelectedLoggerOnlyThatIsReported()
    {
        QFETCH(QString, button);
        WindowHarness harness;
        CellularState state;
        InstallCellularCommands(harness.logger(), state);
        Click(harness, button);
        QCOMPARE(harness.notifier().all(), QStringList{kNoLogger});
        VerifyNothingSent(harness);
    }

    void writesSendExactPayloadAndConfirm_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("message");
        const QString apnDone = QStringLiteral("Set APN successful");
        const QString operatorDone = QStringLiteral("Set Telecom Operator successful");
        QTest::newRow("AW internet guest empty")
            << "btnAW" << QStringList{"edtapnname", "internet", "edtapnuser", "guest"}
            << QByteArray("AW\"internet\",\"guest\",\"\"") << apnDone;
        QTest::newRow("AW all empty")
            << "btnAW" << QStringList() << QByteArray("AW\"\",\"\",\"\"") << apnDone;
        QTest::newRow("AW blanks around values")
            << "btnAW"
            << QStringList{"edtapnname", " my apn ", "edtapnuser", "\tu", "edtapnpasseword", "p "}
            << QByteArray("AW\"my apn\",\"u\",\"p\"") << apnDone;
        QTest::newRow("PW 1234") << "btnPW" << QStringList{"edtpin", "1234"} << QByteArray("PW1234")
                                 << "Set PIN successful";
        QTest::newRow("PW blanks only")
            << "btnPW" << QStringList{"edtpin", "  "} << QByteArray("PW") << "Set PIN successful";
        QTest::newRow("PC empty pin")
            << "btnPC" << QStringList() << QByteArray("PC") << "Clear PIN successful";
        QTest::newRow("CW Tel Net") << "btnCW" << QStringList{"edtto", "  Tel Net "}
                                    << QByteArray("CW\"Tel Net\"") << operatorDone;
        QTest::newRow("CW empty") << "btnCW" << QStringList() << QByteArray("CW\"\"")
                                  << operatorDone;
        QTest::newRow("QW 30") << "btnQW" << QStringList{"edtfectime", "30"}
                               << QByteArray("QW192.0.2.60,6004,30")
                               << "Set Front-End Computer Successful";
    }

    void writesSendExactPayloadAndConfirm()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, edits);
        QFETCH(QByteArray, payload);
        QFETCH(QString, message);
        WindowHarness harness;
        CellularState state;
        InstallCellularCommands(harness.logger(), state);
        harness.selectLogger();
        FillEdits(harness, edits);
        Click(harness, button);
        QVERIFY(!harness.control<QPushButton>(qPrintable(button))->isEnabled());

        QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().all(), QStringList{message}, kWaitMs);
        QCOMPARE(harness.logger().requests(), Requests({payload}));
        QVERIFY(ExchangeIdle(harness));
        QVERIFY(harness.control<QPushButton>(qPrintable(button))->isEnabled());
        for (qsizetype i = 0; i + 1 < edits.size(); i += 2) {
            QCOMPARE(harness.control<QLineEdit>(qPrintable(edits[i]))->text(), edits[i + 1]);
        }
    }

    void readsFillTheEditsFromTheAnswer_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QStringList>("texts");
        const QStringList apn{"edtapnname", "edtapnuser", "edtapnpasseword"};
        const QStringList apnUnchanged{"old", "old", "old"};
        QTest::newRow("AR three values") << "btnAR" << QByteArray("R\"internet\",\"guest\",\"pw\"")
                                         << apn << QStringList{"internet", "guest", "pw"};
        QTest::newRow("AR comma in password") << "btnAR" << QByteArray("R\"apn\",\"u\",\"pa,ss\"")
                                              << apn << QStringList{"apn", "u", "p"};
        QTest::newRow("AR empty fields")
            << "btnAR" << QByteArray("R\"\",\"\",\"\"") << apn << QStringList{"", "", ""};
        QTest::newRow("AR two items")
            << "btnAR" << QByteArray("R\"a\",\"b\"") << apn << apnUnchanged;
        QTest::newRow("AR R alone") << "btnAR" << QByteArray("R") << apn << apnUnchanged;
        QTest::newRow("CR quoted") << "btnCR" << QByteArray("R\"Tel Net\"") << QStringList{"edtto"}
                                   << QStringList{"Tel Net"};
        QTest::newRow("CR unquoted")
            << "btnCR" << QByteArray("RTelNet") << QStringList{"edtto"} << QStringList{"elNe"};
        QTest::newRow("CR R alone")
            << "btnCR" << QByteArray("R") << QStringList{"edtto"} << QStringList{""};
        QTest::newRow("IF longer") << "btnIF" << QByteArray("RIF,QUALITY: 23,99")
                                   << QStringList{"edtif"} << QStringList{"23"};
        QTest::newRow("IF 14 bytes")
            << "btnIF" << QByteArray("R123456789012A") << QStringList{"edtif"} << QStringList{"A"};
        QTest::newRow("IF 13 bytes")
            << "btnIF" << QByteArray("R123456789012") << QStringList{"edtif"} << QStringList{""};
        QTest::newRow("QR commas") << "btnQR" << QByteArray("R192.0.2.60,6004,30")
                                   << QStringList{"edtfectime"} << QStringList{"30"};
        QTest::newRow("QR spaces") << "btnQR" << QByteArray("R192.0.2.60 6004 45 9")
                                   << QStringList{"edtfectime"} << QStringList{"45"};
        QTest::newRow("QR quoted") << "btnQR" << QByteArray("R\"a, b\",\"6004\",\"1\"\"5\"")
                                   << QStringList{"edtfectime"} << QStringList{"1\"5"};
        QTest::newRow("QR unclosed quote") << "btnQR" << QByteArray("R1,2,\"7 8")
                                           << QStringList{"edtfectime"} << QStringList{"7 8"};
        QTest::newRow("QR two items")
            << "btnQR" << QByteArray("R1,2") << QStringList{"edtfectime"} << QStringList{"old"};
    }

    void readsFillTheEditsFromTheAnswer()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, edits);
        QFETCH(QStringList, texts);
        WindowHarness harness;
        const std::string code = button.mid(3).toStdString();
        harness.logger().setCommandHandler(code, [answer](const std::string &) {
            return std::optional<std::string>(answer.toStdString());
        });
        harness.selectLogger();
        for (const QString &edit : edits) {
            harness.control<QLineEdit>(qPrintable(edit))->setText(QStringLiteral("old"));
        }
        Click(harness, button);
        QCOMPARE(Texts(harness, edits), QStringList(edits.size(), QStringLiteral("old")));

        QTRY_VERIFY_WITH_TIMEOUT(ExchangeIdle(harness), kWaitMs);
        QCOMPARE(Texts(harness, edits), texts);
        QCOMPARE(harness.logger().requests(), std::vector<std::string>{code});
        QVERIFY(harness.notifier().all().isEmpty());
        QVERIFY(harness.control<QPushButton>(qPrintable(button))->isEnabled());
    }

    void emptyPinIsRefusedOnceALoggerIsSelected()
    {
        WindowHarness harness;
        CellularState state;
        InstallCellularCommands(harness.logger(), state);
        harness.selectLogger();
        Click(harness, QStringLiteral("btnPW"));
        QCOMPARE(harness.notifier().all(), QStringList{QStringLiteral("Please enter the Pin.")});
        QVERIFY(harness.control<QPushButton>("btnPW")->isEnabled());
        VerifyNothingSent(harness);
    }

    void pinTakesOnlyTypedDigitsAndBackspace()
    {
        WindowHarness harness;
        auto *pin = harness.control<QLineEdit>("edtpin");
        QTest::keyClicks(pin, QStringLiteral("1a2 B3.-+,"));
        QCOMPARE(pin->text(), QStringLiteral("123"));
        QTest::keyClick(pin, Qt::Key_Backspace);
        QTest::keyClick(pin, Qt::Key_Return);
        QTest::keyClick(pin, Qt::Key_Escape);
        QCOMPARE(pin->text(), QStringLiteral("12"));
        QTest::keyClick(pin, Qt::Key_Left);
        QTest::keyClicks(pin, QStringLiteral("9"));
        QCOMPARE(pin->text(), QStringLiteral("192"));
    }

    // An APN value that the answer to AR could not carry back (split at commas, nothing
    // escaped) is refused before anything is sent.
    void apnValueThatCannotBeReadBackIsRefused_data()
    {
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("message");
        QTest::newRow("quote and comma") << QStringList{"edtapnname", "a\"b", "edtapnuser", "c,d"}
                                         << "APN: the name must not hold a double quote";
        QTest::newRow("comma in the user")
            << QStringList{"edtapnuser", "c,d"} << "APN: the user must not hold a comma";
        QTest::newRow("control character in the password")
            << QStringList{"edtapnpasseword", "p\x01q"}
            << "APN: the password must not hold control characters";
    }

    void apnValueThatCannotBeReadBackIsRefused()
    {
        QFETCH(QStringList, edits);
        QFETCH(QString, message);
        WindowHarness harness;
        CellularState state;
        InstallCellularCommands(harness.logger(), state);
        harness.selectLogger();
        FillEdits(harness, edits);
        Click(harness, QStringLiteral("btnAW"));
        QCOMPARE(harness.notifier().all(), QStringList{message});
        VerifyNothingSent(harness);
    }

    void frontEndMinutesMustBeAWholeNumberAboveZero_data()
    {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<bool>("accepted");
        for (const char *accepted : {"5", " 7 ", "015", "+5", "$1F", "x10", "X10", "0x10", "0X1f",
                                     "2147483647", "$7FFFFFFF"}) {
            QTest::newRow(accepted) << QString::fromLatin1(accepted) << true;
        }
        for (const char *refused :
             {"", "   ", "0", "-0", "-3", "1.5", "abc", "5 6", "+", "$", "0x", "2147483648",
              "-2147483649", "$FFFFFFFF", "0x80000000", "+$5", "0x123456789"}) {
            QTest::newRow(refused) << QString::fromLatin1(refused) << false;
        }
    }

    void frontEndMinutesMustBeAWholeNumberAboveZero()
    {
        QFETCH(QString, minutes);
        QFETCH(bool, accepted);
        WindowHarness harness;
        CellularState state;
        InstallCellularCommands(harness.logger(), state);
        harness.selectLogger();
        harness.control<QLineEdit>("edtfectime")->setText(minutes);
        Click(harness, QStringLiteral("btnQW"));
        if (!accepted) {
            QCOMPARE(harness.notifier().all(), QStringList{kNoMinutes});
            VerifyNothingSent(harness);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().all(),
                                  QStringList{QStringLiteral("Set Front-End Computer Successful")},
                                  kWaitMs);
        const QByteArray payload = "QW192.0.2.60,6004," + minutes.trimmed().toLatin1();
        QCOMPARE(harness.logger().requests(), Requests({payload}));
    }

    // Text goes on the wire as bytes of the local 8-bit code page and comes back unchanged.
    void writeThenReadReturnsWhatWasWritten()
    {
        WindowHarness harness;
        CellularState state;
        InstallCellularCommands(harness.logger(), state);
        harness.selectLogger();
        auto *name = harness.control<QLineEdit>("edtapnname");
        auto *user = harness.control<QLineEdit>("edtapnuser");
        auto *password = harness.control<QLineEdit>("edtapnpasseword");
        auto *telecomOperator = harness.control<QLineEdit>("edtto");
        auto *minutes = harness.control<QLineEdit>("edtfectime");
        Type(name, QStringLiteral("café"));
        Type(user, QStringLiteral("Müller"));
        Type(password, QStringLiteral("¿ß?"));
        Type(telecomOperator, QStringLiteral("Añil Móvil"));
        minutes->setText(QStringLiteral("015"));

        for (const char *button : {"btnAW", "btnCW", "btnQW"}) {
            const qsizetype confirmed = harness.notifier().informed.size() + 1;
            Click(harness, QString::fromLatin1(button));
            QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().informed.size(), confirmed, kWaitMs);
        }
        const QByteArray apnWire = "AW\"" + QStringLiteral("café").toLocal8Bit() + "\",\"" +
                                   QStringLiteral("Müller").toLocal8Bit() + "\",\"" +
                                   QStringLiteral("¿ß?").toLocal8Bit() + "\"";
        const QByteArray operatorWire = "CW\"" + QStringLiteral("Añil Móvil").toLocal8Bit() + "\"";
        QCOMPARE(harness.logger().requests(),
                 Requests({apnWire, operatorWire, "QW192.0.2.60,6004,015"}));

        for (QLineEdit *edit : {name, user, password, telecomOperator, minutes}) {
            edit->clear();
        }
        for (const char *button : {"btnAR", "btnCR", "btnQR"}) {
            Click(harness, QString::fromLatin1(button));
            QTRY_VERIFY_WITH_TIMEOUT(ExchangeIdle(harness), kWaitMs);
        }
        QCOMPARE(name->text(), QStringLiteral("café"));
        QCOMPARE(user->text(), QStringLiteral("Müller"));
        QCOMPARE(password->text(), QStringLiteral("¿ß?"));
        QCOMPARE(telecomOperator->text(), QStringLiteral("Añil Móvil"));
        QCOMPARE(minutes->text(), QStringLiteral("015"));
    }

    // Bytes that are no character of the PC's code page are read and written back as
    // they came, not as replacement characters.
    void readThenWriteSendsBackTheLoggersBytes()
    {
        const CodePageForTest utf8("UTF-8");
        QVERIFY(utf8.selected());
        WindowHarness harness;
        CellularState state;
        state.apnName = "\xB0net";
        state.apnUser = "M\xFCller\xE4\xB8\xAD";
        state.apnPassword = "\x81\xFF";
        state.telecomOperator = "Op\xE9ra";
        InstallCellularCommands(harness.logger(), state);
        harness.selectLogger();
        for (const char *button : {"btnAR", "btnCR"}) {
            Click(harness, QString::fromLatin1(button));
            QTRY_VERIFY_WITH_TIMEOUT(ExchangeIdle(harness), kWaitMs);
        }
        QVERIFY(!harness.control<QLineEdit>("edtapnname")->text().contains(QChar::ReplacementCharacter));
        QVERIFY(harness.control<QLineEdit>("edtapnuser")->text().endsWith(QStringLiteral("\u4E2D")));
        for (const char *button : {"btnAW", "btnCW"}) {
            const qsizetype confirmed = harness.notifier().informed.size() + 1;
            Click(harness, QString::fromLatin1(button));
            QTRY_COMPARE_WITH_TIMEOUT(harness.notifier().informed.size(), confirmed, kWaitMs);
        }
        QCOMPARE(harness.logger().requests(),
                 Requests({"AR", "CR", "AW\"\xB0net\",\"M\xFCller\xE4\xB8\xAD\",\"\x81\xFF\"",
                           "CW\"Op\xE9ra\""}));
    }

    void signalQualityComesFromTheLoggersReport()
    {
        WindowHarness harness;
        CellularState state;
        state.signalQuality = "17";
        InstallCellularCommands(harness.logger(), state);
        harness.selectLogger();
        QVERIFY(harness.control<QLineEdit>("edtif")->isReadOnly());
        Click(harness, QStringLiteral("btnIF"));
        QTRY_COMPARE_WITH_TIMEOUT(harness.control<QLineEdit>("edtif")->text(), QStringLiteral("17"),
                                  kWaitMs);
    }
};

QTEST_MAIN(TestCellularLink)
#include "test_cellular_link.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "wire_text/wire_text.h"

#include <QtTest>

#include <string>

class TestWireText : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(wire_text::SelectCodePage(QString::fromLatin1(wire_text::kSystemCodePage))); }

    void everyByteSurvivesARoundTrip_data()
    {
        QTest::addColumn<QString>("codePage");
        QTest::newRow("system") << QString::fromLatin1(wire_text::kSystemCodePage);
        QTest::newRow("UTF-8") << "UTF-8";
        QTest::newRow("windows-1252") << "windows-1252";
        QTest::newRow("GBK") << "GBK";
    }

    void everyByteSurvivesARoundTrip()
    {
        QFETCH(QString, codePage);
        QVERIFY(wire_text::SelectCodePage(codePage));
        std::string allBytes;
        for (int value = 0; value < 256; ++value) {
            const std::string single(1, static_cast<char>(value));
            QCOMPARE(ToWire(FromWire(single)), single);
            allBytes.push_back(static_cast<char>(value));
        }
        QCOMPARE(ToWire(FromWire(allBytes)), allBytes);
        // Every byte stays distinct: 256 different single-byte texts.
        QSet<QString> texts;
        for (int value = 0; value < 256; ++value) {
            texts.insert(FromWire(std::string(1, static_cast<char>(value))));
        }
        QCOMPARE(texts.size(), 256);
    }

    void charactersOfTheCodePageAreShownAsCharacters_data()
    {
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("shown");
        QTest::newRow("UTF-8, ASCII") << "UTF-8" << QByteArray("APN-1") << "APN-1";
        QTest::newRow("UTF-8, two-byte") << "UTF-8" << QByteArray("Z\xC3\xBCrich") << "Z\u00FCrich";
        QTest::newRow("UTF-8, three-byte") << "UTF-8" << QByteArray("\xE4\xB8\xAD") << "\u4E2D";
        QTest::newRow("UTF-8, outside the basic plane")
            << "UTF-8" << QByteArray("\xF0\x90\x82\x80") << QString::fromUcs4(U"\U00010080");
        QTest::newRow("UTF-8, byte-order mark first")
            << "UTF-8" << QByteArray("\xEF\xBB\xBFX") << QString(QChar(0xFEFF)) + QLatin1Char('X');
        QTest::newRow("GBK") << "GBK" << QByteArray("\xD6\xD0") << "\u4E2D";
        QTest::newRow("windows-1252") << "windows-1252" << QByteArray("\xB0") << "\u00B0";
        QTest::newRow("Shift_JIS") << "Shift_JIS" << QByteArray("\x93\xFA") << "\u65E5";
        QTest::newRow("Big5") << "Big5" << QByteArray("\xA4\xA4") << "\u4E2D";
        QTest::newRow("EUC-KR") << "EUC-KR" << QByteArray("\xC7\xD1") << "\uD55C";
    }

    void charactersOfTheCodePageAreShownAsCharacters()
    {
        QFETCH(QString, codePage);
        QFETCH(QByteArray, wire);
        QFETCH(QString, shown);
        QVERIFY(wire_text::SelectCodePage(codePage));
        QCOMPARE(FromWire(wire.toStdString()), shown);
        QCOMPARE(ToWire(shown), wire.toStdString());
    }

    void bytesOutsideTheCodePageAreKeptBetweenCharacters_data()
    {
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("shown");
        const auto kept = [](unsigned char byte) { return QString(QChar(0xDC00 + byte)); };
        QTest::newRow("UTF-8, a lone Latin-1 byte and a cut-off sequence")
            << "UTF-8" << QByteArray("N\xC3\xBC \xB0 \xE4\xB8 ok")
            << "N\u00FC " + kept(0xB0) + " " + kept(0xE4) + kept(0xB8) + " ok";
        QTest::newRow("UTF-8, characters of four bytes and a mark after a kept byte")
            << "UTF-8" << QByteArray("\xFF\xF0\x90\x82\x80\xEF\xBB\xBF")
            << kept(0xFF) + QString::fromUcs4(U"\U00010080") + QChar(0xFEFF);
        QTest::newRow("UTF-8, a sequence cut by a character")
            << "UTF-8" << QByteArray("\xE4\xB8\xE4\xB8\xAD") << kept(0xE4) + kept(0xB8) + "\u4E2D";
        QTest::newRow("GBK, lead bytes without their second byte")
            << "GBK" << QByteArray("\x81 \xD6\xD0\xFE") << kept(0x81) + " \u4E2D" + kept(0xFE);
    }

    void bytesOutsideTheCodePageAreKeptBetweenCharacters()
    {
        QFETCH(QString, codePage);
        QFETCH(QByteArray, wire);
        QFETCH(QString, shown);
        QVERIFY(wire_text::SelectCodePage(codePage));
        QCOMPARE(FromWire(wire.toStdString()), shown);
        QCOMPARE(ToWire(shown), wire.toStdString());
        // Edited around the kept bytes, they still go back as they came.
        QCOMPARE(ToWire(shown + QStringLiteral("!")), wire.toStdString() + "!");
    }

    void characterBoundaries_data()
    {
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<int>("at");
        QTest::addColumn<bool>("boundary");
        QTest::newRow("UTF-8, before a three-byte character") << "UTF-8" << QByteArray("ab\xE4\xB8\xAD") << 2 << true;
        QTest::newRow("UTF-8, inside it") << "UTF-8" << QByteArray("ab\xE4\xB8\xAD") << 3 << false;
        QTest::newRow("UTF-8, after a kept byte") << "UTF-8" << QByteArray("\xB0\xB0x") << 1 << true;
        QTest::newRow("UTF-8, at either end") << "UTF-8" << QByteArray("\xE4\xB8\xAD") << 0 << true;
        QTest::newRow("GBK, inside a character") << "GBK" << QByteArray("a\xD6\xD0") << 2 << false;
        QTest::newRow("GBK, after it") << "GBK" << QByteArray("a\xD6\xD0" "b") << 3 << true;
    }

    void characterBoundaries()
    {
        QFETCH(QString, codePage);
        QFETCH(QByteArray, wire);
        QFETCH(int, at);
        QFETCH(bool, boundary);
        QVERIFY(wire_text::SelectCodePage(codePage));
        QCOMPARE(IsCharacterBoundary(wire.toStdString(), static_cast<std::size_t>(at)), boundary);
    }

    void firstCharacterOutsideTheCodePage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("outside"); // empty: the code page holds the whole text
        QTest::newRow("Latin-1 text") << QStringLiteral("Caf\u00E9") << QString();
        QTest::newRow("byte read from a logger")
            << (QStringLiteral("a") + QChar(char16_t(0xDC81))) << QString();
        QTest::newRow("first of two") << QStringLiteral("x\u20AC\u03A9") << QStringLiteral("\u20AC");
        QTest::newRow("outside the basic plane")
            << QStringLiteral("\U0001F600") << QStringLiteral("\U0001F600");
    }

    void firstCharacterOutsideTheCodePage()
    {
        QFETCH(QString, text);
        QFETCH(QString, outside);
        QVERIFY(wire_text::SelectCodePage(QStringLiteral("ISO-8859-1")));
        QCOMPARE(FirstCharacterOutsideCodePage(text).value_or(QString()), outside);
    }

    void unknownCodePageKeepsTheCurrentOne()
    {
        QVERIFY(wire_text::SelectCodePage(QStringLiteral("UTF-8")));
        QVERIFY(!wire_text::SelectCodePage(QStringLiteral("no-such-code-page")));
        QCOMPARE(wire_text::SelectedCodePage(), QStringLiteral("UTF-8"));
        QCOMPARE(FromWire("\xE4\xB8\xAD"), QStringLiteral("\u4E2D"));
    }
};

QTEST_APPLESS_MAIN(TestWireText)
#include "test_wire_text.moc"

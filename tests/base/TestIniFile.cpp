#include "base/IniFile.h"

#include <QRandomGenerator>
#include <QtTest>

class TestIniFile : public QObject
{
    Q_OBJECT
private slots:
    void readingRules()
    {
        IniFile ini;
        ini.parse("  ; comment\r\n"
                  "orphan=before any section\r\n"
                  "[ Names ]\r\n"
                  "  0x1F =  Alpha Gateway  \r\n"
                  "\r\n"
                  "a=b=c\r\n"
                  "just a line\r\n"
                  "0x1f=second of same key\n"
                  "[names]\n"
                  "0x20=ignored, second section of one name\n"
                  "[Other]\n"
                  "k=v\n");
        QVERIFY(ini.sectionExists("NAMES"));
        QCOMPARE(ini.sectionNames(), QStringList({"Names", "Other"}));
        QCOMPARE(ini.readString("names", "0X1F"), QString("Alpha Gateway"));
        QCOMPARE(ini.readString("Names", "a"), QString("b=c"));
        QCOMPARE(ini.readString("Names", "0x20", "none"), QString("none"));
        QCOMPARE(ini.sectionLines("Names"),
                 QStringList({"0x1F=Alpha Gateway", "a=b=c", "just a line", "0x1f=second of same key"}));
        const auto *entries = ini.entries("Names");
        QVERIFY(entries);
        QCOMPARE(entries->at(2).key, QString());
        QCOMPARE(entries->at(2).value, QString("just a line"));
        QVERIFY(!ini.sectionExists("Missing"));
        QVERIFY(ini.sectionLines("Missing").isEmpty());
        QVERIFY(!ini.valueExists("Other", "x"));
        QVERIFY(ini.valueExists("OTHER", "K"));
    }

    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = QStringLiteral("[s]\nk=Gr\u00e4\u00dfe\u20ac\n");
        QByteArray utf16le("\xFF\xFE", 2);
        for (QChar c : text)
            utf16le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        QByteArray utf16be("\xFE\xFF", 2);
        for (QChar c : text)
            utf16be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        QTest::newRow("utf8") << text.toUtf8();
        QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QTest::newRow("utf16le bom") << utf16le;
        QTest::newRow("utf16be bom") << utf16be;
        QTest::newRow("cp1252") << QByteArray("[s]\r\nk=Gr\xE4\xDF" "e\x80\r\n");
    }
    void encodings()
    {
        QFETCH(QByteArray, bytes);
        IniFile ini;
        ini.parse(bytes);
        QCOMPARE(ini.readString("s", "k"), QStringLiteral("Gr\u00e4\u00dfe\u20ac"));
    }

    // The first section header survives a BOM whatever follows it; a byte that is not
    // UTF-8 after a UTF-8 BOM becomes one replacement character, not a change of encoding.
    void bomNeverJoinsFirstLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("languageFile"); // UTF-8 only, no Windows-1252 fall-back
        QTest::addColumn<QString>("value");
        QTest::newRow("utf8 bom + bad byte") << QByteArray("\xEF\xBB\xBF[s]\nk=Gr\xC3\xA4\xFF\n") << false << QStringLiteral("Gr\u00e4\ufffd");
        QTest::newRow("utf8 bom twice") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[s]\nk=v\n") << false << QStringLiteral("v");
        QTest::newRow("utf16 bom + utf8 bom text") << QByteArray("\xFF\xFE\xFF\xFE[\0s\0]\0\n\0k\0=\0v\0", 18) << false << QStringLiteral("v");
        QTest::newRow("no bom, cp1252") << QByteArray("[s]\nk=\xE4\n") << false << QStringLiteral("\u00e4");
        QTest::newRow("language file, no bom") << QByteArray("[s]\nk=\xE4\n") << true << QStringLiteral("\ufffd");
        QTest::newRow("language file, bom + bad byte") << QByteArray("\xEF\xBB\xBF[s]\nk=a\xFF\n") << true << QStringLiteral("a\ufffd");
    }
    void bomNeverJoinsFirstLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, languageFile);
        QFETCH(QString, value);
        IniFile ini;
        ini.parse(bytes, languageFile ? IniFile::TextRule::Utf8 : IniFile::TextRule::Utf8OrWindows1252);
        QCOMPARE(ini.sectionNames(), QStringList({"s"}));
        QCOMPARE(ini.readString("s", "k"), value);
    }

    void lineEnds()
    {
        IniFile ini;
        ini.parse("[s]\ra=1\rb=2\r\n\nc=3");
        QCOMPARE(ini.sectionLines("s"), QStringList({"a=1", "b=2", "c=3"}));
    }

    void missingFileReadsEmpty()
    {
        IniFile ini;
        QVERIFY(!ini.load(QStringLiteral("/nonexistent/file.tcf")));
        QVERIFY(ini.sectionNames().isEmpty());
    }

    void longLinesAndGarbage()
    {
        IniFile ini;
        QByteArray big = "[s]\nk=" + QByteArray(100000, 'x') + "\n[" + QByteArray(100000, 'y');
        ini.parse(big);
        QCOMPARE(ini.readString("s", "k").size(), 100000);
        QCOMPARE(ini.sectionNames().size(), 1);

        // Random bytes, including NULs and lone brackets: never a crash, always a consistent object.
        QRandomGenerator rng(12345);
        for (int round = 0; round < 300; ++round) {
            QByteArray junk(int(rng.bounded(4000)), Qt::Uninitialized);
            for (char &c : junk) {
                const quint32 r = rng.bounded(100u);
                c = r < 10 ? '[' : r < 20 ? ']' : r < 30 ? '=' : r < 40 ? '\n' : r < 45 ? '\r' : char(rng.bounded(256u));
            }
            IniFile junkIni;
            junkIni.parse(junk);
            for (const QString &name : junkIni.sectionNames()) {
                QVERIFY(junkIni.sectionExists(name));
                const auto *entries = junkIni.entries(name);
                QVERIFY(entries);
                for (const auto &e : *entries)
                    if (e.hasEquals)
                        QVERIFY(junkIni.valueExists(name, e.key));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "TestIniFile.moc"

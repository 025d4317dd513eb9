#include "localisation/LanguageSelect.h"
#include "platform/RegistryStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kRegPath = QStringLiteral("\\software\\Kellerbrand\\TorvaneTest");

// A language directory with files written by the test.
struct LangDir {
    QTemporaryDir tmp;
    void write(const QString &name, const QByteArray &bytes)
    {
        if (name.endsWith(u'/')) {
            QVERIFY(QDir(tmp.path()).mkpath(name));
            return;
        }
        QFile f(tmp.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString path() const { return tmp.path(); }
};

class FakeComponent : public CaptionComponent
{
public:
    FakeComponent(QString name, Kind kind, QString caption)
        : m_name(std::move(name)), m_kind(kind), m_caption(std::move(caption)) {}
    QString name() const override { return m_name; }
    QString caption() const override { return m_caption; }
    void setCaptionText(const QString &text) override { m_caption = text; }
    Kind kind() const override { return m_kind; }
    QList<CaptionComponent *> ownedComponents() const override { return owned; }
    QList<CaptionComponent *> owned;

private:
    QString m_name;
    Kind m_kind;
    QString m_caption;
};

QString storedUserLang()
{
    return RegistryStore::user().readString(kRegPath, QStringLiteral("UserLang")).value_or(QStringLiteral("<none>"));
}

} // namespace

class TestLanguageSelect : public QObject
{
    Q_OBJECT

    QByteArray m_savedLcAll;

    // Current table german, fall-back table english (user locale en_US mapped to english).
    void loadBothTables(LangDir &dir, LanguageSelect &ls)
    {
        dir.write("userlang2applang.ini", "[userLangs]\r\n1033=english\r\n");
        dir.write("english_en_gb.ini",
                  "[translations]\r\n"
                  "messageCaptionWarning=Warning\r\n"
                  "onlyFallback=from fallback\r\n"
                  "helpAbout1=One\r\n"
                  "helpAbout2=Two\r\n"
                  "helpAboutOnlyFallback=Extra\r\n");
        dir.write("german_de_de.ini",
                  "; comment\r\n"
                  "[Translations]\r\n"
                  "messageCaptionWarning=Warnung\r\n"
                  "helpAbout1=Eins#13#10\r\n"
                  "twoBreaks=a#13#10#13#10b\r\n"
                  "leadingBreak=#13#10start\r\n"
                  "a=b=c\r\n"
                  "   spaced   =   padded value   \r\n"
                  "dup=first\r\n"
                  "DUP=second\r\n"
                  "stray line without equals\r\n"
                  "helpAbout2=Zwei\r\n"
                  "[translations]\r\n"
                  "messageCaptionWarning=ignored second section\r\n");
        qputenv("LC_ALL", "en_US.UTF-8");
        ls.setLangDir(dir.path());
        QVERIFY(ls.initLangs());
        QVERIFY(ls.readDefaultLang());
        QVERIFY(ls.readFile(QStringLiteral("german")));
    }

private slots:
    void initTestCase() { m_savedLcAll = qgetenv("LC_ALL"); }
    void cleanup() { qputenv("LC_ALL", m_savedLcAll); }

    void discovery_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<QStringList>("locales");
        QTest::addColumn<bool>("found");
        QTest::newRow("language and locale") << QStringList{"english_en_gb.ini"}
                                             << QStringList{"english"} << QStringList{"en_gb"} << true;
        QTest::newRow("three parts") << QStringList{"x_y_z.ini"} << QStringList{"x"} << QStringList{"y_z"} << true;
        QTest::newRow("one underscore, other names, folders")
            << QStringList{"only_one.ini", "userlang2applang.ini", "readme_a_b.txt", "dir_a_b.ini/"}
            << QStringList{} << QStringList{} << false;
        QTest::newRow("sorted by file name")
            << QStringList{"german_de_de.ini", "english_en_us.ini", "english_en_gb.ini"}
            << QStringList{"english", "english", "german"} << QStringList{"en_gb", "en_us", "de_de"} << true;
        QTest::newRow("ini before the first underscore")
            << QStringList{"a.ini_b_c.ini"} << QStringList{"a.ini"} << QStringList{""} << true;
    }
    void discovery()
    {
        QFETCH(QStringList, files);
        LangDir dir;
        for (const QString &f : files)
            dir.write(f, "[translations]\r\n");
        LanguageSelect ls(kRegPath);
        ls.setLangDir(dir.path());
        QFETCH(bool, found);
        QCOMPARE(ls.initLangs(), found);
        QTEST(ls.Flanguages, "languages");
        QTEST(ls.Flocales, "locales");
    }

    void twoFilesOfOneLanguageUseTheFirstLocale()
    {
        LangDir dir;
        dir.write("english_en_us.ini", "[translations]\r\nprobe=us\r\n");
        dir.write("english_en_gb.ini", "[translations]\r\nprobe=gb\r\n");
        dir.write("userlang2applang.ini", "[userLangs]\r\n1033=english\r\n");
        qputenv("LC_ALL", "en_US.UTF-8");
        LanguageSelect ls(kRegPath);
        ls.setLangDir(dir.path());
        QVERIFY(ls.initLangs());
        QVERIFY(ls.readDefaultLang());
        QCOMPARE(ls.defaultLang, QStringList{"gb"});
        QVERIFY(ls.readFile(QStringLiteral("english")));
        QCOMPARE(ls.currentLang, QStringList{"gb"});
    }

    void translate_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("exact") << "messageCaptionWarning" << "Warnung";
        QTest::newRow("letter case ignored") << "messagecaptionwarning" << "Warnung";
        QTest::newRow("fall-back only") << "ONLYFALLBACK" << "from fallback";
        QTest::newRow("unknown is the key") << "noSuchKey" << "noSuchKey";
        QTest::newRow("unknown key expands") << "x#13#10y" << "x\r\ny";
        QTest::newRow("two breaks in a row") << "twoBreaks" << "a\r\n\r\nb";
        QTest::newRow("leading break") << "leadingBreak" << "\r\nstart";
        QTest::newRow("split at first =") << "a" << "b=c";
        QTest::newRow("blanks stripped") << "spaced" << "padded value";
        QTest::newRow("first of duplicates") << "Dup" << "first";
        QTest::newRow("empty key never matches a stray line") << "" << "";
    }
    void translate()
    {
        LangDir dir;
        LanguageSelect ls(kRegPath);
        loadBothTables(dir, ls);
        QFETCH(QString, key);
        QTEST(ls.translate(key), "text");
    }

    void blocks()
    {
        LangDir dir;
        LanguageSelect ls(kRegPath);
        loadBothTables(dir, ls);
        // Current table only, in table order, prefix with its letter case.
        QCOMPARE(ls.translateBlock(QStringLiteral("helpAbout")), QString("Eins\r\nZwei"));
        QCOMPARE(ls.translateToList(QStringLiteral("helpAbout")), QStringList({"Eins#13#10", "Zwei"}));
        QCOMPARE(ls.translateBlock(QStringLiteral("helpabout")), QString());
        QCOMPARE(ls.translateToList(QString()).size(), ls.currentLang.size());

        // Without a current table the fall-back table answers.
        QVERIFY(!ls.readFile(QStringLiteral("french")));
        QVERIFY(ls.currentKeys.isEmpty());
        QCOMPARE(ls.translateBlock(QStringLiteral("helpAbout")), QString("OneTwoExtra"));
        QCOMPARE(ls.translate(QStringLiteral("messageCaptionWarning")), QString("Warning"));
    }

    void readFileKeepsOrEmptiesTheTable()
    {
        LangDir dir;
        LanguageSelect ls(kRegPath);
        loadBothTables(dir, ls);
        QCOMPARE(storedUserLang(), QString("german"));
        const QStringList german = ls.currentKeys;

        QVERIFY(!ls.readFile(QString()));
        QCOMPARE(ls.currentKeys, german);
        QCOMPARE(storedUserLang(), QString("german"));

        QVERIFY(!ls.readFile(QStringLiteral("German"))); // names compare exactly
        QVERIFY(ls.currentKeys.isEmpty());
        QVERIFY(ls.currentLang.isEmpty());
        QCOMPARE(storedUserLang(), QString("german"));

        // Installed but without a "translations" section: loaded (empty) and remembered.
        dir.write("plain_xx_yy.ini", "[other]\r\nk=v\r\n");
        ls.Flanguages.clear();
        ls.Flocales.clear();
        QVERIFY(ls.initLangs());
        QVERIFY(ls.readFile(QStringLiteral("plain")));
        QVERIFY(ls.currentKeys.isEmpty());
        QCOMPARE(storedUserLang(), QString("plain"));
    }

    void fallBackLanguage_data()
    {
        QTest::addColumn<QByteArray>("map"); // empty: no map file
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<bool>("germanInstalled");
        QTest::addColumn<QString>("mapped");
        QTest::addColumn<QString>("fallBack");
        const QByteArray de = "de_DE.UTF-8";
        QTest::newRow("1031 mapped to german")
            << QByteArray("[userLangs]\r\n1033=english\r\n1031=german\r\n") << de << true << "german" << "german";
        QTest::newRow("no line for the locale")
            << QByteArray("[userLangs]\r\n1031=german\r\n") << QByteArray("en_US.UTF-8") << true << "english" << "english";
        QTest::newRow("mapped language not installed")
            << QByteArray("[userLangs]\r\n1031=german\r\n") << de << false << "german" << "english";
        QTest::newRow("bad number before the match")
            << QByteArray("[userLangs]\r\nabc=german\r\n1031=german\r\n") << de << true << "" << "english";
        QTest::newRow("bad number after the match")
            << QByteArray("[userLangs]\r\n 1031 = german \r\nabc=german\r\n") << de << true << "german" << "german";
        QTest::newRow("line without = is skipped")
            << QByteArray("[userLangs]\r\njust text\r\n1031=german\r\n") << de << true << "german" << "german";
        QTest::newRow("matching line with empty name")
            << QByteArray("[userLangs]\r\n1031=\r\n") << de << true << "english" << "english";
        QTest::newRow("no userLangs section") << QByteArray("[other]\r\n1031=german\r\n") << de << true << "" << "english";
        QTest::newRow("no map file") << QByteArray() << de << true << "" << "english";
    }
    void fallBackLanguage()
    {
        QFETCH(QByteArray, map);
        QFETCH(QByteArray, locale);
        QFETCH(bool, germanInstalled);
        QFETCH(QString, fallBack);
        LangDir dir;
        if (!map.isEmpty())
            dir.write("userlang2applang.ini", map);
        dir.write("english_en_gb.ini", "[translations]\r\nprobe=english\r\n");
        if (germanInstalled)
            dir.write("german_de_de.ini", "[translations]\r\nprobe=german\r\n");
        qputenv("LC_ALL", locale);
        LanguageSelect ls(kRegPath);
        ls.setLangDir(dir.path());
        QVERIFY(ls.initLangs());
        QTEST(ls.mapUserDefaultLang(), "mapped");
        QVERIFY(ls.readDefaultLang());
        QCOMPARE(ls.defaultLangStr, fallBack);
        QCOMPARE(ls.defaultLang, QStringList{fallBack});
        QCOMPARE(ls.translate(QStringLiteral("probe")), fallBack);
    }

    void fallBackFileWithoutTranslations()
    {
        LangDir dir;
        dir.write("english_en_gb.ini", "[Translation]\r\nprobe=english\r\n");
        LanguageSelect ls(kRegPath);
        ls.setLangDir(dir.path());
        QVERIFY(ls.initLangs());
        QVERIFY(!ls.readDefaultLang());
        QVERIFY(ls.defaultKeys.isEmpty());
        QCOMPARE(ls.translate(QStringLiteral("probe")), QString("probe"));
    }

    void damagedFilesReadAsKeys()
    {
        LangDir dir;
        QByteArray junk;
        for (int i = 0; i < 4096; ++i)
            junk.append(char((i * 131 + 7) & 0xFF));
        dir.write("english_en_gb.ini", junk);
        dir.write("german_de_de.ini", QByteArray("[translations]\r\nk=\0\x01\xFF\r\n", 21) + junk);
        dir.write("userlang2applang.ini", junk);
        LanguageSelect ls(kRegPath);
        ls.setLangDir(dir.path());
        QVERIFY(ls.initLangs());
        QCOMPARE(ls.mapUserDefaultLang(), QString());
        ls.readDefaultLang();
        QCOMPARE(ls.defaultLangStr, QString("english"));
        QVERIFY(ls.readFile(QStringLiteral("german")));
        QCOMPARE(ls.translate(QStringLiteral("missing")), QString("missing"));
    }

    // The look-up index must follow changes that callers make to the public lists.
    void handEditedTablesAreHonoured()
    {
        LangDir dir;
        LanguageSelect ls(kRegPath);
        loadBothTables(dir, ls);
        QCOMPARE(ls.translate(QStringLiteral("messageCaptionWarning")), QString("Warnung"));
        const qsizetype i = ls.currentKeys.indexOf(QStringLiteral("messageCaptionWarning"));
        ls.currentKeys[i] = QStringLiteral("renamed");
        QCOMPARE(ls.translate(QStringLiteral("messageCaptionWarning")), QString("Warning"));
        QCOMPARE(ls.translate(QStringLiteral("RENAMED")), QString("Warnung"));

        ls.defaultKeys = QStringList{"k"};
        ls.defaultLang = QStringList{"v"};
        QCOMPARE(ls.translate(QStringLiteral("k")), QString("v"));
        QCOMPARE(ls.translate(QStringLiteral("onlyFallback")), QString("onlyFallback"));

        // Value list shorter than the key list: no read past its end.
        ls.currentLang.clear();
        QCOMPARE(ls.translate(QStringLiteral("renamed")), QString("renamed"));
        QCOMPARE(ls.translateBlock(QStringLiteral("helpAbout")), QString());
    }

    void captions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("expected");
        QTest::newRow("menu item") << "item" << int(CaptionComponent::MenuItem) << "Design" << "Text";
        QTest::newRow("check box") << "item" << int(CaptionComponent::CheckBox) << "Design" << "Text";
        QTest::newRow("panel") << "item" << int(CaptionComponent::Panel) << "Design" << "Text";
        QTest::newRow("tab sheet") << "item" << int(CaptionComponent::TabSheet) << "Design" << "Text";
        QTest::newRow("label") << "item" << int(CaptionComponent::Label) << "Design" << "Text";
        QTest::newRow("owned form") << "item" << int(CaptionComponent::Form) << "Design" << "Text";
        QTest::newRow("other kinds untouched") << "item" << int(CaptionComponent::Other) << "Design" << "Design";
        QTest::newRow("empty caption stays empty") << "item" << int(CaptionComponent::Label) << "" << "";
        QTest::newRow("separator N1 skipped") << "N1" << int(CaptionComponent::MenuItem) << "-" << "-";
        QTest::newRow("lower-case n translated") << "nItem" << int(CaptionComponent::MenuItem) << "Design" << "klein";
        QTest::newRow("no entry gives the name") << "unknownItem" << int(CaptionComponent::Label) << "Design" << "unknownItem";
    }
    void captions()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, caption);
        LangDir dir;
        dir.write("german_de_de.ini",
                  "[translations]\r\nNForm=Fenster\r\nitem=Text\r\nN1=Trenner\r\nnItem=klein\r\n");
        LanguageSelect ls(kRegPath);
        ls.setLangDir(dir.path());
        QVERIFY(ls.initLangs());
        // The window itself is translated even when its name begins with "N".
        FakeComponent form(QStringLiteral("NForm"), CaptionComponent::Form, QStringLiteral("Design"));
        FakeComponent child(name, CaptionComponent::Kind(kind), caption);
        form.owned = {&child, nullptr};
        ls.initCaptions(&form, QStringLiteral("german"));
        QCOMPARE(form.caption(), QString("Fenster"));
        QTEST(child.caption(), "expected");
    }

    void initCaptionsWithoutNameLoadsTheFallBack()
    {
        LangDir dir;
        LanguageSelect ls(kRegPath);
        loadBothTables(dir, ls);
        FakeComponent label(QStringLiteral("onlyFallback"), CaptionComponent::Label, QStringLiteral("x"));
        ls.initCaptions(&label, QString());
        QCOMPARE(label.caption(), QString("from fallback"));
        QCOMPARE(ls.currentKeys, ls.defaultKeys);
        QCOMPARE(storedUserLang(), QString("english"));
    }
};

QTEST_GUILESS_MAIN(TestLanguageSelect)
#include "TestLanguageSelect.moc"

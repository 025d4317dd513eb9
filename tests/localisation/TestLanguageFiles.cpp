// Checks the shipped language files against the keys the program uses: the list of known
// keys beside this test, and every key that the sources pass to the translation service.

#include "TestPaths.h"
#include "localisation/LanguageSelect.h"
#include "base/IniFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QStringList kShipped = {QStringLiteral("english_en_gb.ini"), QStringLiteral("german_de_de.ini")};

struct Table {
    QString file;
    QStringList keys;                  // in file order
    QHash<QString, QString> firstValue; // folded key -> value of its first entry
    QStringList problems;              // lines without "=", duplicate keys
};

Table readTable(const QString &fileName)
{
    Table t;
    t.file = fileName;
    IniFile ini;
    if (!ini.load(QDir(TestPaths::dataFile(QStringLiteral("lang"))).filePath(fileName))) {
        t.problems << QStringLiteral("cannot read the file");
        return t;
    }
    const QList<IniFile::Entry> *entries = ini.entries(QStringLiteral("translations"));
    if (!entries) {
        t.problems << QStringLiteral("no section \"translations\"");
        return t;
    }
    for (const IniFile::Entry &e : *entries) {
        if (!e.hasEquals) {
            t.problems << QStringLiteral("line without \"=\": ") + e.line;
            continue;
        }
        const QString folded = e.key.toCaseFolded();
        if (t.firstValue.contains(folded)) {
            t.problems << QStringLiteral("duplicate key: ") + e.key;
            continue;
        }
        t.keys << e.key;
        t.firstValue.insert(folded, e.value);
    }
    return t;
}

// A known key ending in "*" names a block: at least one key must begin with the rest.
bool hasText(const Table &t, const QString &key)
{
    if (key.endsWith(u'*')) {
        const QString prefix = key.chopped(1);
        for (const QString &k : t.keys)
            if (k.startsWith(prefix) && !t.firstValue.value(k.toCaseFolded()).isEmpty())
                return true;
        return false;
    }
    return !t.firstValue.value(key.toCaseFolded()).isEmpty();
}

// Keys passed as literals to translate(...), tr_key(...) or the parameters' tr(...).
QStringList keysUsedIn(const QString &source)
{
    static const QRegularExpression call(
        QStringLiteral("\\b(?:translate|tr_key|tr)\\(\\s*(?:QStringLiteral\\(\\s*)?\"((?:[^\"\\\\]|\\\\.)+)\""));
    QStringList keys;
    for (auto it = call.globalMatch(source); it.hasNext();) {
        QString key = it.next().captured(1);
        key.replace(QStringLiteral("\\\""), QStringLiteral("\"")).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        keys << key;
    }
    return keys;
}

// printf-style conversions in order; Qt-style %1.. as a sorted set (their order may differ).
QStringList placeholders(const QString &text)
{
    static const QRegularExpression printfStyle(QStringLiteral("%%|%[-+ #0]*\\d*(?:\\.\\d+)?[sdiuxX]"));
    static const QRegularExpression qtStyle(QStringLiteral("%(\\d+)"));
    QStringList ordered, numbered;
    for (auto it = printfStyle.globalMatch(text); it.hasNext();) {
        const QString m = it.next().captured(0);
        if (m != QLatin1String("%%"))
            ordered << m;
    }
    QString rest = text;
    rest.replace(QStringLiteral("%%"), QString());
    for (auto it = qtStyle.globalMatch(rest); it.hasNext();)
        numbered << it.next().captured(0);
    numbered.sort();
    return ordered + numbered;
}

} // namespace

class TestLanguageFiles : public QObject
{
    Q_OBJECT

    QList<Table> m_tables;

private slots:
    void initTestCase()
    {
        for (const QString &f : kShipped)
            m_tables << readTable(f);
    }

    void filesAreDiscoveredAndWellFormed()
    {
        LanguageSelect ls;
        ls.setLangDir(TestPaths::dataFile(QStringLiteral("lang")));
        QVERIFY(ls.initLangs());
        QCOMPARE(ls.Flanguages, QStringList({"english", "german"}));
        QCOMPARE(ls.Flocales, QStringList({"en_gb", "de_de"}));
        for (const Table &t : std::as_const(m_tables))
            QVERIFY2(t.problems.isEmpty(), qPrintable(t.file + QStringLiteral(": ") + t.problems.join(QStringLiteral("; "))));
    }

    void knownKeysHaveTexts()
    {
        QFile f(QDir(TestPaths::sourceDir()).filePath(QStringLiteral("tests/localisation/known_keys.txt")));
        QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
        QStringList known;
        for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n'))
            if (!line.trimmed().isEmpty())
                known << line.trimmed();
        QVERIFY(known.size() > 100);
        for (const Table &t : std::as_const(m_tables)) {
            QStringList missing;
            for (const QString &key : std::as_const(known))
                if (!hasText(t, key))
                    missing << key;
            QVERIFY2(missing.isEmpty(), qPrintable(t.file + QStringLiteral(" lacks: ") + missing.join(QStringLiteral(", "))));
        }
    }

    void scanner_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("forms") << "translate(QStringLiteral(\"a\")); x->translate( \"b.c\" ); tr_key(\"d\"); tr(QStringLiteral( \"e f\" ))"
                               << QStringList{"a", "b.c", "d", "e f"};
        QTest::newRow("not calls of the service") << "str(\"x\"); attr(\"y\"); translate(key); translateBlock(\"helpAbout\")"
                                                  << QStringList{};
        QTest::newRow("escaped quote") << "translate(\"say \\\"hi\\\"\")" << QStringList{"say \"hi\""};
    }
    void scanner()
    {
        QFETCH(QString, source);
        QTEST(keysUsedIn(source), "keys");
    }

    void keysUsedInTheSourcesHaveTexts()
    {
        QMap<QString, QString> used; // key -> first place of use
        QDirIterator it(QDir(TestPaths::sourceDir()).filePath(QStringLiteral("src")),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
            for (const QString &key : keysUsedIn(QString::fromUtf8(f.readAll())))
                if (!used.contains(key))
                    used.insert(key, QDir(TestPaths::sourceDir()).relativeFilePath(path));
        }
        QVERIFY2(!used.isEmpty(), "no translation calls found under src/");
        for (const Table &t : std::as_const(m_tables)) {
            QStringList missing;
            for (auto u = used.cbegin(); u != used.cend(); ++u)
                if (!t.firstValue.contains(u.key().toCaseFolded()))
                    missing << u.key() + QStringLiteral(" (") + u.value() + QStringLiteral(")");
            QVERIFY2(missing.isEmpty(), qPrintable(t.file + QStringLiteral(" lacks: ") + missing.join(QStringLiteral(", "))));
        }
    }

    void filesAgree()
    {
        QCOMPARE(m_tables.size(), 2);
        const Table &en = m_tables[0];
        const Table &de = m_tables[1];
        QStringList enKeys = en.keys, deKeys = de.keys;
        enKeys.sort();
        deKeys.sort();
        QCOMPARE(deKeys, enKeys);
        QStringList mismatched;
        for (const QString &key : std::as_const(en.keys)) {
            const QString folded = key.toCaseFolded();
            if (placeholders(en.firstValue.value(folded)) != placeholders(de.firstValue.value(folded)))
                mismatched << key;
        }
        QVERIFY2(mismatched.isEmpty(), qPrintable(QStringLiteral("placeholders differ: ") + mismatched.join(QStringLiteral(", "))));
    }

    void userLanguageMap()
    {
        IniFile map;
        QVERIFY(map.load(TestPaths::dataFile(QStringLiteral("lang/userlang2applang.ini"))));
        const QList<IniFile::Entry> *lines = map.entries(QStringLiteral("userLangs"));
        QVERIFY(lines);
        QHash<int, QString> byLocale;
        for (const IniFile::Entry &e : *lines) {
            bool ok = false;
            const int id = e.key.toInt(&ok);
            // One key that is not a number would disable the whole map.
            QVERIFY2(ok, qPrintable(QStringLiteral("not a locale number: ") + e.line));
            QVERIFY2(e.value == QStringLiteral("english") || e.value == QStringLiteral("german"), qPrintable(e.line));
            QVERIFY2(!byLocale.contains(id), qPrintable(QStringLiteral("locale listed twice: ") + e.key));
            byLocale.insert(id, e.value);
        }
        for (int id : {1031, 2055, 3079})
            QCOMPARE(byLocale.value(id), QString("german"));
        for (int id : {1033, 2057})
            QCOMPARE(byLocale.value(id), QString("english"));
    }
};

QTEST_GUILESS_MAIN(TestLanguageFiles)
#include "TestLanguageFiles.moc"

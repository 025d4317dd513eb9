#include "ErrorOf.h"
#include "ScriptedPrompts.h"

#include "link/FileLookup.h"
#include "localisation/LanguageSelect.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Four directories standing for the program, working, machine-settings and system directories.
class TestFileLookup : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_root;
    FileLookupDirectories m_dirs;

    void put(const QString &dir, const QString &name)
    {
        QFile file(QDir(dir).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private slots:
    void init()
    {
        QVERIFY(m_root.isValid());
        QDir(m_root.path()).removeRecursively();
        QDir root(m_root.path());
        for (const char *d : {"prog", "work", "etc", "share", "work/sub"})
            QVERIFY(root.mkpath(QString::fromLatin1(d)));
        m_dirs.program = root.filePath(QStringLiteral("prog"));
        m_dirs.working = root.filePath(QStringLiteral("work"));
        m_dirs.windows = root.filePath(QStringLiteral("etc"));
        m_dirs.system = root.filePath(QStringLiteral("share"));
    }

    // Found without asking anybody.
    void found_data()
    {
        QTest::addColumn<QString>("fileIn");  // directory (of the four) holding plant.gwc
        QTest::addColumn<QString>("name");    // as given; %W is the working directory
        QTest::addColumn<QString>("expected"); // %P program, %W working, %E etc, %S share
        QTest::newRow("with a directory, as given") << "work/sub" << "sub/plant.gwc" << "sub/plant.gwc";
        QTest::newRow("absolute path") << "work/sub" << "%W/sub/plant.gwc" << "%W/sub/plant.gwc";
        QTest::newRow("bare name in the working directory") << "work" << "plant.gwc" << "%W/plant.gwc";
        QTest::newRow("program directory") << "prog" << "plant.gwc" << "%P/plant.gwc";
        QTest::newRow("missing directory part, found by name") << "prog" << "/gone/plant.gwc" << "%P/plant.gwc";
        QTest::newRow("machine settings directory") << "etc" << "plant.gwc" << "%E/plant.gwc";
        QTest::newRow("system directory") << "share" << "x/plant.gwc" << "%S/plant.gwc";
    }
    void found()
    {
        QFETCH(QString, fileIn);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        put(QDir(m_root.path()).filePath(fileIn), QStringLiteral("plant.gwc"));
        const auto fill = [&](QString s) {
            return s.replace(QStringLiteral("%P"), m_dirs.program)
                .replace(QStringLiteral("%W"), m_dirs.working)
                .replace(QStringLiteral("%E"), m_dirs.windows)
                .replace(QStringLiteral("%S"), m_dirs.system);
        };
        ScriptedPrompts prompts;
        QCOMPARE(locateFile(fill(name), nullptr, m_dirs), fill(expected));
        QVERIFY(prompts.records.isEmpty());
    }

    // The program directory is searched before the working directory; a directory that ends in
    // a separator is joined with one separator only.
    void orderAndSeparator()
    {
        put(m_dirs.program, QStringLiteral("plant.gwc"));
        put(m_dirs.working, QStringLiteral("plant.gwc"));
        FileLookupDirectories dirs = m_dirs;
        dirs.working = m_dirs.windows; // not the working directory: the name is not found as given
        dirs.program = m_dirs.program + QStringLiteral("/");
        ScriptedPrompts prompts;
        QCOMPARE(locateFile(QStringLiteral("plant.gwc"), nullptr, dirs), m_dirs.program + QStringLiteral("/plant.gwc"));
    }

    // Not found: the question, then the answers.
    void asked_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("picked"); // in the working directory; empty: dialog cancelled
        QTest::addColumn<QString>("result");  // %W for the working directory
        QTest::addColumn<QString>("failure");
        QTest::newRow("letter case counts") << "PLANT.GWC" << int(PromptButton::Ignore) << "" << "PLANT.GWC" << "";
        QTest::newRow("ignore") << "/gone/plant.gwc" << int(PromptButton::Ignore) << "" << "plant.gwc" << "";
        QTest::newRow("no") << "plant.gwc" << int(PromptButton::No) << "" << "" << "FileToolNoFileSelected";
        QTest::newRow("yes, right file") << "plant.gwc" << int(PromptButton::Yes) << "sub/plant.gwc"
                                         << "%W/sub/plant.gwc" << "";
        QTest::newRow("yes, other file") << "plant.gwc" << int(PromptButton::Yes) << "sub/other.gwc" << ""
                                         << "FileToolWrongFileSelected";
        QTest::newRow("yes, other letter case") << "plant.gwc" << int(PromptButton::Yes) << "sub/PLANT.gwc" << ""
                                                << "FileToolWrongFileSelected";
        QTest::newRow("yes, cancelled") << "c/plant.gwc" << int(PromptButton::Yes) << "" << "plant.gwc" << "";
    }
    void asked()
    {
        QFETCH(QString, name);
        QFETCH(int, answer);
        QFETCH(QString, picked);
        QFETCH(QString, result);
        QFETCH(QString, failure);
        put(m_dirs.program, QStringLiteral("plant.gwc.bak"));
        put(m_dirs.working, QStringLiteral("Plant.gwc"));
        ScriptedPrompts prompts;
        prompts.answer(PromptButton(answer));
        if (PromptButton(answer) == PromptButton::Yes)
            prompts.answer(picked.isEmpty() ? QString() : QDir(m_dirs.working).filePath(picked));
        LanguageSelect language;
        language.currentKeys = QStringList{QStringLiteral("FileToolFileNotFound")};
        language.currentLang = QStringList{QStringLiteral("Missing: %s")};
        QString got;
        const QString error = errorOf([&] { got = locateFile(name, &language, m_dirs); });
        QCOMPARE(error, failure);
        if (failure.isEmpty())
            QCOMPARE(got, QString(result).replace(QStringLiteral("%W"), m_dirs.working));

        QVERIFY(!prompts.records.isEmpty());
        const ScriptedPrompts::Record &question = prompts.records.first();
        QCOMPARE(question.kind, QStringLiteral("message"));
        QCOMPARE(question.icon, PromptIcon::Information);
        QCOMPARE(question.buttons, (PromptButtons{PromptButton::Yes, PromptButton::No, PromptButton::Ignore}));
        QCOMPARE(question.text, QStringLiteral("Missing: ") + name);
        QCOMPARE(prompts.records.size(), PromptButton(answer) == PromptButton::Yes ? 2 : 1);
    }
};

QTEST_GUILESS_MAIN(TestFileLookup)
#include "TestFileLookup.moc"

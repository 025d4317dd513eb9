#include "shell/HelpViewer.h"

#include "base/IniFile.h"
#include "localisation/LanguageSelect.h"
#include "model/BaseEEROM.h"

#include "ScriptedPrompts.h"
#include "TestPaths.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

namespace {

bool copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(source));
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(source, target))
            return false;
    }
    return true;
}

// The anchors a page defines, as the browser parsed them.
QStringList anchorsOf(const QTextDocument *doc)
{
    QStringList names;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            names << it.fragment().charFormat().anchorNames();
    return names;
}

} // namespace

// The shipped help against the shipped language files and the example description: every
// help key and help context the example produces must open a page of the help (or, for
// contexts the help does not list, its contents), in both languages.
class TestHelpViewer : public QObject
{
    Q_OBJECT

    QTemporaryDir programDir;
    LanguageSelect language;
    THelpViewer *viewer = nullptr;

    void useLanguage(const QString &name)
    {
        QVERIFY(language.readFile(name));
    }
    QString helpDir(const QString &lang) const { return QDir(programDir.path()).filePath(QStringLiteral("help/") + lang); }

private slots:
    void initTestCase()
    {
        QVERIFY(programDir.isValid());
        QVERIFY(copyTree(TestPaths::dataFile(QStringLiteral("lang")), QDir(programDir.path()).filePath(QStringLiteral("lang"))));
        QVERIFY(copyTree(TestPaths::dataFile(QStringLiteral("help")), QDir(programDir.path()).filePath(QStringLiteral("help"))));
        HelpShared::setProgramDir(programDir.path());
        language.setLangDir(QDir(programDir.path()).filePath(QStringLiteral("lang")));
        QVERIFY(language.initLangs());
        QVERIFY(language.readDefaultLang());
        HelpShared::setLanguage(&language);
        viewer = &THelpViewer::instance();
    }
    void cleanupTestCase() { HelpShared::setLanguage(nullptr); }

    void contents_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("title");
        QTest::newRow("english") << "english" << "en" << "Torvane Help - Contents";
        QTest::newRow("german") << "german" << "de" << "Torvane-Hilfe - Inhalt";
    }
    void contents()
    {
        QFETCH(QString, lang);
        QFETCH(QString, folder);
        QFETCH(QString, title);
        useLanguage(lang);
        ScriptedPrompts prompts;
        QVERIFY(viewer->showContents());
        QVERIFY(prompts.records.isEmpty());
        QVERIFY(viewer->isVisible());
        QCOMPARE(QFileInfo(viewer->currentSource()).canonicalFilePath(),
                 QFileInfo(QDir(helpDir(folder)).filePath(QStringLiteral("index.html"))).canonicalFilePath());
        QCOMPARE(viewer->windowTitle(), title);
        QVERIFY(viewer->browser()->toPlainText().contains(QStringLiteral("Torvane")));
    }

    void topicsOfTheExample_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::newRow("english") << "english";
        QTest::newRow("german") << "german";
    }
    void topicsOfTheExample()
    {
        QFETCH(QString, lang);
        useLanguage(lang);
        IniFile description;
        QVERIFY(description.load(TestPaths::dataFile(QStringLiteral("examples/vantor.tcf"))));
        const QStringList keys = description.sectionKeys(QStringLiteral("Help"));
        QVERIFY(!keys.isEmpty());
        for (const QString &parameter : keys) {
            const QString topic = language.translate(description.readString(QStringLiteral("Help"), parameter));
            ScriptedPrompts prompts;
            QVERIFY2(viewer->showTopic(topic), qPrintable(parameter + QStringLiteral(": ") + topic));
            QVERIFY(prompts.records.isEmpty());
            QCOMPARE(QFileInfo(viewer->currentSource()).fileName(), QFileInfo(topic).fileName());
            QVERIFY(viewer->browser()->toPlainText().contains(parameter));
        }
    }

    void contextsOfTheExample_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::newRow("english") << "english";
        QTest::newRow("german") << "german";
    }
    void contextsOfTheExample()
    {
        // The contexts come from the model, as the grid takes them for F1: every value of the
        // list parameters of the GW110 image.
        QFETCH(QString, lang);
        useLanguage(lang);
        IniFile description;
        QVERIFY(description.load(TestPaths::dataFile(QStringLiteral("examples/vantor.tcf"))));
        IniFile contexts;
        QVERIFY(contexts.load(QDir(helpDir(lang == QLatin1String("english") ? QStringLiteral("en") : QStringLiteral("de")))
                                  .filePath(QStringLiteral("contexts.ini"))));
        TBaseEEROM image;
        image.SetSourceDatei(&description);
        image.openfile(TestPaths::dataFile(QStringLiteral("examples/gw110.gwc")));
        QSet<int> seen;
        const QStringList lists{QStringLiteral("Baud Rate"), QStringLiteral("Bus Timing")};
        for (const QString &name : lists) {
            TItem *item = image.GetEintrag(name);
            QVERIFY2(item, qPrintable(name));
            const uint8_t saved = image.GetByteIDX(item->Position);
            for (int value = 0; value < 5; ++value) {
                image.SetByteIDX(item->Position, uint8_t(value));
                const int context = item->HelpContextNumber();
                seen.insert(context);
                ScriptedPrompts prompts;
                QVERIFY(viewer->showContext(context));
                QVERIFY(prompts.records.isEmpty());
                const QString topic = contexts.readString(QStringLiteral("Contexts"), QString::number(context));
                const QString source = viewer->currentSource();
                if (topic.isEmpty()) {
                    QCOMPARE(QFileInfo(source).fileName(), QStringLiteral("index.html"));
                    continue;
                }
                QVERIFY2(source.endsWith(u'/' + topic), qPrintable(source + QStringLiteral(" for ") + QString::number(context)));
                const QString anchor = topic.section(u'#', 1);
                QVERIFY2(anchorsOf(viewer->browser()->document()).contains(anchor), qPrintable(topic));
            }
            image.SetByteIDX(item->Position, saved);
        }
        // The example's codes 500, 2 and 3 all lead to listed topics.
        QVERIFY(seen.contains(500) && seen.contains(17000002) && seen.contains(100000256));
    }

    void everyListedContextHasItsAnchor()
    {
        for (const QString folder : {QStringLiteral("en"), QStringLiteral("de")}) {
            useLanguage(folder == QLatin1String("en") ? QStringLiteral("english") : QStringLiteral("german"));
            IniFile contexts;
            QVERIFY(contexts.load(QDir(helpDir(folder)).filePath(QStringLiteral("contexts.ini"))));
            const QStringList numbers = contexts.sectionKeys(QStringLiteral("Contexts"));
            QVERIFY(numbers.size() >= 10);
            for (const QString &number : numbers) {
                const QString topic = contexts.readString(QStringLiteral("Contexts"), number);
                QVERIFY(viewer->showContext(number.toInt()));
                QVERIFY2(viewer->currentSource().endsWith(u'/' + topic), qPrintable(folder + u' ' + number));
                QVERIFY2(anchorsOf(viewer->browser()->document()).contains(topic.section(u'#', 1)),
                         qPrintable(folder + u' ' + topic));
            }
        }
    }

    void contextsWithoutTopicOpenTheContents_data()
    {
        QTest::addColumn<int>("context");
        QTest::newRow("row without parameter") << 1;
        QTest::newRow("parameter without code") << 0;
        QTest::newRow("unknown number") << 123456;
        QTest::newRow("negative") << -5;
    }
    void contextsWithoutTopicOpenTheContents()
    {
        QFETCH(int, context);
        useLanguage(QStringLiteral("english"));
        viewer->showTopic(QStringLiteral("protocol.html"));
        ScriptedPrompts prompts;
        QVERIFY(viewer->showContext(context));
        QVERIFY(prompts.records.isEmpty());
        QCOMPARE(QFileInfo(viewer->currentSource()).fileName(), QStringLiteral("index.html"));
    }

    void badTopics_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("page");
        QTest::newRow("without extension") << "protocol" << true << "protocol.html";
        QTest::newRow("with anchor") << "baud_rate.html#fast" << true << "baud_rate.html#fast";
        QTest::newRow("empty opens contents") << "" << true << "index.html";
        QTest::newRow("untranslated key") << "helpUnknownParameter" << false << "";
        QTest::newRow("missing page") << "nothing.html" << false << "";
        QTest::newRow("out of the help folder") << "../../lang/english_en_gb.ini" << false << "";
        QTest::newRow("absolute path") << "/etc/hostname" << false << "";
        QTest::newRow("a folder") << "../en" << false << "";
    }
    void badTopics()
    {
        QFETCH(QString, topic);
        QFETCH(bool, shown);
        QFETCH(QString, page);
        useLanguage(QStringLiteral("english"));
        ScriptedPrompts prompts;
        QCOMPARE(viewer->showTopic(topic), shown);
        if (shown) {
            QVERIFY(prompts.records.isEmpty());
            QVERIFY(viewer->currentSource().endsWith(u'/' + page));
            // The section asked for is marked, also where the page is too short to scroll.
            if (page.contains(u'#'))
                QCOMPARE(viewer->browser()->textCursor().selectedText(), QStringLiteral("57600 and 115200 Baud"));
        } else {
            QCOMPARE(prompts.records.size(), 1);
            QCOMPARE(prompts.records.first().text,
                     QStringLiteral("The help topic \"%1\" is not part of the help file \"%2\".")
                         .arg(topic, QDir::toNativeSeparators(viewer->helpFile())));
        }
    }

    void missingHelpFile()
    {
        // A program folder with language files but no help: every way in says so, and the
        // window does not open empty.
        QTemporaryDir bare;
        QVERIFY(copyTree(TestPaths::dataFile(QStringLiteral("lang")), QDir(bare.path()).filePath(QStringLiteral("lang"))));
        HelpShared::setProgramDir(bare.path());
        useLanguage(QStringLiteral("english"));
        viewer->hide();
        const QString expected = QStringLiteral("The help file \"%1\" was not found.")
                                     .arg(QDir::toNativeSeparators(QDir(bare.path()).filePath(QStringLiteral("help/en/index.html"))));
        ScriptedPrompts prompts;
        QVERIFY(!viewer->showContents());
        QVERIFY(!viewer->showTopic(QStringLiteral("protocol.html")));
        QVERIFY(!viewer->showContext(500));
        QCOMPARE(prompts.texts(), QStringList(3, expected));
        QCOMPARE(prompts.records.first().icon, PromptIcon::Warning);
        QVERIFY(!viewer->isVisible());
        HelpShared::setProgramDir(programDir.path());
    }

    void ownLanguageFollowsTheUsersChoice()
    {
        // Without a service handed over, the help follows "UserLang", which readFile stores.
        HelpShared::setLanguage(nullptr);
        useLanguage(QStringLiteral("german"));
        QVERIFY(viewer->showContents());
        QVERIFY(viewer->currentSource().endsWith(QStringLiteral("help/de/index.html")));
        useLanguage(QStringLiteral("english"));
        QVERIFY(viewer->showContents());
        QVERIFY(viewer->currentSource().endsWith(QStringLiteral("help/en/index.html")));
        HelpShared::setLanguage(&language);
    }

    // Closing the main window ends the program even while the help is open.
    void anOpenHelpDoesNotKeepTheProgramRunning()
    {
        QWidget mainWindow;
        mainWindow.show();
        QVERIFY(viewer->showContents());
        QVERIFY(viewer->isVisible());
        qApp->setQuitOnLastWindowClosed(true);
        QTimer::singleShot(0, &mainWindow, &QWidget::close);
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); }); // still running
        QCOMPARE(QCoreApplication::exec(), 0);
        viewer->close();
    }
};

QTEST_MAIN(TestHelpViewer)
#include "TestHelpViewer.moc"

#include "shell/HelpAbout.h"
#include "shell/HelpViewer.h"

#include "localisation/LanguageSelect.h"

#include "ScriptedPrompts.h"
#include "TestPaths.h"

#include <QDirIterator>
#include <QFile>
#include <QPointer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

// The about box is one object for the whole run, and a page removed for want of its file
// stays removed: the cases run in this order on purpose.
class TestHelpAbout : public QObject
{
    Q_OBJECT

    QTemporaryDir programDir;
    LanguageSelect language;
    QWidget mainWindow;
    THelpAbout *box = nullptr;

    QTabWidget *pages() const { return box->findChild<QTabWidget *>(QStringLiteral("PageControlVersionInfo")); }
    QString pageText(const char *name) const
    {
        return box->findChild<QTextEdit *>(QString::fromLatin1(name))->toPlainText();
    }
    QStringList tabNames() const
    {
        QStringList names;
        for (int i = 0; i < pages()->count(); ++i)
            names << pages()->widget(i)->objectName();
        return names;
    }
    QString file(const QString &name) const { return QDir(programDir.path()).filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(programDir.isValid());
        QDir().mkpath(file(QStringLiteral("lang")));
        for (const QString name : {QStringLiteral("english_en_gb.ini"), QStringLiteral("german_de_de.ini")})
            QVERIFY(QFile::copy(TestPaths::dataFile(QStringLiteral("lang/") + name), file(QStringLiteral("lang/") + name)));
        HelpShared::setProgramDir(programDir.path());
        language.setLangDir(file(QStringLiteral("lang")));
        QVERIFY(language.initLangs());
        QVERIFY(language.readDefaultLang());
        QVERIFY(language.readFile(QStringLiteral("english")));
        HelpShared::setLanguage(&language);
        box = &THelpAbout::instance();
    }

    void versionStrings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("product") << "ProductName" << "^Torvane$";
        QTest::newRow("version with commit") << "ProductVersion" << "^\\d+\\.\\d+\\.\\d+ \\((\\w+)\\)$";
        QTest::newRow("comments name the build") << "Comments" << QStringLiteral("Commit \\w+, built with .+ and Qt %1").arg(QRegularExpression::escape(QStringLiteral(QT_VERSION_STR)));
        QTest::newRow("missing string") << "PrivateBuild" << "^ PrivateBuild not available$";
        QTest::newRow("empty name") << "" << "^  not available$";
    }
    void versionStrings()
    {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        const QString value = THelpAbout::versionString(name);
        QVERIFY2(QRegularExpression(pattern).match(value).hasMatch(), qPrintable(value));
    }

    void allPagesWhenBothFilesExist()
    {
        writeFile(file(QStringLiteral("readme_en.txt")), "Read me first.\nSecond line.\n");
        writeFile(file(QStringLiteral("licence_en.txt")), "<html><body><p>The <b>licence</b> text.</p></body></html>");
        THelpAbout::showAbout(&mainWindow);
        QVERIFY(box->isVisible());
        QVERIFY(!box->isModal());
        QCOMPARE(box->parentWidget(), &mainWindow);
        QCOMPARE(tabNames(), (QStringList{"TabSheetVersionInfo", "TabSheetReadMe", "TabSheetEulatext"}));
        QCOMPARE(pages()->currentIndex(), 0);
        QCOMPARE(box->windowTitle(), QStringLiteral("About Torvane"));
        QCOMPARE(pages()->tabText(1), QStringLiteral("Read me"));
        QCOMPARE(pages()->tabText(2), QStringLiteral("Licence"));
        QCOMPARE(pageText("fileLines"), QStringLiteral("Read me first.\nSecond line.\n"));
        QCOMPARE(pageText("eulaLines"), QStringLiteral("The licence text."));

        const QStringList product = pageText("Memo1").split(u'\n');
        QCOMPARE(product.size(), 2);
        QCOMPARE(product[0], QStringLiteral("Torvane V") + THelpAbout::versionString(QStringLiteral("ProductVersion")));
        QCOMPARE(product[1], QString(102, u'-'));
        const QString legal = pageText("Memo2");
        QVERIFY(legal.startsWith(THelpAbout::versionString(QStringLiteral("LegalCopyright")) + QStringLiteral("\n\n")
                                 + THelpAbout::versionString(QStringLiteral("LegalTrademarks")) + QStringLiteral("\n\n")));
        QVERIFY(legal.endsWith(language.translateBlock(QStringLiteral("helpAbout")).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))));
    }

    void languageChangeRecaptions()
    {
        QVERIFY(language.readFile(QStringLiteral("german")));
        writeFile(file(QStringLiteral("readme_de.txt")), "Lies mich.");
        writeFile(file(QStringLiteral("licence_de.txt")), "Lizenz.");
        THelpAbout::showAbout(&mainWindow);
        QCOMPARE(box->windowTitle(), QStringLiteral("Über Torvane"));
        QCOMPARE(pageText("fileLines"), QStringLiteral("Lies mich."));
        QVERIFY(pageText("Memo2").contains(QStringLiteral("Feldbus-Gateways")));
        QVERIFY(language.readFile(QStringLiteral("english")));
    }

    void pagesGoWithTheirFilesAndStayGone()
    {
        QFile::remove(file(QStringLiteral("licence_en.txt")));
        box->refresh();
        QCOMPARE(tabNames(), (QStringList{"TabSheetVersionInfo", "TabSheetReadMe"}));
        QFile::remove(file(QStringLiteral("readme_en.txt")));
        box->refresh();
        QCOMPARE(tabNames(), QStringList{"TabSheetVersionInfo"});
        writeFile(file(QStringLiteral("readme_en.txt")), "back");
        writeFile(file(QStringLiteral("licence_en.txt")), "back");
        THelpAbout::showAbout(&mainWindow);
        QCOMPARE(tabNames(), QStringList{"TabSheetVersionInfo"});
    }

    void changeLogOnDoubleClick_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<QString>("shown");      // empty: nothing shown
        QTest::newRow("two commits") << QByteArray("abc1234 first\ndef5678 second\n")
                                     << "abc1234 first\n \ndef5678 second\n \n";
        QTest::newRow("last line without line end") << QByteArray("one\ntwo") << "one\n \ntwo\n \n";
        QTest::newRow("no file") << QByteArray() << "";
    }
    void changeLogOnDoubleClick()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, shown);
        const QString path = file(QStringLiteral("lastCommits.ini"));
        QFile::remove(path);
        if (!content.isEmpty())
            writeFile(path, content);
        THelpAbout::showAbout(&mainWindow);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        ScriptedPrompts prompts;
        QTextEdit *memo = box->findChild<QTextEdit *>(QStringLiteral("Memo1"));
        QTest::mouseDClick(memo->viewport(), Qt::LeftButton);
        if (shown.isEmpty()) {
            QVERIFY(prompts.records.isEmpty());
            return;
        }
        QCOMPARE(prompts.records.size(), 1);
        QCOMPARE(prompts.records.first().caption, QStringLiteral("Change log"));
        QCOMPARE(prompts.records.first().text, shown);
    }

    // The box goes with the main window it was shown over; a later main window gets a new one.
    void aLaterMainWindowGetsANewBox()
    {
        auto *other = new QWidget;
        THelpAbout::showAbout(other);
        QPointer<THelpAbout> shown = &THelpAbout::instance();
        QCOMPARE(shown->parentWidget(), other);
        delete other;
        QVERIFY(shown.isNull());
        THelpAbout::showAbout(&mainWindow);
        box = &THelpAbout::instance();
        QCOMPARE(box->parentWidget(), &mainWindow);
        QCOMPARE(tabNames().first(), QStringLiteral("TabSheetVersionInfo"));
    }
};

QTEST_MAIN(TestHelpAbout)
#include "TestHelpAbout.moc"

#include "ScriptedPrompts.h"
#include "TestPaths.h"

#include "platform/RegistryStore.h"
#include "shell/FileCommands.h"
#include "shell/GWMainForm.h"
#include "shell/TorvanePrint.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

// The File menu's entries through the main window's actions, with a real image and description.
class TestFileCommands : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TGWMainForm> w;
    QTemporaryDir dir;

    QString example() const { return TestPaths::dataFile(QStringLiteral("examples/gw110.gwc")); }
    QAction *action(const char *name) const { return w->action(QString::fromLatin1(name)); }
    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString copyOfExample(const QString &name)
    {
        const QString path = dir.filePath(name);
        QFile::remove(path);
        if (!QFile::copy(example(), path))
            return {};
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
    static QList<ScriptedPrompts::Record> messages(const ScriptedPrompts &prompts)
    {
        QList<ScriptedPrompts::Record> shown;
        for (const auto &r : prompts.records)
            if (r.kind == QStringLiteral("message"))
                shown.append(r);
        return shown;
    }
    void openThroughMenu(ScriptedPrompts &prompts, const QString &path)
    {
        prompts.answer(path);
        action("mainmenuFileOpen")->trigger();
    }

private slots:
    void init()
    {
        QFile::remove(RegistryStore::userFilePath());
        w = std::make_unique<TGWMainForm>(TGWMainForm::Session::Isolated);
        w->initLanguage(TestPaths::dataFile(QStringLiteral("lang")));
        QVERIFY(w->openDescription(TestPaths::dataFile(QStringLiteral("examples/vantor.tcf"))));
        installFileCommands(*w);
        QVERIFY(dir.isValid());
    }
    void cleanup() { w.reset(); }

    void openShowsTheFile()
    {
        ScriptedPrompts prompts;
        QCOMPARE(&installFileCommands(*w), &installFileCommands(*w)); // once per window
        openThroughMenu(prompts, example());
        QVERIFY2(messages(prompts).isEmpty(), qPrintable(prompts.texts().join('|')));
        QCOMPARE(prompts.records.at(0).text, TFileCommands::fileFilter());
        QVERIFY(!w->EEROM().empty);
        QVERIFY(w->EEROM().ItemList.Count() > 0);
        QCOMPARE(w->EEROM().FileName(), example());
        QCOMPARE(w->StatusText(), example());
    }

    // Bad files: a message naming the file, the configuration loaded before stays as it was.
    void openBadFileKeepsConfiguration_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // written to the file; "<dir>" makes a directory
        QTest::newRow("foreign") << QByteArray("\xEE\xEE\x00\x00\x00 not a configuration of any device", 40);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("70000 bytes") << QByteArray(70000, '\x01');
        QTest::newRow("directory") << QByteArray("<dir>");
    }
    void openBadFileKeepsConfiguration()
    {
        QFETCH(QByteArray, bytes);
        ScriptedPrompts prompts;
        const QString good = copyOfExample(QStringLiteral("good.gwc"));
        openThroughMenu(prompts, good);
        const QByteArray before = w->EEROM().UsedBytes();
        const auto itemsBefore = w->EEROM().ItemList.Count();

        const QString bad = dir.filePath(QStringLiteral("bad.gwc"));
        QDir(bad).removeRecursively();
        QFile::remove(bad);
        if (bytes == "<dir>") {
            QVERIFY(QDir().mkpath(bad));
        } else {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        prompts.records.clear();
        openThroughMenu(prompts, bad);
        const auto shown = messages(prompts);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(bad), qPrintable(shown[0].text));
        QCOMPARE(shown[0].icon, PromptIcon::Error);
        QCOMPARE(w->EEROM().UsedBytes(), before);
        QCOMPARE(w->EEROM().ItemList.Count(), itemsBefore);
        QCOMPARE(w->EEROM().FileName(), good);
        QVERIFY(!w->EEROM().empty);
    }

    void openCancelled()
    {
        ScriptedPrompts prompts;
        openThroughMenu(prompts, QString());
        QVERIFY(w->EEROM().empty);
        QCOMPARE(w->StatusText(), QString());
    }

    // Save writes exactly the used bytes; the status line says how many.
    void saveWritesUseSize()
    {
        ScriptedPrompts prompts;
        const QString path = copyOfExample(QStringLiteral("save.gwc"));
        openThroughMenu(prompts, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::Append));
        f.write("trailing bytes beyond the image");
        f.close();
        action("mainMenuSave")->trigger();
        QCOMPARE(contents(path), contents(example()));
        QVERIFY2(w->StatusText().contains(QString::number(w->EEROM().UseSize())), qPrintable(w->StatusText()));
    }

    // A target that cannot be written: the failure is shown, the old file, the image's file name
    // and the status line stay.
    void saveAsFailureKeepsOldFile()
    {
        ScriptedPrompts prompts;
        const QString path = copyOfExample(QStringLiteral("kept.gwc"));
        openThroughMenu(prompts, path);
        const QString status = w->StatusText();
        const QString target = dir.filePath(QStringLiteral("occupied.gwc"));
        QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
        prompts.records.clear();
        prompts.answer(target);
        action("mainMenuSaveAs")->trigger();
        QCOMPARE(prompts.records.size(), 2); // the save dialog, then the failure
        QCOMPARE(prompts.records[1].icon, PromptIcon::Error);
        QCOMPARE(w->EEROM().FileName(), path);
        QCOMPARE(w->StatusText(), status);
        QCOMPARE(contents(path), contents(example()));
        QVERIFY(QFileInfo(target).isDir());
    }

    // An image without a file name is saved as Save As with an empty preset.
    void saveWithoutNameAsksForOne()
    {
        ScriptedPrompts prompts;
        openThroughMenu(prompts, example());
        w->EEROM().SetFileName(QString());
        const QString target = dir.filePath(QStringLiteral("named.gwc"));
        prompts.records.clear();
        prompts.answer(target);
        action("mainMenuSave")->trigger();
        QCOMPARE(prompts.records.size(), 1);
        QCOMPARE(prompts.records[0].kind, QStringLiteral("save"));
        QCOMPARE(prompts.records[0].text, QString()); // no preset name
        QCOMPARE(w->EEROM().FileName(), target);
        QCOMPARE(contents(target), contents(example()));
    }

    void emptyImageTexts()
    {
        ScriptedPrompts prompts;
        openThroughMenu(prompts, example());
        action("mainMenuClose")->trigger();
        QVERIFY(w->EEROM().empty);
        QCOMPARE(w->StatusText(), w->translate(QStringLiteral("statusBarPanelFileClosed")));
        action("mainMenuSave")->trigger();
        QCOMPARE(w->StatusText(), w->translate(QStringLiteral("statusBarPanelNoFileToSave")));
        action("mainMenuClose")->trigger();
        QCOMPARE(w->StatusText(), w->translate(QStringLiteral("statusBarPanelNoFileToClose")));
        prompts.records.clear();
        action("mainMenuPrint")->trigger();
        QCOMPARE(w->StatusText(), w->translate(QStringLiteral("statusBarPanelNoFileToPrint")));
        QCOMPARE(prompts.records.size(), 1);
        QCOMPARE(prompts.records[0].kind, QStringLiteral("beep"));
        QVERIFY(!installFileCommands(*w).Preview->isVisible());
    }

    // Without a printer the set-up says so instead of showing an empty dialog.
    void printerSetupWithoutPrinter()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("a printer is installed here");
        ScriptedPrompts prompts;
        action("mainMenuPrinterOptions")->trigger();
        const auto shown = messages(prompts);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, PromptIcon::Warning);
        QVERIFY(!shown[0].text.isEmpty());
    }

    void printFillsPreview()
    {
        ScriptedPrompts prompts;
        openThroughMenu(prompts, example());
        action("mainMenuPrint")->trigger();
        QCOMPARE(w->StatusText(), w->translate(QStringLiteral("statusBarPanelFilePrinted")));
        TTorvanePrint *preview = installFileCommands(*w).Preview;
        QVERIFY(preview->isVisible());
        QVERIFY(preview->document()->toPlainText().contains(example()));
    }
};

QTEST_MAIN(TestFileCommands)
#include "TestFileCommands.moc"

#include "ScriptedPrompts.h"
#include "TestPaths.h"

#include "TinyDisk.h"

#include "model/ItemEditor.h"
#include "platform/RegistryStore.h"
#include "shell/FileCommands.h"
#include "shell/GWMainForm.h"
#include "shell/ParameterGridModel.h"
#include "shell/TorvanePrint.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTableView>
#include <QtTest>

#include <sys/mount.h>
#include <unistd.h>

namespace {

// The parameter editor as the grid reaches it: OK with `answer`, or with the start text when
// `answer` is empty.
struct FakeEditor : ItemEditor
{
    QString answer;
    void SetTopLeft(const QPoint &) override {}
    void SetSelectList(const QStringList &) override {}
    void SetBoolPage(const QString &, const QString &, const QString &) override {}
    QString Edit(TItem *, TFormat, const QString &start) override { return answer.isEmpty() ? start : answer; }
};

const QString kEdited = QStringLiteral("Edited");

} // namespace

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
    // Double-clicks the value of the station name in the grid and confirms `value` in the
    // editor (the unchanged text when empty).
    void editInGrid(const QString &value)
    {
        FakeEditor editor;
        editor.answer = value;
        ItemEditor::setInstance(&editor);
        auto *model = static_cast<TParameterGridModel *>(w->grid()->model());
        int row = -1;
        for (int r = 0; r < model->filledRows(); ++r)
            if (model->row(r)->name == QStringLiteral("Station Name"))
                row = r;
        QVERIFY(row >= 0);
        w->grid()->setCurrentIndex(model->index(row, 1));
        w->DGDblClick();
        ItemEditor::setInstance(nullptr);
    }
    // Opens a copy of the example and changes it in the grid; the bytes of the edited image.
    QByteArray openAndEdit(ScriptedPrompts &prompts, const QString &path)
    {
        openThroughMenu(prompts, path);
        editInGrid(kEdited);
        prompts.records.clear();
        return w->EEROM().UsedBytes();
    }
    static bool isQuestion(const ScriptedPrompts::Record &r)
    {
        return r.kind == QStringLiteral("message") && r.icon == PromptIcon::Question
               && r.buttons == PromptButtons{PromptButton::Yes, PromptButton::No, PromptButton::Cancel};
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
    void cleanup()
    {
        w.reset();
        ItemEditor::setInstance(nullptr);
    }

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
        QTest::newRow("no read permission") << QByteArray("<unreadable>");
    }
    void openBadFileKeepsConfiguration()
    {
        QFETCH(QByteArray, bytes);
        ScriptedPrompts prompts;
        const QString good = copyOfExample(QStringLiteral("good.gwc"));
        openThroughMenu(prompts, good);
        editInGrid(kEdited); // the user's changes are part of what must survive
        const QByteArray before = w->EEROM().UsedBytes();
        const auto itemsBefore = w->EEROM().ItemList.Count();

        const QString bad = dir.filePath(QStringLiteral("bad.gwc"));
        QDir(bad).removeRecursively();
        QFile::remove(bad);
        if (bytes == "<dir>") {
            QVERIFY(QDir().mkpath(bad));
        } else {
            if (bytes == "<unreadable>") {
                if (::geteuid() == 0)
                    QSKIP("root reads any file; the missing read permission cannot be shown here");
                bytes = contents(example());
            }
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            f.close();
            if (bytes == contents(example()))
                QVERIFY(f.setPermissions(QFileDevice::WriteOwner));
        }
        prompts.records.clear();
        prompts.answer(PromptButton::No); // the changes may go: the file replaces them
        openThroughMenu(prompts, bad);
        if (bytes != "<dir>") {
            QFile::setPermissions(bad, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QCOMPARE(contents(bad), bytes); // reading never changes the file
        }
        const auto shown = messages(prompts);
        QCOMPARE(shown.size(), 2);
        QVERIFY(isQuestion(shown[0]));
        QVERIFY2(shown[1].text.contains(bad), qPrintable(shown[1].text));
        QCOMPARE(shown[1].icon, PromptIcon::Error);
        QCOMPARE(w->EEROM().UsedBytes(), before);
        QVERIFY(w->EEROM().UserChanged());
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
        QCOMPARE(shown[0].text, w->translate(QStringLiteral("printerSetupNoPrinter")));
        QVERIFY(shown[0].text != QStringLiteral("printerSetupNoPrinter"));
    }

    // The grid's editor marks the image changed only when the value changed; Save clears it.
    void gridEditsMarkTheImage()
    {
        ScriptedPrompts prompts;
        const QString path = copyOfExample(QStringLiteral("edited.gwc"));
        openThroughMenu(prompts, path);
        QVERIFY(!w->EEROM().UserChanged());
        editInGrid(QString());
        QVERIFY(!w->EEROM().UserChanged());
        editInGrid(kEdited);
        QVERIFY(w->EEROM().UserChanged());
        QCOMPARE(w->EEROM().GetParameter(QStringLiteral("Station Name")), kEdited);
        action("mainMenuSave")->trigger();
        QVERIFY(!w->EEROM().UserChanged());
        QCOMPARE(contents(path), w->EEROM().UsedBytes());
        QVERIFY(contents(path) != contents(example()));
        prompts.records.clear();
        action("mainMenuClose")->trigger(); // saved: nothing to ask
        QVERIFY(prompts.records.isEmpty());
        QVERIFY(w->EEROM().empty);
    }

    // Every way of dropping a changed image asks first: Cancel keeps everything, No drops the
    // changes, Yes saves them; then the command runs.
    void askBeforeDroppingChanges_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("answerCode"); // a PromptButton
        for (const char *command : {"open", "close", "upload", "close box"})
            for (const auto &[name, answer] : {std::pair{"cancel", PromptButton::Cancel}, std::pair{"no", PromptButton::No},
                                               std::pair{"yes", PromptButton::Yes}})
                QTest::addRow("%s, %s", command, name) << QString::fromLatin1(command) << int(answer);
        QTest::newRow("exit, cancel") << QStringLiteral("exit") << int(PromptButton::Cancel);
    }
    void askBeforeDroppingChanges()
    {
        QFETCH(QString, command);
        QFETCH(int, answerCode);
        const auto answer = static_cast<PromptButton>(answerCode);
        ScriptedPrompts prompts;
        const QString path = copyOfExample(QStringLiteral("changed.gwc"));
        const QByteArray edited = openAndEdit(prompts, path);
        const QString other = TestPaths::dataFile(QStringLiteral("examples/gw110-ethernet.gwc"));
        w->show();

        prompts.answer(answer);
        if (command == QStringLiteral("open")) {
            prompts.answer(other);
            action("mainmenuFileOpen")->trigger();
        } else if (command == QStringLiteral("close")) {
            action("mainMenuClose")->trigger();
        } else if (command == QStringLiteral("upload")) {
            action("mainMenuUpload")->setEnabled(true);
            action("mainMenuUpload")->trigger();
        } else if (command == QStringLiteral("close box")) {
            QCOMPARE(w->close(), answer != PromptButton::Cancel);
        } else {
            action("mainmenuFileExit")->trigger();
        }

        QVERIFY2(!prompts.records.isEmpty() && isQuestion(prompts.records[0]), qPrintable(prompts.texts().join('|')));
        QCOMPARE(prompts.records[0].text, w->translate(QStringLiteral("messageSaveChanges")));
        QCOMPARE(contents(path), answer == PromptButton::Yes ? edited : contents(example()));
        if (answer == PromptButton::Cancel) {
            QCOMPARE(prompts.records.size(), 1);
            QCOMPARE(w->EEROM().UsedBytes(), edited);
            QVERIFY(w->EEROM().UserChanged());
            QCOMPARE(w->EEROM().FileName(), path);
            QVERIFY(w->isVisible());
            QVERIFY(w->StatusText() != w->translate(QStringLiteral("statusBarPanelNoPort")));
            return;
        }
        if (command == QStringLiteral("open"))
            QCOMPARE(w->EEROM().FileName(), other);
        else if (command == QStringLiteral("close"))
            QVERIFY(w->EEROM().empty);
        else if (command == QStringLiteral("upload"))
            QCOMPARE(w->StatusText(), w->translate(QStringLiteral("statusBarPanelNoPort")));
        else
            QVERIFY(!w->isVisible());
    }

    // Yes whose save does not happen (Save As cancelled, a failed write) keeps everything.
    void unsavedAnswerKeepsEverything_data()
    {
        QTest::addColumn<QString>("saveAsAnswer"); // "" cancels the Save As dialog
        QTest::newRow("save as cancelled") << QString();
        QTest::newRow("save as fails") << QStringLiteral("<dir>");
    }
    void unsavedAnswerKeepsEverything()
    {
        QFETCH(QString, saveAsAnswer);
        ScriptedPrompts prompts;
        const QByteArray edited = openAndEdit(prompts, copyOfExample(QStringLiteral("unnamed.gwc")));
        w->EEROM().SetFileName(QString()); // as after an upload
        if (saveAsAnswer == QStringLiteral("<dir>")) {
            saveAsAnswer = dir.filePath(QStringLiteral("a folder.gwc"));
            QVERIFY(QDir().mkpath(saveAsAnswer));
        }
        prompts.answer(PromptButton::Yes);
        prompts.answer(saveAsAnswer);
        action("mainMenuClose")->trigger();
        QVERIFY(isQuestion(prompts.records.value(0)));
        QCOMPARE(prompts.records.value(1).kind, QStringLiteral("save"));
        QCOMPARE(prompts.records.size(), saveAsAnswer.isEmpty() ? 2 : 3); // and the failure's box
        QVERIFY(!w->EEROM().empty);
        QCOMPARE(w->EEROM().UsedBytes(), edited);
        QVERIFY(w->EEROM().UserChanged());
        QCOMPARE(w->EEROM().FileName(), QString());
    }

    // No question without changes, and none in an unattended run.
    void noQuestion_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("unattended");
        QTest::newRow("unchanged") << false << false;
        QTest::newRow("unattended") << true << true;
    }
    void noQuestion()
    {
        QFETCH(bool, edit);
        QFETCH(bool, unattended);
        ScriptedPrompts prompts;
        openThroughMenu(prompts, copyOfExample(QStringLiteral("quiet.gwc")));
        if (edit)
            editInGrid(kEdited);
        w->setUnattended(unattended);
        QCOMPARE(w->Unattended(), unattended);
        prompts.records.clear();
        action("mainMenuClose")->trigger();
        QVERIFY(prompts.records.isEmpty());
        QVERIFY(w->EEROM().empty);
    }

    // Saving a changed image where it cannot be written: the failure names the file, the file
    // on disk, the image (with the changes still marked), its file name and the status stay.
    void saveFailureKeepsFileAndConfiguration_data()
    {
        QTest::addColumn<QString>("place");
        QTest::newRow("read-only folder") << QStringLiteral("read-only");
        QTest::newRow("write-protected file") << QStringLiteral("protected");
        QTest::newRow("full disk") << QStringLiteral("full");
    }
    void saveFailureKeepsFileAndConfiguration()
    {
        QFETCH(QString, place);
        const bool root = ::geteuid() == 0;
        TinyDisk disk;
        QString folder = dir.filePath(QStringLiteral("locked"));
        if (place == QStringLiteral("full") || (root && place == QStringLiteral("read-only"))) {
            // Root writes into any folder: only a read-only file system refuses it.
            if (!disk.isMounted())
                QSKIP(qPrintable(disk.skipReason()));
            folder = disk.path();
        }
        QVERIFY(QDir().mkpath(folder));
        const QString path = QDir(folder).filePath(QStringLiteral("target.gwc"));
        QFile::remove(path);
        QVERIFY(QFile::copy(example(), path));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));

        ScriptedPrompts prompts;
        const QByteArray edited = openAndEdit(prompts, path);
        const QString status = w->StatusText();
        if (place == QStringLiteral("full")) {
            QVERIFY(disk.fill());
        } else if (place == QStringLiteral("protected")) {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        } else if (root) {
            QCOMPARE(::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
        } else {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        action("mainMenuSave")->trigger();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(bool(QFileInfo(path).permissions() & QFile::WriteOwner), place != QStringLiteral("protected"));

        const auto shown = messages(prompts);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, PromptIcon::Error);
        QVERIFY2(shown[0].text.contains(path), qPrintable(shown[0].text));
        QCOMPARE(contents(path), contents(example()));
        QCOMPARE(w->EEROM().UsedBytes(), edited);
        QVERIFY(w->EEROM().UserChanged());
        QCOMPARE(w->EEROM().FileName(), path);
        QCOMPARE(w->StatusText(), status);
        if (folder == disk.path())
            QCOMPARE(disk.visibleFiles(), QStringList{QStringLiteral("target.gwc")}); // no half-written file left
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

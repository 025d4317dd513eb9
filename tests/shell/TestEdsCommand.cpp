// Options > Generate EDS through the main window's entry, with the prompts scripted: what the
// user is shown, what is proposed, and that nothing is written unless both dialogs are confirmed.
#include "ScriptedPrompts.h"
#include "TestPaths.h"

#include "platform/RegistryStore.h"
#include "shell/EdsCommand.h"
#include "shell/GWMainForm.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Device 0x1A with the two parameters the proposed name is made of (or without them).
QByteArray description(bool withNameParameters)
{
    QByteArray text = "[Names]\n0x1A=Dev\n[Devices]\n0x1A=0x10\n[Dev]\n";
    if (withNameParameters)
        text += "Serial Number=16;12;1;;;8\nDevice Type=24;12;1;;;8\n";
    text += "Other=32;12;1;;;4\n";
    return text;
}

const QByteArray kTemplate = "[FileInfo]\r\n"
                             "Serial=<!--exec=replace param=\"Serial Number;Other\" string=\"%s\"-->\r\n"
                             "Type=<!--exec=replace param=\"Device Type\"-->\r\n"
                             "End\r\n";

} // namespace

class TestEdsCommand : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TGWMainForm> w;
    std::unique_ptr<QTemporaryDir> dir;
    QString templates, target;

    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    // The window with device 0x1A loaded and the given values.
    void load(bool withNameParameters)
    {
        const QString tcf = dir->filePath("dev.tcf");
        write(tcf, description(withNameParameters));
        QVERIFY(w->openDescription(tcf));
        TEEROM &image = w->EEROM();
        image.SetByteIDX(1, 0x1A);
        image.SetUseSize(256);
        image.laden();
        if (withNameParameters) {
            image.SetParameter("Serial Number", "1234567");
            image.SetParameter("Device Type", "GW/A:1");
        }
        image.SetParameter("Other", "77");
        w->refreshGrid();
    }
    QAction *entry() const { return w->action("mainMenuGenerateEDS"); }
    QStringList targetFiles() const { return QDir(target).entryList(QDir::Files); }

private slots:
    void init()
    {
        QFile::remove(RegistryStore::userFilePath());
        qunsetenv("USERPROFILE");
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        templates = dir->filePath("ddtemplate");
        target = dir->filePath("out");
        QVERIFY(QDir().mkpath(templates) && QDir().mkpath(target));
        w = std::make_unique<TGWMainForm>(TGWMainForm::Session::Isolated);
        w->initLanguage(TestPaths::dataFile("lang"));
        w->setEdsTemplateDir(templates);
        installEdsCommand(*w);
        installEdsCommand(*w); // once per window: a second install must not run the command twice
    }
    void cleanup()
    {
        w.reset();
        dir.reset();
    }

    // The message with the parameters used, then the save dialog in the home folder with the
    // proposed name; the confirmed file holds the filled-in template.
    void generatesAndSaves_data()
    {
        QTest::addColumn<bool>("withNameParameters");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("used");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("serial number and device type") << true << "1234_GWA1.eds" << "\r\n-Serial Number\r\n-Device Type"
                                                       << QByteArray("[FileInfo]\r\nSerial=1234567\r\nType=GW/A:1\r\nEnd\r\n");
        // Without the two parameters the template's own name is proposed.
        QTest::newRow("neither") << false << "001A_Dev.eds" << "\r\n-Other"
                                 << QByteArray("[FileInfo]\r\nSerial=77\r\nType=\r\nEnd\r\n");
    }
    void generatesAndSaves()
    {
        QFETCH(bool, withNameParameters);
        QFETCH(QString, proposed);
        QFETCH(QString, used);
        QFETCH(QByteArray, expected);
        write(QDir(templates).filePath("001A_Dev.eds"), kTemplate);
        load(withNameParameters);
        QVERIFY(entry()->isEnabled());

        ScriptedPrompts prompts;
        const QString chosen = QDir(target).filePath("chosen.eds");
        prompts.answer(PromptButton::Ok);
        prompts.answer(chosen);
        entry()->trigger();

        QCOMPARE(prompts.records.size(), 2);
        const auto &box = prompts.records[0];
        QCOMPARE(box.kind, QString("message"));
        QCOMPARE(box.caption, w->translate("messageEDSGenerationHeader"));
        QCOMPARE(box.text, w->translate("messageEDSGenerationInfo") + used);
        QCOMPARE(box.buttons, PromptButtons({PromptButton::Ok, PromptButton::Cancel}));
        QCOMPARE(prompts.records[1].kind, QString("save"));
        QCOMPARE(prompts.records[1].text, QDir(QDir::homePath()).filePath(proposed));
        QCOMPARE(contents(chosen), expected);
        QCOMPARE(targetFiles(), QStringList{"chosen.eds"});
    }

    void cancelWritesNothing_data()
    {
        QTest::addColumn<bool>("confirmMessage");
        QTest::addColumn<int>("prompts");
        QTest::newRow("cancel in the message box") << false << 1;
        QTest::newRow("cancel in the save dialog") << true << 2;
    }
    void cancelWritesNothing()
    {
        QFETCH(bool, confirmMessage);
        QFETCH(int, prompts);
        write(QDir(templates).filePath("001A_Dev.eds"), kTemplate);
        load(true);
        ScriptedPrompts scripted;
        scripted.answer(confirmMessage ? PromptButton::Ok : PromptButton::Cancel);
        scripted.answer(QString()); // the save dialog cancelled
        entry()->trigger();
        QCOMPARE(scripted.records.size(), prompts);
        QVERIFY(targetFiles().isEmpty());
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{"dev.tcf"});
    }

    // The entry follows the template folder after each refresh; run anyway (the handler
    // itself), the command says that there is no template and asks nothing else.
    void withoutTemplate()
    {
        load(true);
        QVERIFY(!entry()->isEnabled());
        write(QDir(templates).filePath("001b_Other.eds"), kTemplate); // another device's
        w->setEdsTemplateDir(templates);
        w->refreshGrid();
        QVERIFY(!entry()->isEnabled());

        ScriptedPrompts prompts;
        auto *command = w->findChild<TEdsCommand *>();
        QVERIFY(command);
        command->mainMenuGenerateEDSClick();
        QCOMPARE(prompts.texts(), QStringList{w->translate("mainMenuGenerateEDSCouldNotFind") + "\n\r"
                                              + w->translate("mainMenuGenerateEDSNoFileCreated")});
        QVERIFY(targetFiles().isEmpty());

        write(QDir(templates).filePath("001A.xml"), kTemplate);
        w->setEdsTemplateDir(templates);
        w->refreshGrid();
        QVERIFY(entry()->isEnabled());
    }

    // A template that cannot be used: one error box naming the cause, no save dialog, no file.
    void badTemplate_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("too large") << QByteArray(200001, 'x') << "EdsGenerateTemplateTooLarge";
        QTest::newRow("length not a number")
            << QByteArray("A=<!--exec=replace param=\"Serial Number\" valueLength=\"four\"-->\r\n") << "";
    }
    void badTemplate()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        write(QDir(templates).filePath("001A_Dev.eds"), text);
        load(true);
        ScriptedPrompts prompts;
        prompts.answer(PromptButton::Ok);
        prompts.answer(QDir(target).filePath("never.eds"));
        entry()->trigger();
        QCOMPARE(prompts.records.size(), 1);
        QCOMPARE(prompts.records[0].icon, PromptIcon::Error);
        QVERIFY(!prompts.records[0].text.isEmpty());
        if (!message.isEmpty()) {
            const QString start = w->translate(message).section("%", 0, 0);
            QVERIFY2(prompts.records[0].text.startsWith(start), qPrintable(prompts.records[0].text));
        }
        QVERIFY(targetFiles().isEmpty());
    }
};

QTEST_MAIN(TestEdsCommand)
#include "TestEdsCommand.moc"

// The EDS generation command: template key and look-up, proposed name, and the whole command
// through the user prompts.
#include "GeneratorRig.h"
#include "ScriptedPrompts.h"
#include "generators/EdsGenerate.h"
#include "generators/EdsGeneration.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace EdsGeneration;

class TestEdsGeneration : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;     // templates
    std::unique_ptr<QTemporaryDir> m_profile; // USERPROFILE
    LanguageSelect m_english;

    QString templ(const QString &name, const QByteArray &text = "T")
    {
        return writeBytes(m_dir->filePath(name), text);
    }

private slots:
    void initTestCase() { loadEnglish(m_english); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_profile = std::make_unique<QTemporaryDir>();
        qputenv("USERPROFILE", m_profile->path().toLocal8Bit());
    }

    void templateKey_data()
    {
        QTest::addColumn<QString>("deviceId");
        QTest::addColumn<QString>("key");
        QTest::newRow("two digits") << "0x1A" << "001A";
        QTest::newRow("four digits") << "0x01A2" << "01A2";
        QTest::newRow("extended code") << "0x0164" << "0164";
        QTest::newRow("three digits") << "0x164" << "00164";
        QTest::newRow("no x") << "1F" << "001F";
        QTest::newRow("empty") << "" << "00";
    }
    void templateKey()
    {
        QFETCH(QString, deviceId);
        QTEST(TemplateKey(deviceId), "key");
    }

    // The last name in sorted order wins, whatever order the files were made in.
    void lookUp()
    {
        QCOMPARE(FindTemplate("001A", m_dir->path()), QString());
        templ("001A_b.eds");
        templ("001A_a.xml");
        templ("0001A.xml");  // the key is not at the start
        templ("001B_z.xml"); // another device
        QVERIFY(QDir(m_dir->path()).mkdir("001A_zz.xml")); // not a file
        QCOMPARE(FindTemplate("001A", m_dir->path()), QString("001A_b.eds"));
        templ("001a_c.XML"); // letter case ignored, as on the original platform
        QCOMPARE(FindTemplate("001A", m_dir->path()), QString("001a_c.XML"));
        QCOMPARE(TemplateExtension("001a_c.XML"), QString(".XML"));
        QCOMPARE(TemplateExtension("001A.tar.eds"), QString(".eds"));
        QCOMPARE(TemplateExtension("001A"), QString());
        QCOMPARE(FindTemplate("001C", m_dir->path()), QString());
        QCOMPARE(FindTemplate("001A", m_dir->filePath("missing")), QString());
    }

    void fileNames()
    {
        QCOMPARE(CleanFileName("a/b\\c:d*e?f\"g<h>i|j.eds"), QString("abcdefghij.eds"));
        TestImage t;
        QCOMPARE(ProposedFileName(t.img, ".eds", "001A.eds"), QString("1234_GWA1.eds"));
        t.set("Serial Number", "12");
        QCOMPARE(ProposedFileName(t.img, ".xml", "001A.xml"), QString("12_GWA1.xml"));

        // Without one of the two parameters it and its "_" are left out; without both the
        // template's own name is proposed.
        IniFile ini;
        ini.parseText("[Names]\n0x1A=Dev\n[Devices]\n0x1A=0x10\n[Dev]\nDevice Type=24;12;1;;;8\n");
        TBaseEEROM img;
        img.SetSourceDatei(&ini);
        img.SetByteIDX(1, 0x1A);
        img.FUseSize = 64;
        img.laden();
        img.SetParameter("Device Type", "A|B");
        QCOMPARE(ProposedFileName(img, ".eds", "001A_x.eds"), QString("AB.eds"));
        IniFile bare;
        bare.parseText("[Names]\n0x1A=Dev\n[Devices]\n0x1A=0x10\n[Dev]\nOther=24;12;1;;;8\n");
        img.SetSourceDatei(&bare);
        img.laden();
        QCOMPARE(ProposedFileName(img, ".eds", "001A_x.eds"), QString("001A_x.eds"));
    }

    void saveFilter_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("filter");
        QTest::newRow("eds first") << ".eds" << "EDS file (*.eds);;XML file (*.xml)";
        QTest::newRow("xml stays first") << ".XML" << "XML file (*.xml);;EDS file (*.eds)";
        QTest::newRow("no such pair") << ".txt" << "XML file (*.xml);;EDS file (*.eds)";
    }
    void saveFilter()
    {
        QFETCH(QString, extension);
        QTEST(SaveFilter(m_english.translate("mainMenuGenerateEDSExtensions"), extension), "filter");
    }

    void commandSaves()
    {
        templ("001A_a.xml", "<x/>");
        templ("001A_b.eds", "S=<!--exec=replace param=\"Serial Number\"-->\r\nT=<!--exec=replace param=\"Device Type\"-->\r\n");
        TestImage t;
        t.img.language = &m_english;
        ScriptedPrompts prompts;
        prompts.answer(PromptButton::Ok);
        const QString target = m_profile->filePath("chosen.eds");
        writeBytes(target, "old content");
        prompts.answer(target);

        const Result r = mainMenuGenerateEDS(t.img, m_dir->path());
        QCOMPARE(int(r.outcome), int(Outcome::Saved));
        QCOMPARE(r.path, target);
        QCOMPARE(prompts.records.size(), 2);
        const auto &box = prompts.records[0];
        QCOMPARE(box.kind, QString("message"));
        QCOMPARE(box.caption, QString("Generate device description"));
        QCOMPARE(box.text, QString("The device description was filled in from these parameters:\r\n-Serial Number\r\n-Device Type"));
        QCOMPARE(int(box.icon), int(PromptIcon::Information));
        QCOMPARE(box.buttons, PromptButtons({PromptButton::Ok, PromptButton::Cancel}));
        QCOMPARE(prompts.records[1].kind, QString("save"));
        QCOMPARE(prompts.records[1].text, m_profile->filePath("1234_GWA1.eds"));

        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("S=1234567\r\nT=GW/A:1\r\n"));
    }

    // Nothing is written unless the user confirms both prompts; a template without
    // commands gives the bare info text.
    void commandCancelled_data()
    {
        QTest::addColumn<bool>("confirmBox");
        QTest::addColumn<int>("prompts");
        QTest::newRow("cancel in the message box") << false << 1;
        QTest::newRow("cancel in the save dialog") << true << 2;
    }
    void commandCancelled()
    {
        QFETCH(bool, confirmBox);
        templ("001A.eds", "plain");
        TestImage t;
        t.img.language = &m_english;
        ScriptedPrompts prompts;
        prompts.answer(confirmBox ? PromptButton::Ok : PromptButton::Cancel);
        prompts.answer(QString()); // cancel
        QCOMPARE(int(mainMenuGenerateEDS(t.img, m_dir->path()).outcome), int(Outcome::Cancelled));
        QTEST(int(prompts.records.size()), "prompts");
        QCOMPARE(prompts.records[0].text, QString("The device description was filled in from these parameters:"));
        QCOMPARE(QDir(m_profile->path()).entryList(QDir::Files), QStringList());
    }

    void commandWithoutTemplate()
    {
        templ("001B.eds");
        TestImage t;
        t.img.language = &m_english;
        ScriptedPrompts prompts;
        QCOMPARE(int(mainMenuGenerateEDS(t.img, m_dir->path()).outcome), int(Outcome::NoTemplate));
        QCOMPARE(prompts.texts(), QStringList{"No device description template was found for this device.\n\rNo file was created."});
    }

    // A template that does not convert stops the command before any prompt.
    void commandGenerationError()
    {
        templ("001A.eds", "<!--exec=replace param=\"Hundred\" valueLength=\"four\"-->");
        TestImage t;
        ScriptedPrompts prompts;
        prompts.answer(PromptButton::Ok);
        prompts.answer(m_profile->filePath("out.eds"));
        QCOMPARE(errorOf([&] { mainMenuGenerateEDS(t.img, m_dir->path()); }),
                 QString("'four' is not a valid integer value"));
        QVERIFY(prompts.records.isEmpty());
        QVERIFY(!QFile::exists(m_profile->filePath("out.eds")));
    }

    void commandCannotWrite()
    {
        templ("001A.eds", "plain");
        TestImage t;
        t.img.language = &m_english;
        ScriptedPrompts prompts;
        prompts.answer(PromptButton::Ok);
        const QString target = m_profile->filePath("no/such/folder/out.eds");
        prompts.answer(target);
        // The translated line, then why (here: the folder is missing).
        const QString error = errorOf([&] { mainMenuGenerateEDS(t.img, m_dir->path()); });
        QCOMPARE(error.section(u'\n', 0, 0), QString("The file \"%1\" cannot be written.").arg(target));
        QVERIFY2(error.section(u'\n', 1).contains(target), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestEdsGeneration)
#include "TestEdsGeneration.moc"

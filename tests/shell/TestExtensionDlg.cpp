// The extension dialog through its object names, with the open dialog scripted and the
// simulated gateway on a pseudo-terminal behind the main window's session.
#include "GeneratorRig.h"
#include "ScriptedPrompts.h"

#include "devsim/GatewaySimulator.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "platform/RegistryStore.h"
#include "shell/ExtensionDlg.h"
#include "shell/GWMainForm.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestExtensionDlg : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TGWMainForm> w;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<GatewaySimulator> sim;
    QTemporaryDir dir;
    TExtensionDlg *dlg = nullptr;
    // What reached the receive handler the window had in place before the dialog.
    QByteArray mainReceived;
    bool mainHandlerCalled = false;

    QPushButton *writeButton() const { return dlg->findChild<QPushButton *>("ExtensionDlgButtonWriteExtension"); }
    QPushButton *closeButton() const { return dlg->findChild<QPushButton *>("buttonClose"); }
    QStringList lines() const
    {
        return dlg->findChild<QPlainTextEdit *>("Memo1")->toPlainText().split('\n');
    }
    QString translated(const char *key) const { return w->translate(QString::fromLatin1(key)); }
    QString hexFile(const QString &name, const QByteArray &text) { return writeBytes(dir.filePath(name), text); }

    // The simulator on COM7, the window's port opened on it, and a recording handler standing
    // for the window's receiver.
    void attachSimulator(const GatewaySimulator::Options &opt)
    {
        sim = std::make_unique<GatewaySimulator>(opt);
        QString error;
        QVERIFY2(sim->start(&error), qPrintable(error));
        QVERIFY2(sim->linkAsPort(QStringLiteral("COM7"), &error), qPrintable(error));
        w->openPort(QStringLiteral("COM7"));
        QVERIFY(w->Com().IsOpen());
        w->Com().SetReceiveHandler([this](int) {
            mainHandlerCalled = true;
            char c = 0;
            while (w->Com().ReadByte(c))
                mainReceived += c;
        });
    }
    // Opens the dialog from the menu and loads the file.
    void openWith(const QString &path)
    {
        prompts->answer(path);
        QVERIFY(w->action("mainMenuExtensions")->isEnabled());
        w->action("mainMenuExtensions")->trigger();
        QVERIFY(dlg->isVisible());
    }
    bool mainHandlerBack()
    {
        mainHandlerCalled = false;
        if (auto handler = w->Com().ReceiveHandler())
            handler(0);
        return mainHandlerCalled;
    }
    QList<GatewaySimulator::Exchange> extensionExchanges() const
    {
        QList<GatewaySimulator::Exchange> list;
        for (const auto &e : sim->exchanges())
            if (e.kind == QLatin1String("extension"))
                list << e;
        return list;
    }

private slots:
    void init()
    {
        QFile::remove(RegistryStore::userFilePath());
        prompts = std::make_unique<ScriptedPrompts>();
        w = std::make_unique<TGWMainForm>(TGWMainForm::Session::Isolated);
        w->initLanguage(TestPaths::dataFile("lang"));
        w->setGeometry(100, 100, 600, 500);
        w->show();
        dlg = &installExtensionDlg(*w);
        QCOMPARE(&installExtensionDlg(*w), dlg);
        w->enableDeviceCommands(true);
        mainReceived.clear();
        QVERIFY(dir.isValid());
    }
    void cleanup()
    {
        w.reset();
        sim.reset();
        prompts.reset();
    }

    // A good file: the open dialog's filter, the file label and progress lines, the write
    // button, and the dialog placed 50 pixels below the main window's top, centred, not modal.
    void loadShowsTheFile()
    {
        const QString path = hexFile("cust0A01.hex", hexText(0x1000, pattern(40)));
        openWith(path);
        QCOMPARE(prompts->records.size(), 1);
        QCOMPARE(prompts->records[0].kind, QString("open"));
        QCOMPARE(prompts->records[0].text, TExtensionDlg::openFilter());
        QCOMPARE(dlg->findChild<QLabel *>("LabelFilename")->text(), "Read file \n\"" + path + "\".");
        QCOMPARE(lines(), QStringList({translated("ExtensionDlgReadFile") + " ", "\"" + path + "\".",
                                       translated("ExtensionDlgCommandExtensionNumber").replace("%d", "2561"),
                                       "Start address 4096, length 40 bytes", translated("ExtensionDlgFileReadWithoutErrors")}));
        QVERIFY(writeButton()->isEnabled());
        QVERIFY(closeButton()->isEnabled());
        QVERIFY(!dlg->isModal());
        QCOMPARE(dlg->windowTitle(), translated("ExtensionDlg"));
        QCOMPARE(writeButton()->text(), translated("ExtensionDlgButtonWriteExtension"));
        QCOMPARE(dlg->frameGeometry().top(), w->frameGeometry().top() + 50);
        QVERIFY(qAbs(dlg->frameGeometry().center().x() - w->frameGeometry().center().x()) <= 1);
    }

    // The dialog takes the program's current language and leaves it in force.
    void captionsInTheCurrentLanguage()
    {
        w->changeLanguage("german");
        const QString german = w->translate("buttonClose");
        QVERIFY(german != "Close" && german != "buttonClose");
        w->enableDeviceCommands(true); // offline: the language change switched them off
        prompts->answer(QString());
        w->action("mainMenuExtensions")->trigger();
        QVERIFY(dlg->isVisible());
        QCOMPARE(closeButton()->text(), german);
        QCOMPARE(w->translate("buttonClose"), german);
        closeButton()->click();
    }

    // Bad files: the reason in the progress lines, nothing to write. Blank lines are skipped;
    // data outside the extension area only warn.
    void badFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("lastLine");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("warning");
        const QByteArray good = hexRecord(0x1000, 0, pattern(16));
        QByteArray badSum = hexRecord(0x1010, 0, pattern(16, 3));
        badSum[badSum.size() - 1] = badSum.endsWith('0') ? '1' : '0';
        const QString done = "File read without errors";
        QTest::newRow("blank lines") << "cust0001.hex" << "\r\n" + good + "\r\n\r\n  \r\n" + kEndRecord + "\r\n\r\n" << done
                                     << true << false;
        QTest::newRow("checksum") << "cust0001.hex" << good + "\r\n" + badSum + "\r\n" + kEndRecord
                                  << "Checksum error in line 1 of the HEX file" << false << false;
        QTest::newRow("garbage line") << "cust0001.hex" << good + "\r\nhello world\r\n" + kEndRecord
                                      << "Line 1 of the HEX file holds no record (no \":\")" << false << false;
        QTest::newRow("beyond 64 KiB") << "cust0001.hex" << hexRecord(0xFFF8, 0, pattern(16)) + "\r\n" + kEndRecord
                                       << "The data in line 0 of the HEX file lie beyond address 0xFFFF" << false << false;
        QTest::newRow("no number in the name") << "custom.hex" << good + "\r\n" + kEndRecord
                                               << "The file name holds no valid extension number (characters 5 to 8)."
                                               << false << false;
        QTest::newRow("outside the area") << "cust0001.hex" << hexText(0x2000, pattern(16)) << done << true << true;
    }
    void badFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, text);
        QFETCH(QString, lastLine);
        QFETCH(bool, writable);
        QFETCH(bool, warning);
        openWith(hexFile(name, text));
        QCOMPARE(lines().last(), lastLine);
        QCOMPARE(writeButton()->isEnabled(), writable);
        const bool warned = prompts->sawText(translated("ExtensionDlgMessageExtensionExceedsValidRange"));
        QCOMPARE(warned, warning);
    }

    // Closing is refused until the Close button was used; from then on a cancelled file
    // choice closes the dialog. Escape and the window's close follow the same rule.
    void closeRules()
    {
        prompts->answer(QString());
        w->action("mainMenuExtensions")->trigger();
        QVERIFY(dlg->isVisible());
        QTest::keyClick(dlg, Qt::Key_Escape);
        QVERIFY(dlg->isVisible());
        QVERIFY(!dlg->close());
        QVERIFY(!dlg->iCanClose);
        closeButton()->click();
        QVERIFY(!dlg->isVisible());
        QVERIFY(dlg->iCanClose);

        prompts->answer(QString());
        w->action("mainMenuExtensions")->trigger();
        QVERIFY(!dlg->isVisible());
    }

    // Writes against the simulator: blocks of 128, the last one padded; the outcome line, the
    // progress bar, the window's receive handler back and untouched by the exchange.
    void writes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("finalVerdict"); // of the simulator: -1 by the checksum, 0 none
        QTest::addColumn<QStringList>("blockLines");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("two blocks of 128") << 256 << -1
                                           << QStringList{"Writing 128 bytes from address 4096",
                                                          "Writing 128 bytes from address 4224"}
                                           << "ExtensionDlgMessageOK";
        QTest::newRow("one block of 19") << 18 << -1 << QStringList{"Writing 19 bytes from address 4096"}
                                         << "ExtensionDlgMessageOK";
        QTest::newRow(". then silence") << 18 << 0 << QStringList{"Writing 19 bytes from address 4096"}
                                        << "ExtensionDlgNotCompleted";
    }
    void writes()
    {
        QFETCH(int, size);
        QFETCH(int, finalVerdict);
        QFETCH(QStringList, blockLines);
        QFETCH(QString, outcome);
        GatewaySimulator::Options opt;
        opt.extFinalVerdict = finalVerdict;
        attachSimulator(opt);
        const QByteArray data = pattern(size);
        openWith(hexFile("cust0A01.hex", hexText(0x1000, data)));
        dlg->Writer().finalWaitMs = 600; // the simulator answers at once when it answers at all
        const int loadLines = int(lines().size());

        writeButton()->click();
        QVERIFY(!dlg->Writing());
        const QStringList written = lines().mid(loadLines);
        QCOMPARE(written.mid(0, blockLines.size()), blockLines);
        QCOMPARE(written.last(), translated(outcome.toLatin1().constData()));
        QVERIFY(!writeButton()->isEnabled());
        QVERIFY(closeButton()->isEnabled());
        QVERIFY(dlg->isVisible());
        auto *bar = dlg->findChild<QProgressBar *>("ProgressBar1");
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(bar->maximum(), size % 128 == 0 ? size : size + 1);

        QVERIFY(LinkWait::waitUntil([&] { return !extensionExchanges().isEmpty(); }, 3000));
        const QByteArray expected = size % 128 == 0 ? data : data + char(0xFF); // the padding byte
        QCOMPARE(extensionExchanges().first().data, expected);
        QCOMPARE(prompts->records.size(), 1); // the open dialog only: no box
        QVERIFY(mainHandlerBack());
        QCOMPARE(mainReceived, QByteArray());
        QVERIFY(w->action("mainMenuUpload")->isEnabled()); // the device commands are back
    }

    // A refused header ends the write with a box; Close works again and the handler is back.
    void headerRefused()
    {
        GatewaySimulator::Options opt;
        opt.extHeaderVerdict = 'L';
        attachSimulator(opt);
        openWith(hexFile("cust0001.hex", hexText(0x1000, pattern(40))));
        writeButton()->click();
        QCOMPARE(prompts->records.last().text, translated("ExtensionDlgMessageLengthNotCorrect"));
        QCOMPARE(prompts->records.last().icon, PromptIcon::Error);
        QVERIFY(closeButton()->isEnabled());
        QVERIFY(!writeButton()->isEnabled());
        QVERIFY(mainHandlerBack());
        closeButton()->click();
        QVERIFY(!dlg->isVisible());
    }

    // The cable pulled in the middle of a block: the write ends saying so, the handler is back.
    void lineDroppedMidWrite()
    {
        GatewaySimulator::Options opt;
        opt.dropAfterBytes = 60;
        attachSimulator(opt);
        openWith(hexFile("cust0001.hex", hexText(0x1000, pattern(256))));
        dlg->Writer().finalWaitMs = 300;
        writeButton()->click();
        QVERIFY(!w->Com().IsOpen());
        QCOMPARE(lines().last(), translated("statusBarPanelPortLost"));
        QVERIFY(closeButton()->isEnabled());
        QVERIFY(!dlg->Writing());
        QVERIFY(mainHandlerBack());
    }
};

QTEST_MAIN(TestExtensionDlg)
#include "TestExtensionDlg.moc"

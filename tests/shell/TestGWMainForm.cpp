// The main window: grid rows under the rule toggles, master byte, bold values, editor paths,
// hints, the monitor, the connect button, WM_COMSTATE and an upload from the window against
// the simulator.
#include "ScriptedPrompts.h"
#include "TestPaths.h"

#include "base/GeneralError.h"
#include "devsim/GatewaySimulator.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "model/ItemEditor.h"
#include "platform/PortMap.h"
#include "shell/GWMainForm.h"
#include "shell/MyMemo.h"
#include "shell/ParameterGridModel.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QStyle>
#include <QTest>

#include <memory>

namespace {

// Records the editor calls and answers with the text it was given.
struct FakeEditor : ItemEditor
{
    QStringList edited;
    QPoint at;
    void SetTopLeft(const QPoint &pos) override { at = pos; }
    void SetSelectList(const QStringList &) override {}
    void SetBoolPage(const QString &, const QString &, const QString &) override {}
    QString Edit(TItem *item, TFormat, const QString &start) override
    {
        edited << item->Identifier();
        return start;
    }
};

bool shownRule(TVisualRule r)
{
    return r == vrAlwaysEdit || r == vrAlwaysShow || r == vrAlwaysDependendEdit || r == vrMasterItem;
}
bool moreRule(TVisualRule r) { return r == vrEdit || r == vrShow; }

} // namespace

class TestGWMainForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<TGWMainForm> w;
    TParameterGridModel *model() const { return static_cast<TParameterGridModel *>(w->grid()->model()); }
    QCheckBox *box(const char *name) const { return w->findChild<QCheckBox *>(QLatin1String(name)); }

    void loadExample(const QString &file = QStringLiteral("examples/gw110.gwc"))
    {
        QVERIFY(w->openDescription(TestPaths::dataFile(QStringLiteral("examples/vantor.tcf"))));
        w->EEROM().openfile(TestPaths::dataFile(file));
        w->refreshGrid();
    }
    TItem *firstOf(TVisualRule rule) const
    {
        for (const auto &i : w->EEROM().ItemList)
            if (i->GetVisualRule() == rule)
                return i.get();
        return nullptr;
    }
    int rowOf(const QString &name) const
    {
        for (int r = 0; r < model()->filledRows(); ++r)
            if (model()->row(r)->name == name)
                return r;
        return -1;
    }
    // Makes the master parameter (if any) allow the toggles.
    void allowToggles()
    {
        if (TItem *m = firstOf(vrMasterItem)) {
            w->EEROM().SetByteIDX(m->Position, 0x1F);
            w->refreshGrid();
        }
    }

private slots:
    void init()
    {
        prompts = std::make_unique<ScriptedPrompts>();
        w = std::make_unique<TGWMainForm>(TGWMainForm::Session::Isolated);
        w->initLanguage(TestPaths::dataFile(QStringLiteral("lang")));
        w->Language().readFile(QStringLiteral("english"));
        w->resize(600, 500);
        w->show();
    }
    void cleanup()
    {
        w.reset();
        prompts.reset();
        ItemEditor::setInstance(nullptr);
    }

    void menuEntriesExist()
    {
        const QList<QPair<QString, QKeySequence>> entries = {
            {"mainmenuFileOpen", {}}, {"mainMenuSave", QKeySequence("Ctrl+S")}, {"mainMenuSaveAs", QKeySequence("Ctrl+Alt+S")},
            {"mainMenuClose", {}}, {"mainMenuUpload", QKeySequence("Ctrl+U")}, {"mainMenuDowload", QKeySequence("Ctrl+D")},
            {"mainMenuWriteScript", QKeySequence("Ctrl+W")}, {"mainMenuWriteScriptFast", QKeySequence("Ctrl+Alt+W")},
            {"mainMenuPrinterOptions", QKeySequence("Ctrl+Alt+P")}, {"mainMenuPrint", QKeySequence("Ctrl+P")},
            {"mainmenuFileExit", {}}, {"mainMenuConfigFile", QKeySequence("Ctrl+C")}, {"mainMenuPort", {}},
            {"mainMenuResetDevice", {}}, {"mainMenuGenerateEDS", {}}, {"mainMenuExtensions", {}},
            {"mainMenuUploadDebug", {}}, {"mainMenuDownloadDebug", {}}, {"mainMenuAbout", {}}, {"mainMenuContents", {}},
            {"popupDataSectionCopyToClipboard", {}}, {"popupDataSectionHelpForParam", {}}};
        for (const auto &[name, keys] : entries) {
            QAction *a = w->action(name);
            QVERIFY2(a, qPrintable(name));
            QCOMPARE(a->shortcut(), keys);
        }
        // translated by name
        QCOMPARE(w->action("mainMenuUpload")->text(), w->translate("mainMenuUpload"));
        QCOMPARE(box("mainControlMoreVisible")->text(), w->translate("mainControlMoreVisible"));
        // two language files in data/lang: a language menu with two entries
        auto *langMenu = w->findChild<QMenu *>("mainmenuLanguage");
        QVERIFY(langMenu);
        QCOMPARE(langMenu->actions().size(), 2);
    }

    void gridRowsFollowTheToggles()
    {
        loadExample();
        allowToggles();
        int always = 0, more = 0;
        for (const auto &i : w->EEROM().ItemList) {
            always += shownRule(i->GetVisualRule());
            more += moreRule(i->GetVisualRule());
        }
        QVERIFY(always > 0);
        QVERIFY(more > 0);
        // toggles off: shown rows, then one blank row per hidden vrEdit/vrShow parameter
        QCOMPARE(model()->filledRows(), always);
        QCOMPARE(model()->rowCount(), always + more);
        QVERIFY(model()->index(always + more - 1, 0).data().toString().isEmpty());

        if (!box("mainControlMoreVisible")->isEnabled())
            QSKIP("the example has no master parameter that allows the toggles");
        box("mainControlMoreEditable")->click(); // implies "more visible"
        QVERIFY(box("mainControlMoreVisible")->isChecked());
        QCOMPARE(model()->filledRows(), always + more);
        TItem *edit = firstOf(vrEdit);
        QVERIFY(edit);
        QVERIFY(model()->index(rowOf(edit->Identifier()), 1).data(TParameterGridModel::BoldRole).toBool());

        box("mainControlMoreVisible")->click(); // unchecking it unchecks "more editable"
        QVERIFY(!box("mainControlMoreEditable")->isChecked());
        QCOMPARE(model()->filledRows(), always);
    }

    void masterByte_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("0x41 disables") << 0x41 << false;
        QTest::newRow("0x1F enables") << 0x1F << true;
        QTest::newRow("0x80 enables") << 0x80 << true;
    }
    void masterByte()
    {
        QFETCH(int, value);
        QFETCH(bool, enabled);
        loadExample();
        TItem *master = firstOf(vrMasterItem);
        if (!master)
            QSKIP("the example has no master parameter");
        w->EEROM().SetByteIDX(master->Position, 0x1F);
        w->refreshGrid();
        box("mainControlMoreVisible")->click();
        QVERIFY(box("mainControlMoreVisible")->isChecked());
        w->EEROM().SetByteIDX(master->Position, uint8_t(value));
        w->refreshGrid();
        QCOMPARE(box("mainControlMoreVisible")->isEnabled(), enabled);
        QCOMPARE(box("mainControlMoreEditable")->isEnabled(), enabled);
        QCOMPARE(box("mainControlMoreVisible")->isChecked(), enabled);
        if (!enabled) { // and the rows it showed are gone
            int always = 0;
            for (const auto &i : w->EEROM().ItemList)
                always += shownRule(i->GetVisualRule());
            QCOMPARE(model()->filledRows(), always);
        }
    }

    void boldOnlyWhereEditableAndDebugView()
    {
        loadExample();
        TItem *show = firstOf(vrAlwaysShow);
        TItem *edit = firstOf(vrAlwaysEdit);
        QVERIFY(show && edit);
        QVERIFY(!model()->index(rowOf(show->Identifier()), 1).data(TParameterGridModel::BoldRole).toBool());
        QVERIFY(model()->index(rowOf(edit->Identifier()), 1).data(TParameterGridModel::BoldRole).toBool());
        QVERIFY(!model()->index(rowOf(edit->Identifier()), 0).data(TParameterGridModel::BoldRole).toBool());
        QVERIFY(!(model()->flags(model()->index(0, 0)) & Qt::ItemIsSelectable));

        w->setDebugView(true);
        QVERIFY(w->findChild<QWidget *>("mainControlDatasection")->isVisible());
        QCOMPARE(w->findChild<QLabel *>("mainControlDatasection")->text(), w->EEROM().GetAsString());
        QVERIFY(model()->index(rowOf(show->Identifier()), 1).data(TParameterGridModel::BoldRole).toBool());
        FakeEditor editor;
        ItemEditor::setInstance(&editor);
        w->grid()->setCurrentIndex(model()->index(rowOf(show->Identifier()), 1));
        w->DGDblClick();
        QCOMPARE(editor.edited, QStringList{show->Identifier()});
    }

    void enterAndDoubleClick()
    {
        loadExample();
        FakeEditor editor;
        ItemEditor::setInstance(&editor);
        TItem *show = firstOf(vrAlwaysShow);
        TItem *edit = firstOf(vrAlwaysEdit);
        QTableView *grid = w->grid();

        // Enter on an editable value opens the editor below the cell
        grid->setFocus();
        grid->setCurrentIndex(model()->index(rowOf(edit->Identifier()), 1));
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(editor.edited, QStringList{edit->Identifier()});
        const QRect cell = grid->visualRect(grid->currentIndex());
        QCOMPARE(editor.at, grid->viewport()->mapToGlobal(cell.bottomLeft()));

        // Enter on a read-only value: the status bar says so, no editor
        grid->setCurrentIndex(model()->index(rowOf(show->Identifier()), 1));
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(editor.edited.size(), 1);
        QCOMPARE(w->StatusText(), QString(w->translate("exceptionEditingImpossible")).replace("%s", show->Identifier()));
        QCOMPARE(w->GridHelpContext(), 1);

        // double-click on a blank row: empty status, nothing opened, no crash
        const int blank = model()->rowCount() - 1;
        QVERIFY(blank >= model()->filledRows());
        const QRect b = grid->visualRect(model()->index(blank, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, b.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, b.center());
        QCOMPARE(w->StatusText(), QString());
        QCOMPARE(editor.edited.size(), 1);

        // without an editor installed the double-click does nothing and does not fail
        ItemEditor::setInstance(nullptr);
        grid->setCurrentIndex(model()->index(rowOf(edit->Identifier()), 1));
        w->DGDblClick();
        QVERIFY(prompts->records.isEmpty());
    }

    void hintDurations_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("ms");
        QTest::newRow("short") << 20 << 1000;
        QTest::newRow("150") << 150 << 5000;
        QTest::newRow("350") << 350 << 10000;
    }
    void hintDurations()
    {
        QFETCH(int, length);
        QFETCH(int, ms);
        loadExample();
        TItem *edit = firstOf(vrAlwaysEdit);
        edit->Hint = QString(length, u'x'); // an untranslated key reads as itself
        const QRect cell = w->grid()->visualRect(model()->index(rowOf(edit->Identifier()), 1));
        w->DGMouseMove(cell.center());
        QCOMPARE(w->HintDisplayTime(), ms);
        QCOMPARE(w->HintPause(), 200);
        // Qt waits as long as the application's style says before it shows a hint.
        QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 200);
    }

    void monitorOutput_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("beeps");
        QTest::newRow("control byte") << QString("A\x01" "B") << "A0x01B" << 0;
        QTest::newRow("bell only beeps") << QString("\x07") << "" << 1;
        QTest::newRow("escape") << QString("x\x1b") << "x<ESC>" << 0;
        QTest::newRow("backspace replaces") << QString("abc\b\bZ") << "aZ" << 0;
        QTest::newRow("backspace then line end") << QString("ab\b\r") << "ab\n" << 0;
        QTest::newRow("umlaut kept") << QString(QChar(228)) << QString(QChar(228)) << 0;
        QTest::newRow("high byte") << QString(QChar(0xFF)) << "0xFF" << 0;
    }
    void monitorOutput()
    {
        QFETCH(QString, input);
        QFETCH(QString, shown);
        QFETCH(int, beeps);
        w->Output(input);
        QCOMPARE(w->monitor()->toPlainText(), shown);
        QCOMPARE(int(prompts->records.size()), beeps);
    }

    void typingWithPortClosedSendsAndShowsNothing()
    {
        QVERIFY(!w->Com().IsOpen());
        w->monitor()->setFocus();
        QTest::keyClicks(w->monitor(), "hello");
        QCOMPARE(w->monitor()->FThisChar, 'o');
        QCOMPARE(w->monitor()->toPlainText(), QString());
    }

    void comStateMessages()
    {
        w->enableDeviceCommands(true);
        emit w->Com().comState(2, 60); // another copy waits for the port
        QCOMPARE(w->PanelText(panelPort), QString("offline"));
        QVERIFY(!w->action("mainMenuUpload")->isEnabled());
        QVERIFY(prompts->records.isEmpty());
        QCOMPARE(w->PortPanelColor(), QColor(Qt::black)); // even count

        emit w->Com().comState(3, 50); // held by another program
        QCOMPARE(prompts->records.size(), 1);
        QVERIFY(prompts->records[0].text.startsWith("Port COM"));
        QVERIFY(prompts->records[0].text.endsWith(" is in use by another application"));
        QCOMPARE(w->PortPanelColor(), QColor(0x80, 0x80, 0x80)); // odd count: grey
        QCOMPARE(w->ConnectCaption(), w->translate("BitBtnDisconnect"));
    }

    void connectButtonAndUploadFromTheWindow()
    {
        GatewaySimulator::Options opt;
        opt.imagePath = TestPaths::dataFile(QStringLiteral("examples/gw110.gwc"));
        opt.restartDelayMs = 200;
        GatewaySimulator sim(opt);
        QString error;
        QVERIFY2(sim.start(&error), qPrintable(error));
        QVERIFY2(sim.linkAsPort(QStringLiteral("COM7"), &error), qPrintable(error));
        QVERIFY(w->openDescription(TestPaths::dataFile(QStringLiteral("examples/vantor.tcf"))));
        w->openPort(QStringLiteral("COM7"));
        QVERIFY(w->Com().IsOpen());
        QCOMPARE(w->ConnectCaption(), w->translate("BitBtnConnect"));
        QVERIFY(w->action("mainMenuUpload")->isEnabled());

        auto *button = w->findChild<QPushButton *>("BitBtnConnectDisconnect");
        button->click(); // disconnect
        QVERIFY(!w->Com().IsOpen());
        QCOMPARE(w->ConnectCaption(), w->translate("BitBtnDisconnect"));
        QCOMPARE(w->PanelText(panelPort), QString());
        QVERIFY(!w->action("mainMenuUpload")->isEnabled());
        button->click(); // connect again
        QVERIFY(w->Com().IsOpen());
        QCOMPARE(w->PanelText(panelPort), QString("COM7"));

        w->action("mainMenuUpload")->trigger();
        QVERIFY(w->DeviceCommands().waitUntilIdle(30000));
        QVERIFY2(w->DeviceCommands().UploadBound, qPrintable(w->StatusText() + " | " + prompts->texts().join(" | ")));
        QCOMPARE(w->StatusText(), w->translate("statusBarPanelUploadFinished"));
        QVERIFY(model()->filledRows() > 0);
        QVERIFY(!w->ProgressVisible()); // the finished transfer leaves no bar behind
        QCOMPARE(w->PanelText(panelImageSize), QString(w->translate("selAttributesBytes")).replace("%d", QString::number(w->EEROM().UseSize())));
        QVERIFY(prompts->busyChanges.isEmpty() || !prompts->busyChanges.last());
    }

    void failingCommandShowsABoxAndGoesOn()
    {
        // The device commands raise nothing here, so a failure is provoked through the guard.
        w->guarded("test", [] { throw TorvaneError("broken"); });
        QCOMPARE(prompts->texts(), QStringList{"broken"});
        QVERIFY(!prompts->busyChanges.isEmpty() && !prompts->busyChanges.last());
    }
};

QTEST_MAIN(TestGWMainForm)
#include "TestGWMainForm.moc"

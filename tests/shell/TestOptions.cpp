#include "ErrorOf.h"
#include "ScriptedPrompts.h"

#include "link/SerialSettings.h"
#include "platform/PortMap.h"
#include "platform/RegistryStore.h"
#include "shell/GWConfig.h"
#include "shell/Options.h"
#include "shell/SerialOptionSheets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

namespace {

const QString kRoot = QStringLiteral("\\SOFTWARE\\Kellerbrand\\Torvane\\");

QString registryText()
{
    QFile file(RegistryStore::userFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Three sheets with one control of every kind, a label, and an edit inside a group box (not a
// setting); the grid has a sheet of its own, last, because a grid without stored counts ends
// the walk.
struct Fixture
{
    TOptions options;
    QWidget *general = new QWidget;
    QWidget *more = new QWidget;
    QWidget *grids = new QWidget;
    QComboBox *Combo = new QComboBox(general);
    QLineEdit *Edit = new QLineEdit(general);
    QCheckBox *Check = new QCheckBox(general);
    QRadioButton *RadioA = new QRadioButton(general);
    QRadioButton *RadioB = new QRadioButton(general);
    QListWidget *List = new QListWidget(general);
    QPlainTextEdit *Memo = new QPlainTextEdit(general);
    QLabel *Label = new QLabel(QStringLiteral("designed"), general);
    QGroupBox *Group = new QGroupBox(general);
    QLineEdit *Inner = new QLineEdit(Group);
    QLineEdit *Later = new QLineEdit(more);
    QTableWidget *Grid = new QTableWidget(grids);
    QLineEdit *AfterGrid = new QLineEdit(grids);

    Fixture()
    {
        options.FFieldBusName = QStringLiteral("Torvane");
        general->setObjectName(QStringLiteral("General"));
        more->setObjectName(QStringLiteral("More"));
        grids->setObjectName(QStringLiteral("Grids"));
        Combo->setObjectName(QStringLiteral("Combo"));
        Combo->setEditable(true);
        Combo->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("9600"), QStringLiteral("b")});
        Edit->setObjectName(QStringLiteral("Edit"));
        Check->setObjectName(QStringLiteral("Check"));
        RadioA->setObjectName(QStringLiteral("RadioA"));
        RadioB->setObjectName(QStringLiteral("RadioB"));
        List->setObjectName(QStringLiteral("List"));
        Memo->setObjectName(QStringLiteral("Memo"));
        Grid->setObjectName(QStringLiteral("Grid"));
        Label->setObjectName(QStringLiteral("Label"));
        Group->setObjectName(QStringLiteral("Group"));
        Inner->setObjectName(QStringLiteral("Inner"));
        Later->setObjectName(QStringLiteral("Later"));
        Later->setText(QStringLiteral("designed"));
        AfterGrid->setObjectName(QStringLiteral("AfterGrid"));
        AfterGrid->setText(QStringLiteral("designed"));
        options.RegisterSheet(general);
        options.RegisterSheet(more);
        options.RegisterSheet(grids);
    }
};

} // namespace

class TestOptions : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QFile::remove(RegistryStore::userFilePath());
        QDir(RegistryStore::userFilePath() + QStringLiteral(".lock")).removeRecursively();
        QFile::remove(RegistryStore::userFilePath() + QStringLiteral(".lock"));
        QDir folder = QFileInfo(RegistryStore::userFilePath()).dir();
        for (const QString &copy : folder.entryList({QStringLiteral("registry.reg.damaged*")}))
            folder.remove(copy);
    }

    // Every kind through Store and Read, checked in the file's own text.
    void roundTripOfEveryKind()
    {
        ScriptedPrompts prompts;
        Fixture f;
        TOptions::setComboText(f.Combo, QStringLiteral("b"));
        f.Edit->setText(QStringLiteral("text = \"quoted\""));
        f.Check->setChecked(true);
        f.RadioB->setChecked(true);
        f.List->addItems({QStringLiteral("x"), QStringLiteral("y")});
        f.Memo->setPlainText(QStringLiteral("first\nsecond"));
        f.Grid->setRowCount(3);
        f.Grid->setColumnCount(2);
        f.Grid->setItem(0, 0, new QTableWidgetItem(QStringLiteral("head")));
        f.Grid->setItem(2, 1, new QTableWidgetItem(QStringLiteral("cell")));
        f.Inner->setText(QStringLiteral("inner"));
        f.options.Store();
        QVERIFY(prompts.records.isEmpty());

        const QString file = registryText();
        for (const char *line : {"[HKEY_CURRENT_USER\\SOFTWARE\\Kellerbrand\\Torvane\\General]",
                                 "\"Combo\"=\"b\"", "\"Edit\"=\"text = \\\"quoted\\\"\"", "\"Check\"=dword:00000001",
                                 "\"RadioA\"=dword:00000000", "\"RadioB\"=dword:00000001", "\"List\"=dword:00000002",
                                 "\"List(0)\"=\"x\"", "\"List(1)\"=\"y\"", "\"Memo\"=dword:00000002",
                                 "\"Memo(1)\"=\"second\"", "\"GridRows\"=dword:00000003", "\"GridCols\"=dword:00000002",
                                 "\"Grid[1:2]\"=\"cell\"", "\"Grid[0:1]\"=\"\"",
                                 "[HKEY_CURRENT_USER\\SOFTWARE\\Kellerbrand\\Torvane\\More]", "\"Later\"=\"designed\"",
                                 "[HKEY_CURRENT_USER\\SOFTWARE\\Kellerbrand\\Torvane\\Grids]"})
            QVERIFY2(file.contains(QString::fromUtf8(line)), line);
        // Row 0 of a grid, labels, group boxes and what is inside them are not settings.
        QVERIFY(!file.contains(QStringLiteral("head")));
        QVERIFY(!file.contains(QStringLiteral("Label")));
        QVERIFY(!file.contains(QStringLiteral("Inner")));
        QVERIFY(!file.contains(QStringLiteral("Group")));

        Fixture g; // fresh controls read the same values back
        g.Inner->setText(QStringLiteral("kept"));
        g.options.Read();
        QVERIFY(prompts.records.isEmpty());
        QCOMPARE(g.Combo->currentIndex(), 3); // the last equal entry
        QCOMPARE(g.Edit->text(), QStringLiteral("text = \"quoted\""));
        QVERIFY(g.Check->isChecked());
        QVERIFY(!g.RadioA->isChecked());
        QVERIFY(g.RadioB->isChecked());
        QCOMPARE(g.List->count(), 2);
        QCOMPARE(g.List->item(1)->text(), QStringLiteral("y"));
        QCOMPARE(g.Memo->toPlainText(), QStringLiteral("first\nsecond"));
        QCOMPARE(g.Grid->rowCount(), 3);
        QCOMPARE(g.Grid->columnCount(), 2);
        QCOMPARE(g.Grid->item(2, 1)->text(), QStringLiteral("cell"));
        QCOMPARE(g.Inner->text(), QStringLiteral("kept"));
        QCOMPARE(g.Later->text(), QStringLiteral("designed"));
    }

    // Missing values: texts empty, check box unchanged, radio unchecked, lists empty, a grid
    // without counts is a damaged store.
    void missingValues()
    {
        ScriptedPrompts prompts;
        RegistryStore store = RegistryStore::user();
        QVERIFY(store.writeDWord(kRoot + QStringLiteral("Grids"), QStringLiteral("GridRows"), 0));
        QVERIFY(store.writeDWord(kRoot + QStringLiteral("Grids"), QStringLiteral("GridCols"), 5));
        Fixture f;
        f.Edit->setText(QStringLiteral("designed"));
        f.Check->setChecked(true);
        f.RadioA->setChecked(true);
        f.List->addItem(QStringLiteral("designed"));
        f.options.Read();
        QVERIFY(prompts.records.isEmpty());
        QCOMPARE(f.Edit->text(), QString());
        QVERIFY(f.Check->isChecked());
        QVERIFY(!f.RadioA->isChecked());
        QCOMPARE(f.List->count(), 0);
        QCOMPARE(f.Grid->rowCount(), 2); // a count of 0 gives 2 x 2
        QCOMPARE(f.Grid->columnCount(), 2);

        QVERIFY(store.deleteValue(kRoot + QStringLiteral("Grids"), QStringLiteral("GridRows")));
        f.AfterGrid->setText(QStringLiteral("designed"));
        f.options.Read();
        QCOMPARE(prompts.records.size(), 1);
        QVERIFY(prompts.records[0].text.startsWith(QStringLiteral("messageRegistryContinueDefaults")));
        QVERIFY(prompts.records[0].text.contains(QStringLiteral("Grid")));
        QCOMPARE(f.AfterGrid->text(), QStringLiteral("designed")); // what follows was not read
    }

    void comboTextThatIsNoEntry()
    {
        ScriptedPrompts prompts;
        QVERIFY(RegistryStore::user().writeString(kRoot + QStringLiteral("General"), QStringLiteral("Combo"),
                                                  QStringLiteral("COM77")));
        Fixture f;
        TOptions::setComboText(f.Combo, QStringLiteral("a"));
        f.options.Read();
        QCOMPARE(f.Combo->currentIndex(), -1);
        QCOMPARE(f.Combo->currentText(), QStringLiteral("COM77"));
        QCOMPARE(f.options.GetProp(QStringLiteral("combo")), QStringLiteral("COM77"));
    }

    void checkBoxOfTheOlderLayout()
    {
        ScriptedPrompts prompts;
        RegistryStore store = RegistryStore::user();
        QVERIFY(store.writeString(kRoot + QStringLiteral("General"), QStringLiteral("Check"), QStringLiteral("1")));
        Fixture f;
        f.Check->setChecked(true);
        f.options.Read();
        QVERIFY(!f.Check->isChecked());
        QCOMPARE(store.valueType(kRoot + QStringLiteral("General"), QStringLiteral("Check")),
                 RegistryStore::ValueType::DWord);
        QCOMPARE(store.readDWord(kRoot + QStringLiteral("General"), QStringLiteral("Check")), 0u);
        QVERIFY2(prompts.records.isEmpty(), qPrintable(prompts.texts().join(u'|')));
    }

    void getBoolProp_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("editText");
        QTest::addColumn<bool>("expected");
        QTest::newRow("abc") << "Edit" << "abc" << true;
        QTest::newRow("0") << "edit" << "0" << false;
        QTest::newRow("unknown name") << "NoSuchSetting" << "1" << false;
    }
    void getBoolProp()
    {
        QFETCH(QString, key);
        QFETCH(QString, editText);
        QFETCH(bool, expected);
        Fixture f;
        f.Edit->setText(editText);
        QCOMPARE(f.options.GetBoolProp(key), expected);
    }

    void getIntProp_data()
    {
        QTest::addColumn<QString>("comboText");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("failure"); // empty: 9600 expected
        QTest::newRow("9600") << "9600" << "Combo" << "";
        QTest::newRow("none") << "none" << "Combo" << "exceptionSettingsErrorReadingKeyCombo";
        QTest::newRow("negative") << "-1" << "Combo" << "exceptionSettingsErrorReadingKeyCombo";
        QTest::newRow("unknown name") << "9600" << "Nope" << "exceptionSettingsErrorReadingKeyNope";
    }
    void getIntProp()
    {
        QFETCH(QString, comboText);
        QFETCH(QString, key);
        QFETCH(QString, failure);
        Fixture f;
        TOptions::setComboText(f.Combo, comboText);
        if (failure.isEmpty())
            QCOMPARE(f.options.GetIntProp(key), 9600u);
        else
            QCOMPARE(errorOf([&] { f.options.GetIntProp(key); }), failure);
    }

    void unknownNames()
    {
        ScriptedPrompts prompts;
        Fixture f;
        const QString notFound = QStringLiteral("exceptionSettingsStringProp Nope exceptionSettingsNotFound");
        QCOMPARE(errorOf([&] { f.options.GetProp(QStringLiteral("Nope")); }), notFound);
        QCOMPARE(errorOf([&] { f.options.SetProp(QStringLiteral("Nope"), QStringLiteral("1")); }), notFound);
        QCOMPARE(errorOf([&] { f.options.SetIntProp(QStringLiteral("Nope"), 1); }),
                 QStringLiteral("exceptionSettingsErrorWritingKeyNope"));
        QVERIFY(!QFile::exists(RegistryStore::userFilePath())); // nothing stored
        // A label is found but has no value.
        QCOMPARE(f.options.GetProp(QStringLiteral("label")), QString());
    }

    void setPropStoresEverySheet()
    {
        ScriptedPrompts prompts;
        Fixture f;
        f.Later->setText(QStringLiteral("on the other sheet"));
        f.options.SetBoolProp(QStringLiteral("CHECK"), true);
        f.options.SetIntProp(QStringLiteral("Combo"), 19200);
        RegistryStore store = RegistryStore::user();
        QCOMPARE(store.readDWord(kRoot + QStringLiteral("General"), QStringLiteral("Check")), 1u);
        QCOMPARE(store.readString(kRoot + QStringLiteral("General"), QStringLiteral("Combo")), QStringLiteral("19200"));
        QCOMPARE(store.readString(kRoot + QStringLiteral("More"), QStringLiteral("Later")),
                 QStringLiteral("on the other sheet"));
        QCOMPARE(f.options.GetProp(QStringLiteral("check")), QStringLiteral("1"));
    }

    void excludedControl()
    {
        ScriptedPrompts prompts;
        RegistryStore store = RegistryStore::user();
        QVERIFY(store.writeString(kRoot + QStringLiteral("General"), QStringLiteral("Edit"), QStringLiteral("stored")));
        Fixture f;
        f.Edit->setText(QStringLiteral("from the command line"));
        f.options.addExcludeControl(f.Edit);
        f.options.Read();
        QCOMPARE(f.Edit->text(), QStringLiteral("from the command line"));
        f.options.Store();
        QCOMPARE(store.readString(kRoot + QStringLiteral("General"), QStringLiteral("Edit")), QStringLiteral("stored"));
        QVERIFY(store.valueExists(kRoot + QStringLiteral("More"), QStringLiteral("Later"))); // the rest is stored
    }

    void noProgramName()
    {
        TOptions options;
        QCOMPARE(errorOf([&] { options.Read(); }), QStringLiteral("exceptionOptionsNoFieldbusnameset"));
        QCOMPARE(errorOf([&] { options.Store(); }), QStringLiteral("exceptionOptionsNoFieldbusnameset"));
    }

    // A value of the wrong type stops the walk with a message naming it; what was not read
    // keeps its designed value.
    void valueOfTheWrongType()
    {
        ScriptedPrompts prompts;
        RegistryStore store = RegistryStore::user();
        QVERIFY(store.writeDWord(kRoot + QStringLiteral("General"), QStringLiteral("Edit"), 7));
        QVERIFY(store.writeString(kRoot + QStringLiteral("More"), QStringLiteral("Later"), QStringLiteral("stored")));
        Fixture f;
        f.options.Read();
        QCOMPARE(prompts.records.size(), 1);
        QVERIFY(prompts.records[0].text.startsWith(QStringLiteral("messageRegistryContinueDefaults")));
        QVERIFY(prompts.records[0].text.contains(QStringLiteral("\"Edit\"")));
        QCOMPARE(f.Later->text(), QStringLiteral("designed"));
    }

    // A damaged file: what parses is read, the user is told once with the file's name, and the
    // damaged original is kept when the settings are written again.
    void damagedRegistryFile()
    {
        ScriptedPrompts prompts;
        const QString path = RegistryStore::userFilePath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\SOFTWARE\\Kellerbrand\\Torvane\\More]\r\n"
                   "\"Later\"=\"stored\"\r\n"
                   "\"Broken\"=dword:zz\xff\xfe garbage\r\n"
                   "[HKEY_CURRENT_USER\\SOFTW\r\n");
        file.close();
        Fixture f;
        f.options.Read();
        QCOMPARE(prompts.records.size(), 1);
        QVERIFY(prompts.records[0].text.startsWith(QStringLiteral("messageRegistryContinueDefaults")));
        QVERIFY2(prompts.records[0].text.contains(QStringLiteral("registry.reg")), qPrintable(prompts.records[0].text));
        QVERIFY2(f.Later->text() == QStringLiteral("stored"), qPrintable(registryText()));

        f.options.Store();
        const QStringList kept = QFileInfo(path).dir().entryList({QStringLiteral("registry.reg.damaged*")});
        QCOMPARE(kept.size(), 1);
    }

    // A store that refuses the write: the message, and the file keeps everything it held, also
    // the values of the sheets that would have been written before the refused one.
    void storeThatCannotBeWritten()
    {
        ScriptedPrompts prompts;
        RegistryStore store = RegistryStore::user();
        QVERIFY(store.writeString(kRoot + QStringLiteral("General"), QStringLiteral("Edit"), QStringLiteral("stored")));
        const QString before = registryText();
        Fixture f;
        f.Edit->setText(QStringLiteral("changed"));
        f.Memo->setPlainText(QString(600 * 1024, u'x')); // longer than a stored string may be
        f.options.Store();
        QCOMPARE(prompts.records.size(), 1);
        QVERIFY(prompts.records[0].text.startsWith(QStringLiteral("messageRegistryCannotNotStore")));
        QCOMPARE(registryText(), before);
        QCOMPARE(f.options.result(), int(QDialog::Accepted));
    }

    void dialogOkCancelEscape_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("stored");
        QTest::newRow("OK") << "ok" << int(TOptions::mrOk) << "changed";
        QTest::newRow("Cancel") << "cancel" << int(TOptions::mrCancel) << "stored";
        QTest::newRow("Escape") << "escape" << int(TOptions::mrCancel) << "stored";
    }
    void dialogOkCancelEscape()
    {
        QFETCH(QString, how);
        QFETCH(int, result);
        QFETCH(QString, stored);
        ScriptedPrompts prompts;
        RegistryStore store = RegistryStore::user();
        QVERIFY(store.writeString(kRoot + QStringLiteral("General"), QStringLiteral("Edit"), QStringLiteral("stored")));
        Fixture f;
        f.Edit->setText(QStringLiteral("designed"));
        QString shownText;
        QTimer::singleShot(0, &f.options, [&] {
            shownText = f.Edit->text(); // read when shown
            f.Edit->setText(QStringLiteral("changed"));
            if (how == QLatin1String("ok"))
                f.options.OKBtn->click();
            else if (how == QLatin1String("cancel"))
                f.options.CancelBtn->click();
            else
                QTest::keyClick(&f.options, Qt::Key_Escape);
        });
        QCOMPARE(f.options.ShowModal(), result);
        QCOMPARE(shownText, QStringLiteral("stored"));
        QCOMPARE(f.options.windowTitle(), QStringLiteral("optionsCaption"));
        QCOMPARE(store.readString(kRoot + QStringLiteral("General"), QStringLiteral("Edit")), stored);
        QCOMPARE(f.Edit->text(), QStringLiteral("changed")); // kept until the next Read
    }

    void registerAndUnregister()
    {
        Fixture f;
        QCOMPARE(f.options.OptionPages->currentWidget(), f.grids);
        f.options.RegisterSheet(f.general, QStringLiteral("Renamed"));
        QCOMPARE(f.options.OptionPages->currentWidget(), f.general);
        QCOMPARE(f.options.sheetKey(f.general), kRoot + QStringLiteral("Renamed"));
        QCOMPARE(f.options.sheets().size(), 3);
        f.general->setWindowTitle(QStringLiteral("New title"));
        QCOMPARE(f.options.OptionPages->tabText(0), QStringLiteral("New title"));
        f.options.UnRegisterSheet(f.more);
        QCOMPARE(f.options.sheets(), (QList<QWidget *>{f.general, f.grids}));
        QVERIFY(f.options.findControl(QStringLiteral("Later")) == nullptr);
        delete f.more;
    }

    // The port sheets store the values the session's settings read, and the port list names
    // each port's device while the stored value stays the bare name.
    void serialSheets()
    {
        ScriptedPrompts prompts;
        QVERIFY(PortMap::linkPort(40, QStringLiteral("/dev/null")));
        TOptions options;
        options.FFieldBusName = QStringLiteral("Torvane");
        TSerialOptionSheets sheets;
        sheets.registerWith(options);
        QVERIFY(!sheets.Startbits->isEnabled());
        QCOMPARE(TOptions::comboText(sheets.PortNumber), QStringLiteral("offline"));
        QCOMPARE(TOptions::comboText(sheets.Baudrate), QStringLiteral("9600"));

        sheets.pageShown(sheets.qvSerialOptionCaption);
        const int com40 = sheets.PortNumber->findData(QStringLiteral("COM40"));
        QVERIFY(com40 > 0);
        QCOMPARE(sheets.PortNumber->itemText(com40), QStringLiteral("COM40 (/dev/null)"));
        QCOMPARE(sheets.PortNumber->itemText(0), QStringLiteral("offline"));
        sheets.PortNumber->setCurrentIndex(com40);
        options.SetProp(QStringLiteral("Baudrate"), QStringLiteral("115200"));

        TSerialSettings settings;
        QVERIFY(settings.Read(RegistryStore::user()));
        QCOMPARE(settings.PortNumber.Text, QStringLiteral("COM40"));
        QCOMPARE(settings.Baudrate.Text, QStringLiteral("115200"));
        QCOMPARE(settings.Startbits.Text, QStringLiteral("1"));
        QCOMPARE(settings.Parity.Text, QStringLiteral("none"));

        // A stored port whose adapter is not plugged in is shown as it stands; rebuilding the
        // list keeps it.
        settings.PortNumber.Text = QStringLiteral("COM41");
        RegistryStore store = RegistryStore::user();
        QVERIFY(settings.Store(store));
        options.Read();
        sheets.pageShown(sheets.qvSerialOptionCaption);
        QCOMPARE(TOptions::comboText(sheets.PortNumber), QStringLiteral("COM41"));
        QCOMPARE(sheets.PortNumber->currentIndex(), -1);

        TSerialSettings back;
        sheets.toSettings(back);
        QCOMPARE(back.PortNumber.Text, QStringLiteral("COM41"));
        QCOMPARE(back.Baudrate.Text, QStringLiteral("115200"));
        QVERIFY(PortMap::unlinkPort(40));
        QVERIFY(prompts.records.isEmpty());
    }

    void descriptionFileSheet()
    {
        ScriptedPrompts prompts;
        TOptions options;
        options.FFieldBusName = QStringLiteral("Torvane");
        TGW_Config config;
        config.registerWith(options);
        QVERIFY(config.EditTGWCurrentFilePath->isReadOnly());

        prompts.answer(QStringLiteral("/somewhere/gateway.tcf"));
        config.TGWConfigFileButtonSetConfigFileClick();
        QCOMPARE(config.EditTGWCurrentFilePath->text(), QStringLiteral("/somewhere/gateway.tcf"));
        QCOMPARE(config.EditTGWCurrentFilePath->toolTip(), QStringLiteral("/somewhere/gateway.tcf"));
        config.TGWConfigFileButtonSetConfigFileClick(); // cancelled: unchanged
        QCOMPARE(config.EditTGWCurrentFilePath->text(), QStringLiteral("/somewhere/gateway.tcf"));
        options.Store();
        QCOMPARE(RegistryStore::user().readString(kRoot + QStringLiteral("TGWConfigFileSheetCaption"),
                                                  QStringLiteral("EditTGWCurrentFilePath")),
                 QStringLiteral("/somewhere/gateway.tcf"));

        // /W: shown, not stored, disabled, and the label says why, also after a new language.
        config.lockPath(QStringLiteral("/cmd/line.tcf"), options);
        options.Read();
        QCOMPARE(config.EditTGWCurrentFilePath->text(), QStringLiteral("/cmd/line.tcf"));
        options.Store();
        QCOMPARE(RegistryStore::user().readString(kRoot + QStringLiteral("TGWConfigFileSheetCaption"),
                                                  QStringLiteral("EditTGWCurrentFilePath")),
                 QStringLiteral("/somewhere/gateway.tcf"));
        QVERIFY(!config.EditTGWCurrentFilePath->isEnabled());
        QVERIFY(!config.TGWConfigFileButtonSetConfigFile->isEnabled());
        config.translateCaptions();
        QCOMPARE(config.TGWCurrentFilePath->text(), QStringLiteral("TGWCurrentConfigFileAddtionalInfo"));
    }
};

QTEST_MAIN(TestOptions)
#include "TestOptions.moc"

// The mapping editor on the example description and mapping: tree, overview, value grid with
// range checking, adding and deleting entries, the quick adds from the overview, OK and
// Cancel through the mapping parameter's Edit, and the main window's grid reaching it.
#include "ScriptedPrompts.h"
#include "TestPaths.h"

#include "base/IniFile.h"
#include "model/BaseEEROM.h"
#include "model/MappingEditor.h"
#include "model/ProfilMapItem.h"
#include "shell/GWMainForm.h"
#include "shell/MapEditor.h"
#include "shell/ParameterGridModel.h"
#include "shell/SelectStringGrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace {

QString exampleText()
{
    QFile f(TestPaths::dataFile(QStringLiteral("examples/vantor.tcf")));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no example description");
    return QString::fromUtf8(f.readAll());
}

QByteArray exampleImage()
{
    QFile f(TestPaths::dataFile(QStringLiteral("examples/gw210.gwc")));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no example image");
    return f.readAll();
}

// The example image bound to the example description (or a variant of its text), its table
// read, and an editor prepared on it. The example table: COB-ID 181 byte 0 and 181 byte 1
// (CAN to FB) on fieldbus bytes 0 and 1, COB-ID 201 (FB to CAN) on byte 8, the guard byte
// "Node State" on byte 2, "Error Register" on byte 3 and a diagnostic counter.
struct Bench {
    ScriptedPrompts prompts;
    IniFile ini;
    TProfilMapTool tool;
    TBaseEEROM img;
    TProfilMapEditor editor;

    explicit Bench(const QString &description = exampleText(), const std::function<void(TMapping &)> &change = {})
    {
        ini.parseText(description);
        tool.SetDatei(&ini);
        img.ItemTool().FProfilMapTool = &tool;
        img.SetSourceDatei(&ini);
        img.Clear();
        const QByteArray bytes = exampleImage();
        img.WriteAt(0, bytes);
        img.FUseSize = int(bytes.size());
        img.laden();
        if (!map().EEROMToMapList())
            qFatal("example table not read");
        if (change)
            change(map().Mapping());
        editor.Prepare(map().Mapping(), tool);
    }
    TProfilMapItem &map() { return *dynamic_cast<TProfilMapItem *>(img.GetEintrag(QStringLiteral("Map"))); }
    TMapping &mapping() { return map().Mapping(); }
    template <typename T> T *w(const char *name) { return editor.findChild<T *>(QLatin1String(name)); }
    QTreeWidget *tree() { return w<QTreeWidget>("TreeView1"); }
    TSelectStringGrid *sg() { return w<TSelectStringGrid>("SG"); }
    QTableWidget *overview() { return w<QTableWidget>("outgid"); }
    QString cell(int row, int col) { return overview()->item(row, col) ? overview()->item(row, col)->text() : QString(); }
    // Overview cell of a fieldbus byte.
    QString byteCell(int busByte, int col) { return cell(busByte + 2, col); }

    QTreeWidgetItem *node(const QString &caption, int nth = 0)
    {
        const QList<QTreeWidgetItem *> found = tree()->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        return nth < found.size() ? found[nth] : nullptr;
    }
    // "class: entry, entry" for every class node, in tree order.
    QStringList classes()
    {
        QStringList out;
        QTreeWidgetItem *root = tree()->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i) {
            QStringList entries;
            for (int k = 0; k < root->child(i)->childCount(); ++k)
                entries << root->child(i)->child(k)->text(0);
            out << root->child(i)->text(0) + QStringLiteral(": ") + entries.join(QStringLiteral(", "));
        }
        return out;
    }
    void select(QTreeWidgetItem *n) { tree()->setCurrentItem(n); }
    QString value(int row) { return sg()->item(row, 1)->text(); }
    // Types text into a value cell as the user would: the cell's editor opens when it becomes current.
    void typeValue(int row, const QString &text)
    {
        sg()->setCurrentCell(row, 1);
        TInplaceEditList *e = sg()->InplaceEditor();
        QVERIFY(e);
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    int beeps() const
    {
        int n = 0;
        for (const auto &r : prompts.records)
            n += r.kind == QLatin1String("beep");
        return n;
    }
    // Caption and value texts of every entry of the table.
    QStringList entries()
    {
        QStringList out;
        for (const auto &e : mapping().Items()) {
            QStringList v;
            for (const auto &x : e->Values())
                v << x->GetValue();
            out << e->Caption() + u':' + v.join(u',');
        }
        return out;
    }
};

TMapValue *valueNamed(TMapItem *item, const QString &caption)
{
    for (const auto &v : item->Values())
        if (v->Caption() == caption)
            return v.get();
    return nullptr;
}

} // namespace

class TestMapEditor : public QObject
{
    Q_OBJECT
private slots:
    void busname_data();
    void busname();
    void opensTreeAndOverview();
    void twoCobIdsOnOneByte();
    void zeroCobIdLeavesOverview();
    void deleteRemovesEmptyClassNode();
    void addToMissingClassCreatesIt();
    void newMenuHiddenWithoutCreatableTypes();
    void listValueOffersItsTexts();
    void rangeCheck_data();
    void rangeCheck();
    void escapeRestoresValue();
    void quickAddFromOverview();
    void quickAddFromPicker();
    void okStoresCancelKeepsImage_data();
    void okStoresCancelKeepsImage();
    void showModalRefused();
    void damagedTableOpensNothing_data();
    void damagedTableOpensNothing();
    void mainWindowGridReachesEditor();
};

void TestMapEditor::busname_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("bus");
    QTest::newRow("dash, then blank") << "GW210-Profibus Gateway" << "Profibus";
    QTest::newRow("blank before the dash") << "GW 210-Profibus Gateway" << "";
    QTest::newRow("no blank") << "GW210-DeviceNet" << "DeviceNet";
    QTest::newRow("no dash") << "GW210" << "";
}

void TestMapEditor::busname()
{
    QFETCH(QString, caption);
    QFETCH(QString, bus);
    Bench b(exampleText(), [&](TMapping &m) { m.FCaption = caption; });
    QCOMPARE(b.editor.Busname, bus);
    QCOMPARE(b.editor.windowTitle(), QStringLiteral("Profile Editor [CANopen ") + bus + QStringLiteral(" Mapping Editor]"));
    QCOMPARE(b.tree()->topLevelItem(0)->text(0), caption);
}

void TestMapEditor::opensTreeAndOverview()
{
    Bench b;
    QCOMPARE(b.classes(), (QStringList{"COB-ID mappings: COB-ID Byte Mapping, COB-ID Byte Mapping, COB-ID Byte Mapping",
                                       "Node guarding: Node Guard Mapping", "Emergency data: Emergency Data Mapping",
                                       "Diagnostics: Diagnostic Counter"}));
    QVERIFY(b.tree()->topLevelItem(0)->isExpanded());
    QCOMPARE(b.editor.Busbytename, QStringLiteral("Profibus Byte"));
    QCOMPARE(b.editor.directions, (QStringList{"CANopen to Profibus", "Profibus to CANopen"}));
    QCOMPARE(b.editor.Guardbytes, (QStringList{"Node State", "Toggle Bit"}));
    QCOMPARE(b.editor.Emergencybytes.size(), 4);

    QTableWidget *o = b.overview();
    QCOMPARE(o->rowCount(), 246);
    QCOMPARE(o->columnCount(), 7);
    const QStringList row0 = {"", "CAN to FB", " ", "FB to CAN", " ", "", ""};
    const QStringList row1 = {"Profibus Byte", "COB-ID", "COB-ID-Byte", "COB-ID", "COB-ID-Byte", "Guard Byte", "Emergency Data"};
    for (int c = 0; c < 7; ++c) {
        QCOMPARE(b.cell(0, c), row0[c]);
        QCOMPARE(b.cell(1, c), row1[c]);
    }
    QCOMPARE(b.cell(2, 0), QStringLiteral("0"));
    QCOMPARE(b.cell(245, 0), QStringLiteral("243"));
    // What the example maps, and nothing on a byte it leaves free.
    QCOMPARE(b.byteCell(0, 1), QStringLiteral("181"));
    QCOMPARE(b.byteCell(0, 2), QStringLiteral("0"));
    QCOMPARE(b.byteCell(1, 2), QStringLiteral("1"));
    QCOMPARE(b.byteCell(8, 3), QStringLiteral("201"));
    QCOMPARE(b.byteCell(8, 1), QString());
    QCOMPARE(b.byteCell(2, 5), QStringLiteral("Node State"));
    QCOMPARE(b.byteCell(3, 6), QStringLiteral("Error Register"));
    QCOMPARE(b.byteCell(4, 1), QString());

    // Only the creatable types can be added.
    QMenu *new1 = b.editor.findChild<QMenu *>(QStringLiteral("New1"));
    QVERIFY(new1->menuAction()->isVisible());
    QStringList types;
    for (QAction *a : new1->actions())
        types << a->text();
    QCOMPARE(types, (QStringList{"COB-ID Byte Mapping", "Node Guard Mapping", "Emergency Data Mapping"}));

    // A class node shows no values; an entry shows its values from row 3 on.
    b.select(b.node(QStringLiteral("Node guarding")));
    QVERIFY(b.sg()->isHidden());
    b.select(b.node(QStringLiteral("COB-ID Byte Mapping"), 2));
    QVERIFY(!b.sg()->isHidden());
    QCOMPARE(b.sg()->rowCount(), 7);
    QCOMPARE(b.sg()->item(0, 0)->text(), QStringLiteral("Name"));
    QCOMPARE(b.sg()->item(0, 1)->text(), QStringLiteral("Value"));
    QCOMPARE(b.sg()->item(4, 0)->text(), QStringLiteral("COB-ID"));
    QCOMPARE(b.value(3), QStringLiteral("Profibus to CANopen"));
    QCOMPARE(b.value(4), QStringLiteral("201"));
    QCOMPARE(b.value(6), QStringLiteral("8"));
    QCOMPARE(b.overview()->currentRow(), 10);
    QCOMPARE(b.overview()->currentColumn(), 3);
}

void TestMapEditor::twoCobIdsOnOneByte()
{
    // The second CAN-to-FB entry moved onto byte 0 with COB-ID 182.
    Bench b(exampleText(), [](TMapping &m) {
        QVERIFY(valueNamed(m.Item(1), QStringLiteral("Profibus Byte"))->SetValue(QStringLiteral("0")));
        QVERIFY(valueNamed(m.Item(1), QStringLiteral("COB-ID"))->SetValue(QStringLiteral("182")));
    });
    QCOMPARE(b.byteCell(0, 1), QStringLiteral("181 / 182"));
    QCOMPARE(b.byteCell(0, 2), QStringLiteral("0 / 1"));
    QCOMPARE(b.byteCell(1, 1), QString());
}

void TestMapEditor::zeroCobIdLeavesOverview()
{
    Bench b(exampleText(), [](TMapping &m) {
        valueNamed(m.Item(1), QStringLiteral("Profibus Byte"))->FinternValue = 0;
        valueNamed(m.Item(1), QStringLiteral("COB-ID"))->FinternValue = 0;
    });
    QCOMPARE(b.byteCell(0, 1), QStringLiteral("181 / 000"));
    b.select(b.node(QStringLiteral("COB-ID Byte Mapping"), 1));
    QCOMPARE(b.value(4), QStringLiteral("000"));
    QCOMPARE(b.byteCell(0, 1), QStringLiteral("181 / 000"));
    // An entry with a COB-ID puts its own into the row.
    b.select(b.node(QStringLiteral("COB-ID Byte Mapping"), 0));
    QCOMPARE(b.byteCell(0, 1), QStringLiteral("181"));
}

void TestMapEditor::deleteRemovesEmptyClassNode()
{
    Bench b;
    // By the menu entry: one of three COB-ID entries, the class stays.
    b.select(b.node(QStringLiteral("COB-ID Byte Mapping"), 1));
    QVERIFY(b.editor.findChild<QAction *>(QStringLiteral("delete1"))->isEnabled());
    b.editor.findChild<QAction *>(QStringLiteral("delete1"))->trigger();
    QCOMPARE(b.mapping().Count(), 5);
    QCOMPARE(b.classes().first(), QStringLiteral("COB-ID mappings: COB-ID Byte Mapping, COB-ID Byte Mapping"));
    // By the Delete key: the last entry of its class takes the class node with it.
    b.select(b.node(QStringLiteral("Node Guard Mapping")));
    QTest::keyClick(b.tree(), Qt::Key_Delete);
    QCOMPARE(b.mapping().Count(), 4);
    QVERIFY(!b.node(QStringLiteral("Node guarding")));
    QVERIFY(!b.entries().join(u';').contains(QLatin1String("Node Guard")));
    // A class node is not deleted.
    b.select(b.node(QStringLiteral("Emergency data")));
    QVERIFY(!b.editor.findChild<QAction *>(QStringLiteral("delete1"))->isEnabled());
    QTest::keyClick(b.tree(), Qt::Key_Delete);
    QCOMPARE(b.mapping().Count(), 4);
    QVERIFY(b.node(QStringLiteral("Emergency data")));
}

void TestMapEditor::addToMissingClassCreatesIt()
{
    Bench b;
    b.select(b.node(QStringLiteral("Node Guard Mapping")));
    b.editor.delete1Click();
    QVERIFY(!b.node(QStringLiteral("Node guarding")));
    QMenu *new1 = b.editor.findChild<QMenu *>(QStringLiteral("New1"));
    for (QAction *a : new1->actions())
        if (a->text() == QLatin1String("Node Guard Mapping"))
            a->trigger();
    QCOMPARE(b.classes().last(), QStringLiteral("Node guarding: Node Guard Mapping"));
    QCOMPARE(b.mapping().Count(), 6);
    QCOMPARE(b.mapping().Item(5)->Caption(), QStringLiteral("Node Guard Mapping"));
    // The new entry is selected with its values.
    QCOMPARE(b.tree()->currentItem(), b.node(QStringLiteral("Node Guard Mapping")));
    QCOMPARE(b.sg()->rowCount(), 5);
    // A type that cannot be stored is refused, not added to be dropped later.
    QVERIFY(!b.editor.AddMapItem(QStringLiteral("Diagnostic Counter")));
    QVERIFY(!b.editor.AddMapItem(QStringLiteral("No Such Type")));
    QCOMPARE(b.mapping().Count(), 6);
    QCOMPARE(b.prompts.records.size(), 2);
}

void TestMapEditor::newMenuHiddenWithoutCreatableTypes()
{
    QString text = exampleText();
    text.replace(QRegularExpression(QStringLiteral("^(0x0\\d=[^;]*;\\d+;\\d+;)1;"), QRegularExpression::MultilineOption),
                 QStringLiteral("\\g<1>0;"));
    Bench b(text);
    QVERIFY(!b.editor.findChild<QMenu *>(QStringLiteral("New1"))->menuAction()->isVisible());
}

void TestMapEditor::listValueOffersItsTexts()
{
    Bench b;
    b.editor.show();
    b.select(b.node(QStringLiteral("COB-ID Byte Mapping"), 0));
    b.sg()->setCurrentCell(3, 1);
    QCOMPARE(b.editor.PanelText(0), QStringLiteral("list"));
    QCOMPARE(b.editor.PanelText(1), QString()); // no range text for a list
    TInplaceEditList *e = b.sg()->InplaceEditor();
    QVERIFY(e);
    QCOMPARE(e->EditStyle(), esPickList);
    QTest::keyClick(e, Qt::Key_Down, Qt::AltModifier);
    TPopupListbox *list = b.sg()->PickList();
    QVERIFY(list && list->isVisible());
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    QCOMPARE(texts, b.editor.directions);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    // The choice reaches the entry at once.
    QCOMPARE(b.mapping().Item(0)->Value(0)->IntValue(), 1u);
    QVERIFY(b.editor.edited);

    // A number shows its edit type and range, and no list.
    b.sg()->setCurrentCell(4, 1);
    QCOMPARE(b.editor.PanelText(0), QStringLiteral("hexadecimal"));
    QCOMPARE(b.editor.PanelText(1), QStringLiteral("001-7FF"));
    QCOMPARE(b.sg()->InplaceEditor()->EditStyle(), esSimple);
    b.editor.hide();
}

void TestMapEditor::rangeCheck_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("stored"); // the value's text afterwards
    QTest::newRow("COB-ID in range") << 4 << "1FF" << true << "1FF";
    // Every keystroke reaches the value: the last text in range stays.
    QTest::newRow("COB-ID above range") << 4 << "800" << false << "080";
    QTest::newRow("COB-ID not hexadecimal") << 4 << "1G" << false << "001";
    QTest::newRow("fieldbus byte 243") << 6 << "243" << true << "243";
    QTest::newRow("fieldbus byte 244") << 6 << "244" << false << "24";
    QTest::newRow("COB-ID byte not a number") << 5 << "x" << false << "0";
}

void TestMapEditor::rangeCheck()
{
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, stored);
    Bench b;
    b.editor.show();
    b.select(b.node(QStringLiteral("COB-ID Byte Mapping"), 0));
    b.typeValue(row, typed);
    TMapValue *v = b.mapping().Item(0)->Value(row - 3);
    QCOMPARE(v->GetValue(), stored);
    QCOMPARE(b.editor.PanelText(2), accepted ? QString() : QStringLiteral("GW_MAPEditor_errorRangeError"));
    if (accepted)
        QCOMPARE(b.beeps(), 0);
    else
        QVERIFY(b.beeps() >= 1);
    // The cell keeps what was typed.
    b.sg()->CommitEditor();
    QCOMPARE(b.value(row), typed);
    b.editor.hide();
}

void TestMapEditor::escapeRestoresValue()
{
    Bench b;
    b.editor.show();
    b.select(b.node(QStringLiteral("COB-ID Byte Mapping"), 0));
    b.typeValue(4, QStringLiteral("1FF"));
    QCOMPARE(b.mapping().Item(0)->Value(1)->GetValue(), QStringLiteral("1FF"));
    QTest::keyClick(b.sg()->InplaceEditor(), Qt::Key_Escape);
    QCOMPARE(b.value(4), QStringLiteral("181"));
    QCOMPARE(b.mapping().Item(0)->Value(1)->GetValue(), QStringLiteral("181"));
    b.editor.hide();
}

void TestMapEditor::quickAddFromOverview()
{
    Bench b;
    QTableWidget *o = b.overview();
    // Byte 20: COB-ID 185, COB-ID byte 3, typed into the CAN-to-FB columns, then moving on.
    o->setCurrentCell(22, 1);
    b.editor.outgidClick();
    QVERIFY(b.editor.tabedited);
    o->item(22, 1)->setText(QStringLiteral("185"));
    o->setCurrentCell(22, 2);
    QCOMPARE(b.mapping().Count(), 6); // one column is not enough
    b.editor.outgidClick();
    // Still in the cell's editor when moving on: the text counts.
    o->editItem(o->item(22, 2));
    QLineEdit *cellEditor = o->viewport()->findChild<QLineEdit *>();
    QVERIFY(cellEditor);
    cellEditor->setText(QStringLiteral("3"));
    o->setCurrentCell(23, 1);
    QCOMPARE(b.mapping().Count(), 7);
    QCOMPARE(b.entries().last(), QStringLiteral("COB-ID Byte Mapping:CANopen to Profibus,185,3,20"));
    QVERIFY(!b.editor.tabedited);
    QCOMPARE(b.tree()->currentItem(), b.node(QStringLiteral("COB-ID Byte Mapping"), 3));
    QCOMPARE(b.value(4), QStringLiteral("185"));

    // The FB-to-CAN columns take the second direction.
    o->setCurrentCell(30, 3);
    b.editor.outgidClick();
    o->item(30, 3)->setText(QStringLiteral("2A1"));
    o->item(30, 4)->setText(QStringLiteral("7"));
    o->setCurrentCell(31, 3);
    QCOMPARE(b.entries().last(), QStringLiteral("COB-ID Byte Mapping:Profibus to CANopen,2A1,7,28"));

    // A cell that was not empty when clicked arms nothing.
    o->setCurrentCell(2, 1);
    b.editor.outgidClick();
    QVERIFY(!b.editor.tabedited);
    QCOMPARE(b.editor.PanelText(1), QStringLiteral("181"));
    o->setCurrentCell(2, 2);
    QCOMPARE(b.mapping().Count(), 8);
}

void TestMapEditor::quickAddFromPicker()
{
    Bench b;
    b.editor.show();
    QTableWidget *o = b.overview();
    auto *combo = b.editor.findChild<QComboBox *>(QStringLiteral("ComboBox1"));
    o->setCurrentCell(12, 5); // guard byte of fieldbus byte 10
    QVERIFY(combo->isVisible());
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->currentIndex(), -1);
    b.editor.outgidClick();
    combo->setCurrentIndex(1);
    b.editor.ComboBox1Exit();
    QVERIFY(!combo->isVisible());
    QCOMPARE(b.byteCell(10, 5), QStringLiteral("Toggle Bit"));
    QCOMPARE(b.entries().last(), QStringLiteral("Node Guard Mapping:Toggle Bit,10"));
    QCOMPARE(b.tree()->currentItem(), b.node(QStringLiteral("Node Guard Mapping"), 1));

    // The emergency column offers its own texts and preselects the cell's text.
    o->setCurrentCell(5, 6);
    QCOMPARE(combo->count(), 4);
    QCOMPARE(combo->currentText(), QStringLiteral("Error Register"));
    b.editor.outgidClick(); // not empty: no quick add
    combo->setCurrentIndex(0);
    b.editor.ComboBox1Exit();
    QCOMPARE(b.byteCell(3, 6), QStringLiteral("Error Code Low"));
    QCOMPARE(b.mapping().Count(), 7);
    b.editor.hide();
}

void TestMapEditor::okStoresCancelKeepsImage_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("stored");
    QTest::newRow("OK stores") << "BitBtn1" << true;
    QTest::newRow("Cancel keeps the image") << "BitBtn2" << false;
}

void TestMapEditor::okStoresCancelKeepsImage()
{
    QFETCH(QString, button);
    QFETCH(bool, stored);
    Bench b;
    MappingEditor::setInstance(&b.editor);
    const QByteArray before = b.img.Buffer();
    const int useBefore = b.img.UseSize();
    bool ran = false;
    QTimer::singleShot(0, &b.editor, [&] {
        ran = b.editor.isVisible();
        b.select(b.node(QStringLiteral("Node Guard Mapping")));
        b.editor.delete1Click();
        b.select(b.node(QStringLiteral("COB-ID Byte Mapping"), 0));
        b.typeValue(4, QStringLiteral("1A5"));
        QTest::mouseClick(b.editor.findChild<QAbstractButton *>(button), Qt::LeftButton);
    });
    b.map().Edit(QPoint());
    MappingEditor::setInstance(nullptr);
    QVERIFY(ran);
    if (!stored) {
        QCOMPARE(b.img.Buffer(), before);
        QCOMPARE(b.img.UseSize(), useBefore);
        return;
    }
    // Read back from the image: the guard entry is gone, the COB-ID changed; the counter,
    // a type that is never written back, is gone too, so the table is 3 + 4 bytes shorter.
    QCOMPARE(b.img.UseSize(), useBefore - 7);
    QVERIFY(b.map().EEROMToMapList());
    QCOMPARE(b.entries(), (QStringList{"COB-ID Byte Mapping:CANopen to Profibus,1A5,0,0",
                                       "COB-ID Byte Mapping:CANopen to Profibus,181,1,1",
                                       "COB-ID Byte Mapping:Profibus to CANopen,201,0,8",
                                       "Emergency Data Mapping:Error Register,3"}));
}

void TestMapEditor::showModalRefused()
{
    Bench b;
    QCOMPARE(b.editor.exec(), int(QDialog::Rejected));
    QCOMPARE(b.editor.ShowModal(), int(QDialog::Rejected));
    QVERIFY(!b.editor.isVisible());
    QCOMPARE(b.prompts.texts(), (QStringList{"Error, use Edit instead of ShowModal", "Error, use Edit instead of ShowModal"}));
}

void TestMapEditor::damagedTableOpensNothing_data()
{
    QTest::addColumn<QByteArray>("tail"); // replaces the table at 0x40
    QTest::addColumn<bool>("opens");
    // A record cut off by the end of the configuration.
    QTest::newRow("truncated record") << QByteArray::fromHex("01181000011811") << false;
    // Bytes that no type knows are stepped over one by one: the reading always ends.
    QTest::newRow("unknown bytes, no end mark") << QByteArray(200, char(0x7E)) << true;
    // A fieldbus byte beyond the overview is shown nowhere rather than outside the grid.
    QTest::newRow("fieldbus byte 250") << QByteArray::fromHex("011810FAFF") << true;
}

void TestMapEditor::damagedTableOpensNothing()
{
    QFETCH(QByteArray, tail);
    QFETCH(bool, opens);
    ScriptedPrompts prompts;
    IniFile ini;
    ini.parseText(exampleText());
    TProfilMapTool tool(&ini);
    TBaseEEROM img;
    img.ItemTool().FProfilMapTool = &tool;
    img.SetSourceDatei(&ini);
    img.Clear();
    const QByteArray bytes = exampleImage().left(0x40) + tail;
    img.WriteAt(0, bytes);
    img.FUseSize = int(bytes.size());
    img.laden();
    auto *map = dynamic_cast<TProfilMapItem *>(img.GetEintrag(QStringLiteral("Map")));
    QVERIFY(map);
    TProfilMapEditor editor;
    MappingEditor::setInstance(&editor);
    bool shown = false;
    QTimer::singleShot(0, &editor, [&] {
        shown = editor.isVisible();
        QTest::mouseClick(editor.findChild<QAbstractButton *>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    });
    const QByteArray before = img.Buffer();
    map->Edit(QPoint());
    MappingEditor::setInstance(nullptr);
    QCOMPARE(shown, opens);
    if (!opens) {
        QCOMPARE(img.Buffer(), before);
        QCOMPARE(prompts.records.size(), 1); // the reason, once
    }
}

void TestMapEditor::mainWindowGridReachesEditor()
{
    ScriptedPrompts prompts;
    TGWMainForm window(TGWMainForm::Session::Isolated);
    window.resize(600, 500);
    window.show();
    QVERIFY(window.openDescription(TestPaths::dataFile(QStringLiteral("examples/vantor.tcf"))));
    window.EEROM().openfile(TestPaths::dataFile(QStringLiteral("examples/gw210.gwc")));
    window.refreshGrid();
    installMapEditor(window);
    auto *editor = window.findChild<TProfilMapEditor *>(QStringLiteral("TProfilMapEditor"));
    QVERIFY(editor);
    QCOMPARE(MappingEditor::instance(), static_cast<MappingEditor *>(editor));

    auto *model = static_cast<TParameterGridModel *>(window.grid()->model());
    int row = -1;
    for (int r = 0; r < model->filledRows(); ++r)
        if (model->row(r)->name == QLatin1String("Map"))
            row = r;
    QVERIFY(row >= 0);
    window.grid()->setCurrentIndex(model->index(row, 1));
    QString seen;
    QTimer::singleShot(0, editor, [&] {
        if (QApplication::activeModalWidget() == editor)
            seen = editor->findChild<QTreeWidget *>(QStringLiteral("TreeView1"))->topLevelItem(0)->text(0);
        editor->reject();
    });
    window.DGDblClick();
    QCOMPARE(seen, QStringLiteral("GW210"));
    QCOMPARE(editor->mapping()->Count(), 6);
}

QTEST_MAIN(TestMapEditor)
#include "TestMapEditor.moc"

// The string grid with its in-place editors: the editor style per button style, the pick
// list's size and placement, choosing and dismissing, Alt+Up/Down and the typed search.
#include "shell/SelectStringGrid.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

const QStringList kShort = {QStringLiteral("Off"), QStringLiteral("On")};
const QStringList kNames = {QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("Beta Two"),
                            QStringLiteral("Gamma"), QStringLiteral("Delta"), QStringLiteral("Epsilon"),
                            QStringLiteral("Zeta"),  QStringLiteral("Eta"),   QStringLiteral("Theta"),
                            QStringLiteral("Iota"),  QStringLiteral("Kappa is a much longer entry")};

// A grid of four rows and two columns; column 1 is editable, column 0 is not.
struct Bench {
    TSelectStringGrid grid;
    qint64 now = 100000;

    Bench()
    {
        grid.setRowCount(4);
        grid.setColumnCount(2);
        for (int r = 0; r < 4; ++r) {
            auto *name = new QTableWidgetItem(QStringLiteral("n%1").arg(r));
            name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            grid.setItem(r, 0, name);
            grid.setItem(r, 1, new QTableWidgetItem(QStringLiteral("Off")));
        }
        grid.setSearchClock([this] { return now; });
        grid.resize(300, 200);
        grid.move(50, 50);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
    }
    // Makes cell (row, 1) current with the given style and list; the editor opens by itself.
    TInplaceEditList *open(TBtnStyle style, const QStringList &list = kShort, int row = 1)
    {
        QObject::connect(&grid, &TSelectStringGrid::SelectCell, &grid, [this, style, list](int, int) {
            grid.SetButtonStyle(style);
            grid.DatenListe = list;
        });
        grid.setCurrentCell(row, 1);
        return grid.InplaceEditor();
    }
    TPopupListbox *dropDown(TInplaceEditList *editor)
    {
        QTest::keyClick(editor, Qt::Key_Down, Qt::AltModifier);
        return grid.PickList();
    }
};

} // namespace

class TestSelectStringGrid : public QObject
{
    Q_OBJECT
private slots:
    void editorStyleFollowsButtonStyle_data();
    void editorStyleFollowsButtonStyle();
    void fixedCellsOpenNoEditor();
    void pickListSize_data();
    void pickListSize();
    void pickListOpensAboveWithoutRoomBelow();
    void chooseAndDismiss_data();
    void chooseAndDismiss();
    void clickOnEntryChooses();
    void typedSearch_data();
    void typedSearch();
    void ellipsisButtonReports();
};

void TestSelectStringGrid::editorStyleFollowsButtonStyle_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("editStyle");
    QTest::addColumn<bool>("button");
    QTest::newRow("pick list") << int(cbsPickListe) << int(esPickList) << true;
    QTest::newRow("ellipsis") << int(cbsEllipsis) << int(esEllipsis) << true;
    QTest::newRow("none") << int(cbsNone) << int(esSimple) << false;
    QTest::newRow("data list") << int(cbsDataList) << int(esDataList) << true;
}

void TestSelectStringGrid::editorStyleFollowsButtonStyle()
{
    QFETCH(int, style);
    QFETCH(int, editStyle);
    QFETCH(bool, button);
    Bench b;
    TInplaceEditList *editor = b.open(TBtnStyle(style));
    QVERIFY(editor);
    QCOMPARE(int(editor->EditStyle()), editStyle);
    QCOMPARE(editor->button() != nullptr, button);
    if (button) // as wide as a scroll bar
        QCOMPARE(editor->button()->width(), editor->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, editor));
    // Only a list style has a list to open.
    TPopupListbox *list = b.dropDown(editor);
    QCOMPARE(list != nullptr && list->isVisible(), editStyle == esPickList || editStyle == esDataList);
}

void TestSelectStringGrid::fixedCellsOpenNoEditor()
{
    Bench b;
    b.grid.CanEditCell = [](int row, int) { return row >= 2; };
    b.grid.setCurrentCell(1, 1); // editable item, refused by CanEditCell
    QVERIFY(!b.grid.InplaceEditor());
    b.grid.setCurrentCell(2, 0); // item without the editable flag
    QVERIFY(!b.grid.InplaceEditor());
    b.grid.setCurrentCell(2, 1);
    QVERIFY(b.grid.InplaceEditor());
}

void TestSelectStringGrid::pickListSize_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("rows");
    QTest::newRow("two texts, two rows") << kShort << 2;
    QTest::newRow("eleven texts, eight rows") << kNames << 8;
}

void TestSelectStringGrid::pickListSize()
{
    QFETCH(QStringList, texts);
    QFETCH(int, rows);
    Bench b;
    TPopupListbox *list = b.dropDown(b.open(cbsPickListe, texts));
    QVERIFY(list && list->isVisible());
    QCOMPARE(list->count(), texts.size());
    QCOMPARE(list->height(), rows * list->sizeHintForRow(0) + 2 * list->frameWidth());
    // As wide as the widest text: every text fits, and a short list stays narrower than the
    // cell, a list with a long text grows beyond it.
    int widest = 0;
    for (const QString &t : texts)
        widest = qMax(widest, list->fontMetrics().horizontalAdvance(t));
    QVERIFY(list->width() >= widest);
    QVERIFY(list->width() < widest + 40 + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void TestSelectStringGrid::pickListOpensAboveWithoutRoomBelow()
{
    Bench b;
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    TInplaceEditList *editor = b.open(cbsPickListe, kNames, 1);
    TPopupListbox *list = b.dropDown(editor);
    QVERIFY(list->isVisible());
    QCOMPARE(list->geometry().top(), editor->mapToGlobal(QPoint(0, editor->height())).y());
    QTest::keyClick(list, Qt::Key_Escape);

    // The same grid at the bottom of the screen.
    b.grid.move(avail.left() + 50, avail.bottom() - b.grid.height() + 1);
    QTest::qWait(0);
    b.grid.setCurrentCell(3, 1);
    editor = b.grid.InplaceEditor();
    list = b.dropDown(editor);
    QVERIFY(list->isVisible());
    QCOMPARE(list->geometry().bottom() + 1, editor->mapToGlobal(QPoint(0, 0)).y());
}

void TestSelectStringGrid::chooseAndDismiss_data()
{
    QTest::addColumn<QList<int>>("keys"); // typed into the open list
    QTest::addColumn<QString>("cell");     // editor text afterwards
    QTest::addColumn<int>("reported");     // SetEditText signals
    QTest::newRow("Enter takes the selected entry") << QList<int>{Qt::Key_Down, Qt::Key_Return} << "On" << 1;
    QTest::newRow("Escape leaves the cell") << QList<int>{Qt::Key_Down, Qt::Key_Escape} << "Off" << 0;
    QTest::newRow("Alt+Up closes without a choice") << QList<int>{Qt::Key_Down, int(Qt::Key_Up) | int(Qt::AltModifier)} << "Off" << 0;
}

void TestSelectStringGrid::chooseAndDismiss()
{
    QFETCH(QList<int>, keys);
    QFETCH(QString, cell);
    QFETCH(int, reported);
    Bench b;
    QSignalSpy edits(&b.grid, &TSelectStringGrid::SetEditText);
    TInplaceEditList *editor = b.open(cbsPickListe);
    TPopupListbox *list = b.dropDown(editor);
    QCOMPARE(list->currentItem()->text(), QStringLiteral("Off")); // the cell's text is preselected
    for (int k : keys)
        QTest::keyClick(list, Qt::Key(k & ~int(Qt::KeyboardModifierMask)),
                        Qt::KeyboardModifiers(k & int(Qt::KeyboardModifierMask)));
    QVERIFY(!list->isVisible());
    QCOMPARE(editor->text(), cell);
    QCOMPARE(edits.size(), reported);
    if (reported)
        QCOMPARE(edits.first(), (QVariantList{1, 1, cell}));
    // The chosen text reaches the cell when the editor closes.
    b.grid.CommitEditor();
    QCOMPARE(b.grid.item(1, 1)->text(), cell);
}

void TestSelectStringGrid::clickOnEntryChooses()
{
    Bench b;
    TInplaceEditList *editor = b.open(cbsPickListe, kNames);
    TPopupListbox *list = b.dropDown(editor);
    const QRect gamma = list->visualItemRect(list->item(3));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, gamma.center());
    QVERIFY(!list->isVisible());
    QCOMPARE(editor->text(), QStringLiteral("Gamma"));

    // The button opens it again; a click outside closes it without a choice.
    QTest::mouseClick(editor->button(), Qt::LeftButton);
    QVERIFY(list->isVisible());
    QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(list->width() + 20, list->height() + 20));
    QVERIFY(!list->isVisible());
    QCOMPARE(editor->text(), QStringLiteral("Gamma"));
}

void TestSelectStringGrid::typedSearch_data()
{
    // Steps: "t:TEXT" types, "w:MS" lets time pass, "bs" Backspace.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("search");
    QTest::newRow("prefix, letter case ignored") << QStringList{"t:BET"} << "beta" << "BET";
    QTest::newRow("longer prefix moves on") << QStringList{"t:beta "} << "Beta Two" << "beta ";
    QTest::newRow("pause of 2000 ms keeps the text") << QStringList{"t:e", "w:2000", "t:t"} << "Eta" << "et";
    QTest::newRow("longer pause restarts") << QStringList{"t:e", "w:2001", "t:t"} << "Theta" << "t";
    QTest::newRow("Backspace restarts") << QStringList{"t:ka", "bs", "t:z"} << "Zeta" << "z";
    QTest::newRow("no match keeps the selection") << QStringList{"t:g", "t:x"} << "Gamma" << "gx";
    QTest::newRow("at most 32 characters") << QStringList{"t:" + QString(40, u'k')} << "Kappa is a much longer entry" << QString(32, u'k');
}

void TestSelectStringGrid::typedSearch()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, selected);
    QFETCH(QString, search);
    Bench b;
    b.grid.item(1, 1)->setText(QStringLiteral("Alpha"));
    TPopupListbox *list = b.dropDown(b.open(cbsPickListe, kNames));
    for (const QString &s : steps) {
        if (s.startsWith(QLatin1String("t:")))
            QTest::keyClicks(list, s.mid(2));
        else if (s.startsWith(QLatin1String("w:")))
            b.now += s.mid(2).toInt();
        else if (s == QLatin1String("bs"))
            QTest::keyClick(list, Qt::Key_Backspace);
    }
    QVERIFY(list->isVisible());
    QCOMPARE(list->currentItem()->text(), selected);
    QCOMPARE(list->SearchText(), search);
    // Escape restarts the search as well.
    QTest::keyClick(list, Qt::Key_Escape);
    QVERIFY(list->SearchText().isEmpty());
}

void TestSelectStringGrid::ellipsisButtonReports()
{
    Bench b;
    QSignalSpy clicks(&b.grid, &TSelectStringGrid::EditButtonClick);
    TInplaceEditList *editor = b.open(cbsEllipsis, {}, 2);
    QTest::mouseClick(editor->button(), Qt::LeftButton);
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks.first(), (QVariantList{1, 2}));
}

QTEST_MAIN(TestSelectStringGrid)
#include "TestSelectStringGrid.moc"

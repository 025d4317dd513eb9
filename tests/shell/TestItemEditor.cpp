// The parameter editor dialog driven through the editor seam, as the parameters open it:
// type into the page's widgets, press OK or Escape, and compare the text the dialog returns.

#include "../model/BoundItem.h"
#include "ScriptedPrompts.h"
#include "localisation/LanguageSelect.h"
#include "model/AddressItems.h"
#include "model/FlagItem.h"
#include "model/ItemEditor.h"
#include "shell/ItemEditorDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Forwards to the dialog and keeps the text it returned, so a test opens the dialog through
// the parameter's own Edit (which fills the list or the flag page first).
class RecordingEditor final : public ItemEditor
{
public:
    explicit RecordingEditor(TItemEditor &dialog) : d(dialog) { ItemEditor::setInstance(this); }
    ~RecordingEditor() override { ItemEditor::setInstance(nullptr); }
    void SetTopLeft(const QPoint &pos) override { d.SetTopLeft(pos); }
    void SetTopLeftOnScreen(const QPoint &pos, ScreenBottom area, int margin) override
    {
        d.SetTopLeftOnScreen(pos, area, margin);
    }
    void SetSelectList(const QStringList &entries) override { d.SetSelectList(entries); }
    void SetBoolPage(const QString &h, const QString &t, const QString &f) override { d.SetBoolPage(h, t, f); }
    QString Edit(TItem *Item, TFormat Format, const QString &StartValue) override
    {
        ++calls;
        start = StartValue;
        result = d.Edit(Item, Format, StartValue);
        return result;
    }

    TItemEditor &d;
    int calls = 0;
    QString start;
    QString result;
};

template <typename T> T *child(TItemEditor &d, const QString &name)
{
    T *w = d.findChild<T *>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}

// Performs one step of a script: "type NAME TEXT", "key NAME KEY", "click NAME",
// "select TEXT", "dclick TEXT", "cell ROW COL TEXT", "ok", "esc NAME".
void perform(TItemEditor &d, const QString &step)
{
    const QString verb = step.section(u' ', 0, 0);
    const QString name = step.section(u' ', 1, 1);
    const QString rest = step.section(u' ', 2);
    if (verb == QLatin1String("type")) {
        QWidget *w = child<QWidget>(d, name);
        if (auto *spin = qobject_cast<QSpinBox *>(w)) {
            spin->findChild<QLineEdit *>()->selectAll();
            QTest::keyClick(spin->findChild<QLineEdit *>(), Qt::Key_Delete);
            QTest::keyClicks(spin->findChild<QLineEdit *>(), rest);
        } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            edit->home(false);
            QTest::keyClicks(edit, rest);
        } else if (auto *memo = qobject_cast<QPlainTextEdit *>(w)) {
            memo->selectAll();
            QTest::keyClick(memo, Qt::Key_Delete);
            QTest::keyClicks(memo, QString(rest).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
        }
    } else if (verb == QLatin1String("key")) {
        static const QHash<QString, Qt::Key> keys = {{QStringLiteral("Up"), Qt::Key_Up},
                                                     {QStringLiteral("Down"), Qt::Key_Down},
                                                     {QStringLiteral("PageUp"), Qt::Key_PageUp},
                                                     {QStringLiteral("PageDown"), Qt::Key_PageDown}};
        QTest::keyClick(child<QWidget>(d, name), keys.value(rest));
    } else if (verb == QLatin1String("click")) {
        // Near the left edge: a radio button takes clicks on its mark and caption only.
        QAbstractButton *button = child<QAbstractButton>(d, name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(qMin(6, button->width() / 2), button->height() / 2));
    } else if (verb == QLatin1String("select") || verb == QLatin1String("dclick")) {
        auto *list = child<QListWidget>(d, QStringLiteral("SelectList"));
        const QString text = step.section(u' ', 1);
        const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(text));
        const QPoint at = list->visualItemRect(found.first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (verb == QLatin1String("dclick"))
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    } else if (verb == QLatin1String("cell")) {
        auto *table = child<QTableWidget>(d, QStringLiteral("Table"));
        const int row = name.toInt();
        const int col = rest.section(u' ', 0, 0).toInt();
        table->setCurrentCell(row, col);
        table->editItem(table->item(row, col));
        QLineEdit *editor = nullptr;
        for (QLineEdit *e : table->viewport()->findChildren<QLineEdit *>())
            if (e->isVisible())
                editor = e;
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, rest.section(u' ', 1));
    } else if (verb == QLatin1String("ok")) {
        QTest::mouseClick(child<QAbstractButton>(d, QStringLiteral("buttonOK")), Qt::LeftButton);
    } else if (verb == QLatin1String("esc")) {
        QTest::keyClick(child<QWidget>(d, name), Qt::Key_Escape);
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

// Runs the script inside the modal dialog once it shows; a dialog still open afterwards is
// closed with Cancel and reported through stayedOpen.
void script(TItemEditor &d, const QStringList &steps, bool *stayedOpen = nullptr)
{
    QTimer::singleShot(0, &d, [&d, steps, stayedOpen] {
        for (const QString &s : steps)
            if (d.isVisible())
                perform(d, s);
        if (stayedOpen)
            *stayedOpen = d.isVisible();
        if (d.isVisible())
            d.reject();
    });
}

const QString kList = QStringLiteral("[Dev:L]\nOff=1;0\nOn=1;1\n");

} // namespace

class TestItemEditor : public QObject
{
    Q_OBJECT
private slots:
    void init() { TBoolTool::instance().language = nullptr; }

    void editReturns_data();
    void editReturns();
    void cancelReturnsStartText_data();
    void cancelReturnsStartText();
    void hexStepper_data();
    void hexStepper();
    void pagePreparation();
    void passwordOK();
    void formatOutsideRangeShowsNothing();
    void refusedTextKeepsDialogOpen();
    void htmlFileButton();
    void captionsAtActivation();
    void keepsAboveWorkArea();
    void inputMasks_data();
    void inputMasks();
};

void TestItemEditor::editReturns_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QByteArray>("bytes"); // at offset 10
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");

    const QByteArray zero(8, '\0');
    QTest::newRow("byte") << "B=10;2;1" << "" << QByteArray("\x11") << QStringList{"type sWert 200", "ok"} << "200";
    QTest::newRow("word") << "W=10;1;1" << "" << zero << QStringList{"type sWert 65535", "ok"} << "65535";
    QTest::newRow("32 bit") << "X=10;17;1" << "" << zero << QStringList{"type sWert 2147483647", "ok"} << "2147483647";
    QTest::newRow("p-byte") << "PB=10;21;1" << "" << zero << QStringList{"type sWert 77", "ok"} << "77";
    QTest::newRow("restricted byte") << "R=10;13;1;;10;20" << "" << QByteArray("\x0F") << QStringList{"type sWert 12", "ok"} << "12";
    QTest::newRow("hex byte typed") << "H=10;6;1" << "" << zero << QStringList{"type Edit1 7f", "ok"} << "7f";
    QTest::newRow("hex byte FF stays FF") << "H=10;6;1" << "" << QByteArray("\xFF") << QStringList{"click SpinButton1Up", "ok"} << "FF";
    QTest::newRow("hex word up key") << "HW=10;7;1" << "" << QByteArray("\x00\x0A", 2) << QStringList{"key Edit1 Up", "ok"} << "000B";
    QTest::newRow("hex long page down") << "HL=10;8;1" << "" << QByteArray("\x00\x00\x01\x00", 4) << QStringList{"key Edit1 PageDown", "ok"} << "000000FF";
    QTest::newRow("list choose") << "L=10;4;1" << kList << QByteArray(1, 0) << QStringList{"select On", "ok"} << "On";
    QTest::newRow("list double click") << "L=10;4;1" << kList << QByteArray(1, 0) << QStringList{"dclick On"} << "On";
    QTest::newRow("list five blanks, nothing chosen") << "L=10;4;1" << kList << QByteArray("\x02") << QStringList{"ok"} << "";
    QTest::newRow("version") << "V=10;9;1" << "" << QByteArray("\x12") << QStringList{"select V 2.3", "ok"} << "V 2.3";
    QTest::newRow("hex-ascii") << "HA=10;3;1" << "" << QByteArray("\x12") << QStringList{"select 42", "ok"} << "42";
    QTest::newRow("char") << "C=10;5;1" << "" << QByteArray("A") << QStringList{"type Edit2 xyz", "ok"} << "x";
    QTest::newRow("string cut at length") << "St=10;12;1;;;4" << "" << zero << QStringList{"type Edit2 Hello", "ok"} << "Hell";
    QTest::newRow("flag off") << "F=10;10;1;;3;c" << "" << QByteArray("\x08") << QStringList{"click RB_NOT_OK", "ok"}
                              << "GWEintragFlagOff";
    QTest::newRow("flag on") << "F=10;10;1;;3;c" << "" << QByteArray(1, 0) << QStringList{"click RB_OK", "ok"}
                             << "GWEintragFlagOn";
    QTest::newRow("ip address untouched") << "I=10;14;1" << "" << QByteArray("\xC0\xA8\x00\x0A", 4) << QStringList{"ok"}
                                          << "192.168.0.10";
    QTest::newRow("ip address typed") << "I=10;14;1" << "" << zero << QStringList{"type MaskEdit1 10.0.0.1", "ok"} << "10.0.0.1";
    QTest::newRow("ethernet typed") << "E=10;15;1" << "" << zero << QStringList{"type MaskEdit1 000A1B2C3D4E", "ok"}
                                    << "00-0A-1B-2C-3D-4E";
    QTest::newRow("serial typed") << "S=10;0;1" << "" << zero << QStringList{"type MaskEdit1 12345678", "ok"} << "12345678";
    QTest::newRow("byte table 2x3") << "T=10;16;1;;;6;;3" << "" << zero
                                    << QStringList{"cell 1 1 1", "cell 1 2 2", "cell 1 3 3", "cell 2 1 4", "cell 2 2 5", "cell 2 3 6", "ok"}
                                    << "1;2;3;4;5;6;";
    QTest::newRow("word table keeps values") << "WT=10;18;1;;;4;;2" << "" << QByteArray("\x01\x02\x03\x04", 4)
                                             << QStringList{"cell 1 2 9", "ok"} << "258;9;";
    QTest::newRow("password") << "P=10;20;1;;;8" << "" << QByteArray("abc\0\0\0\0\0", 8)
                              << QStringList{"type MaskEdit secret", "type SecureMaskEdit secret", "ok"} << "secret";
}

void TestItemEditor::editReturns()
{
    QFETCH(QString, line);
    QFETCH(QString, extra);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);

    BoundItem b(line, TBaseEEROM::kImageBufferSize, -1, extra);
    QVERIFY(b.item);
    b.put(10, bytes);
    TItemEditor dialog;
    RecordingEditor editor(dialog);
    bool stayedOpen = false;
    script(dialog, steps, &stayedOpen);
    b.item->Edit(QPoint(20, 20));
    QCOMPARE(editor.calls, 1);
    QVERIFY2(!stayedOpen, "OK did not close the dialog");
    QCOMPARE(editor.result, expected);
}

void TestItemEditor::cancelReturnsStartText_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("field"); // typed into, then Escape pressed in it
    QTest::addColumn<QString>("typed");

    QTest::newRow("byte") << "B=10;2;1" << QByteArray("\x05") << "sWert" << "99";
    QTest::newRow("hex") << "H=10;6;1" << QByteArray("\x0A") << "Edit1" << "FF";
    QTest::newRow("string") << "St=10;12;1;;;8" << QByteArray("  ab ") << "Edit2" << "changed";
    QTest::newRow("ip") << "I=10;14;1" << QByteArray("\x0A\x00\x00\x01", 4) << "MaskEdit1" << "1.2.3.4";
    QTest::newRow("html") << "Html=10;19;1" << QByteArray("\x07\x00", 2) << "Memo1" << "<p>new</p>";
    QTest::newRow("password") << "P=10;20;1;;;8" << QByteArray("pw\0\0\0\0\0\0", 8) << "MaskEdit" << "other";
    QTest::newRow("table") << "T=10;16;1;;;4;;2" << QByteArray("\x01\x02\x03\x04", 4) << "Table" << "";
}

void TestItemEditor::cancelReturnsStartText()
{
    QFETCH(QString, line);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, field);
    QFETCH(QString, typed);

    BoundItem b(line);
    QVERIFY(b.item);
    b.put(10, bytes);
    const QByteArray before = b.img.Buffer();
    TItemEditor dialog;
    RecordingEditor editor(dialog);
    QStringList steps;
    if (!typed.isEmpty())
        steps << QStringLiteral("type %1 %2").arg(field, typed);
    steps << QStringLiteral("esc ") + field;
    bool stayedOpen = false;
    script(dialog, steps, &stayedOpen);
    b.item->Edit(QPoint(20, 20));
    QVERIFY2(!stayedOpen, "Escape did not close the dialog");
    QCOMPARE(editor.result, editor.start);
    QCOMPARE(b.img.Buffer(), before);
}

void TestItemEditor::hexStepper_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");

    QTest::newRow("FF up stays") << int(fmHexByte) << "FF" << QStringList{"up"} << "FF";
    QTest::newRow("00 down stays") << int(fmHexByte) << "00" << QStringList{"down"} << "00";
    QTest::newRow("0A up") << int(fmHexByte) << "0A" << QStringList{"up"} << "0B";
    QTest::newRow("word pads to four") << int(fmHexWord) << "f" << QStringList{"up"} << "0010";
    QTest::newRow("long top of range") << int(fmHexLong) << "7FFFFFFE" << QStringList{"up", "up"} << "7FFFFFFF";
    // Above the stepper's range a hex long neither wraps nor climbs further.
    QTest::newRow("long above range up") << int(fmHexLong) << "FFFFFFFF" << QStringList{"up"} << "FFFFFFFF";
    QTest::newRow("long above range down") << int(fmHexLong) << "FFFFFFFF" << QStringList{"down"} << "FFFFFFFE";
    // A typed value does not move the stepper: it goes on from the prepared value.
    QTest::newRow("typed ignored") << int(fmHexByte) << "10" << QStringList{"type 20", "up"} << "11";
}

void TestItemEditor::hexStepper()
{
    QFETCH(int, format);
    QFETCH(QString, start);
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);

    TItemEditor dialog;
    QVERIFY(dialog.Prepare(nullptr, TFormat(format), start));
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("Edit1"));
    for (const QString &s : steps) {
        if (s == QLatin1String("up"))
            QTest::keyClick(edit, Qt::Key_PageUp);
        else if (s == QLatin1String("down"))
            QTest::keyClick(edit, Qt::Key_Down);
        else
            edit->setText(s.mid(5));
    }
    if (steps.last() != QLatin1String("up") && steps.last() != QLatin1String("down"))
        return;
    QCOMPARE(edit->text(), expected);
    QCOMPARE(dialog.ResultText(), expected);
}

void TestItemEditor::pagePreparation()
{
    TItemEditor dialog;
    auto *pages = dialog.findChild<QStackedWidget *>(QStringLiteral("EditorPages"));
    auto *spin = dialog.findChild<QSpinBox *>(QStringLiteral("sWert"));

    // A byte whose start text is no number opens with 0.
    QVERIFY(dialog.Prepare(nullptr, fmByte, QStringLiteral("abc")));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("IntSheet"));
    QCOMPARE(spin->value(), 0);
    QCOMPARE(dialog.ResultText(), QStringLiteral("0"));

    BoundItem r(QStringLiteral("R=10;13;1;;10;20"));
    QVERIFY(dialog.Prepare(r.item, fmRestrictedByte, QStringLiteral("15")));
    QCOMPARE(spin->minimum(), 10);
    QCOMPARE(spin->maximum(), 20);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("R"));

    // F1 opens the topic of the parameter's current help context.
    BoundItem l(QStringLiteral("L=10;4;1"), TBaseEEROM::kImageBufferSize, -1,
                QStringLiteral("[Dev:L]\nOff=1;0\nOn=1;1;;;500\n"));
    l.put(10, QByteArray("\x01"));
    QVERIFY(dialog.Prepare(l.item, fmList, QStringLiteral("On")));
    QCOMPARE(dialog.helpContext(), 500);

    // The list page grows with its longest entry and keeps the entries for the next list.
    dialog.SetSelectList({QStringLiteral("a"), QStringLiteral("a rather long entry name here")});
    QVERIFY(dialog.Prepare(nullptr, fmList, QStringLiteral("a")));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("ListSheet"));
    QVERIFY(dialog.width() >= 10 * 29 + 120);
    QCOMPARE(dialog.ResultText(), QStringLiteral("a"));
    QVERIFY(dialog.Prepare(nullptr, fmVersion, QStringLiteral("not there")));
    QCOMPARE(dialog.findChild<QListWidget *>(QStringLiteral("SelectList"))->count(), 2);
    QCOMPARE(dialog.ResultText(), QString());

    // The table page: headings in row 0, row labels from the start index in column 0.
    BoundItem t(QStringLiteral("T=10;16;1;;;6;;3;5;Shown;A;B;C"));
    t.put(10, QByteArray("\x01\x02\x03\x04\x05\x06", 6));
    QVERIFY(dialog.Prepare(t.item, fmByteTuple, QStringLiteral("Shown")));
    auto *table = dialog.findChild<QTableWidget *>(QStringLiteral("Table"));
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->columnCount(), 4);
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("B"));
    QCOMPARE(table->item(2, 0)->text(), QStringLiteral("T 6"));
    QCOMPARE(table->item(2, 3)->text(), QStringLiteral("6"));
    QCOMPARE(dialog.ResultText(), QStringLiteral("1;2;3;4;5;6;"));

    // The HTML page shows the stored text and its button; other pages hide the button.
    BoundItem h(QStringLiteral("Html=10;19;1"));
    h.put(10, QByteArray("\x07\x00", 2));
    h.put(0x700, QByteArray("<p>a</p>\r\n<p>b</p>\0", 18));
    QVERIFY(dialog.Prepare(h.item, fmHTMLSource, QStringLiteral("...")));
    QVERIFY(!dialog.findChild<QWidget *>(QStringLiteral("HTMLOpenBtn"))->isHidden());
    QCOMPARE(dialog.ResultText(), QStringLiteral("<p>a</p>\r\n<p>b</p>"));
    QVERIFY(dialog.Prepare(nullptr, fmChar, QStringLiteral("x")));
    QVERIFY(dialog.findChild<QWidget *>(QStringLiteral("HTMLOpenBtn"))->isHidden());
}

void TestItemEditor::passwordOK()
{
    BoundItem b(QStringLiteral("P=10;20;1;;;8"));
    TItemEditor dialog;
    auto *ok = dialog.findChild<QAbstractButton *>(QStringLiteral("buttonOK"));
    auto *first = dialog.findChild<QLineEdit *>(QStringLiteral("MaskEdit"));
    auto *second = dialog.findChild<QLineEdit *>(QStringLiteral("SecureMaskEdit"));
    QVERIFY(dialog.Prepare(b.item, fmPassword, QStringLiteral("abc")));
    QCOMPARE(first->text(), QStringLiteral("abc"));
    QCOMPARE(first->maxLength(), 8);
    QVERIFY(ok->isEnabled());
    QTest::keyClicks(first, QStringLiteral("d"));
    QTest::keyClicks(second, QStringLiteral("e"));
    QVERIFY(!ok->isEnabled()); // differ in the last character
    QTest::keyClick(second, Qt::Key_Backspace);
    QTest::keyClicks(second, QStringLiteral("d"));
    QVERIFY(ok->isEnabled());
    QTest::keyClicks(second, QStringLiteral("x"));
    QVERIFY(!ok->isEnabled());
    // The next page of another format has OK enabled again.
    QVERIFY(dialog.Prepare(nullptr, fmByte, QStringLiteral("1")));
    QVERIFY(ok->isEnabled());
}

void TestItemEditor::formatOutsideRangeShowsNothing()
{
    TItemEditor dialog;
    int shows = 0;
    struct ShowCounter : QObject {
        int *n;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Show)
                ++*n;
            return false;
        }
    } counter;
    counter.n = &shows;
    dialog.installEventFilter(&counter);
    for (int format : {-1, kFormatCount, 99, int(fmProfilMap)})
        QCOMPARE(dialog.Edit(nullptr, TFormat(format), QStringLiteral(" start ")), QStringLiteral(" start "));
    QCOMPARE(shows, 0);
}

void TestItemEditor::refusedTextKeepsDialogOpen()
{
    ScriptedPrompts prompts;
    BoundItem b(QStringLiteral("H=10;6;1"));
    b.put(10, QByteArray("\x12"));
    TItemEditor dialog;
    RecordingEditor editor(dialog);
    bool stayedOpen = false;
    script(dialog, {QStringLiteral("type Edit1 1G"), QStringLiteral("ok")}, &stayedOpen);
    b.item->Edit(QPoint(0, 0));
    QVERIFY(stayedOpen);
    QCOMPARE(prompts.records.size(), 1);
    QVERIFY(prompts.records.first().text.contains(QStringLiteral("\"1G\"")));
    QCOMPARE(editor.result, QStringLiteral("12")); // closed with Cancel after the message
    QCOMPARE(b.bytes(10, 1), QByteArray("\x12"));
}

void TestItemEditor::htmlFileButton()
{
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("small.html"));
    const QString large = dir.filePath(QStringLiteral("large.htm"));
    {
        QFile f(small);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<h1>T\xE4st</h1>\r\n<p>x</p>\r\n");
        QFile g(large);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(QByteArray(1965, 'x'));
    }
    ScriptedPrompts prompts;
    TItemEditor dialog;
    QVERIFY(dialog.Prepare(nullptr, fmHTMLSource, QStringLiteral("...")));
    auto *button = dialog.findChild<QAbstractButton *>(QStringLiteral("HTMLOpenBtn"));

    prompts.answer(small);
    button->click();
    QCOMPARE(prompts.records.size(), 1);
    QCOMPARE(prompts.records.first().kind, QStringLiteral("open"));
    QCOMPARE(prompts.records.first().caption, QStringLiteral("load HTML File"));
    QCOMPARE(dialog.ResultText(), QString::fromLatin1("<h1>T\xE4st</h1>\r\n<p>x</p>\r\n"));

    prompts.answer(large);
    button->click();
    QVERIFY(prompts.sawText(QStringLiteral("HTMLFile too large")));
    QCOMPARE(dialog.ResultText().size(), 1965); // the text stays in the page

    prompts.answer(QString()); // cancelled: the page keeps its text
    button->click();
    QCOMPARE(dialog.ResultText().size(), 1965);
}

void TestItemEditor::captionsAtActivation()
{
    LanguageSelect language;
    language.currentKeys = QStringList{QStringLiteral("buttonOK"), QStringLiteral("buttonEditHexNumber")};
    language.currentLang = QStringList{QStringLiteral("Fine"), QStringLiteral("Hex value")};
    TItemEditor dialog;
    dialog.setLanguage(&language);
    QCOMPARE(TBoolTool::instance().language, &language);
    QVERIFY(dialog.Prepare(nullptr, fmHexByte, QStringLiteral("01")));
    dialog.show();
    QCOMPARE(dialog.findChild<QAbstractButton *>(QStringLiteral("buttonOK"))->text(), QStringLiteral("Fine"));
    QCOMPARE(dialog.findChild<QWidget *>(QStringLiteral("Label2"))->property("text").toString(), QStringLiteral("Hex value"));
    QCOMPARE(dialog.findChild<QAbstractButton *>(QStringLiteral("buttonCancel"))->text(), QStringLiteral("buttonCancel"));
    dialog.hide();
    language.currentLang[0] = QStringLiteral("Gut");
    dialog.show();
    QCOMPARE(dialog.findChild<QAbstractButton *>(QStringLiteral("buttonOK"))->text(), QStringLiteral("Gut"));
}

void TestItemEditor::keepsAboveWorkArea()
{
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    TItemEditor dialog;
    dialog.SetTopLeft(QPoint(work.left() + 30, work.bottom() - 20));
    QVERIFY(dialog.Prepare(nullptr, fmByteTuple, QString()));
    QCOMPARE(dialog.x(), work.left() + 30);
    QCOMPARE(dialog.y() + dialog.frameGeometry().height(), work.bottom() + 1 - 10);

    // Placed where it fits, it stays where the parameter put it.
    dialog.SetTopLeft(QPoint(work.left() + 5, work.top() + 5));
    QVERIFY(dialog.Prepare(nullptr, fmByte, QStringLiteral("1")));
    QCOMPARE(dialog.pos(), QPoint(work.left() + 5, work.top() + 5));
}

void TestItemEditor::inputMasks_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("qtMask");
    QTest::addColumn<QString>("text");

    QTest::newRow("serial") << "99999999;1;" << "00000000;_" << "12345678";
    QTest::newRow("ip") << "999.999.999.999;1;" << "000.000.000.000;_" << "192.168.0.10";
    QTest::newRow("ip short groups") << "999.999.999.999;1;" << "000.000.000.000;_" << "10.0.0.1";
    QTest::newRow("ethernet") << "AA-AA-AA-AA-AA-AA;1;" << "NN-NN-NN-NN-NN-NN;_" << "00-0A-1B-2C-3D-4E";
}

void TestItemEditor::inputMasks()
{
    QFETCH(QString, mask);
    QFETCH(QString, qtMask);
    QFETCH(QString, text);
    QCOMPARE(InputMaskFromEditMask(mask), qtMask);
    QLineEdit edit;
    edit.setInputMask(InputMaskFromEditMask(mask));
    edit.setText(text);
    QCOMPARE(edit.text(), text);
}

QTEST_MAIN(TestItemEditor)
#include "TestItemEditor.moc"

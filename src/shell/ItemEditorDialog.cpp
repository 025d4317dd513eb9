#include "shell/ItemEditorDialog.h"

#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "localisation/LanguageSelect.h"
#include "model/AddressItems.h"
#include "model/EditorRules.h"
#include "model/FlagItem.h"
#include "model/NumericItems.h"
#include "model/TextItem.h"
#include "platform/UserPrompts.h"
#include "shell/HelpViewer.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Longest HTML text a file may bring into the page; the parameter applies its own limit.
constexpr int kHTMLFileLimit = 1964;
// Distance the dialog keeps from the bottom of the work area.
constexpr int kWorkAreaMargin = 10;

const QString kSerialNumberMask = QStringLiteral("99999999;1;");
const QString kIPAddressMask = QStringLiteral("999.999.999.999;1;");
const QString kEthernetMask = QStringLiteral("AA-AA-AA-AA-AA-AA;1;");

QLabel *makeLabel(const QString &name, QWidget *parent, const QString &text = QString())
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// The page of EditorPages with the given name and a vertical layout.
QWidget *makePage(QStackedWidget *pages, const QString &name, QVBoxLayout *&layout)
{
    auto *page = new QWidget(pages);
    page->setObjectName(name);
    layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    pages->addWidget(page);
    return page;
}

QScreen *screenFor(const QPoint &pos)
{
    if (QScreen *screen = QGuiApplication::screenAt(pos))
        return screen;
    return QGuiApplication::primaryScreen();
}

} // namespace

// The table page's grid; it hands over a cell that is still being edited when OK is chosen.
class TableGrid final : public QTableWidget
{
public:
    using QTableWidget::QTableWidget;
    void commitEditing()
    {
        if (state() != EditingState)
            return;
        // The open cell editor is the visible child of the viewport.
        for (QWidget *editor : viewport()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (editor->isVisible()) {
                commitData(editor);
                closeEditor(editor, QAbstractItemDelegate::NoHint);
                return;
            }
    }
};

QString InputMaskFromEditMask(const QString &editMask)
{
    // mask ";" keep-literals ";" blank: the literals are always part of QLineEdit's text.
    const QString mask = ExtractField(editMask, u';', 1);
    const QString blank = ExtractField(editMask, u';', 3);
    QString result;
    bool escaped = false;
    for (const QChar c : mask) {
        if (escaped) {
            result += u'\\';
            result += c;
            escaped = false;
            continue;
        }
        switch (c.unicode()) {
        case u'\\': escaped = true; break;
        case u'0': result += u'9'; break; // digit required
        case u'9': result += u'0'; break; // digit optional
        case u'#': result += u'#'; break; // digit or sign, optional
        case u'L': result += u'A'; break; // letter required
        case u'l': result += u'a'; break; // letter optional
        case u'A': result += u'N'; break; // letter or digit required
        case u'a': result += u'n'; break; // letter or digit optional
        case u'C': result += u'X'; break; // any character required
        case u'c': result += u'x'; break; // any character optional
        case u'>': result += u'>'; break;
        case u'<': result += u'<'; break;
        default:
            // A literal; the characters that mean something in a Qt mask are escaped.
            if (QStringLiteral("AaNnXx90Dd#HhBb><![]{}\\;").contains(c))
                result += u'\\';
            result += c;
            break;
        }
    }
    result += u';';
    result += blank.isEmpty() ? QChar(u'_') : blank.at(0);
    return result;
}

TItemEditor::TItemEditor(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TItemEditor"));
    setModal(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));

    auto *mainLayout = new QHBoxLayout(this);
    mainLayout->setContentsMargins(4, 4, 4, 4);

    EditorPages = new QStackedWidget(this);
    EditorPages->setObjectName(QStringLiteral("EditorPages"));
    mainLayout->addWidget(EditorPages, 1);

    QVBoxLayout *layout = nullptr;

    ListSheet = makePage(EditorPages, QStringLiteral("ListSheet"), layout);
    SelectList = new QListWidget(ListSheet);
    SelectList->setObjectName(QStringLiteral("SelectList"));
    SelectList->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(SelectList);
    connect(SelectList, &QListWidget::itemDoubleClicked, this, [this] { accept(); });

    IntSheet = makePage(EditorPages, QStringLiteral("IntSheet"), layout);
    lWert = makeLabel(QStringLiteral("lWert"), IntSheet, QStringLiteral("buttonSelectValue"));
    sWert = new QSpinBox(IntSheet);
    sWert->setObjectName(QStringLiteral("sWert"));
    layout->addWidget(lWert);
    layout->addWidget(sWert);
    layout->addStretch();

    MaskSheet = makePage(EditorPages, QStringLiteral("MaskSheet"), layout);
    Label1 = makeLabel(QStringLiteral("Label1"), MaskSheet);
    MaskEdit1 = new QLineEdit(MaskSheet);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    MaskEdit1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(Label1);
    layout->addWidget(MaskEdit1);
    layout->addStretch();

    HexSheet = makePage(EditorPages, QStringLiteral("HexSheet"), layout);
    Label2 = makeLabel(QStringLiteral("Label2"), HexSheet, QStringLiteral("buttonEditHexNumber"));
    Edit1 = new QLineEdit(HexSheet);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->installEventFilter(this);
    SpinButton1 = new QWidget(HexSheet);
    SpinButton1->setObjectName(QStringLiteral("SpinButton1"));
    auto *spinLayout = new QVBoxLayout(SpinButton1);
    spinLayout->setContentsMargins(0, 0, 0, 0);
    spinLayout->setSpacing(0);
    SpinUp = new QToolButton(SpinButton1);
    SpinUp->setObjectName(QStringLiteral("SpinButton1Up"));
    SpinUp->setArrowType(Qt::UpArrow);
    SpinUp->setAutoRepeat(true);
    SpinDown = new QToolButton(SpinButton1);
    SpinDown->setObjectName(QStringLiteral("SpinButton1Down"));
    SpinDown->setArrowType(Qt::DownArrow);
    SpinDown->setAutoRepeat(true);
    for (QToolButton *b : {SpinUp, SpinDown}) {
        b->setFixedSize(18, 12);
        b->setFocusPolicy(Qt::NoFocus);
        spinLayout->addWidget(b);
    }
    connect(SpinUp, &QToolButton::clicked, this, &TItemEditor::StepUp);
    connect(SpinDown, &QToolButton::clicked, this, &TItemEditor::StepDown);
    auto *hexRow = new QHBoxLayout;
    hexRow->setSpacing(2);
    hexRow->addWidget(Edit1, 1);
    hexRow->addWidget(SpinButton1);
    layout->addWidget(Label2);
    layout->addLayout(hexRow);
    layout->addStretch();

    AlphaSheet = makePage(EditorPages, QStringLiteral("AlphaSheet"), layout);
    Label3 = makeLabel(QStringLiteral("Label3"), AlphaSheet, QStringLiteral("buttonEditAlphanumChar"));
    Edit2 = new QLineEdit(AlphaSheet);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    layout->addWidget(Label3);
    layout->addWidget(Edit2);
    layout->addStretch();

    BoolSheet = makePage(EditorPages, QStringLiteral("BoolSheet"), layout);
    cSchalter = new QGroupBox(BoolSheet);
    cSchalter->setObjectName(QStringLiteral("cSchalter"));
    auto *boolLayout = new QVBoxLayout(cSchalter);
    RB_OK = new QRadioButton(cSchalter);
    RB_OK->setObjectName(QStringLiteral("RB_OK"));
    RB_NOT_OK = new QRadioButton(cSchalter);
    RB_NOT_OK->setObjectName(QStringLiteral("RB_NOT_OK"));
    boolLayout->addWidget(RB_OK);
    boolLayout->addWidget(RB_NOT_OK);
    layout->addWidget(cSchalter);
    layout->addStretch();

    TableSheet = makePage(EditorPages, QStringLiteral("TableSheet"), layout);
    Table = new TableGrid(TableSheet);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(Table);

    HTMLSource = makePage(EditorPages, QStringLiteral("HTMLSource"), layout);
    Memo1 = new QPlainTextEdit(HTMLSource);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(Memo1);

    PasswordSheet = makePage(EditorPages, QStringLiteral("PasswordSheet"), layout);
    MaskEdit = new QLineEdit(PasswordSheet);
    MaskEdit->setObjectName(QStringLiteral("MaskEdit"));
    SecureMaskEdit = new QLineEdit(PasswordSheet);
    SecureMaskEdit->setObjectName(QStringLiteral("SecureMaskEdit"));
    for (QLineEdit *e : {MaskEdit, SecureMaskEdit}) {
        e->setEchoMode(QLineEdit::Password);
        e->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
        connect(e, &QLineEdit::textChanged, this, &TItemEditor::UpdatePasswordOK);
    }
    layout->addWidget(makeLabel(QStringLiteral("PasswordLabel1"), PasswordSheet, QStringLiteral("Passwort eingeben")));
    layout->addWidget(MaskEdit);
    layout->addWidget(makeLabel(QStringLiteral("PasswordLabel2"), PasswordSheet,
                                QStringLiteral("Zur Sicherheit identisches Passwort eingeben.")));
    layout->addWidget(SecureMaskEdit);
    const QStringList warning = {QStringLiteral("Das Passwort kann nicht geändert werden wenn "),
                                 QStringLiteral("nicht beide Eingabefelder ein identisches Passwort"),
                                 QStringLiteral("enthalten.")};
    auto *warningLayout = new QVBoxLayout;
    warningLayout->setSpacing(0);
    for (qsizetype i = 0; i < warning.size(); ++i) {
        QLabel *label = makeLabel(QStringLiteral("PasswordWarning%1").arg(i + 1), PasswordSheet, warning.at(i));
        label->setStyleSheet(QStringLiteral("color: red"));
        warningLayout->addWidget(label);
    }
    layout->addSpacing(4);
    layout->addLayout(warningLayout);
    layout->addStretch();

    auto *buttonPanel = new QWidget(this);
    buttonPanel->setObjectName(QStringLiteral("ButtonPanel"));
    auto *buttonLayout = new QVBoxLayout(buttonPanel);
    buttonLayout->setContentsMargins(4, 6, 4, 6);
    buttonOK = new QPushButton(QStringLiteral("buttonOK"), buttonPanel);
    buttonOK->setObjectName(QStringLiteral("buttonOK"));
    buttonOK->setDefault(true);
    buttonCancel = new QPushButton(QStringLiteral("buttonCancel"), buttonPanel);
    buttonCancel->setObjectName(QStringLiteral("buttonCancel"));
    buttonHelp = new QPushButton(QStringLiteral("buttonHelp"), buttonPanel);
    buttonHelp->setObjectName(QStringLiteral("buttonHelp"));
    HTMLOpenBtn = new QPushButton(QStringLiteral("HTML File ..."), buttonPanel);
    HTMLOpenBtn->setObjectName(QStringLiteral("HTMLOpenBtn"));
    HTMLOpenBtn->hide();
    for (QPushButton *b : {buttonOK, buttonCancel, buttonHelp, HTMLOpenBtn})
        buttonLayout->addWidget(b);
    buttonLayout->addStretch();
    mainLayout->addWidget(buttonPanel);

    connect(buttonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(HTMLOpenBtn, &QPushButton::clicked, this, &TItemEditor::HTMLOpenBtnClick);
    // The button carries no action of its own: F1 opens the parameter's topic.
    auto *help = new QShortcut(QKeySequence::HelpContents, this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] { THelpViewer::instance().showContext(FHelpContext); });
}

TItemEditor::~TItemEditor()
{
    if (ItemEditor::instance() == this)
        ItemEditor::setInstance(nullptr);
    if (TBoolTool::instance().language == language)
        TBoolTool::instance().language = nullptr;
}

void TItemEditor::setLanguage(LanguageSelect *lang)
{
    language = lang;
    TBoolTool::instance().language = lang;
}

QString TItemEditor::translate(const QString &key) const
{
    return language ? language->translate(key) : key;
}

void TItemEditor::initCaptions()
{
    buttonOK->setText(translate(QStringLiteral("buttonOK")));
    buttonCancel->setText(translate(QStringLiteral("buttonCancel")));
    buttonHelp->setText(translate(QStringLiteral("buttonHelp")));
    lWert->setText(translate(QStringLiteral("buttonSelectValue")));
    Label2->setText(translate(QStringLiteral("buttonEditHexNumber")));
    Label3->setText(translate(QStringLiteral("buttonEditAlphanumChar")));
}

void TItemEditor::SetTopLeft(const QPoint &pos)
{
    FPlacePos = pos;
    FPlaceOnScreen = false;
    move(pos);
}

void TItemEditor::SetTopLeftOnScreen(const QPoint &pos, ScreenBottom area, int margin)
{
    FPlacePos = pos;
    FPlaceOnScreen = true;
    FPlaceArea = area;
    FPlaceMargin = margin;
    move(pos);
}

void TItemEditor::SetSelectList(const QStringList &entries)
{
    SelectList->clear();
    SelectList->addItems(entries);
}

void TItemEditor::SetBoolPage(const QString &heading, const QString &trueCaption, const QString &falseCaption)
{
    cSchalter->setTitle(heading);
    RB_OK->setText(trueCaption);
    RB_NOT_OK->setText(falseCaption);
}

void TItemEditor::ShowPage(QWidget *page)
{
    // Only the page shown counts for the dialog's size, so that the widest page (the
    // password page's warning) does not widen every other one.
    for (int i = 0; i < EditorPages->count(); ++i) {
        QWidget *p = EditorPages->widget(i);
        p->setSizePolicy(p == page ? QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred)
                                   : QSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored));
    }
    EditorPages->setCurrentWidget(page);
    EditorPages->updateGeometry();
    layout()->activate();
}

void TItemEditor::SetPageSize(int width, int height)
{
    FPageSize = QSize(width, height);
}

void TItemEditor::ApplyPageSize()
{
    // The layout may need more room than the page's nominal size in the platform's font.
    const QSize hint = minimumSizeHint();
    resize(qMax(FPageSize.width(), hint.width()), qMax(FPageSize.height(), hint.height()));
}

void TItemEditor::PreparePage(TFormat Format)
{
    FFormat = Format;
    SetPageSize(255, 132);
    sWert->setRange(0, 255);
    minval = 0;
    editable = true;
    buttonOK->setEnabled(true);
    HTMLOpenBtn->hide();

    const QString identifier = FItem ? FItem->Identifier() : QString();
    auto decimalStart = [this] {
        int64_t v = 0;
        return TryDecimalValue(FStartValue, v) ? v : int64_t(0);
    };
    auto setNumberPage = [&](int low, int high) {
        ShowPage(IntSheet);
        sWert->setRange(low, high);
        sWert->setValue(int(std::clamp<int64_t>(decimalStart(), low, std::max(low, high))));
    };
    auto setMaskPage = [&](const QString &mask) {
        ShowPage(MaskSheet);
        Label1->setText(identifier);
        MaskEdit1->setInputMask(InputMaskFromEditMask(mask));
        MaskEdit1->setText(FStartValue);
    };
    auto setHexPage = [&](qint64 maximum, int digits) {
        ShowPage(HexSheet);
        Edit1->setText(FStartValue);
        try {
            editval = HexStrToInt(FStartValue);
        } catch (const TorvaneError &) {
            editval = 0; // the stepper then starts from the bottom of the range
        }
        maxval = maximum;
        Stellenzahl = digits;
    };

    switch (Format) {
    case fmSerialNumber: setMaskPage(kSerialNumberMask); break;
    case fmIPAddress: setMaskPage(kIPAddressMask); break;
    case fmEthernetHardwareAddress: setMaskPage(kEthernetMask); break;
    case fmWord: setNumberPage(0, 65535); break;
    case fmByte:
    case fmPByte: setNumberPage(0, 255); break;
    case fmRestrictedByte: {
        const auto *restricted = dynamic_cast<const TRestrictedByteItem *>(FItem);
        setNumberPage(restricted ? restricted->min : 0, restricted ? restricted->max : 255);
        break;
    }
    case fm32Bit: setNumberPage(0, 2147483647); break;
    case fmHexASCII:
    case fmList:
    case fmVersion: {
        ShowPage(ListSheet);
        qsizetype longest = 0;
        for (int i = 0; i < SelectList->count(); ++i)
            longest = qMax(longest, SelectList->item(i)->text().size());
        SetPageSize(int(10 * longest + 120), 220);
        break;
    }
    case fmChar:
        ShowPage(AlphaSheet);
        Edit2->setMaxLength(1);
        Edit2->setText(FStartValue);
        break;
    case fmString: {
        ShowPage(AlphaSheet);
        const auto *text = dynamic_cast<const TTextItem *>(FItem);
        Edit2->setMaxLength(text ? qMax(0, text->TextLength()) : 32767);
        Edit2->setText(FStartValue);
        break;
    }
    case fmHexByte: setHexPage(255, 2); break;
    case fmHexWord: setHexPage(65535, 4); break;
    case fmHexLong: setHexPage(2147483647, 8); break;
    case fmFlag:
        ShowPage(BoolSheet);
        if (FStartValue == RB_OK->text())
            RB_OK->setChecked(true);
        else
            RB_NOT_OK->setChecked(true);
        SetPageSize(348, 132);
        break;
    case fmByteTuple:
    case fmWordTuple:
        ShowPage(TableSheet);
        SetPageSize(500, 380);
        FillTable(FItem);
        break;
    case fmHTMLSource: {
        ShowPage(HTMLSource);
        HTMLOpenBtn->show();
        SetPageSize(500, 380);
        const auto *html = dynamic_cast<const THTMLSourceItem *>(FItem);
        QString text = html ? html->HTMLText() : QString();
        Memo1->setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        break;
    }
    case fmPassword: {
        ShowPage(PasswordSheet);
        SetPageSize(390, 220);
        const auto *text = dynamic_cast<const TTextItem *>(FItem);
        const int length = text ? qMax(0, text->TextLength()) : 32767;
        for (QLineEdit *e : {MaskEdit, SecureMaskEdit}) {
            e->setMaxLength(length);
            e->setText(FStartValue);
        }
        UpdatePasswordOK();
        break;
    }
    case fmProfilMap: // has an editor of its own; nothing to show here
    default:
        editable = false;
        break;
    }
    if (editable)
        ApplyPageSize();
}

void TItemEditor::FillTable(TItem *Item)
{
    Table->clear();
    auto *tuple = dynamic_cast<TByteTupleItem *>(Item);
    if (!tuple) {
        Table->setRowCount(0);
        Table->setColumnCount(0);
        return;
    }
    const int columns = qMax(0, tuple->Columns);
    const int rows = tuple->RowCount();
    const QList<uint32_t> values = tuple->TableValues(); // raises when the table runs past the image
    // Row 0 and column 0 are the headings and row labels, so the value cells count from 1.
    Table->setRowCount(rows + 1);
    Table->setColumnCount(columns + 1);
    Table->horizontalHeader()->hide();
    Table->verticalHeader()->hide();
    auto fixedCell = [](const QString &text) {
        auto *cell = new QTableWidgetItem(text);
        cell->setFlags(Qt::ItemIsEnabled);
        cell->setBackground(QApplication::palette().button());
        return cell;
    };
    const QStringList headings = {tuple->ColName1, tuple->ColName2, tuple->ColName3, tuple->ColName4};
    Table->setItem(0, 0, fixedCell(QString()));
    for (int c = 1; c <= columns; ++c)
        Table->setItem(0, c, fixedCell(c <= headings.size() ? headings.at(c - 1) : QString()));
    for (int r = 1; r <= rows; ++r) {
        Table->setItem(r, 0, fixedCell(tuple->Identifier() + u' ' + QString::number(tuple->FStartIndex + r - 1)));
        for (int c = 1; c <= columns; ++c)
            Table->setItem(r, c, new QTableWidgetItem(QString()));
    }
    for (qsizetype k = 0; k < values.size() && columns > 0; ++k) {
        const int r = int(k / columns) + 1;
        const int c = int(k % columns) + 1;
        if (r <= rows)
            Table->item(r, c)->setText(QString::number(values.at(k)));
    }
    Table->resizeColumnsToContents();
    if (rows > 0 && columns > 0)
        Table->setCurrentCell(1, 1);
}

bool TItemEditor::Prepare(TItem *Item, TFormat Format, const QString &StartValue)
{
    FItem = Item;
    setWindowTitle(Item ? Item->Identifier() : QString());
    FHelpContext = Item ? Item->HelpContextNumber() : 0;
    FStartValue = StartValue;
    PreparePage(Format);
    if (Format == fmHexASCII || Format == fmList || Format == fmVersion) {
        SelectList->clearSelection();
        SelectList->setCurrentRow(-1);
        const QList<QListWidgetItem *> found = SelectList->findItems(StartValue, Qt::MatchExactly);
        if (!found.isEmpty())
            SelectList->setCurrentItem(found.first());
    }
    if (editable)
        ApplyPlacement();
    return editable;
}

QString TItemEditor::Edit(TItem *Item, TFormat Format, const QString &StartValue)
{
    if (!Prepare(Item, Format, StartValue))
        return StartValue;
    // Escape closes the dialog from any of its fields, also from a cell being edited.
    qApp->installEventFilter(this);
    const int outcome = exec();
    qApp->removeEventFilter(this);
    const QString result = outcome == QDialog::Accepted ? ResultText() : StartValue;
    HTMLOpenBtn->hide();
    return result;
}

QString TItemEditor::ResultText()
{
    switch (FFormat) {
    case fmSerialNumber:
    case fmIPAddress:
    case fmEthernetHardwareAddress:
        // The mask may have reshaped a start text it does not fit (a serial number with
        // hexadecimal letters); a field the user did not touch gives the start text back.
        return MaskEdit1->isModified() ? MaskEdit1->text() : FStartValue;
    case fmChar:
    case fmString: return Edit2->text();
    case fmHexASCII:
    case fmList:
    case fmVersion: {
        const QList<QListWidgetItem *> selected = SelectList->selectedItems();
        return selected.isEmpty() ? QString() : selected.first()->text();
    }
    case fmHexByte:
    case fmHexWord:
    case fmHexLong: return Edit1->text();
    case fmFlag: return RB_OK->isChecked() ? RB_OK->text() : RB_NOT_OK->text();
    case fmByteTuple:
    case fmWordTuple: {
        static_cast<TableGrid *>(Table)->commitEditing(); // a cell still being typed in counts
        QString result;
        for (int r = 1; r < Table->rowCount(); ++r)
            for (int c = 1; c < Table->columnCount(); ++c) {
                const QTableWidgetItem *cell = Table->item(r, c);
                result += (cell ? cell->text() : QString()) + u';';
            }
        return result;
    }
    case fmHTMLSource: return Memo1->toPlainText().split(u'\n').join(QStringLiteral("\r\n"));
    case fmPassword: return MaskEdit->text();
    case fmWord:
    case fmByte:
    case fmRestrictedByte:
    case fm32Bit:
    case fmPByte: {
        int64_t v = 0;
        const QString typed = sWert->cleanText().trimmed();
        if (!TryDecimalValue(typed, v))
            return QString::number(sWert->minimum());
        return QString::number(std::clamp<int64_t>(v, sWert->minimum(), sWert->maximum()));
    }
    case fmProfilMap: break;
    }
    return FStartValue;
}

QString TItemEditor::Refusal()
{
    const QString text = ResultText();
    // An unchanged text is not stored; no selection in a list stores nothing either.
    if (!FItem || text == FStartValue)
        return {};
    if (text.isEmpty() && (FFormat == fmHexASCII || FFormat == fmList || FFormat == fmVersion))
        return {};
    return EditorRefusal(*FItem, text);
}

void TItemEditor::accept()
{
    // A text the parameter could not store keeps the dialog open, so nothing half-written
    // reaches the image and the user can correct it.
    const QString refusal = Refusal();
    if (!refusal.isEmpty()) {
        UserPrompts::instance().showMessage(refusal, windowTitle(), PromptIcon::Warning);
        return;
    }
    QDialog::accept();
}

void TItemEditor::UpdatePasswordOK()
{
    if (EditorPages->currentWidget() == PasswordSheet)
        buttonOK->setEnabled(MaskEdit->text() == SecureMaskEdit->text());
}

void TItemEditor::ShowHexValue()
{
    Edit1->setText(IntToHex(uint32_t(editval), Stellenzahl));
}

void TItemEditor::StepUp()
{
    if (editval < maxval) {
        ++editval;
        ShowHexValue();
    }
}

void TItemEditor::StepDown()
{
    if (editval > minval) {
        --editval;
        ShowHexValue();
    }
}

void TItemEditor::HTMLOpenBtnClick()
{
    const QString path = UserPrompts::instance().openFile(QStringLiteral("load HTML File"), QString(),
                                                           QStringLiteral("HTML Files|*.html;*.htm"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        UserPrompts::instance().showMessage(path + QStringLiteral(": ") + file.errorString(), windowTitle(),
                                            PromptIcon::Error);
        return;
    }
    // One character per byte, as the image stores it, so the file's bytes reach the device as they are.
    QString text = QString::fromLatin1(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo1->setPlainText(text);
    if (Memo1->toPlainText().split(u'\n').join(QStringLiteral("\r\n")).size() > kHTMLFileLimit)
        UserPrompts::instance().showMessage(QStringLiteral("HTMLFile too large"), windowTitle(), PromptIcon::Warning);
}

void TItemEditor::ApplyPlacement()
{
    FPlacing = true;
    QPoint pos = FPlacePos;
    const int height = frameGeometry().height() > 0 && isVisible() ? frameGeometry().height() : this->height();
    if (FPlaceOnScreen) {
        QScreen *screen = screenFor(pos);
        const QRect area = FPlaceArea == ScreenBottom::Screen ? screen->geometry() : screen->availableGeometry();
        if (pos.y() + height > screen->geometry().bottom() + 1)
            pos.setY(area.bottom() + 1 - height - FPlaceMargin);
    }
    move(pos);
    FPlacing = false;
    KeepAboveWorkArea();
}

void TItemEditor::KeepAboveWorkArea()
{
    QScreen *screen = screenFor(pos());
    const QRect work = screen->availableGeometry();
    const QRect frame = frameGeometry();
    const int height = frame.height() > 0 ? frame.height() : this->height();
    if (y() + height > work.bottom() + 1)
        move(x(), work.bottom() + 1 - kWorkAreaMargin - height);
}

bool TItemEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        auto *widget = qobject_cast<QWidget *>(watched);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && widget && widget->window() == this
            && isVisible()) {
            if (event->type() == QEvent::KeyPress)
                reject();
            event->accept();
            return true;
        }
        if (watched == Edit1 && event->type() == QEvent::KeyPress) {
            switch (key->key()) {
            case Qt::Key_Up:
            case Qt::Key_PageUp: StepUp(); return true;
            case Qt::Key_Down:
            case Qt::Key_PageDown: StepDown(); return true;
            default: break;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TItemEditor::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        initCaptions();
    QDialog::changeEvent(event);
}

void TItemEditor::showEvent(QShowEvent *event)
{
    initCaptions();
    QDialog::showEvent(event);
    KeepAboveWorkArea();
}

void TItemEditor::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (!FPlacing && isVisible())
        KeepAboveWorkArea();
}

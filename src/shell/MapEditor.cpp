#include "shell/MapEditor.h"

#include "base/GeneralError.h"
#include "base/IniFile.h"
#include "base/TextHelpers.h"
#include "localisation/LanguageSelect.h"
#include "model/IndexStream.h"
#include "model/Mapping.h"
#include "model/ProfilMapTool.h"
#include "platform/UserPrompts.h"
#include "shell/GWMainForm.h"
#include "shell/SelectStringGrid.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Tree node roles: what a node stands for.
constexpr int kKindRole = Qt::UserRole;
constexpr int kPointerRole = Qt::UserRole + 1; // the entry of an entry node
constexpr int kClassRole = Qt::UserRole + 2;   // the class number of a class node
enum NodeKind { RootNode = 1, ClassNode = 2, EntryNode = 3 };

// The value object a value cell of SG carries.
constexpr int kValueRole = Qt::UserRole;

// Overview columns.
constexpr int kColCanCobId = 1;
constexpr int kColCanCobByte = 2;
constexpr int kColFbCobId = 3;
constexpr int kColFbCobByte = 4;
constexpr int kColGuard = 5;
constexpr int kColEmergency = 6;

const QString kCobIdMapping = QStringLiteral("COB-ID Byte Mapping");
const QString kGuardMapping = QStringLiteral("Node Guard Mapping");
const QString kEmergencyMapping = QStringLiteral("Emergency Data Mapping");
const QString kDefaultBusByteName = QStringLiteral("Profibus Byte");

QTableWidgetItem *fixedItem(const QString &text, const QPalette &palette)
{
    auto *it = new QTableWidgetItem(text);
    it->setFlags(Qt::ItemIsEnabled);
    it->setBackground(palette.button());
    it->setForeground(palette.buttonText());
    return it;
}

// The overview row of a fieldbus byte given as text, or -1 when the text names no byte of
// the overview (a damaged table or a value typed into the grid must not reach outside it).
int overviewRowOf(const QString &byteText)
{
    bool ok = false;
    const int b = byteText.trimmed().toInt(&ok);
    if (!ok || b < 0 || b >= TProfilMapEditor::kBusBytes)
        return -1;
    return b + TProfilMapEditor::kHeaderRows;
}

} // namespace

TProfilMapEditor::TProfilMapEditor(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TProfilMapEditor"));
    setModal(true);
    resize(880, 560);

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(4, 4, 4, 0);
    auto *body = new QHBoxLayout;
    mainLayout->addLayout(body, 1);

    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setFixedWidth(185);
    TreeView1->setHeaderHidden(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->installEventFilter(this);
    body->addWidget(TreeView1);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("Splitter1"));
    body->addWidget(split, 1);

    auto *valuePane = new QWidget(split);
    auto *valueLayout = new QVBoxLayout(valuePane);
    valueLayout->setContentsMargins(0, 0, 0, 0);
    SG = new TSelectStringGrid(valuePane);
    SG->setObjectName(QStringLiteral("SG"));
    SG->setColumnCount(2);
    SG->horizontalHeader()->hide();
    SG->verticalHeader()->hide();
    SG->setColumnWidth(0, 150);
    SG->verticalHeader()->setDefaultSectionSize(SG->fontMetrics().height() + 8);
    SG->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SG->CanEditCell = [this](int row, int col) { return col == 1 && ValueOfRow(row) != nullptr; };
    valueLayout->addWidget(SG, 1);
    Button1 = new QPushButton(QStringLiteral("Apply"), valuePane);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    auto *applyRow = new QHBoxLayout;
    applyRow->addStretch();
    applyRow->addWidget(Button1);
    valueLayout->addLayout(applyRow);

    outgid = new QTableWidget(kOverviewRows, 7, split);
    outgid->setObjectName(QStringLiteral("outgid"));
    outgid->horizontalHeader()->hide();
    outgid->verticalHeader()->hide();
    outgid->verticalHeader()->setDefaultSectionSize(outgid->fontMetrics().height() + 6);
    outgid->setSelectionMode(QAbstractItemView::SingleSelection);
    outgid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                            | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    outgid->setColumnWidth(0, 90);
    for (int c = 1; c < 7; ++c)
        outgid->setColumnWidth(c, c < kColGuard ? 86 : 110);
    split->addWidget(outgid);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    // Room for the largest entry of the example devices (four values) without scrolling.
    split->setSizes({220, 300});

    ComboBox1 = new QComboBox(outgid->viewport());
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->hide();
    ComboBox1->installEventFilter(this);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn3 = new QPushButton(QStringLiteral("Help"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->hide();
    // Enter belongs to the grids' cell editors, not to a default button.
    for (QPushButton *b : {BitBtn1, BitBtn2, BitBtn3}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        buttons->addWidget(b);
    }
    mainLayout->addLayout(buttons);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        FPanels[i] = new QLabel(status);
        FPanels[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        FPanels[i]->setMinimumWidth(120);
        status->addWidget(FPanels[i], i == 2 ? 1 : 0);
    }
    mainLayout->addWidget(status);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    New1 = PopupMenu1->addMenu(QStringLiteral("New"));
    New1->setObjectName(QStringLiteral("New1"));
    PopupMenu1->addSeparator();
    delete1 = PopupMenu1->addAction(QStringLiteral("Delete"));
    delete1->setObjectName(QStringLiteral("delete1"));

    // The main window's caption translation reaches every named object below it, this window
    // included: the texts filled at run time stay out of it.
    for (QObject *o : std::initializer_list<QObject *>{FPanels[0], FPanels[1], FPanels[2], PopupMenu1, New1, delete1})
        o->setProperty("torvaneNoCaption", true);

    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current, QTreeWidgetItem *) { TreeView1Change(current); });
    connect(TreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (QTreeWidgetItem *node = TreeView1->itemAt(pos))
            TreeView1->setCurrentItem(node);
        PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(pos));
    });
    connect(SG, &TSelectStringGrid::SelectCell, this, &TProfilMapEditor::SGSelectCell);
    connect(SG, &TSelectStringGrid::SetEditText, this, &TProfilMapEditor::SGSetEditText);
    connect(outgid, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) { outgidSelectCell(col, row); });
    connect(outgid, &QTableWidget::cellClicked, this, [this](int, int) { outgidClick(); });
    connect(ComboBox1, &QComboBox::activated, this, [this](int) { ComboBox1Exit(); });
    connect(Button1, &QPushButton::clicked, this, &TProfilMapEditor::Button1Click);
    connect(delete1, &QAction::triggered, this, &TProfilMapEditor::delete1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    ClearOverview();
    WriteOverviewHeaders();
    HideValueGrid();
}

TProfilMapEditor::~TProfilMapEditor()
{
    if (MappingEditor::instance() == this)
        MappingEditor::setInstance(nullptr);
}

QString TProfilMapEditor::translate(const QString &key) const
{
    return language ? language->translate(key) : key;
}

QString TProfilMapEditor::PanelText(int panel) const
{
    return panel >= 0 && panel < 3 ? FPanels[panel]->text() : QString();
}

void TProfilMapEditor::SetPanel(int panel, const QString &text)
{
    FPanels[panel]->setText(text);
}

QString TProfilMapEditor::BusnameOf(const QString &caption)
{
    const qsizetype dash = caption.indexOf(u'-');
    if (dash < 0)
        return {};
    const qsizetype blank = caption.indexOf(u' ');
    if (blank >= 0 && blank < dash)
        return {};
    return blank < 0 ? caption.mid(dash + 1) : caption.mid(dash + 1, blank - dash - 1);
}

TMapItem *TProfilMapEditor::ItemOf(const QTreeWidgetItem *node)
{
    if (!node || node->data(0, kKindRole).toInt() != EntryNode)
        return nullptr;
    return reinterpret_cast<TMapItem *>(node->data(0, kPointerRole).value<quintptr>());
}

// --- overview -----------------------------------------------------------------------------------

QString TProfilMapEditor::OverviewText(int row, int col) const
{
    const QTableWidgetItem *it = outgid->item(row, col);
    return it ? it->text() : QString();
}

void TProfilMapEditor::SetOverview(int row, int col, const QString &text)
{
    if (QTableWidgetItem *it = outgid->item(row, col))
        it->setText(text);
}

void TProfilMapEditor::AppendOverview(int row, int col, const QString &text)
{
    const QString old = OverviewText(row, col);
    SetOverview(row, col, old.isEmpty() ? text : old + QStringLiteral(" / ") + text);
}

void TProfilMapEditor::ClearOverview()
{
    const QSignalBlocker block(outgid);
    outgid->setRowCount(kOverviewRows);
    for (int r = kHeaderRows; r < kOverviewRows; ++r)
        for (int c = 1; c < 7; ++c) {
            auto *it = new QTableWidgetItem;
            // Guard byte and emergency data are chosen with the picker, not typed.
            it->setFlags(c < kColGuard ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                       : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            outgid->setItem(r, c, it);
        }
}

void TProfilMapEditor::WriteOverviewHeaders()
{
    const QSignalBlocker block(outgid);
    const QPalette pal = palette();
    const QStringList row0 = {QString(), QStringLiteral("CAN to FB"), QStringLiteral(" "), QStringLiteral("FB to CAN"),
                              QStringLiteral(" "), QString(), QString()};
    const QStringList row1 = {Busbytename.isEmpty() ? kDefaultBusByteName : Busbytename,
                              QStringLiteral("COB-ID"), QStringLiteral("COB-ID-Byte"), QStringLiteral("COB-ID"),
                              QStringLiteral("COB-ID-Byte"), QStringLiteral("Guard Byte"), QStringLiteral("Emergency Data")};
    for (int c = 0; c < 7; ++c) {
        outgid->setItem(0, c, fixedItem(row0[c], pal));
        outgid->setItem(1, c, fixedItem(row1[c], pal));
    }
    for (int b = 0; b < kBusBytes; ++b)
        outgid->setItem(b + kHeaderRows, 0, fixedItem(QString::number(b), pal));
}

QStringList TProfilMapEditor::SectionValues(const QString &name, QString *lastKey)
{
    QStringList values;
    if (!FTool || !FMapping || !FTool->Datei())
        return values;
    const QString section = FTool->GetSectionIdentifier(FMapping->DeviceType(), FMapping->Data()->GetByteIDX(0), name);
    if (section.isEmpty())
        return values;
    if (const QList<IniFile::Entry> *entries = FTool->Datei()->entries(section)) {
        for (const IniFile::Entry &e : *entries) {
            if (!e.hasEquals)
                continue;
            values.append(e.value);
            if (lastKey)
                *lastKey = e.key;
        }
    }
    return values;
}

// --- opening ---------------------------------------------------------------------------------------

void TProfilMapEditor::Prepare(TMapping &Mapping, TProfilMapTool &Tool)
{
    edited = false;
    tabedited = false;
    comboexitedit = false;
    direction.clear();
    ComboBox1->hide();
    ClearOverview();
    {
        const QSignalBlocker block(outgid);
        outgid->setCurrentCell(-1, -1);
    }
    FOverviewRow = FOverviewCol = -1;

    FMapping = &Mapping;
    FTool = &Tool;
    ActualNode = nullptr;
    for (QLabel *panel : FPanels)
        panel->clear();
    HideValueGrid();
    {
        const QSignalBlocker block(TreeView1);
        TreeView1->clear();
    }
    auto *root = new QTreeWidgetItem(TreeView1, {Mapping.Caption()});
    root->setData(0, kKindRole, int(RootNode));

    Busname = BusnameOf(Mapping.Caption());
    setWindowTitle(QStringLiteral("Profile Editor [CANopen ") + Busname + QStringLiteral(" Mapping Editor") + u']');

    Busbytename.clear();
    SectionValues(kCobIdMapping, &Busbytename);
    directions = SectionValues(QStringLiteral("direction"));
    Guardbytes = SectionValues(QStringLiteral("Guard Byte"));
    Emergencybytes = SectionValues(QStringLiteral("Emergency Data"));
    WriteOverviewHeaders();

    const QString busByteKey = Busbytename.toUpper();
    {
        const QSignalBlocker block(TreeView1);
        for (const auto &entry : Mapping.Items()) {
            if (!entry->CanDisplay())
                continue;
            AddItemNode(entry.get());
            QString dir, cobId, cobByte, guard, emergency;
            int row = -1;
            for (const auto &v : entry->Values()) {
                const QString cap = v->Caption().toUpper();
                if (cap == QLatin1String("DIRECTION"))
                    dir = v->Value();
                else if (cap == QLatin1String("COB-ID"))
                    cobId = v->Value();
                else if (cap == QLatin1String("COB-ID BYTE"))
                    cobByte = v->Value();
                else if (cap == QLatin1String("GUARD BYTE"))
                    guard = v->Value();
                else if (cap == QLatin1String("EMERGENCY DATA"))
                    emergency = v->Value();
                if (!busByteKey.isEmpty() && cap == busByteKey)
                    row = overviewRowOf(QString::number(v->IntValue()));
            }
            if (row < 0)
                continue;
            const QString upper = dir.toUpper();
            if (upper.contains(QLatin1String("CANOPEN TO"))) {
                AppendOverview(row, kColCanCobId, cobId);
                AppendOverview(row, kColCanCobByte, cobByte);
            } else if (upper.contains(QLatin1String("TO CANOPEN"))) {
                AppendOverview(row, kColFbCobId, cobId);
                AppendOverview(row, kColFbCobByte, cobByte);
            }
            if (!guard.isEmpty())
                SetOverview(row, kColGuard, guard);
            if (!emergency.isEmpty())
                SetOverview(row, kColEmergency, emergency);
        }
    }
    BuildNewMenu();
    root->setExpanded(true);
    delete1->setEnabled(false);
}

void TProfilMapEditor::BuildNewMenu()
{
    New1->clear();
    QStringList types;
    const QString supported = FTool->GetSuppMapTypeString(FMapping->DeviceType(), FMapping->SoftwareRevision());
    FTool->GetSuppMapTypeText(FMapping->DeviceType(), supported, true, types);
    for (const QString &type : std::as_const(types)) {
        QAction *a = New1->addAction(QString(type).replace(u'&', QStringLiteral("&&")));
        connect(a, &QAction::triggered, this, [this, type] { OnAddClicking(type); });
    }
    New1->menuAction()->setVisible(!types.isEmpty());
}

bool TProfilMapEditor::Edit(TMapping &Mapping, TProfilMapTool &Tool)
{
    Prepare(Mapping, Tool);
    FInEdit = true;
    const int result = QDialog::exec();
    FInEdit = false;
    ComboBox1->hide();
    // The table may be read afresh or freed once the caller has it back: nothing here keeps
    // hold of its values.
    HideValueGrid();
    ForgetValueHandlers();
    return result == QDialog::Accepted;
}

int TProfilMapEditor::ShowModal()
{
    UserPrompts::instance().showMessage(QStringLiteral("Error, use Edit instead of ShowModal"), windowTitle(),
                                        PromptIcon::Error);
    return QDialog::Rejected;
}

int TProfilMapEditor::exec()
{
    // Without a table the window has nothing to show: only Edit runs it.
    if (!FInEdit)
        return ShowModal();
    return QDialog::exec();
}

void TProfilMapEditor::ForgetValueHandlers()
{
    if (!FMapping)
        return;
    for (const auto &entry : FMapping->Items())
        for (const auto &v : entry->Values()) {
            v->OnCheckOK = nullptr;
            v->OnCheckFailure = nullptr;
        }
}

void TProfilMapEditor::FormShow()
{
    TreeView1->setFocus();
    BitBtn1->setText(translate(QStringLiteral("buttonOK")));
    BitBtn2->setText(translate(QStringLiteral("buttonCancel")));
    BitBtn3->setText(translate(QStringLiteral("buttonHelp")));
    Button1->setText(translate(QStringLiteral("buttonApply")));
    New1->setTitle(translate(QStringLiteral("popupMenuNew")));
    delete1->setText(translate(QStringLiteral("popupMenuDelete")));
}

void TProfilMapEditor::FormResize()
{
    SG->setColumnWidth(1, qMax(40, SG->viewport()->width() - SG->columnWidth(0) - 3));
}

void TProfilMapEditor::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
    FormResize();
}

void TProfilMapEditor::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

bool TProfilMapEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TreeView1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Insert || key == Qt::Key_Delete) {
            TreeView1KeyDown(key);
            return true;
        }
    } else if (watched == ComboBox1 && event->type() == QEvent::FocusOut) {
        // Opening its own list is no leaving.
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            ComboBox1Exit();
    }
    return QDialog::eventFilter(watched, event);
}

// --- tree ----------------------------------------------------------------------------------------

QTreeWidgetItem *TProfilMapEditor::FindClassNode(uint8_t classId)
{
    QTreeWidgetItem *root = TreeView1->topLevelItemCount() ? TreeView1->topLevelItem(0) : nullptr;
    if (!root) {
        root = new QTreeWidgetItem(TreeView1, {FMapping ? FMapping->Caption() : QString()});
        root->setData(0, kKindRole, int(RootNode));
    }
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem *node = root->child(i);
        if (node->data(0, kKindRole).toInt() == ClassNode && node->data(0, kClassRole).toInt() == classId)
            return node;
    }
    QString caption = FTool ? FTool->GetClassName(classId) : QString();
    if (caption.isEmpty())
        caption = QStringLiteral("0x") + IntToHex(classId, 2);
    auto *node = new QTreeWidgetItem(root, {caption});
    node->setData(0, kKindRole, int(ClassNode));
    node->setData(0, kClassRole, int(classId));
    return node;
}

QTreeWidgetItem *TProfilMapEditor::AddItemNode(TMapItem *item)
{
    QTreeWidgetItem *classNode = FindClassNode(item->MapClass());
    auto *node = new QTreeWidgetItem(classNode, {item->Caption()});
    node->setData(0, kKindRole, int(EntryNode));
    node->setData(0, kPointerRole, QVariant::fromValue(reinterpret_cast<quintptr>(item)));
    return node;
}

QTreeWidgetItem *TProfilMapEditor::LastNodeNamed(const QString &caption) const
{
    QTreeWidgetItem *found = nullptr;
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it)
        if ((*it)->data(0, kKindRole).toInt() == EntryNode && (*it)->text(0).compare(caption, Qt::CaseInsensitive) == 0)
            found = *it;
    return found;
}

TMapItem *TProfilMapEditor::AddMapItem(const QString &typeName)
{
    if (!FMapping || !FTool)
        return nullptr;
    QString name = typeName;
    const qsizetype amp = name.indexOf(u'&');
    if (amp >= 0)
        name.remove(amp, 1);
    const QString operation = QStringLiteral("AddMapItem");
    const QString cls = QStringLiteral("TProfilMapEditor");
    std::unique_ptr<TMapItem> item;
    try {
        item = FTool->MakeMapItem(FTool->IDFromName(FMapping->DeviceType(), name), FMapping);
    } catch (const TorvaneError &e) {
        UserPrompts::instance().showMessage(e.message(), windowTitle(), PromptIcon::Warning);
        return nullptr;
    }
    // An unknown name reads as type 0; an entry that cannot be created would be dropped
    // silently when the table is stored. Neither is added.
    QString problem;
    if (item->Size() == 0 || item->Caption().compare(name, Qt::CaseInsensitive) != 0)
        problem = FormatText(translate(QStringLiteral("exceptionGWEintragMapTypeUnknown")), {cls, operation, name});
    else if (!item->CanCreate())
        problem = FormatText(translate(QStringLiteral("exceptionGWEintragMapTypeNotCreatable")), {cls, operation, name});
    else
        problem = item->LayoutProblem();
    if (!problem.isEmpty()) {
        UserPrompts::instance().showMessage(problem, windowTitle(), PromptIcon::Warning);
        return nullptr;
    }
    TMapItem *added = FMapping->Add(std::move(item));
    {
        const QSignalBlocker block(TreeView1);
        ActualNode = AddItemNode(added);
    }
    return added;
}

void TProfilMapEditor::DeleteItemNode(QTreeWidgetItem *node)
{
    TMapItem *item = ItemOf(node);
    if (!item || !FMapping)
        return;
    // The value grid may show the entry's values: drop them before the entry goes.
    HideValueGrid();
    {
        const QSignalBlocker block(TreeView1);
        QTreeWidgetItem *classNode = FindClassNode(item->MapClass());
        if (ActualNode == node)
            ActualNode = nullptr;
        delete node;
        if (classNode->childCount() == 0) {
            if (ActualNode == classNode)
                ActualNode = nullptr;
            delete classNode;
        }
        FMapping->Remove(item);
    }
    TreeView1Change(TreeView1->currentItem());
}

void TProfilMapEditor::delete1Click()
{
    DeleteItemNode(ActualNode);
}

void TProfilMapEditor::TreeView1KeyDown(int key)
{
    QTreeWidgetItem *node = TreeView1->currentItem();
    if (key == Qt::Key_Insert) {
        const QRect r = node ? TreeView1->visualItemRect(node) : QRect();
        PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(r.bottomLeft()));
    } else if (key == Qt::Key_Delete) {
        DeleteItemNode(node);
    }
}

void TProfilMapEditor::OnAddClicking(const QString &typeName)
{
    TMapItem *item = AddMapItem(typeName);
    if (!item)
        return;
    QTreeWidgetItem *node = ActualNode;
    {
        const QSignalBlocker block(TreeView1);
        TreeView1->setCurrentItem(node);
    }
    TreeView1Change(node);
}

// --- value grid ------------------------------------------------------------------------------------

void TProfilMapEditor::HideValueGrid()
{
    SG->CommitEditor();
    {
        const QSignalBlocker block(SG);
        SG->setRowCount(0);
    }
    SG->hide();
    Button1->hide();
}

TMapValue *TProfilMapEditor::ValueOfRow(int row) const
{
    const QTableWidgetItem *it = SG->item(row, 1);
    return it ? reinterpret_cast<TMapValue *>(it->data(kValueRole).value<quintptr>()) : nullptr;
}

QString TProfilMapEditor::ValueCellText(int row) const
{
    const QTableWidgetItem *it = SG->item(row, 1);
    return it ? it->text() : QString();
}

QString TProfilMapEditor::ValueCaption(int row) const
{
    const QTableWidgetItem *it = SG->item(row, 0);
    return it ? it->text() : QString();
}

void TProfilMapEditor::SetValueCell(int row, const QString &text)
{
    if (QTableWidgetItem *it = SG->item(row, 1)) {
        it->setText(text);
        SGSetEditText(1, row, text);
    }
}

void TProfilMapEditor::TreeView1Change(QTreeWidgetItem *Node)
{
    ActualNode = Node;
    TMapItem *item = ItemOf(Node);
    delete1->setEnabled(item != nullptr);
    if (!item) {
        HideValueGrid();
        return;
    }
    WriteOverviewHeaders();
    SG->show();
    Button1->show();
    FormResize();
    if (item->ValueCount() == 0) {
        HideValueGrid();
        return;
    }

    SG->CommitEditor();
    {
        const QSignalBlocker block(SG);
        const QPalette pal = palette();
        SG->clearContents();
        SG->setRowCount(item->ValueCount() + kFirstValueRow);
        SG->setItem(0, 0, fixedItem(QStringLiteral("Name"), pal));
        SG->setItem(0, 1, fixedItem(QStringLiteral("Value"), pal));
        SG->setItem(1, 0, fixedItem(QString(), pal));
        SG->setItem(1, 1, fixedItem(QString(), pal));
        for (int c = 0; c < 2; ++c) {
            auto *blank = new QTableWidgetItem;
            blank->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            SG->setItem(2, c, blank);
        }
        for (int i = 0; i < item->ValueCount(); ++i) {
            TMapValue *v = item->Value(i);
            auto *name = new QTableWidgetItem(v->Caption());
            name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            SG->setItem(i + kFirstValueRow, 0, name);
            auto *value = new QTableWidgetItem(v->Value());
            value->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
            value->setData(kValueRole, QVariant::fromValue(reinterpret_cast<quintptr>(v)));
            SG->setItem(i + kFirstValueRow, 1, value);
        }
    }

    const QString caption = item->Caption();
    if (tabedited) {
        if (caption.compare(kGuardMapping, Qt::CaseInsensitive) == 0) {
            SetValueCell(3, outgidguardmap);
            SetValueCell(4, QString::number(outgidprofibusbyte));
            tabedited = false;
        } else if (caption.compare(kEmergencyMapping, Qt::CaseInsensitive) == 0) {
            SetValueCell(3, outgidemergencymap);
            SetValueCell(4, QString::number(outgidprofibusbyte));
            tabedited = false;
        }
    }

    // The entry's fieldbus byte and, from it, its overview row.
    const QString caption3 = ValueCaption(3);
    int busRow = -1;
    if (caption3.contains(QLatin1String("Direction"), Qt::CaseInsensitive)) {
        busRow = 6;
        if (!ValueCaption(6).isEmpty())
            SetOverview(1, 0, ValueCaption(6));
    } else if (caption3.contains(QLatin1String("Guard Byte"), Qt::CaseInsensitive)
               || caption3.contains(QLatin1String("Emergency Data"), Qt::CaseInsensitive)) {
        busRow = 4;
    }
    const int row = busRow >= 0 ? overviewRowOf(ValueCellText(busRow)) : -1;
    // Selections made here are not the user leaving a cell: they must not start a quick add.
    auto selectOverview = [this](int r, int c) {
        const QSignalBlocker block(outgid);
        outgid->setCurrentCell(r, c);
        FOverviewRow = r;
        FOverviewCol = c;
    };
    if (row >= 0) {
        const QString value3 = ValueCellText(3).toUpper();
        const QString value4 = ValueCellText(4);
        if (value3.contains(QLatin1String("CANOPEN TO")) && value4 != QLatin1String("000")) {
            SetOverview(row, kColCanCobId, value4);
            SetOverview(row, kColCanCobByte, ValueCellText(5));
            selectOverview(row, kColCanCobId);
        } else if (value3.contains(QLatin1String("TO CANOPEN")) && value4 != QLatin1String("000")) {
            SetOverview(row, kColFbCobId, value4);
            SetOverview(row, kColFbCobByte, ValueCellText(5));
            selectOverview(row, kColFbCobId);
        }
        const QString upper3 = caption3.toUpper();
        const int col = upper3.contains(QLatin1String("GUARD"))      ? kColGuard
                        : upper3.contains(QLatin1String("EMERGENCY")) ? kColEmergency
                                                                       : -1;
        if (col > 0 && edited) {
            const bool wasEmpty = OverviewText(row, col).isEmpty();
            SetOverview(row, col, ValueCellText(3));
            if (wasEmpty)
                edited = false;
            if (!comboexitedit)
                selectOverview(row, col);
        }
    }

    SG->setCurrentCell(2, 1);

    if (tabedited && caption.compare(kCobIdMapping, Qt::CaseInsensitive) == 0) {
        SetValueCell(3, direction);
        SetValueCell(4, soutgidcobid);
        SetValueCell(5, QString::number(outgidcobidbyte));
        SetValueCell(6, QString::number(outgidprofibusbyte));
        tabedited = false;
    }
}

void TProfilMapEditor::SGSelectCell(int ACol, int ARow)
{
    SG->SetButtonStyle(cbsNone);
    TMapValue *v = ACol == 1 ? ValueOfRow(ARow) : nullptr;
    if (!v)
        return;
    v->OnCheckFailure = [this](TObject *sender) { OnRangeCheckFailure(sender); };
    v->OnCheckOK = [this](TObject *sender) { OnRangeOK(sender); };
    SetPanel(0, FTool ? FTool->GetEditTypeName(v->DisplayType()) : QString());
    SetPanel(1, v->GetRangeText());
    SetPanel(2, QString());
    if (v->DisplayType() == dtListe) {
        SetPanel(1, QString());
        SG->SetButtonStyle(cbsPickListe);
        SG->DatenListe = v->Values();
    }
}

void TProfilMapEditor::SGSetEditText(int ACol, int ARow, const QString &Value)
{
    TMapValue *v = ACol == 1 ? ValueOfRow(ARow) : nullptr;
    if (!v)
        return;
    v->OnCheckFailure = [this](TObject *sender) { OnRangeCheckFailure(sender); };
    v->OnCheckOK = [this](TObject *sender) { OnRangeOK(sender); };
    try {
        v->SetValue(Value);
    } catch (const TorvaneError &) {
        // A malformed number is a range error like any other: the value keeps its content.
        OnRangeCheckFailure(v);
    }
    edited = true;
}

void TProfilMapEditor::OnRangeCheckFailure(TObject *)
{
    SetPanel(2, translate(QStringLiteral("GW_MAPEditor_errorRangeError")));
    UserPrompts::instance().beep();
}

void TProfilMapEditor::OnRangeOK(TObject *)
{
    SetPanel(2, QString());
}

void TProfilMapEditor::Button1Click()
{
    TreeView1Change(ActualNode);
}

// --- overview interaction ---------------------------------------------------------------------------

void TProfilMapEditor::outgidClick()
{
    const QString text = OverviewText(outgid->currentRow(), outgid->currentColumn());
    SetPanel(1, text);
    tabedited = text.isEmpty();
}

void TProfilMapEditor::outgidSelectCell(int ACol, int ARow)
{
    // The cell being left is the one the handler saw last.
    const int leftRow = FOverviewRow;
    const int leftCol = FOverviewCol;
    FOverviewRow = ARow;
    FOverviewCol = ACol;

    direction.clear();
    bool added = false;
    if (ACol < kColGuard && leftRow >= kHeaderRows && tabedited && !OverviewText(leftRow, leftCol).isEmpty()) {
        int first = -1;
        int dirIndex = 0;
        if (leftCol == kColCanCobId || leftCol == kColCanCobByte) {
            first = kColCanCobId;
            dirIndex = 0;
        } else if (leftCol == kColFbCobId || leftCol == kColFbCobByte) {
            first = kColFbCobId;
            dirIndex = 1;
        }
        if (first > 0 && !OverviewText(leftRow, first).isEmpty() && !OverviewText(leftRow, first + 1).isEmpty()) {
            if (AddMapItem(kCobIdMapping)) {
                added = true;
                outgidprofibusbyte = leftRow - kHeaderRows;
                direction = directions.value(dirIndex);
                soutgidcobid = OverviewText(leftRow, first).trimmed();
                try {
                    outgidcobid = int(HexStrToInt(soutgidcobid));
                } catch (const TorvaneError &) {
                    outgidcobid = 0;
                }
                outgidcobidbyte = OverviewText(leftRow, first + 1).trimmed().toInt();
            }
        }
    }
    if (added) {
        QTreeWidgetItem *node = LastNodeNamed(kCobIdMapping);
        if (!node)
            node = TreeView1->topLevelItem(0);
        {
            const QSignalBlocker block(TreeView1);
            TreeView1->setCurrentItem(node);
        }
        TreeView1Change(node);
    }

    if ((ACol == kColGuard || ACol == kColEmergency) && ARow >= kHeaderRows) {
        FComboRow = ARow;
        FComboCol = ACol;
        ComboBox1->clear();
        ComboBox1->addItems(ACol == kColGuard ? Guardbytes : Emergencybytes);
        ComboBox1->setCurrentIndex(ComboBox1->findText(OverviewText(ARow, ACol)));
        ComboBox1->setGeometry(outgid->visualRect(outgid->model()->index(ARow, ACol)));
        ComboBox1->show();
        ComboBox1->setFocus();
    }
}

void TProfilMapEditor::ComboBox1Exit()
{
    if (FComboExiting || !ComboBox1->isVisible())
        return;
    FComboExiting = true;
    ComboBox1->hide();
    const int row = FComboRow;
    const int col = FComboCol;
    if (ComboBox1->currentIndex() >= 0)
        SetOverview(row, col, ComboBox1->currentText());
    const QString text = OverviewText(row, col);
    if (row >= kHeaderRows && !text.isEmpty() && tabedited && (col == kColGuard || col == kColEmergency)) {
        const QString type = col == kColGuard ? kGuardMapping : kEmergencyMapping;
        if (AddMapItem(type)) {
            outgidprofibusbyte = row - kHeaderRows;
            (col == kColGuard ? outgidguardmap : outgidemergencymap) = text;
            comboexitedit = true;
            QTreeWidgetItem *node = LastNodeNamed(type);
            {
                const QSignalBlocker block(TreeView1);
                TreeView1->setCurrentItem(node);
            }
            TreeView1Change(node);
            comboexitedit = false;
        }
    }
    FComboExiting = false;
}

// --- the program's editor -----------------------------------------------------------------------------

void installMapEditor(TGWMainForm &window)
{
    auto *editor = window.findChild<TProfilMapEditor *>(QStringLiteral("TProfilMapEditor"), Qt::FindDirectChildrenOnly);
    if (!editor)
        editor = new TProfilMapEditor(&window);
    editor->setLanguage(&window.Language());
    MappingEditor::setInstance(editor);
}

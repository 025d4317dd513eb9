#include "shell/SelectStringGrid.h"

#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>

TEditStyle EditStyleFor(TBtnStyle style)
{
    switch (style) {
    case cbsPickListe: return esPickList;
    case cbsEllipsis: return esEllipsis;
    case cbsDataList: return esDataList;
    case cbsNone: break;
    }
    return esSimple;
}

// TPopupListbox ------------------------------------------------------------------------

TPopupListbox::TPopupListbox(QWidget *parent) : QListWidget(parent)
{
    setObjectName(QStringLiteral("PickList"));
    setWindowFlags(Qt::Popup);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
    clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

void TPopupListbox::Search(const QString &typed)
{
    const qint64 now = clock();
    if (now - FSearchTime > kSearchPause)
        FSearchText.clear();
    FSearchTime = now;
    if (FSearchText.size() < kSearchLength)
        FSearchText += typed.left(kSearchLength - FSearchText.size());
    for (int i = 0; i < count(); ++i) {
        if (item(i)->text().startsWith(FSearchText, Qt::CaseInsensitive)) {
            setCurrentRow(i);
            return;
        }
    }
}

void TPopupListbox::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        FSearchText.clear();
        if (QListWidgetItem *current = currentItem()) {
            FChoosing = true;
            hide();
            FChoosing = false;
            emit chosen(current->text());
        } else {
            hide();
        }
        return;
    case Qt::Key_Escape:
        FSearchText.clear();
        hide();
        return;
    case Qt::Key_Backspace:
        FSearchText.clear();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (event->modifiers() & Qt::AltModifier) {
            FSearchText.clear();
            hide();
            return;
        }
        break;
    default:
        break;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        Search(typed);
        return;
    }
    QListWidget::keyPressEvent(event);
}

bool TPopupListbox::event(QEvent *event)
{
    // While the list is open it receives every click; one outside closes it. Such a click
    // reaches the list itself, not its viewport, where a scroll area would drop it.
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!rect().contains(mapFromGlobal(mouse->globalPosition().toPoint()))) {
            FSearchText.clear();
            hide();
            return true;
        }
    }
    return QListWidget::event(event);
}

void TPopupListbox::mouseReleaseEvent(QMouseEvent *event)
{
    QListWidget::mouseReleaseEvent(event);
    if (!viewport()->rect().contains(event->position().toPoint()))
        return;
    QListWidgetItem *hit = itemAt(event->position().toPoint());
    if (!hit)
        return;
    setCurrentItem(hit);
    FSearchText.clear();
    FChoosing = true;
    hide();
    FChoosing = false;
    emit chosen(hit->text());
}

void TPopupListbox::hideEvent(QHideEvent *event)
{
    QListWidget::hideEvent(event);
    // Escape and a click outside (which closes a popup by itself) leave the cell as it was.
    if (!FChoosing)
        emit dismissed();
}

// TInplaceEditList ---------------------------------------------------------------------

TInplaceEditList::TInplaceEditList(TSelectStringGrid *grid, TEditStyle editStyle, int row, int col, QWidget *parent)
    : QLineEdit(parent), FGrid(grid), FEditStyle(editStyle), FRow(row), FCol(col)
{
    setObjectName(QStringLiteral("InplaceEditor"));
    setFrame(false);
    if (FEditStyle != esSimple) {
        FButton = new QToolButton(this);
        FButton->setObjectName(QStringLiteral("InplaceEditorButton"));
        FButton->setFocusPolicy(Qt::NoFocus);
        FButton->setCursor(Qt::ArrowCursor);
        if (HasList())
            FButton->setArrowType(Qt::DownArrow);
        else
            FButton->setText(QStringLiteral("..."));
        const int width = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        FButton->setFixedWidth(width);
        setTextMargins(0, 0, width, 0);
        connect(FButton, &QToolButton::clicked, this, &TInplaceEditList::ButtonClick);
    }
    if (HasList()) {
        FPickList = new TPopupListbox(this);
        if (FGrid->FClock)
            FPickList->clock = FGrid->FClock;
        connect(FPickList, &TPopupListbox::chosen, this, &TInplaceEditList::Choose);
        connect(FPickList, &TPopupListbox::dismissed, this, [this] { setFocus(Qt::PopupFocusReason); });
    }
}

void TInplaceEditList::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    if (FButton)
        FButton->setGeometry(width() - FButton->width(), 0, FButton->width(), height());
}

void TInplaceEditList::ButtonClick()
{
    if (HasList()) {
        if (ListVisible())
            CloseUp();
        else
            DropDown();
    } else if (FEditStyle == esEllipsis) {
        emit FGrid->EditButtonClick(FCol, FRow);
    }
}

bool TInplaceEditList::ListVisible() const
{
    return FPickList && FPickList->isVisible();
}

void TInplaceEditList::DropDown()
{
    if (!HasList() || ListVisible())
        return;
    FPickList->clear();
    FPickList->addItems(FGrid->DatenListe);
    if (FPickList->count() == 0)
        return;
    const QList<QListWidgetItem *> same = FPickList->findItems(text(), Qt::MatchFixedString);
    FPickList->setCurrentRow(same.isEmpty() ? 0 : FPickList->row(same.first()));

    // At most kMaxRows rows, as wide as the widest text (with a scroll bar when more).
    const int rows = qMin(FPickList->count(), int(TPopupListbox::kMaxRows));
    const int frame = 2 * FPickList->frameWidth();
    const int height = rows * FPickList->sizeHintForRow(0) + frame;
    int width = FPickList->sizeHintForColumn(0) + frame;
    if (FPickList->count() > TPopupListbox::kMaxRows)
        width += FPickList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FPickList);

    QPoint at = mapToGlobal(QPoint(0, this->height()));
    QScreen *screen = QGuiApplication::screenAt(mapToGlobal(QPoint(0, 0)));
    if (!screen)
        screen = this->screen();
    const QRect avail = screen->availableGeometry();
    if (at.y() + height > avail.y() + avail.height())
        at = mapToGlobal(QPoint(0, -height));
    FPickList->setGeometry(at.x(), at.y(), width, height);
    FPickList->show();
    FPickList->setFocus(Qt::PopupFocusReason);
}

void TInplaceEditList::CloseUp()
{
    if (ListVisible())
        FPickList->hide();
}

void TInplaceEditList::Choose(const QString &chosenText)
{
    setText(chosenText);
    setFocus(Qt::PopupFocusReason);
    emit textEdited(chosenText);
}

void TInplaceEditList::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Down || event->key() == Qt::Key_Up) && (event->modifiers() & Qt::AltModifier)
        && HasList()) {
        if (ListVisible())
            CloseUp();
        else
            DropDown();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// The delegate ---------------------------------------------------------------------------

class TSelectCellDelegate final : public QStyledItemDelegate
{
public:
    explicit TSelectCellDelegate(TSelectStringGrid *grid) : QStyledItemDelegate(grid), FGrid(grid) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        auto *editor = new TInplaceEditList(FGrid, FGrid->EditStyle(), index.row(), index.column(), parent);
        QObject::connect(editor, &QLineEdit::textEdited, FGrid, [grid = FGrid, editor](const QString &text) {
            emit grid->SetEditText(editor->Col(), editor->Row(), text);
        });
        FGrid->FEditor = editor;
        return editor;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *e = static_cast<TInplaceEditList *>(editor);
        const QString text = index.data(Qt::EditRole).toString();
        // Left alone while the user types, so the cursor stays where it is.
        if (e->text() != text)
            e->setText(text);
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        model->setData(index, static_cast<TInplaceEditList *>(editor)->text(), Qt::EditRole);
    }
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        editor->setGeometry(option.rect);
    }

private:
    TSelectStringGrid *FGrid;
};

// TSelectStringGrid ------------------------------------------------------------------------

TSelectStringGrid::TSelectStringGrid(QWidget *parent) : QTableWidget(parent)
{
    setItemDelegate(new TSelectCellDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                    | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    connect(this, &QTableWidget::currentCellChanged, this,
            [this](int row, int col, int, int) { CurrentCellChanged(row, col); });
}

TSelectStringGrid::~TSelectStringGrid() = default;

TPopupListbox *TSelectStringGrid::PickList() const
{
    return FEditor ? FEditor->PickList() : nullptr;
}

void TSelectStringGrid::setSearchClock(std::function<qint64()> clock)
{
    FClock = std::move(clock);
    if (TPopupListbox *list = PickList())
        list->clock = FClock;
}

bool TSelectStringGrid::Editable(int row, int col) const
{
    const QTableWidgetItem *it = item(row, col);
    if (!it || !(it->flags() & Qt::ItemIsEditable))
        return false;
    return !CanEditCell || CanEditCell(row, col);
}

bool TSelectStringGrid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (trigger != AllEditTriggers && trigger != NoEditTriggers && index.isValid() && !Editable(index.row(), index.column()))
        return false;
    return QTableWidget::edit(index, trigger, event);
}

void TSelectStringGrid::CurrentCellChanged(int row, int col)
{
    // The handlers choose the editor for the new cell before it opens.
    emit SelectCell(col, row);
    if (AlwaysShowEditor && row >= 0 && col >= 0 && Editable(row, col))
        ShowEditor();
}

bool TSelectStringGrid::ShowEditor()
{
    const QModelIndex index = currentIndex();
    if (!index.isValid() || !Editable(index.row(), index.column()))
        return false;
    if (state() == EditingState && FEditor && FEditor->Row() == index.row() && FEditor->Col() == index.column())
        return true;
    return QTableWidget::edit(index, AllEditTriggers, nullptr);
}

void TSelectStringGrid::CommitEditor()
{
    if (!FEditor)
        return;
    QWidget *editor = FEditor;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TSelectStringGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Escape gives the cell its old text back; whoever took the typed text hears of it too.
    if (hint == QAbstractItemDelegate::RevertModelCache) {
        if (auto *e = qobject_cast<TInplaceEditList *>(editor)) {
            const QTableWidgetItem *it = item(e->Row(), e->Col());
            const QString old = it ? it->text() : QString();
            if (e->text() != old)
                emit SetEditText(e->Col(), e->Row(), old);
        }
    }
    QTableWidget::closeEditor(editor, hint);
}

#pragma once

// A string grid whose cells are edited in place by a line edit that can carry a drop-down
// button: a pick list (the grid's DatenListe), an ellipsis button or nothing. The grid's
// button style chooses the editor's style for the next cell editor that opens, so a handler
// of SelectCell can give every cell its own kind of editor.

#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <functional>

class QToolButton;
class TSelectStringGrid;

// What the grid offers for the cell being edited.
enum TBtnStyle { cbsPickListe, cbsEllipsis, cbsNone, cbsDataList };
// The in-place editor's look, one for each TBtnStyle.
enum TEditStyle { esPickList, esEllipsis, esSimple, esDataList };

TEditStyle EditStyleFor(TBtnStyle style);

// The drop-down list of the in-place editor. Typed characters search it: they collect into a
// search text (at most kSearchLength characters) that starts afresh after kSearchPause ms
// without typing, or on Backspace or Escape; the first entry beginning with the text
// (letter case ignored) is selected.
class TPopupListbox final : public QListWidget
{
    Q_OBJECT
public:
    static constexpr int kSearchLength = 32;
    static constexpr int kSearchPause = 2000;
    static constexpr int kMaxRows = 8;

    explicit TPopupListbox(QWidget *parent = nullptr);

    QString SearchText() const { return FSearchText; }
    // Milliseconds for the search pause; tests give a clock of their own.
    std::function<qint64()> clock;

signals:
    // Enter or a click on an entry: the text to put into the cell.
    void chosen(const QString &text);
    // Escape or a click outside: closed without a choice.
    void dismissed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void Search(const QString &typed);

    QString FSearchText;
    qint64 FSearchTime = 0;
    bool FChoosing = false;
};

// The in-place editor: the cell's text and, for a pick list or an ellipsis, a button as wide
// as a scroll bar at its right. The list is a child of the editor, so opening it does not
// count as leaving the cell.
class TInplaceEditList final : public QLineEdit
{
    Q_OBJECT
public:
    TInplaceEditList(TSelectStringGrid *grid, TEditStyle style, int row, int col, QWidget *parent);

    TEditStyle EditStyle() const { return FEditStyle; }
    QToolButton *button() const { return FButton; }
    TPopupListbox *PickList() const { return FPickList; }
    int Row() const { return FRow; }
    int Col() const { return FCol; }

    // Opens the pick list below the cell (above it when the screen has no room below).
    void DropDown();
    void CloseUp();
    bool ListVisible() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool HasList() const { return FEditStyle == esPickList || FEditStyle == esDataList; }
    void ButtonClick();
    void Choose(const QString &text);

    TSelectStringGrid *FGrid;
    TEditStyle FEditStyle;
    int FRow;
    int FCol;
    QToolButton *FButton = nullptr;
    TPopupListbox *FPickList = nullptr;
};

class TSelectStringGrid : public QTableWidget
{
    Q_OBJECT
public:
    explicit TSelectStringGrid(QWidget *parent = nullptr);
    ~TSelectStringGrid() override;

    TBtnStyle ButtonStyle() const { return FButtonStyle; }
    void SetButtonStyle(TBtnStyle style) { FButtonStyle = style; }
    TEditStyle EditStyle() const { return EditStyleFor(FButtonStyle); }

    // The texts of the pick list.
    QStringList DatenListe;

    // Cells whose editing is allowed; the rest are shown only. Editing is allowed by default
    // wherever the item is editable.
    std::function<bool(int row, int col)> CanEditCell;
    // Opens the editor as soon as an editable cell becomes current, so its button shows.
    bool AlwaysShowEditor = true;

    // The pick list of the editor open now, or nullptr.
    TPopupListbox *PickList() const;
    // The editor open now, or nullptr.
    TInplaceEditList *InplaceEditor() const { return FEditor; }
    // Opens the editor on the current cell; false when the cell cannot be edited.
    bool ShowEditor();
    // Hands a cell editor's text over to its cell and closes the editor.
    void CommitEditor();

    // The clock of the pick list's typed search.
    void setSearchClock(std::function<qint64()> clock);

signals:
    // A cell became current (row, column as in the grid).
    void SelectCell(int col, int row);
    // The text of the cell being edited changed.
    void SetEditText(int col, int row, const QString &text);
    // The ellipsis button of the cell editor was pressed.
    void EditButtonClick(int col, int row);

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class TSelectCellDelegate;
    friend class TInplaceEditList;
    void CurrentCellChanged(int row, int col);
    bool Editable(int row, int col) const;

    TBtnStyle FButtonStyle = cbsNone;
    QPointer<TInplaceEditList> FEditor;
    std::function<qint64()> FClock;
};

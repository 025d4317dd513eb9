#pragma once

#include <QWidget>

class QPlainTextEdit;
class QMenu;
class QAction;

// The state window: shows the program's running trace (StatusTrace) in a fixed-pitch memo.
// It exists once, is hidden rather than destroyed when closed, and follows the trace line by
// line: an appended line adds one block, a dropped oldest line removes the first block, so a
// full trace of 5000 lines never rebuilds the whole text.
class TStatusFenster : public QWidget
{
    Q_OBJECT
public:
    static TStatusFenster &instance();

    // Shows the window and brings it to the front.
    void showWindow();

    // The memo `Memo1` (also reachable by object name).
    QPlainTextEdit *memo() const { return Memo1; }

    // Context-menu commands; public so the menu and the tests take the same path.
    void clearLines();
    void setNumberOfLines();
    bool saveToFile();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    explicit TStatusFenster(QWidget *parent = nullptr);

    void onLineAppended(const QString &line);
    void onFirstLineRemoved();
    void onCleared();
    void onScrolledToEnd();
    void showContextMenu(const QPoint &pos);
    void reloadFromTrace();

    QPlainTextEdit *Memo1 = nullptr;
    // Lines the memo shows; an empty memo still has one (empty) block, so the count of blocks
    // alone cannot tell "no line" from "one empty line".
    int m_shownLines = 0;
    QMenu *PopupMenu1 = nullptr;
    QAction *mnuClear = nullptr;
    QAction *mnuSetLines = nullptr;
    QAction *mnuSaveToFile = nullptr;
};

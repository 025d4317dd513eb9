#include "shell/MyMemo.h"

#include "platform/UserPrompts.h"

#include <QKeyEvent>
#include <QTextCursor>

TMyMemo::TMyMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setMaximumBlockCount(kMaxLines);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

bool TMyMemo::inCharSet(int byte)
{
    return byte == 8 || byte == 10 || byte == 13 || byte == 27 || (byte >= 32 && byte <= 126) || byte == 228
           || byte == 246 || byte == 252;
}

void TMyMemo::keyPressEvent(QKeyEvent *event)
{
    // Keys that make a character go to the device; the rest (caret movement, copying) work
    // as in any text field. Pasting is not typing and is refused below.
    const QString text = event->text();
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (!text.isEmpty() && text.at(0).unicode() < 256) {
        FThisChar = char(text.at(0).unicode());
        if (FOnChar)
            FOnChar(FThisChar);
        event->accept();
        return;
    }
    if (!text.isEmpty()) { // a character outside the device's 8-bit set: nothing to send
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

bool TMyMemo::canInsertFromMimeData(const QMimeData *) const
{
    return false;
}

void TMyMemo::insertFromMimeData(const QMimeData *) {}

void TMyMemo::Output(const QString &text)
{
    // Text of plain characters goes in at once; anything with a line end, backspace or escape
    // goes character by character (escape too, so it always reads "<ESC>", never a raw byte).
    bool whole = true;
    for (QChar c : text) {
        const int b = c.unicode();
        if (!inCharSet(b) || b == 8 || b == 10 || b == 13 || b == 27) {
            whole = false;
            break;
        }
    }
    if (whole) {
        QTextCursor cursor = textCursor();
        cursor.insertText(text);
        setTextCursor(cursor);
    } else {
        for (QChar c : text) {
            const int b = c.unicode();
            if (inCharSet(b)) {
                putChar(b);
            } else if (b == 7) {
                UserPrompts::instance().beep();
            } else {
                QTextCursor cursor = textCursor();
                cursor.insertText(QStringLiteral("0x") + QString::number(b, 16).toUpper().rightJustified(2, u'0'));
                setTextCursor(cursor);
                FThisSelLength = 0;
            }
        }
    }
    ensureCursorVisible();
}

void TMyMemo::putChar(int byte)
{
    QTextCursor cursor = textCursor();
    switch (byte) {
    case 8: {
        // The selection grows to the left; the next ordinary character replaces it.
        const int end = cursor.hasSelection() ? cursor.selectionEnd() : cursor.position();
        const int start = qMax(0, (cursor.hasSelection() ? cursor.selectionStart() : cursor.position()) - 1);
        cursor.setPosition(end);
        cursor.setPosition(start, QTextCursor::KeepAnchor);
        ++FThisSelLength;
        break;
    }
    case 10:
    case 13:
        if (cursor.hasSelection())
            cursor.setPosition(cursor.selectionEnd());
        FThisSelLength = 0;
        cursor.insertText(QStringLiteral("\n"));
        break;
    case 27:
        cursor.insertText(QStringLiteral("<ESC>"));
        FThisSelLength = 0;
        break;
    default:
        cursor.insertText(QString(QChar(byte)));
        FThisSelLength = 0;
        break;
    }
    setTextCursor(cursor);
}

#pragma once

#include <QPlainTextEdit>

#include <functional>

// The monitor: a small terminal onto the device. Typed characters are not inserted; they go
// to the OnChar handler (the main window sends them to the device), so a character appears
// only when the device echoes it. Received text is written with Output.
class TMyMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    // Received text shown at most; the oldest lines go first, so a device that never stops
    // talking cannot make the monitor grow without bound.
    static constexpr int kMaxLines = 5000;

    explicit TMyMemo(QWidget *parent = nullptr);

    // Received device text, one byte per character (code 0..255), at the caret.
    void Output(const QString &text);
    // A character is shown as it is (backspace, line feed, carriage return, escape, 32..126 and
    // the code page's lower-case umlauts 228, 246, 252).
    static bool inCharSet(int byte);

    char FThisChar = 0;      // the character typed last
    int FThisSelLength = 0;  // characters selected by received backspaces
    std::function<void(char)> FOnChar;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void putChar(int byte);
};

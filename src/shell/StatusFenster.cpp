#include "shell/StatusFenster.h"

#include "platform/StatusTrace.h"
#include "platform/UserPrompts.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

// One trace entry is one block of the memo, so dropping the oldest entry drops exactly one
// block. Line breaks inside an entry (a device's reply, say) become line separators, which
// the memo shows as breaks inside the block.
QString asBlockText(const QString &line)
{
    if (!line.contains(u'\n') && !line.contains(u'\r'))
        return line;
    QString text = line;
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(u'\r', QChar::LineSeparator);
    text.replace(u'\n', QChar::LineSeparator);
    return text;
}

} // namespace

TStatusFenster &TStatusFenster::instance()
{
    // Lives until the process ends; closing only hides it.
    static TStatusFenster *window = new TStatusFenster;
    return *window;
}

TStatusFenster::TStatusFenster(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("StatusFenster"));
    setWindowTitle(QStringLiteral("State Window"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // Only the main window keeps the program running.
    setAttribute(Qt::WA_QuitOnClose, false);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setUndoRedoEnabled(false); // a trace is never undone; undo history would grow with it
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(8);
    Memo1->setFont(font);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this, &TStatusFenster::showContextMenu);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    resize(341, 114);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    mnuClear = PopupMenu1->addAction(QStringLiteral("Clear state window"), this, &TStatusFenster::clearLines);
    mnuClear->setObjectName(QStringLiteral("mnuClearStateWindow"));
    mnuSetLines = PopupMenu1->addAction(QStringLiteral("Set number of lines"), this, &TStatusFenster::setNumberOfLines);
    mnuSetLines->setObjectName(QStringLiteral("mnuSetNumberOfLines"));
    mnuSaveToFile = PopupMenu1->addAction(QStringLiteral("Save to file"), this, [this] { saveToFile(); });
    mnuSaveToFile->setObjectName(QStringLiteral("mnuSaveToFile"));

    StatusTrace &trace = StatusTrace::instance();
    connect(&trace, &StatusTrace::lineAppended, this, &TStatusFenster::onLineAppended);
    connect(&trace, &StatusTrace::firstLineRemoved, this, &TStatusFenster::onFirstLineRemoved);
    connect(&trace, &StatusTrace::cleared, this, &TStatusFenster::onCleared);
    connect(&trace, &StatusTrace::scrolledToEnd, this, &TStatusFenster::onScrolledToEnd);
    // Lines logged before the window existed are part of the trace too.
    reloadFromTrace();
}

void TStatusFenster::showWindow()
{
    show();
    raise();
    activateWindow();
    onScrolledToEnd();
}

void TStatusFenster::clearLines()
{
    StatusTrace::instance().clear();
}

void TStatusFenster::setNumberOfLines()
{
    StatusTrace::instance().askMaxLines();
}

bool TStatusFenster::saveToFile()
{
    UserPrompts &prompts = UserPrompts::instance();
    const QString path = prompts.saveFile(QStringLiteral("Save log"), QString(),
                                          QStringLiteral("*.log"), QStringLiteral("log"));
    if (path.isEmpty())
        return false;
    QString error;
    if (!StatusTrace::instance().saveToFile(path, &error)) {
        prompts.showMessage(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), error),
                            QStringLiteral("Save log"), PromptIcon::Error);
        return false;
    }
    return true;
}

void TStatusFenster::closeEvent(QCloseEvent *event)
{
    // The trace goes on while the window is hidden; it is never destroyed before the end.
    event->ignore();
    hide();
}

void TStatusFenster::onLineAppended(const QString &line)
{
    QTextCursor cursor(Memo1->document());
    cursor.movePosition(QTextCursor::End);
    if (m_shownLines > 0)
        cursor.insertBlock();
    cursor.insertText(asBlockText(line));
    ++m_shownLines;
}

void TStatusFenster::onFirstLineRemoved()
{
    if (m_shownLines <= 1) {
        Memo1->clear();
        m_shownLines = 0;
        return;
    }
    QTextCursor cursor(Memo1->document()->firstBlock());
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    --m_shownLines;
}

void TStatusFenster::onCleared()
{
    Memo1->clear();
    m_shownLines = 0;
}

void TStatusFenster::onScrolledToEnd()
{
    // Caret on the last line, column 1; the view follows the caret only when it is seen.
    QTextCursor cursor(Memo1->document()->lastBlock());
    Memo1->setTextCursor(cursor);
    if (isVisible())
        Memo1->ensureCursorVisible();
}

void TStatusFenster::showContextMenu(const QPoint &pos)
{
    PopupMenu1->popup(Memo1->viewport()->mapToGlobal(pos));
}

void TStatusFenster::reloadFromTrace()
{
    const QStringList lines = StatusTrace::instance().lines();
    QStringList blocks;
    blocks.reserve(lines.size());
    for (const QString &line : lines)
        blocks.append(asBlockText(line));
    Memo1->setPlainText(blocks.join(u'\n'));
    m_shownLines = int(lines.size());
    onScrolledToEnd();
}

#include "cli/DocumentPrintSink.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextDocument>

namespace {
// Stops as far as the widest page a printout is laid out on, in points.
constexpr int kTabRange = 1200;
} // namespace

DocumentPrintSink::DocumentPrintSink(QTextDocument &document, qreal unit) : m_cursor(&document), m_unit(unit)
{
    m_cursor.movePosition(QTextCursor::End);
}

void DocumentPrintSink::setFirstTabStop(int stop)
{
    m_firstTabStop = stop;
    applyTabStops();
}

void DocumentPrintSink::applyTabStops()
{
    QList<QTextOption::Tab> tabs;
    if (m_firstTabStop > 0)
        for (int p = m_firstTabStop; p <= kTabRange; p += m_firstTabStop)
            tabs.append(QTextOption::Tab(p * m_unit, QTextOption::LeftTab));
    QTextBlockFormat format = m_cursor.blockFormat();
    format.setTabPositions(tabs);
    m_cursor.setBlockFormat(format);
}

void DocumentPrintSink::addText(const QString &text)
{
    QTextCharFormat format;
    format.setFontWeight(m_style & Bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(m_style & Italic);
    format.setFontUnderline(m_style & Underline);
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            m_cursor.insertBlock(); // takes over the block format, tab stops included
            applyTabStops();
        }
        if (!lines[i].isEmpty())
            m_cursor.insertText(lines[i], format);
    }
}

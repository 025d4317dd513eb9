#include "print/DocumentPrintSink.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

DocumentPrintSink::DocumentPrintSink(QTextDocument &document, qreal unit) : m_document(document), m_unit(unit)
{
}

void DocumentPrintSink::setFirstTabStop(int stop)
{
    m_firstTabStop = stop;
    m_lines.last().firstTabStop = stop; // applies to the line being written and those after it
}

void DocumentPrintSink::addText(const QString &text)
{
    for (const QChar c : text) {
        if (c == u'\n') {
            Line line;
            line.firstTabStop = m_firstTabStop;
            m_lines.append(line);
        } else if (c == u'\t') {
            Cell cell;
            cell.tabStyle = m_style;
            m_lines.last().cells.append(cell);
        } else {
            QList<Run> &runs = m_lines.last().cells.last().runs;
            if (runs.isEmpty() || runs.last().style != m_style)
                runs.append({QString(), m_style});
            runs.last().text += c;
        }
    }
}

QFont DocumentPrintSink::fontFor(int style) const
{
    QFont font = m_document.defaultFont();
    font.setBold(style & Bold);
    font.setItalic(style & Italic);
    font.setUnderline(style & Underline);
    return font;
}

qreal DocumentPrintSink::cellWidth(const Cell &cell) const
{
    qreal width = 0;
    for (const Run &run : cell.runs)
        width += QFontMetricsF(fontFor(run.style)).horizontalAdvance(run.text);
    return width;
}

QList<qreal> DocumentPrintSink::sectionStops(qsizetype first, qsizetype last) const
{
    const qreal nominal = m_lines[first].firstTabStop * m_unit;
    // Enough room that a value never touches the text before it, also with the small
    // differences between screen metrics and the printer's.
    const qreal gap = QFontMetricsF(fontFor(Bold)).height() * 0.8;
    qsizetype columns = 0;
    for (qsizetype i = first; i <= last; ++i)
        columns = qMax(columns, m_lines[i].cells.size());
    QList<qreal> stops;
    qreal previous = 0;
    for (qsizetype k = 1; k < columns; ++k) {
        qreal stop = previous + (nominal > 0 ? nominal : gap);
        for (qsizetype i = first; i <= last; ++i) {
            const Line &line = m_lines[i];
            if (line.cells.size() > k) // column k-1 is followed by another column on this line
                stop = qMax(stop, previous + cellWidth(line.cells[k - 1]) + gap);
        }
        stops.append(stop);
        previous = stop;
    }
    return stops;
}

QList<qreal> DocumentPrintSink::tabStopsOfLine(qsizetype index) const
{
    qsizetype first = index, last = index;
    while (first > 0 && m_lines[first - 1].firstTabStop == m_lines[index].firstTabStop)
        --first;
    while (last + 1 < m_lines.size() && m_lines[last + 1].firstTabStop == m_lines[index].firstTabStop)
        ++last;
    return sectionStops(first, last);
}

void DocumentPrintSink::finish()
{
    QTextCursor cursor(&m_document);
    cursor.movePosition(QTextCursor::End);
    bool firstBlock = m_document.isEmpty();
    for (qsizetype first = 0; first < m_lines.size();) {
        qsizetype last = first;
        while (last + 1 < m_lines.size() && m_lines[last + 1].firstTabStop == m_lines[first].firstTabStop)
            ++last;
        QList<QTextOption::Tab> tabs;
        for (const qreal stop : sectionStops(first, last))
            tabs.append(QTextOption::Tab(stop, QTextOption::LeftTab));
        for (qsizetype i = first; i <= last; ++i) {
            if (!firstBlock)
                cursor.insertBlock();
            firstBlock = false;
            // Tab stops per block: a document's own default stops are not used when printed.
            QTextBlockFormat format = cursor.blockFormat();
            format.setTabPositions(tabs);
            cursor.setBlockFormat(format);
            const QList<Cell> &cells = m_lines[i].cells;
            for (qsizetype k = 0; k < cells.size(); ++k) {
                if (k > 0)
                    cursor.insertText(QStringLiteral("\t"), charFormat(cells[k].tabStyle));
                for (const Run &run : cells[k].runs)
                    cursor.insertText(run.text, charFormat(run.style));
            }
        }
        first = last + 1;
    }
    m_lines = {Line()};
    m_lines.last().firstTabStop = m_firstTabStop;
}

QTextCharFormat DocumentPrintSink::charFormat(int style)
{
    QTextCharFormat chars;
    chars.setFontWeight(style & Bold ? QFont::Bold : QFont::Normal);
    chars.setFontItalic(style & Italic);
    chars.setFontUnderline(style & Underline);
    return chars;
}

QFont DocumentPrintSink::printFont(qreal pointSize)
{
    auto hasItalic = [](const QString &family) {
        for (const QString &style : QFontDatabase::styles(family))
            if (QFontDatabase::italic(family, style))
                return true;
        return false;
    };
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(pointSize);
    // Named explicitly: a generic name ("Sans Serif") may resolve differently once bold or
    // italic is asked for.
    const QString family = QFontInfo(font).family();
    font.setFamily(family);
    if (!hasItalic(family)) {
        const QStringList families = QFontDatabase::families();
        QString chosen;
        for (const QString &candidate : families) {
            if (!QFontDatabase::isPrivateFamily(candidate) && QFontDatabase::isScalable(candidate)
                && !QFontDatabase::isFixedPitch(candidate) && hasItalic(candidate)) {
                chosen = candidate;
                break;
            }
        }
        if (!chosen.isEmpty())
            font.setFamily(chosen);
    }
    return font;
}

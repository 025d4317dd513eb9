#pragma once

#include "model/PrintSink.h"

#include <QFont>
#include <QList>
#include <QString>

class QTextCharFormat;
class QTextDocument;

// The print sink over a rich-text document (the command line's PDF and the window's print
// preview). It collects the printout first and lays it out in finish(), because the tab stops
// follow the texts: the lines written under one first tab stop form a section (the heading
// and parameter list under one, each mapping table under its own), and in a section column k
// starts at the larger of k first tab stops and the widest text of column k-1 plus a gap, over
// every line that has a further column. So a long label ("Description file version") moves
// the value column for every line instead of pushing its own value one stop on, and the
// values of a mapping table stay under their captions. Widths are measured with the
// document's own fonts (bold, italic, underline of its default font).
class DocumentPrintSink : public PrintSink
{
public:
    // unit: document pixels per tab-stop unit (the first tab stop is given in points).
    explicit DocumentPrintSink(QTextDocument &document, qreal unit = 96.0 / 72.0);

    void setStyle(int style) override { m_style = style; }
    int style() const override { return m_style; }
    void addText(const QString &text) override;
    int firstTabStop() const override { return m_firstTabStop; }
    void setFirstTabStop(int stop) override;

    // Appends everything written so far to the end of the document and starts afresh.
    void finish();

    // The stops (document pixels) of the section that line `index` of the collected
    // printout belongs to; for tests and for a preview that wants to draw rulers.
    QList<qreal> tabStopsOfLine(qsizetype index) const;
    qsizetype lineCount() const { return m_lines.size(); }

    // A font of the size for printouts whose family has a real italic (or oblique) face, so
    // italic text is not merely slanted upright glyphs: the system's general font when it has
    // one, else the first installed family that does.
    static QFont printFont(qreal pointSize);

private:
    struct Run {
        QString text;
        int style;
    };
    // The text of one column; the tab in front of it keeps the style it was written in, so
    // an underlined heading stays underlined across the gap between its columns.
    struct Cell {
        QList<Run> runs;
        int tabStyle = Normal;
    };
    struct Line {
        QList<Cell> cells{Cell()};
        int firstTabStop = 0;
    };
    static QTextCharFormat charFormat(int style);

    QFont fontFor(int style) const;
    qreal cellWidth(const Cell &cell) const;
    QList<qreal> sectionStops(qsizetype first, qsizetype last) const;

    QTextDocument &m_document;
    qreal m_unit;
    QList<Line> m_lines{Line()};
    int m_style = Normal;
    int m_firstTabStop = 0;
};

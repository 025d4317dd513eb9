#pragma once

#include "model/PrintSink.h"

#include <QTextCursor>

class QTextDocument;

// The print sink over a rich-text document: bold, italic and underline as character
// formats, a line break as a new block, and the tab stops as block formats (a document's
// own default tab stops are not used when it is printed). The first tab stop applies to the
// block being written and the blocks that follow; further stops repeat at the same distance.
class DocumentPrintSink : public PrintSink
{
public:
    // unit: document pixels per tab-stop unit (tab stops are given in points).
    explicit DocumentPrintSink(QTextDocument &document, qreal unit = 96.0 / 72.0);

    void setStyle(int style) override { m_style = style; }
    int style() const override { return m_style; }
    void addText(const QString &text) override;
    int firstTabStop() const override { return m_firstTabStop; }
    void setFirstTabStop(int stop) override;

private:
    void applyTabStops();

    QTextCursor m_cursor;
    qreal m_unit;
    int m_style = Normal;
    int m_firstTabStop = 0;
};

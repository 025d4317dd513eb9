#pragma once

#include <QList>
#include <QString>

// Where a printout is written: a small rich-text sink with bold, italic and underline,
// tabs, line breaks and a first tab stop. The GUI writes into its print preview, the
// command line into plain text or a PDF.
class PrintSink
{
public:
    enum Style : int { Normal = 0, Bold = 1, Italic = 2, Underline = 4 };

    virtual ~PrintSink() = default;
    virtual void setStyle(int style) = 0;     // for the text that follows
    virtual int style() const = 0;
    virtual void addText(const QString &text) = 0; // "\t" is a tab, "\n" a line break
    virtual int firstTabStop() const = 0;
    virtual void setFirstTabStop(int stop) = 0;    // in the units of the preview's tab stops
};

// Collects the printout as plain text and as styled runs; used by the command line's text
// output and by tests.
class PlainTextPrintSink : public PrintSink
{
public:
    struct Run {
        QString text;
        int style;
    };

    void setStyle(int style) override { m_style = style; }
    int style() const override { return m_style; }
    void addText(const QString &text) override
    {
        m_text += text;
        if (!m_runs.isEmpty() && m_runs.last().style == m_style)
            m_runs.last().text += text;
        else
            m_runs.append({text, m_style});
    }
    int firstTabStop() const override { return m_firstTabStop; }
    void setFirstTabStop(int stop) override { m_firstTabStop = stop; }

    const QString &text() const { return m_text; }
    const QList<Run> &runs() const { return m_runs; }
    void clear()
    {
        m_text.clear();
        m_runs.clear();
    }

private:
    QString m_text;
    QList<Run> m_runs;
    int m_style = Normal;
    int m_firstTabStop = 0;
};

#pragma once

#include <QObject>
#include <QStringList>

enum TEntry { entryTimestamped, entryIndented, entryOnly };

// The program's running trace: every subsystem appends lines about what it is doing. It holds
// the lines; the state window shows them and the command line may echo them. Logging never
// fails and never blocks.
class StatusTrace : public QObject
{
    Q_OBJECT
public:
    static StatusTrace &instance();

    void logString(const QString &entry, TEntry entryType);
    void logStringWithTime(const QString &entry);
    void logStringWithIndent(const QString &entry);
    void logStringOnly(const QString &entry);
    void scrollToEnd();

    void clear();
    QStringList lines() const { return m_lines; }
    int lineCount() const { return int(m_lines.size()); }

    int maxLines() const { return m_maxLines; }
    void setMaxLines(int lines) { m_maxLines = lines; }

    // "Set number of lines": asks through the user prompts (caption "Set maximum number of
    // lines to display", prompt "No of lines", preset "1000") and applies the answer.
    void askMaxLines();
    // Writes every line, UTF-8, one per line; on failure returns false with the reason.
    bool saveToFile(const QString &path, QString *error = nullptr) const;

    // When set, every appended line is also written to stderr (the command line's --trace).
    void setEcho(bool echo) { m_echo = echo; }

signals:
    void lineAppended(const QString &line);
    void firstLineRemoved();
    void cleared();
    // scrollToEnd ran: the window puts its caret on the last line.
    void scrolledToEnd();

private:
    StatusTrace() = default;
    void append(const QString &line);

    QStringList m_lines;
    int m_maxLines = 1000;
    bool m_echo = false;
};

// Shorthand used all over the device link.
inline StatusTrace &statusTrace() { return StatusTrace::instance(); }

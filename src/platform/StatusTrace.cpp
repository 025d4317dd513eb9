#include "platform/StatusTrace.h"

#include "platform/UserPrompts.h"

#include "base/FileReplace.h"

#include <QLocale>
#include <QTime>

#include <cstdio>

namespace {

// The locale's long time format without its time-zone part: Qt's long format appends the
// zone ("14:03:27 CET"), the trace shows only the time of day ("14:03:27").
QString longTimeOfDayFormat(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool inQuote = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            inQuote = !inQuote;
            result.append(c);
        } else if (!inQuote && c == u't') {
            continue;
        } else {
            result.append(c);
        }
    }
    return result.simplified();
}

} // namespace

StatusTrace &StatusTrace::instance()
{
    static StatusTrace trace;
    return trace;
}

void StatusTrace::logString(const QString &entry, TEntry entryType)
{
    switch (entryType) {
    case entryTimestamped: {
        const QLocale locale;
        append(locale.toString(QTime::currentTime(), longTimeOfDayFormat(locale)) + u' ' + entry);
        break;
    }
    case entryIndented:
        append(QString(15, u' ') + entry);
        break;
    case entryOnly:
        append(entry);
        break;
    }
    scrollToEnd();
}

void StatusTrace::logStringWithTime(const QString &entry)
{
    logString(entry, entryTimestamped);
}

void StatusTrace::logStringWithIndent(const QString &entry)
{
    append(QString(8, u' ') + entry);
    scrollToEnd();
}

void StatusTrace::logStringOnly(const QString &entry)
{
    logString(entry, entryOnly);
}

void StatusTrace::scrollToEnd()
{
    // One line per call: a lowered limit does not cut the trace short, it only stops growth.
    if (m_lines.size() > m_maxLines && !m_lines.isEmpty()) {
        m_lines.removeFirst();
        emit firstLineRemoved();
    }
    emit scrolledToEnd();
}

void StatusTrace::clear()
{
    m_lines.clear();
    emit cleared();
}

void StatusTrace::askMaxLines()
{
    // Always preset with 1000, not the current limit; a cancelled box leaves the preset.
    QString answer = QStringLiteral("1000");
    UserPrompts::instance().input(QStringLiteral("Set maximum number of lines to display"),
                                  QStringLiteral("No of lines"), answer);
    bool isNumber = false;
    const int lines = answer.trimmed().toInt(&isNumber, 10);
    if (!isNumber) {
        UserPrompts::instance().message(QStringLiteral("Error setting maximum lines"),
                                        QStringLiteral("Please enter a number"), PromptIcon::Warning,
                                        {PromptButton::Ok}, PromptButton::Ok);
        return;
    }
    if (lines > 5 && lines < 2000)
        m_maxLines = lines;
}

bool StatusTrace::saveToFile(const QString &path, QString *error) const
{
    QByteArray bytes;
    for (const QString &line : m_lines)
        bytes += line.toUtf8() + '\n';
    const QString failure = replaceFileContents(path, bytes);
    if (failure.isEmpty())
        return true;
    if (error)
        *error = failure;
    return false;
}

void StatusTrace::append(const QString &line)
{
    m_lines.append(line);
    if (m_echo) {
        const QByteArray bytes = line.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    }
    emit lineAppended(line);
}

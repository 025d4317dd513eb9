#pragma once

#include <QString>
#include <exception>
#include <string>

// The system's one general error. It carries the message text the user (or the trace)
// will see; callers catch it at the edges (command handlers, the event loop, the CLI).
class TorvaneError : public std::exception
{
public:
    explicit TorvaneError(QString message) : m_message(std::move(message)), m_utf8(m_message.toStdString()) {}

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_message;
    std::string m_utf8;
};

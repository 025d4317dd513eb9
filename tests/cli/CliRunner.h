#pragma once

#include "TestPaths.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// Starts the real torvane-cli, as a user would, and collects what it printed.
struct CliResult {
    int exitCode = -1;
    QString out, err;
};

inline CliResult runCli(const QStringList &args, int timeoutMs = 60000)
{
    QProcess p;
    p.start(TestPaths::binDir() + QStringLiteral("/torvane-cli"), args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}, QStringLiteral("did not finish")};
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return f.fileName();
}

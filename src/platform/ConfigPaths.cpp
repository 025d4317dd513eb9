#include "platform/ConfigPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ConfigPaths {

QString programConfigDir()
{
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/Kellerbrand/Torvane"));
}

QString programDir()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

QString programDataDir(const QString &sub)
{
    return programDataDir(sub, programDir());
}

QString programDataDir(const QString &sub, const QString &programDir)
{
    const QDir program(programDir);
    const QString beside = QDir::cleanPath(program.filePath(sub));
    if (!sub.isEmpty() && QFileInfo(beside).isDir())
        return beside;
    // bin/ and share/ are siblings under the installation prefix.
    const QString installed = QDir::cleanPath(program.filePath(QStringLiteral("../share/torvane/") + sub));
    if (QFileInfo(installed).isDir())
        return installed;
    return beside;
}

}

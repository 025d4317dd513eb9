#include "platform/PortMap.h"

#include "platform/ConfigPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace PortMap {

int comNumber(const QString &portName)
{
    static const QRegularExpression re(QStringLiteral("^\\s*COM(\\d{1,3})\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(portName);
    if (!m.hasMatch())
        return -1;
    const int n = m.captured(1).toInt();
    return n >= kFirstPort && n <= kLastPort ? n : -1;
}

QString portName(int comNumber)
{
    return QStringLiteral("COM") + QString::number(comNumber);
}

QString mapDirectory()
{
    return ConfigPaths::programConfigDir() + QStringLiteral("/ports");
}

QString linkPath(int comNumber)
{
    return mapDirectory() + QLatin1Char('/') + portName(comNumber);
}

QString defaultDevicePath(int comNumber)
{
    if (comNumber >= 1 && comNumber <= 32)
        return QStringLiteral("/dev/ttyS%1").arg(comNumber - 1);
    if (comNumber >= 33 && comNumber <= 64)
        return QStringLiteral("/dev/ttyUSB%1").arg(comNumber - 33);
    if (comNumber >= 65 && comNumber <= 96)
        return QStringLiteral("/dev/ttyACM%1").arg(comNumber - 65);
    return {};
}

QString devicePath(int comNumber)
{
    if (comNumber < kFirstPort || comNumber > kLastPort)
        return {};
    const QString link = linkPath(comNumber);
    const QFileInfo info(link);
    if (info.isSymLink() || info.exists())
        return link;
    return defaultDevicePath(comNumber);
}

QString resolvedDevicePath(int comNumber)
{
    const QString path = devicePath(comNumber);
    if (path.isEmpty())
        return {};
    return QFileInfo(path).canonicalFilePath(); // empty for a dangling link or a missing device
}

bool IsPortAvailable(int comNumber)
{
    return !resolvedDevicePath(comNumber).isEmpty();
}

bool linkPort(int comNumber, const QString &target, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (comNumber < kFirstPort || comNumber > kLastPort)
        return fail(QStringLiteral("no such port number: %1").arg(comNumber));
    if (!QDir().mkpath(mapDirectory()))
        return fail(QStringLiteral("cannot create %1").arg(mapDirectory()));
    const QString link = linkPath(comNumber);
    const QFileInfo info(link);
    if ((info.isSymLink() || info.exists()) && !QFile::remove(link))
        return fail(QStringLiteral("cannot replace %1").arg(link));
    if (!QFile::link(target, link))
        return fail(QStringLiteral("cannot link %1 to %2").arg(link, target));
    return true;
}

bool unlinkPort(int comNumber)
{
    if (comNumber < kFirstPort || comNumber > kLastPort)
        return false;
    const QString link = linkPath(comNumber);
    const QFileInfo info(link);
    return (info.isSymLink() || info.exists()) && QFile::remove(link);
}

} // namespace PortMap

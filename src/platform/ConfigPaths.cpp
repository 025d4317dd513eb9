#include "platform/ConfigPaths.h"

#include <QDir>
#include <QStandardPaths>

namespace ConfigPaths {

QString programConfigDir()
{
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/Kellerbrand/Torvane"));
}

}

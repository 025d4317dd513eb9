#include "link/ProgramSettings.h"

#include "link/SerialSettings.h"
#include "base/IniFile.h"
#include "platform/RegistryStore.h"

namespace ProgramSettings {

QString readDescriptionFilePath(const RegistryStore &store)
{
    return store.readString(TSerialSettings::sheetKey(kDescriptionSheet), kDescriptionPathValue).value_or(QString());
}

bool storeDescriptionFilePath(RegistryStore &store, const QString &path)
{
    return store.writeString(TSerialSettings::sheetKey(kDescriptionSheet), kDescriptionPathValue, path);
}

QString universalScriptName(const IniFile &description)
{
    return description.readString(QStringLiteral("General"), QStringLiteral("Universal"),
                                  QStringLiteral("Universalscript Kellerbrand"));
}

QString configFileVersion(const IniFile &description)
{
    return description.readString(QStringLiteral("General"), QStringLiteral("Version"), QStringLiteral("1"));
}

} // namespace ProgramSettings

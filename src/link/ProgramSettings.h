#pragma once

#include <QString>

class IniFile;
class RegistryStore;

// The program's settings outside the port sheets, where the settings store keeps them, and
// the start-up values of the description file.
namespace ProgramSettings {

// The description-file sheet: "\software\Kellerbrand\Torvane\TGWConfigFileSheetCaption",
// string value "EditTGWCurrentFilePath".
inline const QString kDescriptionSheet = QStringLiteral("TGWConfigFileSheetCaption");
inline const QString kDescriptionPathValue = QStringLiteral("EditTGWCurrentFilePath");

// The stored description-file path; empty when none is stored.
QString readDescriptionFilePath(const RegistryStore &store);
bool storeDescriptionFilePath(RegistryStore &store, const QString &path);

// "Universal" of section "General": the banner text of the universal script.
QString universalScriptName(const IniFile &description);
// "Version" of section "General".
QString configFileVersion(const IniFile &description);

} // namespace ProgramSettings

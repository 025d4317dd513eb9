#pragma once

#include <QString>
#include <QStringList>

class LanguageSelect;

// Renders the editor scenes and the print preview of the example into outDir (PNG files);
// dataDir is the source tree's data folder. Returns the files written.
QStringList renderItemEditorScenes(const QString &outDir, const QString &dataDir, LanguageSelect *language);

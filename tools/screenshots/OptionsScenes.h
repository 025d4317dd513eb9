#pragma once

#include <QString>
#include <QStringList>

class LanguageSelect;

// Renders the settings dialog on each of its three sheets (port, line parameters, description
// file), the description-file sheet locked by /W, and the question of the file lookup, into
// outDir (PNG files).
// Returns the files written.
QStringList renderOptionsScenes(const QString &outDir, LanguageSelect *language);

#pragma once

#include <QString>

class LanguageSelect;

// Where locateFile looks for a file named without a usable directory, in this order.
struct FileLookupDirectories
{
    QString program;  // the program's directory
    QString working;  // the working directory
    QString windows;  // machine-wide settings: /etc/torvane here
    QString system;   // files installed with the system: /usr/share/torvane here

    // The directories of this run.
    static FileLookupDirectories current();
};

// Finds a file given on the command line (a configuration file to show):
//  - a name that exists as it stands (relative names count from the working directory) is
//    taken: with its directory when it has one, else in the directory where it was found;
//  - otherwise its file-name part is looked for in the program, working, machine-settings and
//    system directories, the first existing file wins;
//  - otherwise the user is asked (Yes/No/Ignore): Yes opens a file dialog preset with the
//    name, No raises "FileToolNoFileSelected", Ignore (or a cancelled dialog) gives the bare
//    file-name part. A picked file with another name raises "FileToolWrongFileSelected".
// Names compare as the file system does (letter case counts here). Raises TorvaneError with
// the translated text; language may be null (the keys are then shown as they are).
QString locateFile(const QString &name, const LanguageSelect *language);
QString locateFile(const QString &name, const LanguageSelect *language, const FileLookupDirectories &directories);

#pragma once

#include "localisation/LanguageSelect.h"
#include "model/BaseEEROM.h"
#include "base/IniFile.h"
#include "model/ProfilMapTool.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <memory>

// The pieces every command that binds an image shares: the description file, the
// translation service, the mapping-profile reader and the image itself (a plain image, or
// one with more layers, such as the printing one, given by the command).
struct CliBinding {
    explicit CliBinding(std::unique_ptr<TBaseEEROM> ownImage = std::make_unique<TBaseEEROM>())
        : ownedImage(std::move(ownImage)), image(*ownedImage)
    {
    }
    CliBinding(const CliBinding &) = delete;
    CliBinding &operator=(const CliBinding &) = delete;

    IniFile description;
    LanguageSelect language;
    TProfilMapTool profiles;
    std::unique_ptr<TBaseEEROM> ownedImage;
    TBaseEEROM &image;
};

// Options for the description and the language, added to a command's parser.
struct DescriptionOptions {
    QCommandLineOption tcf{QStringLiteral("tcf"), QStringLiteral("The description file."), QStringLiteral("DESC.tcf")};
    QCommandLineOption base{QStringLiteral("base"), QStringLiteral("Read the parameters from section \"Base\".")};
    QCommandLineOption lang{QStringLiteral("lang"),
                            QStringLiteral("Language of the texts for this run (default: the language the user's locale maps to)."),
                            QStringLiteral("NAME")};
    QCommandLineOption langDir{QStringLiteral("lang-dir"), QStringLiteral("Folder of the language files (default: lang beside the program or in share/torvane)."),
                               QStringLiteral("DIR")};
    void addTo(QCommandLineParser &parser, bool withLanguage = true);
};

// Loads the description (a missing or unreadable file is an error here, unlike inside the
// program, where it reads as empty) and sets up the translation service. Prints the reason
// and returns false on failure.
bool prepareBinding(CliBinding &binding, const QCommandLineParser &parser, const DescriptionOptions &options);
// Opens FILE.gwc with the bound description, as the open command does, and sets the
// flag register of every parameter as the main window does before showing values.
bool openImage(CliBinding &binding, const QString &path);
void setFlagRegisters(TBaseEEROM &image);

// The language folder: --lang-dir when given, else "lang" beside the program or in share/torvane.
QString cliLangDir(const QString &langDirOption);
// A --lang naming no installed language is a usage error whatever the command: checked on
// the raw command line before the command runs. Returns false and sets *message (naming
// the installed languages) when the name is unknown.
bool checkLanguageArgument(const QStringList &arguments, QString *message);

// torvane-cli shows the model's messages on stderr and counts them: a message that comes up
// while a command works without a user means something could not be done, and the commands
// that watch the count (show --mapping, set, print) then fail.
void installCliPrompts();
int cliMessageCount();

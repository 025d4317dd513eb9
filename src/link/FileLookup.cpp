#include "link/FileLookup.h"

#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "localisation/LanguageSelect.h"
#include "platform/ConfigPaths.h"
#include "platform/UserPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// Letter case counts where the file system says it does.
Qt::CaseSensitivity fileNameCase()
{
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

QString translated(const LanguageSelect *language, const char *key)
{
    const QString k = QString::fromLatin1(key);
    return language ? language->translate(k) : k;
}

bool isFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// Directory and name joined by one separator: a directory that already ends in one (the root,
// a drive) does not get a second.
QString joined(const QString &directory, const QString &fileName)
{
    const QString dir = QDir::toNativeSeparators(directory);
    const QChar sep = QDir::separator();
    if (dir.endsWith(sep))
        return dir + fileName;
    return dir + sep + fileName;
}

QString fileNamePart(const QString &name)
{
    // Both separators end a directory part: a name from another system may carry either.
    const qsizetype cut = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    return cut < 0 ? name : name.mid(cut + 1);
}

} // namespace

FileLookupDirectories FileLookupDirectories::current()
{
    FileLookupDirectories d;
    d.program = ConfigPaths::programDir();
    d.working = QDir::currentPath();
#ifdef Q_OS_WIN
    d.windows = qEnvironmentVariable("SystemRoot");
    d.system = d.windows.isEmpty() ? QString() : d.windows + QStringLiteral("\\System32");
#else
    d.windows = QStringLiteral("/etc/torvane");
    // The files installed with the program (<prefix>/share/torvane), else the usual place.
    const QString installed = ConfigPaths::programDataDir(QString());
    d.system = installed != QDir::cleanPath(d.program) ? installed : QStringLiteral("/usr/share/torvane");
#endif
    return d;
}

QString locateFile(const QString &name, const LanguageSelect *language)
{
    return locateFile(name, language, FileLookupDirectories::current());
}

QString locateFile(const QString &name, const LanguageSelect *language, const FileLookupDirectories &directories)
{
    const QString notFound = FormatText(translated(language, "FileToolFileNotFound"), {name});
    const QString noFile = translated(language, "FileToolNoFileSelected");
    const QString wrongFile = translated(language, "FileToolWrongFileSelected");
    const QString fileName = fileNamePart(name);

    // As given: relative names count from the working directory.
    const QString asGiven = QDir::isRelativePath(name) && !directories.working.isEmpty()
                                ? QDir(directories.working).filePath(name)
                                : name;
    if (!fileName.isEmpty() && isFile(asGiven)) {
        if (fileName != name)
            return name;
        // Found without a directory part: it is in the working directory, so say so (joining
        // the program's directory would name a file that need not exist).
        return joined(directories.working, fileName);
    }

    if (!fileName.isEmpty()) {
        for (const QString &dir : {directories.program, directories.working, directories.windows, directories.system}) {
            if (dir.isEmpty())
                continue;
            const QString candidate = joined(dir, fileName);
            if (isFile(candidate))
                return candidate;
        }
    }

    UserPrompts &prompts = UserPrompts::instance();
    const PromptButton answer = prompts.message(QString(), notFound, PromptIcon::Information,
                                                {PromptButton::Yes, PromptButton::No, PromptButton::Ignore},
                                                PromptButton::Ignore);
    switch (answer) {
    case PromptButton::Yes: {
        const QString picked = prompts.openFile(QString(), fileName, QStringLiteral("*.*|*.*"));
        if (picked.isEmpty())
            return fileName;
        if (QFileInfo(picked).fileName().compare(fileName, fileNameCase()) != 0)
            throw TorvaneError(wrongFile);
        return picked;
    }
    case PromptButton::No:
        throw TorvaneError(noFile);
    default:
        return fileName;
    }
}

#pragma once

// Shared ground of the fuzz harnesses: a core application (timers and the event dispatcher
// need one), prompts that answer silently, the bundled example data, and a private folder for
// readers that only take a file name.

#include "base/GeneralError.h"
#include "base/IniFile.h"
#include "platform/UserPrompts.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace fuzz {

class SilentPrompts final : public UnattendedPrompts
{
public:
    PromptButton message(const QString &, const QString &, PromptIcon, const PromptButtons &,
                         PromptButton defaultButton) override
    {
        return defaultButton;
    }
};

// Called once from LLVMFuzzerInitialize.
inline void init(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    static SilentPrompts prompts;
    UserPrompts::setInstance(&prompts);
    qputenv("XDG_CONFIG_HOME", (QDir::tempPath() + QStringLiteral("/torvane-fuzz-config")).toLocal8Bit());
}

inline QString dataDir()
{
    return QStringLiteral(TORVANE_DATA_DIR);
}

inline QByteArray readData(const QString &relativePath)
{
    QFile file(dataDir() + u'/' + relativePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The example description every harness binds its images with.
inline const IniFile &exampleDescription()
{
    static IniFile ini = [] {
        IniFile f;
        f.parse(readData(QStringLiteral("examples/vantor.tcf")));
        return f;
    }();
    return ini;
}

inline QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

// Writes the input where a file-reading function can find it; returns its path.
inline QString writeScratch(const QString &name, const uint8_t *data, size_t size)
{
    const QString path = scratch().filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    return path;
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

} // namespace fuzz

#define TORVANE_FUZZ_INIT                                                                                             \
    extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)                                                     \
    {                                                                                                                 \
        fuzz::init(argc, argv);                                                                                      \
        return 0;                                                                                                     \
    }

#include "cli/CliSupport.h"

#include "cli/CliCommon.h"
#include "base/GeneralError.h"
#include "platform/ConfigPaths.h"
#include "platform/UserPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

void DescriptionOptions::addTo(QCommandLineParser &parser, bool withLanguage)
{
    parser.addOption(tcf);
    parser.addOption(base);
    if (withLanguage) {
        parser.addOption(lang);
        parser.addOption(langDir);
    }
}

bool prepareBinding(CliBinding &binding, const QCommandLineParser &parser, const DescriptionOptions &options)
{
    const QString tcf = parser.value(options.tcf);
    if (tcf.isEmpty()) {
        cliErr() << "torvane-cli: no description file given (--tcf DESC.tcf)" << Qt::endl;
        return false;
    }
    if (!QFileInfo(tcf).isFile() || !binding.description.load(tcf)) {
        cliErr() << "torvane-cli: cannot read the description file \"" << tcf << "\"" << Qt::endl;
        return false;
    }

    LanguageSelect &language = binding.language;
    const QString dir = cliLangDir(parser.isSet(options.langDir) ? parser.value(options.langDir) : QString());
    language.setLangDir(dir);
    language.initLangs();
    language.readDefaultLang();
    if (parser.isSet(options.lang)) {
        const QString name = parser.value(options.lang);
        if (!language.readFile(name)) {
            cliErr() << "torvane-cli: language \"" << name << "\" is not installed in \"" << dir << "\" (installed: "
                     << (language.Flanguages.isEmpty() ? QStringLiteral("none") : language.Flanguages.join(QStringLiteral(", ")))
                     << ")" << Qt::endl;
            return false;
        }
    }

    binding.image.SetSourceDatei(&binding.description);
    binding.image.language = &binding.language;
    binding.profiles.SetDatei(&binding.description);
    binding.profiles.FLanguage = &binding.language;
    binding.image.ItemTool().FProfilMapTool = &binding.profiles;
    binding.image.ReadBaseSection = parser.isSet(options.base);
    return true;
}

QString cliLangDir(const QString &langDirOption)
{
    return !langDirOption.isEmpty() ? langDirOption : ConfigPaths::programDataDir(QStringLiteral("lang"));
}

bool checkLanguageArgument(const QStringList &arguments, QString *message)
{
    QString name, dir;
    bool named = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--"))
            break; // what follows is arguments, not options
        for (const QString option : {QStringLiteral("--lang"), QStringLiteral("--lang-dir")}) {
            QString value;
            if (a == option && i + 1 < arguments.size())
                value = arguments[++i];
            else if (a.startsWith(option + u'='))
                value = a.mid(option.size() + 1);
            else
                continue;
            if (option.size() == 6) {
                name = value;
                named = true;
            } else {
                dir = value;
            }
            break;
        }
    }
    if (!named)
        return true;
    LanguageSelect language;
    language.setLangDir(cliLangDir(dir));
    language.initLangs();
    if (language.Flanguages.contains(name))
        return true;
    *message = QStringLiteral("language \"%1\" is not installed in \"%2\" (installed: %3)")
                   .arg(name, language.langDir(),
                        language.Flanguages.isEmpty() ? QStringLiteral("none") : language.Flanguages.join(QStringLiteral(", ")));
    return false;
}

void setFlagRegisters(TBaseEEROM &image)
{
    if (image.GetByteIDX(1) < 100)
        return;
    const int32_t flags = image.GetByteIDX(4) & 0x1B;
    for (const auto &item : image.ItemList)
        item->flagreg = flags;
}

bool openImage(CliBinding &binding, const QString &path)
{
    try {
        binding.image.openfile(path);
    } catch (const TorvaneError &e) {
        cliErr() << "torvane-cli: " << path << ": " << e.message() << Qt::endl;
        return false;
    }
    setFlagRegisters(binding.image);
    return true;
}

namespace {

class CliPrompts final : public UnattendedPrompts
{
public:
    PromptButton message(const QString &caption, const QString &text, PromptIcon, const PromptButtons &,
                         PromptButton defaultButton) override
    {
        ++count;
        // As the non-interactive default writes them, so other commands' output stays as it was.
        if (!caption.isEmpty())
            cliErr() << caption << ": ";
        cliErr() << text << Qt::endl;
        return defaultButton;
    }

    int count = 0;
};

CliPrompts g_cliPrompts;

} // namespace

void installCliPrompts()
{
    UserPrompts::setInstance(&g_cliPrompts);
}

int cliMessageCount()
{
    return g_cliPrompts.count;
}

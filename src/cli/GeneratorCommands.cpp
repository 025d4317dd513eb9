// torvane-cli eds and extension: the generators without a window.
#include "cli/CliCommon.h"
#include "cli/CliSupport.h"
#include "generators/EdsGenerate.h"
#include "generators/EdsGeneration.h"
#include "generators/ExtensionWriter.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "base/FileReplace.h"
#include "base/GeneralError.h"
#include "platform/ConfigPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace {

// The extension writer's progress lines go to stdout as they come. While a file is checked they
// are held back: when the check fails, the last one is the reason, and that goes to stderr.
class ConsoleExtensionView final : public TExtensionView
{
public:
    bool holding = false;
    QStringList held;

    void SetFileLabel(const QString &) override {}
    void AddProgressLine(const QString &line) override
    {
        if (holding)
            held << line;
        else
            cliOut() << line << Qt::endl;
    }
    void SetWriteEnabled(bool) override {}
    void SetCloseEnabled(bool) override {}

    // Prints the held lines, but the last one when it is the reason of a failure (returned).
    QString release(bool lastIsFailure)
    {
        holding = false;
        const QString last = lastIsFailure && !held.isEmpty() ? held.takeLast() : QString();
        for (const QString &line : std::as_const(held))
            cliOut() << line << Qt::endl;
        held.clear();
        return last;
    }
};

} // namespace

// torvane-cli eds --tcf DESC.tcf [--template-dir DIR] [-o OUT] FILE.gwc
int runEds(const QStringList &arguments)
{
    QCommandLineParser parser;
    DescriptionOptions description;
    description.addTo(parser);
    const QCommandLineOption templateDir(QStringLiteral("template-dir"),
                                         QStringLiteral("Folder of the templates (default: ddtemplate beside the program or in share/torvane)."),
                                         QStringLiteral("DIR"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The file to write (default: the proposed name in the current folder)."),
                                    QStringLiteral("OUT"));
    parser.addOption(templateDir);
    parser.addOption(output);
    parser.addPositionalArgument(QStringLiteral("FILE.gwc"), QStringLiteral("The configuration image."));
    int exitCode = ExitOk;
    if (!parseCommandLine(parser, QStringLiteral("eds"),
                          QStringLiteral("Generates the device description (EDS or XML) of an image from its template."),
                          arguments, &exitCode))
        return exitCode;
    if (parser.positionalArguments().size() != 1)
        return usageError(parser, QStringLiteral("eds takes exactly one FILE.gwc"));

    CliBinding binding;
    if (!prepareBinding(binding, parser, description) || !openImage(binding, parser.positionalArguments().first()))
        return ExitFailure;
    TBaseEEROM &image = binding.image;
    const QString dir = parser.isSet(templateDir) ? parser.value(templateDir) : TEdsGenerate::defaultTemplateDir();
    const QString templateName = EdsGeneration::FindTemplate(EdsGeneration::TemplateKey(image.deviceId), dir);
    if (templateName.isEmpty()) {
        cliErr() << "torvane-cli: " << binding.language.translate(QStringLiteral("mainMenuGenerateEDSCouldNotFind")) << '\n'
                 << binding.language.translate(QStringLiteral("mainMenuGenerateEDSNoFileCreated")) << Qt::endl;
        return ExitFailure;
    }

    QByteArray generated;
    TEdsGenerate generator(&image);
    generator.templateDir = dir;
    try {
        generator.generate(templateName, generated);
    } catch (const TorvaneError &e) {
        cliErr() << "torvane-cli: " << e.message() << Qt::endl;
        return ExitFailure;
    }
    cliErr() << binding.language.translate(QStringLiteral("messageEDSGenerationInfo")) << '\n';
    for (const QString &used : generator.getReplacedItems().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        cliErr() << used << '\n';
    cliErr().flush();

    const QString path = parser.isSet(output)
                             ? parser.value(output)
                             : QDir::current().filePath(EdsGeneration::ProposedFileName(
                                   image, EdsGeneration::TemplateExtension(templateName), templateName));
    if (const QString error = replaceFileContents(path, generated); !error.isEmpty()) {
        cliErr() << "torvane-cli: " << error << Qt::endl;
        return ExitFailure;
    }
    cliOut() << path << Qt::endl;
    return ExitOk;
}

// torvane-cli extension [--port COMn] [--baud N] [--data-bits 7|8] [--parity P] FILE.hex
int runExtension(const QStringList &arguments)
{
    QCommandLineParser parser;
    PortOptions portOptions; // the same options, defaults and checks as the other device commands
    portOptions.addTo(parser, false);
    DescriptionOptions description; // only its language options are offered here
    parser.addOption(description.lang);
    parser.addOption(description.langDir);
    parser.addPositionalArgument(QStringLiteral("FILE.hex"),
                                 QStringLiteral("The extension as an Intel HEX file; characters 5 to 8 of its name are the "
                                                "extension number in hexadecimal (cust0A01.hex: 0A01)."));
    int exitCode = ExitOk;
    if (!parseCommandLine(parser, QStringLiteral("extension"),
                          QStringLiteral("Checks an extension HEX file and writes it into the device."), arguments,
                          &exitCode))
        return exitCode;
    if (parser.positionalArguments().size() != 1)
        return usageError(parser, QStringLiteral("extension takes exactly one FILE.hex"));
    const QString file = parser.positionalArguments().first();

    TCOM com(nullptr, nullptr);
    if (const int rc = applyPortOptions(portOptions, parser, com.Settings); rc != ExitOk)
        return rc;

    LanguageSelect language;
    const QString langDir = parser.isSet(description.langDir)
                                ? parser.value(description.langDir)
                                : ConfigPaths::programDataDir(QStringLiteral("lang"));
    language.setLangDir(langDir);
    language.initLangs();
    language.readDefaultLang();
    if (parser.isSet(description.lang) && !language.readFile(parser.value(description.lang))) {
        cliErr() << "torvane-cli: language \"" << parser.value(description.lang) << "\" is not installed in \""
                 << langDir << "\"" << Qt::endl;
        return ExitFailure;
    }

    ConsoleExtensionView view;
    TExtensionWriter writer(com, view, &language);
    // The file is checked before the port is touched: a bad file sends nothing.
    view.holding = true;
    const bool loaded = writer.LoadHexFile(file);
    const QString loadError = view.release(!loaded);
    if (!loaded)
        return deviceCommandFailed(QStringLiteral("extension"), QStringLiteral("\"%1\": %2").arg(file, loadError));

    if (!openDevicePort(com))
        return ExitFailure;
    bool stored = false;
    QString reason;
    try {
        stored = writer.doWrite(true);
        reason = writer.resultMessage;
    } catch (const TorvaneError &e) {
        reason = e.message();
    }
    cliOut().flush();
    // Let the last bytes leave before the port closes.
    LinkWait::waitUntil([&] { return com.OutputPending() == 0 || !com.IsOpen(); }, 1000);
    if (stored)
        return ExitOk;
    if (!com.IsOpen())
        reason = language.translate(QStringLiteral("statusBarPanelPortLost"));
    else if (reason.isEmpty()) // no verdict at all
        reason = language.translate(QStringLiteral("ExtensionDlgMessageTimeout"));
    return deviceCommandFailed(QStringLiteral("extension"), reason);
}

// torvane-cli eds and extension: the generators without a window.
#include "cli/CliCommon.h"
#include "cli/CliSupport.h"
#include "generators/EdsGenerate.h"
#include "generators/EdsGeneration.h"
#include "generators/ExtensionWriter.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "base/GeneralError.h"
#include "platform/PortMap.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>

namespace {

// The extension writer's progress lines go to stdout as they come.
class ConsoleExtensionView final : public TExtensionView
{
public:
    void SetFileLabel(const QString &) override {}
    void AddProgressLine(const QString &line) override
    {
        cliOut() << line << Qt::endl;
    }
    void SetWriteEnabled(bool) override {}
    void SetCloseEnabled(bool) override {}
};

} // namespace

// torvane-cli eds --tcf DESC.tcf [--template-dir DIR] [-o OUT] FILE.gwc
int runEds(const QStringList &arguments)
{
    QCommandLineParser parser;
    DescriptionOptions description;
    description.addTo(parser);
    const QCommandLineOption templateDir(QStringLiteral("template-dir"),
                                         QStringLiteral("Folder of the templates (default: ddtemplate beside the program)."),
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(generated) != generated.size() || !file.commit()) {
        cliErr() << "torvane-cli: cannot write \"" << path << "\"" << Qt::endl;
        return ExitFailure;
    }
    cliOut() << path << Qt::endl;
    return ExitOk;
}

// torvane-cli extension --port COMn FILE.hex
int runExtension(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The serial port the device is on."),
                                  QStringLiteral("COMn"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Baud rate (default 9600)."), QStringLiteral("N"));
    DescriptionOptions description; // only its language options are offered here
    parser.addOption(port);
    parser.addOption(baud);
    parser.addOption(description.lang);
    parser.addOption(description.langDir);
    parser.addPositionalArgument(QStringLiteral("FILE.hex"), QStringLiteral("The extension as an Intel HEX file."));
    int exitCode = ExitOk;
    if (!parseCommandLine(parser, QStringLiteral("extension"),
                          QStringLiteral("Checks an extension HEX file and writes it into the device."), arguments,
                          &exitCode))
        return exitCode;
    if (parser.positionalArguments().size() != 1)
        return usageError(parser, QStringLiteral("extension takes exactly one FILE.hex"));
    const int comNumber = PortMap::comNumber(parser.value(port));
    if (comNumber < 0)
        return usageError(parser, QStringLiteral("--port COMn is required"));

    LanguageSelect language;
    const QString langDir = parser.isSet(description.langDir)
                                ? parser.value(description.langDir)
                                : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("lang"));
    language.setLangDir(langDir);
    language.initLangs();
    language.readDefaultLang();
    if (parser.isSet(description.lang) && !language.readFile(parser.value(description.lang))) {
        cliErr() << "torvane-cli: language \"" << parser.value(description.lang) << "\" is not installed in \""
                 << langDir << "\"" << Qt::endl;
        return ExitFailure;
    }

    TCOM com(nullptr, nullptr);
    ConsoleExtensionView view;
    TExtensionWriter writer(com, view, &language);
    // The file is checked before the port is touched: a bad file sends nothing.
    if (!writer.LoadHexFile(parser.positionalArguments().first()))
        return ExitFailure;

    com.Settings.StandardSerialOptions();
    com.Settings.PortNumber.Text = PortMap::portName(comNumber);
    if (parser.isSet(baud))
        com.Settings.Baudrate.Text = parser.value(baud);
    try {
        com.ApplySettings();
    } catch (const TorvaneError &e) {
        cliErr() << "torvane-cli: " << e.message() << Qt::endl;
        return ExitFailure;
    }
    LinkWait::handlePendingEvents();
    if (!com.IsOpen()) {
        cliErr() << "torvane-cli: cannot open " << PortMap::portName(comNumber) << Qt::endl;
        return ExitFailure;
    }

    bool stored = false;
    try {
        stored = writer.doWrite(true);
    } catch (const TorvaneError &e) {
        cliOut().flush();
        cliErr() << "torvane-cli: " << e.message() << Qt::endl;
        return ExitFailure;
    }
    // Let the last bytes leave before the port closes.
    LinkWait::waitUntil([&] { return com.OutputPending() == 0; }, 1000);
    return stored ? ExitOk : ExitFailure;
}

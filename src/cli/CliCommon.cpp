#include "cli/CliCommon.h"

#include <cstdio>

QTextStream &cliOut()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream &cliErr()
{
    static QTextStream s(stderr);
    return s;
}

bool parseCommandLine(QCommandLineParser &parser, const QString &command, const QString &description,
                      const QStringList &arguments, int *exitCode)
{
    parser.setApplicationDescription(description);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    parser.addOption(help);
    if (!parser.parse(arguments)) {
        *exitCode = usageError(parser, parser.errorText());
        return false;
    }
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        // The parser names the program; show the command too, as it must be typed.
        text.replace(QStringLiteral("Usage: ") + arguments.value(0), QStringLiteral("Usage: torvane-cli ") + command);
        cliOut() << text;
        cliOut().flush();
        *exitCode = ExitOk;
        return false;
    }
    return true;
}

int usageError(const QCommandLineParser &parser, const QString &message)
{
    cliErr() << "torvane-cli: " << message << Qt::endl;
    QString text = parser.helpText();
    const qsizetype firstLineEnd = text.indexOf(u'\n');
    cliErr() << text.left(firstLineEnd) << Qt::endl << "(see --help)" << Qt::endl;
    cliErr().flush();
    return ExitUsage;
}

const QList<CliCommand> &cliCommands()
{
    static const QList<CliCommand> commands = {
        {QStringLiteral("info"), QStringLiteral("Shows the header, checksum and text form of a .gwc image."), runInfo},
        {QStringLiteral("show"), QStringLiteral("Lists the parameters of an image through its description."), runShow},
        {QStringLiteral("set"), QStringLiteral("Changes parameters of an image (NAME=VALUE ...)."), runSet},
        {QStringLiteral("diff"), QStringLiteral("Lists the parameters that differ between two images."), runDiff},
        {QStringLiteral("upload"), QStringLiteral("Reads the configuration from the device into a .gwc file."), runUpload},
        {QStringLiteral("download"), QStringLiteral("Writes a .gwc file to the device."), runDownload},
        {QStringLiteral("write-script"), QStringLiteral("Installs a compiled script on the device."), runWriteScript},
        {QStringLiteral("reset"), QStringLiteral("Resets the device through its service prompt."), runReset},
        {QStringLiteral("debug-upload"), QStringLiteral("Reads the configuration in raw form while the device restarts."), runDebugUpload},
        {QStringLiteral("debug-download"), QStringLiteral("Writes a .gwc file in raw form while the device restarts."), runDebugDownload},
        {QStringLiteral("number"), QStringLiteral("Writes configurations with consecutive serial numbers."), runNumber},
        {QStringLiteral("print"), QStringLiteral("Prints the parameter list of an image as text or PDF."), runPrint},
        {QStringLiteral("eds"), QStringLiteral("Generates the EDS or XML device description of an image."), runEds},
        {QStringLiteral("extension"), QStringLiteral("Writes an extension HEX file into the device."), runExtension},
    };
    return commands;
}

#include "cli/CliCommon.h"

#include "base/GeneralError.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "link/SerialSettings.h"
#include "platform/PortMap.h"
#include "platform/RegistryStore.h"

#include <QCoreApplication>
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
        text.replace(QStringLiteral("Usage: ") + QCoreApplication::arguments().value(0), QStringLiteral("Usage: torvane-cli ") + command);
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
    // The parser names the program by its full path; show what must be typed instead.
    const QStringList appArguments = QCoreApplication::arguments();
    text.replace(QStringLiteral("Usage: ") + appArguments.value(0), QStringLiteral("Usage: torvane-cli ") + appArguments.value(1));
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

// --- the port options of every device command -------------------------------------------------

void PortOptions::addTo(QCommandLineParser &parser, bool withMonitor) const
{
    parser.addOption(port);
    parser.addOption(baud);
    parser.addOption(dataBits);
    parser.addOption(parity);
    if (withMonitor)
        parser.addOption(monitor);
}

bool PortOptions::settings(const QCommandLineParser &parser, TSerialSettings &s, QString *error, bool *usage) const
{
    *usage = true;
    TSerialSettings defaults;
    defaults.StandardSerialOptions();
    s.Read(RegistryStore::user());
    const std::pair<TSelectionList *, const TSelectionList *> lists[] = {
        {&s.Baudrate, &defaults.Baudrate}, {&s.Startbits, &defaults.Startbits}, {&s.StopBits, &defaults.StopBits},
        {&s.Datenbits, &defaults.Datenbits}, {&s.Parity, &defaults.Parity}};
    for (const auto &[list, fallback] : lists)
        if (list->Text.isEmpty())
            list->Text = fallback->Text;

    if (parser.isSet(port)) {
        const int n = PortMap::comNumber(parser.value(port));
        if (n < PortMap::kFirstPort || n > PortMap::kLastPort) {
            *error = QStringLiteral("--port takes COM1 .. COM%1, not \"%2\"").arg(PortMap::kLastPort).arg(parser.value(port));
            return false;
        }
        s.PortNumber.Text = PortMap::portName(n);
    }
    const auto pick = [&](const QCommandLineOption &o, TSelectionList &list) {
        if (!parser.isSet(o))
            return true;
        const QString v = parser.value(o).trimmed().toLower();
        if (!list.Items.contains(v)) {
            *error = QStringLiteral("--%1 takes one of %2, not \"%3\"").arg(o.names().first(), list.Items.join(u' '), parser.value(o));
            return false;
        }
        list.Text = v;
        return true;
    };
    if (!pick(baud, s.Baudrate) || !pick(dataBits, s.Datenbits) || !pick(parity, s.Parity))
        return false;
    *usage = false;
    if (s.PortNumber.Text.isEmpty() || s.PortNumber.Text == TSerialSettings::kOffline) {
        *error = QStringLiteral("no port given (--port COMn) and none stored in the settings");
        return false;
    }
    return true;
}

int applyPortOptions(const PortOptions &options, const QCommandLineParser &parser, TSerialSettings &settings)
{
    QString error;
    bool usage = false;
    if (options.settings(parser, settings, &error, &usage))
        return ExitOk;
    if (usage)
        return usageError(parser, error);
    cliErr() << "torvane-cli: " << error << Qt::endl;
    return ExitFailure;
}

bool openDevicePort(TCOM &com)
{
    try {
        com.ApplySettings();
    } catch (const TorvaneError &e) {
        cliErr() << "torvane-cli: " << e.message() << Qt::endl;
        return false;
    }
    LinkWait::handlePendingEvents();
    if (com.IsOpen())
        return true;
    const QString reason = !com.LastOpenError.isEmpty() ? com.LastOpenError : com.State;
    cliErr() << "torvane-cli: cannot open " << com.Settings.PortNumber.Text;
    if (!reason.isEmpty())
        cliErr() << ": " << reason;
    cliErr() << Qt::endl;
    return false;
}

int deviceCommandFailed(const QString &command, const QString &reason)
{
    cliErr() << "torvane-cli: " << command << " failed";
    if (!reason.isEmpty())
        cliErr() << ": " << reason;
    cliErr() << Qt::endl;
    return ExitFailure;
}

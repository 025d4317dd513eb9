#include "link/CommandLine.h"

#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "platform/StatusTrace.h"

#include <QFileInfo>

QString commandLineHelpText()
{
    return QStringLiteral("Options:\r\n/P <COM1>   Setting Comport\r\n/V  Get TORVANE Version\r\n/N  No automatic upload\r\n"
                          "/X  <Entry>  Automatic Update of <Entry>\r\n/? Help-Dialog\r\n");
}

bool isFileArgument(const QString &argument)
{
    if (argument.isEmpty())
        return false;
    return argument.indexOf(u'/', 1) > 0 || QFileInfo::exists(argument);
}

namespace {

// The count after a one-letter prefix ("/Q5", "/L7"); "" when only the prefix is there.
int prefixCount(const QString &upper, int whenEmpty)
{
    if (upper.size() <= 2)
        return whenEmpty;
    return StrToInt(upper.mid(2)); // raises "'x' is not a valid integer value"
}

} // namespace

TCommandLine parseCommandLine(const QStringList &args, const std::function<QString(const QString &)> &locateFile)
{
    TCommandLine cl;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const QString a = arg.toUpper();
        const auto next = [&] { return i + 1 < args.size() ? args[i + 1] : QString(); };
        try {
            if (isFileArgument(arg)) {
                // Never an option; only the containment test below applies.
            } else {
                if (a.startsWith(QLatin1String("/Q"))) {
                    const int count = prefixCount(a, 1);
                    // A production script that asks for no files, or fewer, must not be told
                    // that its run completed.
                    if (count < 1)
                        throw TorvaneError(QStringLiteral("'%1' is not a valid count of configuration files").arg(a.mid(2)));
                    cl.generate = true;
                    cl.generateCount = count;
                }
                if (a.startsWith(QLatin1String("/L"))) {
                    cl.logLevel = prefixCount(a, 0);
                    continue;
                }
                if (a == QLatin1String("/B")) {
                    cl.readBaseSection = true;
                    continue;
                }
                if (a == QLatin1String("/C")) {
                    cl.Control = false;
                    continue;
                }
                if (a == QLatin1String("/D") || a == QLatin1String("/F")) {
                    cl.debugView = true;
                    continue;
                }
                if (a == QLatin1String("/H")) {
                    cl.Header = true;
                    continue;
                }
                if (a == QLatin1String("/K")) {
                    cl.Kommunikationsfenster = false;
                    continue;
                }
                if (a == QLatin1String("/M")) {
                    cl.Menues = false;
                    continue;
                }
                if (a == QLatin1String("/N")) {
                    cl.AutomaticUpload = false;
                    continue;
                }
                if (a == QLatin1String("/S")) {
                    cl.Statuszeile = false;
                    continue;
                }
                if (a == QLatin1String("/V")) {
                    cl.messages << TCommandLine::Message::Version;
                    cl.versionExit = true;
                    return cl;
                }
                if (a == QLatin1String("/W")) {
                    cl.descriptionGiven = true;
                    cl.DescriptionFilePath = next(); // unchanged; examined again in its turn
                    continue;
                }
                if (a == QLatin1String("/X"))
                    continue;
                if (a == QLatin1String("/P")) {
                    cl.portGiven = true;
                    cl.port = next().toUpper();
                    // The port list's "offline" entry is lower case; upper-casing must not
                    // turn it into an unknown port.
                    if (cl.port == QLatin1String("OFFLINE"))
                        cl.port = QStringLiteral("offline");
                    continue;
                }
                if (a == QLatin1String("/G")) {
                    cl.AutomaticDownload = true;
                    cl.AutomaticUpload = false;
                    continue;
                }
                if (a == QLatin1String("/?")) {
                    cl.messages << TCommandLine::Message::Help;
                    continue;
                }
            }
            if (a.contains(QLatin1String("GWC"))) {
                cl.AutomaticUpload = false;
                // The argument as given: letter case counts in file names here. Located
                // first, so a file that was not found leaves no "default.gwc" to be loaded.
                cl.autoLoadConfigName = locateFile ? locateFile(arg) : arg;
                cl.autoLoadConfigFile = true;
                statusTrace().logStringOnly(QStringLiteral(" GWC File found"));
            }
        } catch (const TorvaneError &e) {
            cl.failure = e.message();
            cl.failedArgument = i;
            return cl;
        }
    }
    return cl;
}

TTerminalOptions parseTerminalOptions(const QStringList &args)
{
    TTerminalOptions t;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            t.help = true;
        } else if (a == QLatin1String("--version")) {
            t.version = true;
        } else if (a == QLatin1String("--trace")) {
            t.trace = true;
        } else if (a == QLatin1String("--screenshot") || a.startsWith(QLatin1String("--screenshot="))) {
            QString file;
            if (a.size() > 12)
                file = a.mid(13);
            else if (i + 1 < args.size())
                file = args[++i];
            if (file.isEmpty()) {
                t.error = QStringLiteral("--screenshot needs the name of the picture file");
                return t;
            }
            t.screenshot = file;
        } else {
            t.rest << a;
        }
    }
    return t;
}

QString terminalHelpText(const QString &programName)
{
    return QStringLiteral(
               "Usage: %1 [options] [configuration.gwc]\n"
               "Configures a gateway through its serial port. Options are case-insensitive and\n"
               "examined in order; an option's value is examined again as an argument.\n"
               "\n"
               "  /W file      use this description file (.tcf) for this run\n"
               "  /P COMn      use this port for this run (\"offline\": no port)\n"
               "  /N           no upload from the device at start\n"
               "  /G           download the configuration file to the device, then end\n"
               "               (exit code 1 when the device confirmed it)\n"
               "  /Qn          write n numbered copies AutoKonfig_<serial>.gwc of the\n"
               "               configuration file beside it, then end (exit code 1)\n"
               "  /Ln          trace level (above 4 the state window is shown)\n"
               "  /B           parameters always from section \"Base\" of the description\n"
               "  /D, /F       debug view: data section shown, every shown value editable\n"
               "  /C /K /M /S  hide the control bar / monitor / menu / status bar\n"
               "  /H /X        accepted, no effect\n"
               "  /V           show the version and end; /? show the short option list\n"
               "  file.gwc     show this configuration file instead of reading the device\n"
               "               (any argument containing \"gwc\" is taken as one)\n"
               "\n"
               "An argument that names an existing file, or that holds a \"/\" after its first\n"
               "character, is a file and never an option: /lib/plant.gwc is a file.\n"
               "\n"
               "  --screenshot FILE  after the first content is shown, save a PNG picture of\n"
               "                     the window to FILE and end (exit code 0; 2 when FILE\n"
               "                     cannot be written); /G and /Q do not run then\n"
               "  --trace            write the trace of the state window to stderr as well\n"
               "  --version          print the version and end\n"
               "  --help             print this text and end\n"
               "\n"
               "Exit codes: 0 normal end, 1 unattended run (/G, /Q) completed, 2 usage error.\n"
               "Without a display set QT_QPA_PLATFORM=offscreen for unattended runs. Nobody can\n"
               "answer a box there: messages go to stderr, questions take their default answer\n"
               "and file dialogs are cancelled.\n")
        .arg(programName);
}

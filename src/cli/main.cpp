#include "cli/CliCommon.h"

#include <QCoreApplication>

namespace {

void printToolHelp(QTextStream &s)
{
    s << "Usage: torvane-cli COMMAND [options] [arguments]\n\n"
         "Configures fieldbus gateways without a window.\n\nCommands:\n";
    for (const CliCommand &c : cliCommands())
        s << "  " << c.name.leftJustified(16) << c.summary << '\n';
    s << "\nRun 'torvane-cli COMMAND --help' for the options of a command.\n";
    s.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("torvane-cli"));
    QCoreApplication::setOrganizationName(QStringLiteral("Kellerbrand"));

    QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        printToolHelp(cliErr());
        return ExitUsage;
    }
    const QString command = args.at(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        printToolHelp(cliOut());
        return ExitOk;
    }
    for (const CliCommand &c : cliCommands()) {
        if (c.name == command) {
            args.removeAt(1); // the command's parser sees: program, options, arguments
            return c.run(args);
        }
    }
    cliErr() << "torvane-cli: unknown command '" << command << "'\n\n";
    printToolHelp(cliErr());
    return ExitUsage;
}

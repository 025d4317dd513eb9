#include "cli/CliCommon.h"
#include "cli/CliSupport.h"
#include "localisation/LanguageSelect.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>

namespace {

void printToolHelp(QTextStream &s)
{
    s << "Usage: torvane-cli COMMAND [options] [arguments]\n\n"
         "Configures fieldbus gateways without a window.\n\nCommands:\n";
    for (const CliCommand &c : cliCommands())
        s << "  " << c.name.leftJustified(16) << c.summary << '\n';
    s << "\nOptions:\n"
         "  --version       Shows the program's version.\n"
         "  --help          Shows this help.\n"
         "\nRun 'torvane-cli COMMAND --help' for the options of a command.\n"
         "Texts are in the language the user's locale maps to (lang/userlang2applang.ini);\n"
         "--lang NAME chooses another for one run.\n";
    s.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    // Only a PDF printout needs the graphical application (fonts, text layout); without a
    // display it runs on the offscreen platform instead of aborting.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    std::unique_ptr<QCoreApplication> app;
    if (cliNeedsGui(raw)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("torvane-cli"));
    QCoreApplication::setOrganizationName(QStringLiteral("Kellerbrand"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TORVANE_VERSION));
    installCliPrompts();
    LanguageSelect::setRemembersChoice(false); // --lang is for this run only

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
    if (command == QLatin1String("--version")) {
        cliOut() << "torvane-cli " << QCoreApplication::applicationVersion() << Qt::endl;
        return ExitOk;
    }
    for (const CliCommand &c : cliCommands()) {
        if (c.name == command) {
            QString languageProblem;
            if (!checkLanguageArgument(args, &languageProblem)) {
                cliErr() << "torvane-cli: " << languageProblem << Qt::endl;
                return ExitUsage;
            }
            args.removeAt(1); // the command's parser sees: program, options, arguments
            return c.run(args);
        }
    }
    cliErr() << "torvane-cli: unknown command '" << command << "'\n\n";
    printToolHelp(cliErr());
    return ExitUsage;
}

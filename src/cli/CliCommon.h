#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>

// Exit codes of torvane-cli.
enum CliExit { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

QTextStream &cliOut();
QTextStream &cliErr();

// One sub-command: its name, a one-line summary and its entry point, which gets the
// arguments after the command name (argv[0] first, as QCommandLineParser expects).
struct CliCommand {
    QString name;
    QString summary;
    int (*run)(const QStringList &arguments);
};

// Parses a sub-command's arguments. On --help prints the help and returns ExitOk in
// *exitCode; on wrong usage prints the error and the usage and returns ExitUsage.
// Returns true when the command should go on.
bool parseCommandLine(QCommandLineParser &parser, const QString &command, const QString &description,
                      const QStringList &arguments, int *exitCode);
// Wrong usage found after parsing (missing argument, bad value): prints and returns ExitUsage.
int usageError(const QCommandLineParser &parser, const QString &message);

// The commands, in the order --help lists them.
const QList<CliCommand> &cliCommands();

int runInfo(const QStringList &arguments);
int runShow(const QStringList &arguments);
int runSet(const QStringList &arguments);
int runDiff(const QStringList &arguments);
// The device commands (TransferCommands.cpp).
int runUpload(const QStringList &arguments);
int runDownload(const QStringList &arguments);
int runWriteScript(const QStringList &arguments);
int runReset(const QStringList &arguments);
int runDebugUpload(const QStringList &arguments);
int runDebugDownload(const QStringList &arguments);
int runNumber(const QStringList &arguments);
int runPrint(const QStringList &arguments);
// Whether the command line asks for output that needs the graphical application (a PDF).
bool cliNeedsGui(const QStringList &arguments);
int runEds(const QStringList &arguments);
int runExtension(const QStringList &arguments);

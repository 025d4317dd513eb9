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

// --- the port options of every device command -------------------------------------------------
class TCOM;
class TSerialSettings;

// --port, --baud, --data-bits, --parity (and --monitor where the command shows the device's
// free text). Every setting not given defaults to the stored one, then to 9600 8N1.
struct PortOptions {
    QCommandLineOption port{QStringLiteral("port"), QStringLiteral("Serial port (default: the stored port)."), QStringLiteral("COMn")};
    QCommandLineOption baud{QStringLiteral("baud"), QStringLiteral("Baud rate (default: the stored one, else 9600)."), QStringLiteral("N")};
    QCommandLineOption dataBits{QStringLiteral("data-bits"), QStringLiteral("Data bits: 7 or 8 (default: stored, else 8)."), QStringLiteral("7|8")};
    QCommandLineOption parity{QStringLiteral("parity"), QStringLiteral("Parity: none, even, odd, mark or space (default: stored, else none)."),
                              QStringLiteral("none|even|odd|mark|space")};
    QCommandLineOption monitor{QStringLiteral("monitor"), QStringLiteral("Also print the text the device sends by itself (stdout).")};

    void addTo(QCommandLineParser &parser, bool withMonitor = true) const;
    // The stored settings with the options over them; false with the reason, and *usage set
    // when an option's value is wrong (checked before anything is opened).
    bool settings(const QCommandLineParser &parser, TSerialSettings &s, QString *error, bool *usage) const;
};

// Port options, then the port: prints the usage error or the reason and returns the exit code
// (ExitOk when the command can go on). The port is not opened here.
int applyPortOptions(const PortOptions &options, const QCommandLineParser &parser, TSerialSettings &settings);
// Applies the session's settings and opens the port; prints "torvane-cli: cannot open COMn: "
// and the reason (in use, permission denied on the device file, no device) when it stays closed.
bool openDevicePort(TCOM &com);
// The final line of a failed device command: "torvane-cli: COMMAND failed: REASON".
int deviceCommandFailed(const QString &command, const QString &reason);

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

#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The window program's command line, examined the way the program has always done it: every
// argument upper-cased (options are case-insensitive), one after the other; an option that
// takes a value reads the next argument, which is then examined in its own turn as well.
//
// On Linux a path is itself a valid argument that may start with "/": an argument that names
// an existing file, or that holds a "/" after its first character, is a file argument and
// never an option, so "/lib/plant.gwc" is a configuration file and not /L with a bad number.
struct TCommandLine
{
    // Messages the examination shows, in the order it met them.
    enum class Message { Help, Version };

    bool AutomaticUpload = true;        // /N, /G and a configuration file turn it off
    bool autoLoadConfigFile = false;    // a configuration file was named
    QString autoLoadConfigName = QStringLiteral("default.gwc");
    bool AutomaticDownload = false;     // /G
    bool generate = false;              // /Q: serial-number generation
    int generateCount = 0;
    int logLevel = 0;                   // /L
    bool readBaseSection = false;       // /B
    bool debugView = false;             // /D, /F
    bool Control = true;                // /C clears
    bool Header = false;                // /H sets
    bool Kommunikationsfenster = true;  // /K clears
    bool Menues = true;                 // /M clears
    bool Statuszeile = true;            // /S clears
    bool descriptionGiven = false;      // /W
    QString DescriptionFilePath;
    bool portGiven = false;             // /P
    QString port;                       // upper case
    QList<Message> messages;            // /? and /V, in order
    bool versionExit = false;           // /V: end once its message is closed (nothing after it is examined)
    // The failure that stopped the examination (a count that is no number, a configuration
    // file that could not be located); the arguments after it were not examined.
    QString failure;
    int failedArgument = -1;            // index into the examined list

    bool failed() const { return failedArgument >= 0; }
};

// The text of /?.
QString commandLineHelpText();

// Whether argument is a file argument under the Linux rule above.
bool isFileArgument(const QString &argument);

// Examines args (without the program name). locateFile turns a configuration-file argument
// into the path to load (the file look-up of the settings, which may ask the user); it may
// raise TorvaneError, which stops the examination like a bad count. Without it the argument
// is taken as it stands.
TCommandLine parseCommandLine(const QStringList &args,
                              const std::function<QString(const QString &)> &locateFile = {});

// The options the terminal knows, examined before the window's own and taken out of the
// list: --help, --version, --screenshot FILE, --trace.
struct TTerminalOptions
{
    bool help = false;
    bool version = false;
    bool trace = false;           // every trace line is also written to stderr
    QString screenshot;           // after the first content: a PNG of the window, then exit
    QString error;                // a usage error (exit code 2)
    QStringList rest;             // the arguments left for parseCommandLine
};
TTerminalOptions parseTerminalOptions(const QStringList &args);
// The text of --help.
QString terminalHelpText(const QString &programName);

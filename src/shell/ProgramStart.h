#pragma once

// The start order of the window program: creation of the windows, the first activation of
// the main window (language, settings, description file, command line, port, first content),
// every later activation, the unattended runs that end the program, and the exception path.

#include "link/CommandLine.h"

#include <QApplication>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class TGWMainForm;
class TOptionsCommands;
class TFileCommands;
class TItemEditor;

// The application: a failure that escapes an event handler is shown and the program goes on.
class TTorvaneApplication : public QApplication
{
public:
    TTorvaneApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

class TProgramStart : public QObject
{
    Q_OBJECT
public:
    // args: the command line without the program name and without the terminal's own options.
    TProgramStart(TGWMainForm &window, const QStringList &args, const TTerminalOptions &terminal = {});
    ~TProgramStart() override;

    // The folder of the language files (the program's data folder unless set).
    QString LangDir;

    // Steps of the first activation; returns the exit code when the run ends in them (the
    // missing description cancelled, /V, --screenshot) and nothing when the program goes on.
    std::optional<int> FirstActivation();
    // The steps of every activation; on the first one also /Q and /G, which may end the run.
    std::optional<int> EveryActivation();

    const TCommandLine &CommandLine() const { return m_cl; }
    bool IsFirstActivation() const { return FirstActivationFlag; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void installWindows();
    void applyCommandLine();
    std::optional<int> chooseMissingDescription();
    void firstContent();
    std::optional<int> takeScreenshot();

    TGWMainForm &m_window;
    QStringList m_args;
    TTerminalOptions m_terminal;
    TCommandLine m_cl;
    TOptionsCommands *m_options = nullptr;
    TFileCommands *m_files = nullptr;
    TItemEditor *m_editor = nullptr;
    QString DescriptionFilePath;
    bool FirstActivationFlag = true;
    bool m_uploadStarted = false;
    bool m_inActivation = false;
};

// --help, --version and usage errors, answered on the terminal before any window exists.
std::optional<int> handleTerminalOptions(const TTerminalOptions &terminal, const QString &programName);

// The program: the windows, the first activation and the message loop; exit code.
int runProgram(TTorvaneApplication &app, const TTerminalOptions &terminal);

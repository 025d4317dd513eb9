// upload, download, write-script, reset, debug-upload, debug-download and number: the device
// commands of the main window, run on the terminal.
#include "cli/CliCommon.h"
#include "cli/CliSupport.h"
#include "link/DeviceCommands.h"
#include "link/DeviceHandshake.h"
#include "link/EEROM.h"
#include "link/LinkWait.h"
#include "link/ProgramSettings.h"
#include "link/SerialSession.h"
#include "link/UnattendedRuns.h"
#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "platform/PortMap.h"
#include "platform/RegistryStore.h"
#include "platform/UserPrompts.h"

#include <QFileInfo>

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kOverallLimitMs = 10 * 60 * 1000; // no sequence of the device takes longer

bool stderrIsTerminal()
{
    static const bool tty = ::isatty(STDERR_FILENO) == 1;
    return tty;
}

// The status bar, the monitor and the progress of a transfer, on the terminal: status texts
// go to stderr as they change, the device's free text (with --monitor) to stdout.
class TerminalView final : public TDeviceView
{
public:
    bool monitor = false;
    QString lastStatus;

    void SetPanelText(int panel, const QString &text) override
    {
        if (panel < 0 || panel > 3)
            return;
        m_panels[panel] = text;
        if (panel == panelStatus && !text.isEmpty() && text != lastStatus) {
            endProgress();
            cliErr() << text << Qt::endl;
            lastStatus = text;
        }
    }
    QString PanelText(int panel) const override { return panel >= 0 && panel <= 3 ? m_panels[panel] : QString(); }
    QString ConnectCaption() const override { return m_caption; }
    void SetConnectCaption(const QString &caption) override { m_caption = caption; }
    void enableDeviceCommands(bool) override {}
    void EnableCommand(TDeviceCommand, bool) override {}
    void refreshGrid() override {}
    void EnableGrid(bool) override {}
    bool MonitorVisible() const override { return monitor; }
    void Output(const QString &text) override
    {
        endProgress();
        cliOut() << text;
        cliOut().flush();
    }
    void TransferProgress(qint64 done, qint64 total) override
    {
        if (!stderrIsTerminal())
            return;
        QString line = QStringLiteral("\r  %1").arg(done);
        if (total > 0)
            line += QStringLiteral(" / %1").arg(total);
        cliErr() << line << " bytes\x1b[K";
        cliErr().flush();
        m_progress = true;
    }
    void endProgress()
    {
        if (!m_progress)
            return;
        cliErr() << "\r\x1b[K";
        cliErr().flush();
        m_progress = false;
    }

private:
    QString m_panels[4];
    QString m_caption;
    bool m_progress = false;
};

// Message boxes on the terminal. A question reads its answer from stdin (unless --yes
// answers it); the script "dialog" answers with the file named on the command line.
class TerminalPrompts final : public UserPrompts
{
public:
    explicit TerminalPrompts(TerminalView &view) : m_view(view), m_previous(&UserPrompts::instance())
    {
        UserPrompts::setInstance(this);
    }
    ~TerminalPrompts() override { UserPrompts::setInstance(m_previous); }

    bool assumeYes = false;
    QString openAnswer;
    PromptButton lastAnswer = PromptButton::None; // of the last question

    PromptButton message(const QString &caption, const QString &text, PromptIcon, const PromptButtons &buttons,
                         PromptButton defaultButton) override
    {
        m_view.endProgress();
        if (!caption.isEmpty())
            cliErr() << caption << ": ";
        cliErr() << text;
        if (!(buttons.contains(PromptButton::Yes) && buttons.contains(PromptButton::No))) {
            cliErr() << Qt::endl;
            return buttons.contains(PromptButton::Ok) ? PromptButton::Ok : defaultButton;
        }
        if (assumeYes) {
            cliErr() << " yes" << Qt::endl;
            return lastAnswer = PromptButton::Yes;
        }
        cliErr() << (defaultButton == PromptButton::Yes ? " [Y/n] " : " [y/N] ");
        cliErr().flush();
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            cliErr() << Qt::endl;
            return lastAnswer = defaultButton;
        }
        const QString a = QString::fromLocal8Bit(answer.c_str()).trimmed().toLower();
        if (a.isEmpty())
            return lastAnswer = defaultButton;
        return lastAnswer = (a.startsWith(u'y') || a.startsWith(u'j') ? PromptButton::Yes : PromptButton::No);
    }
    bool input(const QString &, const QString &, QString &) override { return false; }
    QString openFile(const QString &, const QString &, const QString &) override { return openAnswer; }
    QString saveFile(const QString &, const QString &, const QString &, const QString &) override { return {}; }
    void beep() override {}
    void setBusy(bool) override {}

private:
    TerminalView &m_view;
    UserPrompts *m_previous;
};

// The main window's device side without a window: description, image, session, receiver,
// the device commands, the terminal view and prompts.
struct DeviceRun {
    CliBinding binding{std::make_unique<TEEROM>()};
    TEEROM &image = static_cast<TEEROM &>(binding.image);
    TCOM com{nullptr, nullptr};
    TDeviceReceiver receiver{com, &image};
    TerminalView view;
    TerminalPrompts prompts{view};
    TDeviceCommands cmd{com, image, receiver, view, &binding.language};

    ~DeviceRun()
    {
        // The last characters (ESC, "V") leave before the port closes.
        LinkWait::waitUntil([this] { return com.OutputPending() <= 0; }, 2000);
    }

    QString tr(const QString &key) const { return binding.language.translate(key); }
};

struct CommandSetup {
    QCommandLineParser parser;
    DescriptionOptions description;
    PortOptions port;
    bool withPort = true;

    explicit CommandSetup(bool usesPort = true) : withPort(usesPort)
    {
        const QString stored = ProgramSettings::readDescriptionFilePath(RegistryStore::user());
        if (!stored.isEmpty()) {
            description.tcf.setDefaultValue(stored);
            description.tcf.setDescription(QStringLiteral("The description file (default: the stored one, %1).").arg(stored));
        } else {
            description.tcf.setDescription(QStringLiteral("The description file (default: the stored one)."));
        }
        description.addTo(parser);
        if (withPort)
            port.addTo(parser);
    }
};

// Description, language, the configuration to send (when one is named) and the port; prints
// the reason and returns the exit code on failure, ExitOk when the command can go on.
int prepare(DeviceRun &run, CommandSetup &setup, const QString &imageFile = QString())
{
    if (const int rc = applyPortOptions(setup.port, setup.parser, run.com.Settings); rc != ExitOk)
        return rc;
    if (!prepareBinding(run.binding, setup.parser, setup.description))
        return ExitFailure;
    if (!imageFile.isEmpty() && !openImage(run.binding, imageFile))
        return ExitFailure;
    run.cmd.universalscriptname = ProgramSettings::universalScriptName(run.binding.description);
    run.view.monitor = setup.parser.isSet(setup.port.monitor);
    run.receiver.Install();
    run.cmd.BindEvents();
    return openDevicePort(run.com) ? ExitOk : ExitFailure;
}

// The failure line names why the command failed (time-out, no gateway, wrong checksum, the
// device's verdict, port lost, ...), not the progress text that happened to be shown last.
int failed(const DeviceRun &run, const QString &what)
{
    return deviceCommandFailed(what, !run.cmd.FailureReason.isEmpty() ? run.cmd.FailureReason : run.view.lastStatus);
}

// The file an upload writes must be writable before the device is asked: a wrong -o must not
// cost a whole transfer.
bool writableTarget(const QString &path)
{
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    QString why;
    if (info.exists() && !info.isFile())
        why = QStringLiteral("it is not a file");
    else if (info.exists() && !info.isWritable())
        why = QStringLiteral("the file is not writable");
    else if (!folder.isDir())
        why = QStringLiteral("the folder \"%1\" does not exist").arg(folder.filePath());
    else if (!info.exists() && !folder.isWritable())
        why = QStringLiteral("the folder \"%1\" is not writable").arg(folder.filePath());
    if (why.isEmpty())
        return true;
    cliErr() << "torvane-cli: cannot write \"" << path << "\": " << why << Qt::endl;
    return false;
}

bool saveImage(DeviceRun &run, const QString &path)
{
    try {
        run.image.SetFileName(path);
        run.image.SaveFile();
    } catch (const TorvaneError &e) {
        cliErr() << "torvane-cli: " << e.message() << Qt::endl;
        return false;
    }
    return true;
}

// A file the command reads must be readable before the device is disturbed.
bool readable(const QString &path, const QString &what)
{
    QFile f(path);
    if (QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly))
        return true;
    cliErr() << "torvane-cli: cannot read the " << what << " \"" << path << "\"" << (f.errorString().isEmpty() ? "" : ": ")
             << f.errorString() << Qt::endl;
    return false;
}

int runUploadLike(const QStringList &arguments, bool debug)
{
    const QString name = debug ? QStringLiteral("debug-upload") : QStringLiteral("upload");
    CommandSetup setup;
    const QCommandLineOption out(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                 QStringLiteral("Where the configuration read is written."), QStringLiteral("OUT.gwc"));
    setup.parser.addOption(out);
    int exitCode = ExitOk;
    const QString description = debug ? QStringLiteral("Reads the configuration in raw form from a device that is being restarted "
                                                       "(asks you to restart it), and writes it to OUT.gwc.")
                                      : QStringLiteral("Reads the configuration from the device and writes it to OUT.gwc.");
    if (!parseCommandLine(setup.parser, name, description, arguments, &exitCode))
        return exitCode;
    if (!setup.parser.isSet(out) || !setup.parser.positionalArguments().isEmpty())
        return usageError(setup.parser, name + QStringLiteral(" takes -o OUT.gwc and no further arguments"));
    if (!writableTarget(setup.parser.value(out)))
        return ExitFailure;

    DeviceRun run;
    if (const int rc = prepare(run, setup); rc != ExitOk)
        return rc;
    bool good = false;
    if (debug) {
        run.cmd.mainMenuUploadDebugClick();
        good = run.cmd.DebugTransferOK;
    } else {
        run.cmd.mainMenuUploadClick();
        run.cmd.waitUntilIdle(kOverallLimitMs);
        good = run.cmd.UploadBound;
    }
    if (!good)
        return failed(run, name);
    return saveImage(run, setup.parser.value(out)) ? ExitOk : ExitFailure;
}

int runDownloadLike(const QStringList &arguments, bool debug)
{
    const QString name = debug ? QStringLiteral("debug-download") : QStringLiteral("download");
    CommandSetup setup;
    setup.parser.addPositionalArgument(QStringLiteral("FILE.gwc"), QStringLiteral("The configuration to write."));
    int exitCode = ExitOk;
    const QString description = debug ? QStringLiteral("Writes FILE.gwc in raw form to a device that is being restarted "
                                                       "(asks you to restart it).")
                                      : QStringLiteral("Writes FILE.gwc to the device; succeeds when the device's restart was seen.");
    if (!parseCommandLine(setup.parser, name, description, arguments, &exitCode))
        return exitCode;
    if (setup.parser.positionalArguments().size() != 1)
        return usageError(setup.parser, name + QStringLiteral(" takes exactly one FILE.gwc"));
    const QString file = setup.parser.positionalArguments().first();

    DeviceRun run;
    if (const int rc = prepare(run, setup, file); rc != ExitOk)
        return rc;
    bool good = false;
    if (debug) {
        run.cmd.mainMenuDownloadDebugClick();
        good = run.cmd.DebugTransferOK;
    } else {
        // The unattended download; its wait before ending is for a window, not for a terminal.
        good = RunAutomaticDownload(run.cmd, &run.binding.language, {5000, 0});
    }
    return good ? ExitOk : failed(run, name);
}

} // namespace

int runUpload(const QStringList &arguments) { return runUploadLike(arguments, false); }
int runDebugUpload(const QStringList &arguments) { return runUploadLike(arguments, true); }
int runDownload(const QStringList &arguments) { return runDownloadLike(arguments, false); }
int runDebugDownload(const QStringList &arguments) { return runDownloadLike(arguments, true); }

int runWriteScript(const QStringList &arguments)
{
    CommandSetup setup;
    const QCommandLineOption fast(QStringLiteral("fast"), QStringLiteral("Send the script only, without reading the configuration back."));
    setup.parser.addOption(fast);
    setup.parser.addPositionalArgument(QStringLiteral("SCRIPT.kcs"), QStringLiteral("The compiled script file."));
    int exitCode = ExitOk;
    if (!parseCommandLine(setup.parser, QStringLiteral("write-script"),
                          QStringLiteral("Installs a compiled script on the device, then reads the configuration back and "
                                         "makes its script identifier agree (writing it back when it had to change)."),
                          arguments, &exitCode))
        return exitCode;
    if (setup.parser.positionalArguments().size() != 1)
        return usageError(setup.parser, QStringLiteral("write-script takes exactly one SCRIPT.kcs"));
    const QString script = setup.parser.positionalArguments().first();
    if (!readable(script, QStringLiteral("script file")))
        return ExitFailure;

    DeviceRun run;
    if (const int rc = prepare(run, setup); rc != ExitOk)
        return rc;
    run.prompts.openAnswer = script;
    if (setup.parser.isSet(fast)) {
        run.cmd.mainMenuWriteScriptFastClick();
        return run.cmd.ScriptSent ? ExitOk : failed(run, QStringLiteral("write-script"));
    }
    run.cmd.mainMenuWriteScriptClick();
    run.cmd.waitUntilIdle(kOverallLimitMs);
    return run.cmd.writeScriptState == TSSRready ? ExitOk : failed(run, QStringLiteral("write-script"));
}

int runReset(const QStringList &arguments)
{
    CommandSetup setup;
    const QCommandLineOption yes(QStringLiteral("yes"), QStringLiteral("Answer the reset question with Yes."));
    setup.parser.addOption(yes);
    int exitCode = ExitOk;
    if (!parseCommandLine(setup.parser, QStringLiteral("reset"),
                          QStringLiteral("Resets the device through its service prompt (asks first), restores the universal "
                                         "script where it ran, and reads the configuration back."),
                          arguments, &exitCode))
        return exitCode;
    if (!setup.parser.positionalArguments().isEmpty())
        return usageError(setup.parser, QStringLiteral("reset takes no arguments"));

    DeviceRun run;
    if (const int rc = prepare(run, setup); rc != ExitOk)
        return rc;
    run.prompts.assumeYes = setup.parser.isSet(yes);
    run.cmd.mainMenuResetDeviceClick();
    run.cmd.waitUntilIdle(kOverallLimitMs);
    if (run.prompts.lastAnswer == PromptButton::No) {
        cliErr() << "torvane-cli: reset not done" << Qt::endl;
        return ExitFailure;
    }
    return run.cmd.writeScriptState == TSSRready ? ExitOk : failed(run, QStringLiteral("reset"));
}

int runNumber(const QStringList &arguments)
{
    CommandSetup setup(false);
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("How many files to write (default 1)."), QStringLiteral("N"),
                                   QStringLiteral("1"));
    setup.parser.addOption(count);
    setup.parser.addPositionalArgument(QStringLiteral("FILE.gwc"), QStringLiteral("The configuration to number."));
    int exitCode = ExitOk;
    if (!parseCommandLine(setup.parser, QStringLiteral("number"),
                          QStringLiteral("Writes N configurations beside FILE.gwc, \"AutoKonfig_<serial number>.gwc\", each with "
                                         "the next serial number."),
                          arguments, &exitCode))
        return exitCode;
    if (setup.parser.positionalArguments().size() != 1)
        return usageError(setup.parser, QStringLiteral("number takes exactly one FILE.gwc"));
    int64_t n = 0;
    if (!TryDecimalValue(setup.parser.value(count), n) || n < 1 || n > 99999999)
        return usageError(setup.parser, QStringLiteral("--count takes a number from 1 to 99999999, not \"%1\"").arg(setup.parser.value(count)));
    const QString file = setup.parser.positionalArguments().first();

    CliBinding binding;
    if (!prepareBinding(binding, setup.parser, setup.description))
        return ExitFailure;
    TerminalView view;
    TerminalPrompts prompts(view);
    try {
        const QStringList written = generateSerialConfigurations(binding.image, file, int(n), [&](const QString &path) {
            binding.image.openfile(path);
            setFlagRegisters(binding.image);
        });
        for (const QString &w : written)
            cliOut() << w << '\n';
        cliOut().flush();
    } catch (const TorvaneError &e) {
        cliErr() << "torvane-cli: " << file << ": " << e.message() << Qt::endl;
        return ExitFailure;
    }
    return ExitOk;
}

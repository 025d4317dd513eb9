#include "shell/ProgramStart.h"

#include "shell/EdsCommand.h"
#include "shell/ExtensionDlg.h"
#include "shell/FileCommands.h"
#include "shell/GWConfig.h"
#include "shell/GWMainForm.h"
#include "shell/HelpAbout.h"
#include "shell/HelpViewer.h"
#include "shell/ItemEditorDialog.h"
#include "shell/MapEditor.h"
#include "shell/MyMemo.h"
#include "shell/OptionsCommands.h"
#include "shell/Options.h"
#include "shell/QtUserPrompts.h"
#include "shell/SerialOptionSheets.h"
#include "shell/StatusFenster.h"

#include "base/GeneralError.h"
#include "link/FileLookup.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "link/UnattendedRuns.h"
#include "platform/ConfigPaths.h"
#include "platform/StatusTrace.h"
#include "platform/UserPrompts.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>

#include <cstdio>
#include <exception>
#include <memory>

namespace {

QString failureText(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const TorvaneError &e) {
        return e.message();
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

// The window's prompts, each also written to the trace: the state window (and a production
// script reading --trace) then tells what the user was shown and what was answered.
class TTracedPrompts final : public UserPrompts
{
public:
    explicit TTracedPrompts(std::unique_ptr<UserPrompts> inner) : m_inner(std::move(inner)) {}

    PromptButton message(const QString &caption, const QString &text, PromptIcon icon, const PromptButtons &buttons,
                         PromptButton defaultButton) override
    {
        statusTrace().logStringOnly(QStringLiteral("Message: ") + (caption.isEmpty() ? QString() : caption + QStringLiteral(": "))
                                    + text);
        const PromptButton answer = m_inner->message(caption, text, icon, buttons, defaultButton);
        statusTrace().logStringOnly(QStringLiteral("Answer: ") + promptButtonName(answer));
        return answer;
    }
    bool input(const QString &caption, const QString &prompt, QString &value) override
    {
        return m_inner->input(caption, prompt, value);
    }
    QString openFile(const QString &caption, const QString &directory, const QString &filter) override
    {
        statusTrace().logStringOnly(QStringLiteral("Open file: ") + caption);
        return m_inner->openFile(caption, directory, filter);
    }
    QString saveFile(const QString &caption, const QString &proposedPath, const QString &filter,
                     const QString &defaultSuffix) override
    {
        return m_inner->saveFile(caption, proposedPath, filter, defaultSuffix);
    }
    void beep() override { m_inner->beep(); }
    void setBusy(bool busy) override { m_inner->setBusy(busy); }

private:
    std::unique_ptr<UserPrompts> m_inner;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// the application

TTorvaneApplication::TTorvaneApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Torvane"));
    setApplicationDisplayName(QStringLiteral("TORVANE"));
}

bool TTorvaneApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // A handler that let a failure through: the user sees it and the program goes on.
        const QString text = failureText(std::current_exception());
        statusTrace().logStringWithTime(QStringLiteral("Unhandled: ") + text);
        UserPrompts::instance().setBusy(false);
        UserPrompts::instance().showMessage(text, QString(), PromptIcon::Error);
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// start order

TProgramStart::TProgramStart(TGWMainForm &window, const QStringList &args, const TTerminalOptions &terminal)
    : QObject(&window), m_window(window), m_args(args), m_terminal(terminal)
{
    LangDir = ConfigPaths::programDataDir(QStringLiteral("lang"));
    window.installEventFilter(this);
}

TProgramStart::~TProgramStart()
{
    if (ItemEditor::instance() == m_editor)
        ItemEditor::setInstance(nullptr);
}

void TProgramStart::installWindows()
{
    // The order of the program's windows: settings (with the description-file sheet and the
    // port sheets), state window, about box, parameter editor, extension writer; then the
    // commands of the other windows on the main window's menu.
    m_options = &installOptionsCommands(m_window);
    // Both live as long as the program, not as long as one main window (neither keeps the
    // program running once the main window has closed).
    TStatusFenster::instance();
    THelpAbout::instance();
    m_editor = new TItemEditor(&m_window);
    m_editor->setLanguage(&m_window.Language());
    ItemEditor::setInstance(m_editor);
    installExtensionDlg(m_window);
    m_files = &installFileCommands(m_window);
    installEdsCommand(m_window);
    installMapEditor(m_window);
}

std::optional<int> TProgramStart::FirstActivation()
{
    m_inActivation = true;
    struct Leave {
        bool &flag;
        ~Leave() { flag = false; }
    } leave{m_inActivation};

    m_window.setWindowTitle(QStringLiteral("Torvane"));
    TStatusFenster &state = TStatusFenster::instance();
    state.setWindowIcon(m_window.windowIcon());
    state.move(m_window.x() + m_window.width(), m_window.y());
    UserPrompts::instance().setBusy(true);
    m_window.repaint();

    // Language: discovery (and the language menu), the remembered or the fall-back language,
    // the captions, the grid's header.
    m_window.initLanguage(LangDir);
    HelpShared::setLanguage(&m_window.Language());
    m_window.StatusText(m_window.translate(QStringLiteral("statusBarPanelLoadConfigFile")));
    installWindows(); // registers the sheets and reads the settings
    statusTrace().logStringOnly(QStringLiteral("CALLER COM is : ") + QString::number(m_window.Com().instanceId()));

    try {
        m_window.restoreWindowPlacement();
        DescriptionFilePath = m_options->GWConfig->EditTGWCurrentFilePath->text();
        THelpAbout &about = THelpAbout::instance();
        about.setContentFile(QStringLiteral("help.readme"));
        about.setEulaText(QStringLiteral("help.eula"));

        applyCommandLine();
        if (m_cl.versionExit)
            return 0;

        for (const char *name : {"mainMenuUploadDebug", "mainMenuDownloadDebug"})
            if (QAction *debug = m_window.action(QString::fromLatin1(name)))
                debug->setVisible(true);
        if (m_cl.logLevel > 4)
            TStatusFenster::instance().showWindow();
        if (m_cl.logLevel > 9)
            statusTrace().setMaxLines(5000);

        m_window.openPort(m_cl.portGiven ? m_cl.port : QString());

        if (const std::optional<int> rc = chooseMissingDescription())
            return rc;
        QString error;
        if (!m_window.openDescription(DescriptionFilePath, &error))
            throw TorvaneError(error);
        m_window.StatusText(m_window.translate(QStringLiteral("statusBarPanelsCreateStructures")));
    } catch (...) {
        // The rest of the guarded steps is skipped; start-up goes on with the first content.
        const QString text = failureText(std::current_exception());
        statusTrace().logStringWithTime(QStringLiteral("Start-up: ") + text);
        UserPrompts::instance().setBusy(false);
        UserPrompts::instance().showMessage(text, QString(), PromptIcon::Error);
    }

    m_window.SetPanelText(panelPort, m_window.Com().Settings.PortNumber.Text);
    m_window.DeviceCommands().ShowConnectState();
    firstContent();
    if (!m_terminal.screenshot.isEmpty())
        return takeScreenshot();
    return EveryActivation();
}

void TProgramStart::applyCommandLine()
{
    m_cl = parseCommandLine(m_args, [this](const QString &name) { return locateFile(name, &m_window.Language()); });
    for (TCommandLine::Message m : std::as_const(m_cl.messages)) {
        if (m == TCommandLine::Message::Help)
            UserPrompts::instance().showMessage(commandLineHelpText());
        else
            UserPrompts::instance().showMessage(QStringLiteral("Torvane Version ") + TGWMainForm::ProductVersion());
    }
    if (m_cl.versionExit)
        return;
    // What the arguments before a failure asked for still applies, as the examination went.
    m_window.DeviceCommands().logLevel = m_cl.logLevel;
    m_window.EEROM().ReadBaseSection = m_window.EEROM().ReadBaseSection || m_cl.readBaseSection;
    if (m_cl.debugView)
        m_window.setDebugView(true);
    if (QWidget *control = m_window.findChild<QWidget *>(QStringLiteral("pControl")))
        control->setVisible(m_cl.Control);
    m_window.monitor()->setVisible(m_cl.Kommunikationsfenster);
    m_window.statusBar()->setVisible(m_cl.Statuszeile);
    m_window.menuBar()->setVisible(m_cl.Menues);
    if (m_cl.descriptionGiven) {
        DescriptionFilePath = m_cl.DescriptionFilePath;
        m_options->lockDescriptionFile(DescriptionFilePath);
    }
    if (m_cl.portGiven)
        m_options->excludePort(m_cl.port);
    if (m_cl.failed())
        throw TorvaneError(m_cl.failure);
}

std::optional<int> TProgramStart::chooseMissingDescription()
{
    if (!DescriptionFilePath.isEmpty() && QFileInfo(DescriptionFilePath).isFile())
        return std::nullopt;
    UserPrompts &prompts = UserPrompts::instance();
    prompts.setBusy(false);
    prompts.showMessage(DescriptionFilePath + QLatin1Char(' ') + m_window.translate(QStringLiteral("exceptionSettingsNotFound")));
    const QString filter = m_window.translate(QStringLiteral("fileopen.filter.tcf")) + QStringLiteral("|*.tcf|")
                           + m_window.translate(QStringLiteral("fileopen.filter.allfiles")) + QStringLiteral("|*.*");
    const QString chosen = prompts.openFile(QString(), QFileInfo(DescriptionFilePath).path(), filter);
    if (chosen.isEmpty())
        return 0; // nothing was uploaded, nothing stored
    DescriptionFilePath = chosen;
    m_options->Options->SetProp(QStringLiteral("EditTGWCurrentFilePath"), chosen);
    return std::nullopt;
}

void TProgramStart::firstContent()
{
    if (m_window.Com().IsOpen() && m_cl.AutomaticUpload) {
        m_uploadStarted = true;
        m_window.guarded(QStringLiteral("doUpload"), [this] { m_window.DeviceCommands().doUpload(true, true); });
    } else if (m_cl.autoLoadConfigFile) {
        m_window.guarded(QStringLiteral("loadConfigurationFile"),
                         [this] { m_files->loadConfigurationFile(m_cl.autoLoadConfigName); });
    } else {
        m_window.EEROM().Clear();
    }
}

std::optional<int> TProgramStart::takeScreenshot()
{
    // The picture shows the upload's outcome, not its progress.
    if (m_uploadStarted)
        m_window.DeviceCommands().waitUntilIdle(120000);
    // The picture is the run's purpose: no unattended download or generation follows.
    m_cl.generate = false;
    m_cl.AutomaticDownload = false;
    EveryActivation();
    UserPrompts::instance().setBusy(false);
    LinkWait::handlePendingEvents();
    const QImage picture = m_window.grab().toImage();
    QImageWriter writer(m_terminal.screenshot, "png");
    if (!writer.write(picture)) {
        std::fprintf(stderr, "torvane: cannot write the picture \"%s\": %s\n", qPrintable(m_terminal.screenshot),
                     qPrintable(writer.errorString()));
        return 2;
    }
    return 0;
}

std::optional<int> TProgramStart::EveryActivation()
{
    UserPrompts::instance().setBusy(false);
    const bool first = FirstActivationFlag;
    FirstActivationFlag = false;
    m_window.DeviceCommands().ShowConnectState();
    m_window.setWindowTitle(QStringLiteral("TORVANE  (%1)").arg(QFileInfo(m_window.DescriptionFilePath()).fileName()));
    m_window.grid()->viewport()->update();
    if (m_options) {
        m_options->SerialSheets->Startbits->setEnabled(false);
        if (auto *label = m_options->SerialSheets->findChild<QLabel *>(QStringLiteral("qvMoreSerialOptionStartbitLabel")))
            label->setEnabled(false);
    }
    if (!first)
        return std::nullopt;
    m_window.setStoresPlacementOnResize(true);
    statusTrace().logStringOnly(QStringLiteral("Start-up complete: ") + m_window.windowTitle());

    if (m_cl.generate) {
        m_window.setUnattended(true);
        bool written = false;
        m_window.guarded(QStringLiteral("generateSerialConfigurations"), [this, &written] {
            generateSerialConfigurations(m_window.EEROM(), m_cl.autoLoadConfigName, m_cl.generateCount,
                                         [this](const QString &path) { m_files->loadConfigurationFile(path); });
            written = true;
        });
        if (written)
            return 1;
        m_window.setUnattended(false); // the failure was shown; the user takes over
    }
    if (m_cl.AutomaticDownload) {
        m_window.setUnattended(true);
        if (RunAutomaticDownload(m_window.DeviceCommands(), &m_window.Language()))
            return 1;
        m_cl.AutomaticDownload = false;
        m_window.setUnattended(false);
    }
    return std::nullopt;
}

bool TProgramStart::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window && event->type() == QEvent::WindowActivate && !FirstActivationFlag && !m_inActivation)
        EveryActivation();
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// the program

std::optional<int> handleTerminalOptions(const TTerminalOptions &terminal, const QString &programName)
{
    if (!terminal.error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", qPrintable(programName), qPrintable(terminal.error),
                     qPrintable(programName));
        return 2;
    }
    if (terminal.help) {
        std::fputs(qPrintable(terminalHelpText(programName)), stdout);
        return 0;
    }
    if (terminal.version) {
        std::printf("torvane %s\n", qPrintable(TGWMainForm::ProductVersion()));
        return 0;
    }
    return std::nullopt;
}

int runProgram(TTorvaneApplication &app, const TTerminalOptions &terminal)
{
    // Without a screen (the offscreen platform of scripts and checks), or when the run only
    // takes a picture and ends, nobody answers a box: messages go to stderr, questions take
    // their default answer, file dialogs are cancelled.
    std::unique_ptr<UserPrompts> inner;
    if (QGuiApplication::platformName() == QLatin1String("offscreen") || !terminal.screenshot.isEmpty())
        inner = std::make_unique<UnattendedPrompts>();
    else
        inner = std::make_unique<QtUserPrompts>();
    TTracedPrompts prompts(std::move(inner));
    UserPrompts::setInstance(&prompts);
    if (terminal.trace)
        statusTrace().setEcho(true);
    int rc = 0;
    try {
        TGWMainForm window;
        TProgramStart start(window, terminal.rest, terminal);
        window.show();
        if (const std::optional<int> ended = start.FirstActivation())
            rc = *ended;
        else
            rc = app.exec();
    } catch (...) {
        // Outside every handler: the program cannot go on.
        UserPrompts::instance().setBusy(false);
        UserPrompts::instance().showMessage(QStringLiteral("Quit Program\n\rReason: ") + failureText(std::current_exception()));
        rc = 0;
    }
    UserPrompts::setInstance(nullptr);
    return rc;
}

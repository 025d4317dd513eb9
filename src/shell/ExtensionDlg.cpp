#include "shell/ExtensionDlg.h"

#include "link/DeviceCommands.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "localisation/LanguageSelect.h"
#include "platform/UserPrompts.h"
#include "shell/GWMainForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QVBoxLayout>

TExtensionDlg::TExtensionDlg(TGWMainForm &main) : QDialog(&main), m_main(main)
{
    setObjectName(QStringLiteral("ExtensionDlg"));
    setModal(false);
    language = &main.Language();
    resize(480, 340);

    auto *layout = new QVBoxLayout(this);
    LabelFilename = new QLabel(this);
    LabelFilename->setObjectName(QStringLiteral("LabelFilename"));
    LabelFilename->setProperty("torvaneNoCaption", true); // names the file, filled at run time
    LabelFilename->setWordWrap(true);
    LabelFilename->setTextFormat(Qt::PlainText);
    layout->addWidget(LabelFilename);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(Memo1, 1);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *panel = new QHBoxLayout(Panel1);
    panel->setContentsMargins(0, 0, 0, 0);
    // How much of the extension the device has accepted: the blocks can take seconds.
    ProgressBar1 = new QProgressBar(Panel1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setFormat(QStringLiteral("%v / %m"));
    ProgressBar1->hide();
    panel->addWidget(ProgressBar1, 1);
    panel->addStretch();
    ExtensionDlgButtonWriteExtension = new QPushButton(QStringLiteral("Write extension"), Panel1);
    ExtensionDlgButtonWriteExtension->setObjectName(QStringLiteral("ExtensionDlgButtonWriteExtension"));
    ExtensionDlgButtonWriteExtension->setEnabled(false);
    ExtensionDlgButtonWriteExtension->setAutoDefault(false);
    panel->addWidget(ExtensionDlgButtonWriteExtension);
    buttonClose = new QPushButton(QStringLiteral("Close"), Panel1);
    buttonClose->setObjectName(QStringLiteral("buttonClose"));
    buttonClose->setAutoDefault(false);
    panel->addWidget(buttonClose);
    layout->addWidget(Panel1);

    connect(ExtensionDlgButtonWriteExtension, &QPushButton::clicked, this, [this] { ExtensionDlgButtonWriteExtensionClick(); });
    connect(buttonClose, &QPushButton::clicked, this, [this] { buttonCloseClick(); });

    m_writer = std::make_unique<TExtensionWriter>(m_main.Com(), *this, language);
    initCaptions();
}

TExtensionDlg::~TExtensionDlg() = default;

QString TExtensionDlg::translate(const QString &key) const
{
    return language ? language->translate(key) : key;
}

// Captions from the current language. Loading the fall-back language for this window, as a
// caption pass with an empty language name does, would switch the whole program to it.
void TExtensionDlg::initCaptions()
{
    setWindowTitle(translate(QStringLiteral("ExtensionDlg")));
    buttonClose->setText(translate(QStringLiteral("buttonClose")));
    ExtensionDlgButtonWriteExtension->setText(translate(QStringLiteral("ExtensionDlgButtonWriteExtension")));
}

void TExtensionDlg::mainMenuExtensionsClick()
{
    language = &m_main.Language();
    initCaptions();
    const auto place = [this] {
        const QRect main = m_main.frameGeometry();
        move(main.x() + (main.width() - frameGeometry().width()) / 2, main.y() + 50);
    };
    place();
    // The frame's width is known only once the window is shown.
    show();
    place();
    ShowModal();
}

int TExtensionDlg::ShowModal()
{
    show();
    raise();
    activateWindow();
    LinkWait::handlePendingEvents();
    try {
        const QString dir = m_lastDir.isEmpty() ? QDir::currentPath() : m_lastDir;
        const QString file = UserPrompts::instance().openFile(QString(), QDir(dir).filePath(proposedName()), openFilter());
        if (file.isEmpty())
            close(); // refused until the Close button was used once
        else
            LoadHexFile(file);
    } catch (...) {
        hide(); // an error ends this use of the dialog whatever the close rules say
        throw;
    }
    return 0;
}

int TExtensionDlg::LoadHexFile(const QString &FileName)
{
    m_lastDir = QFileInfo(FileName).absolutePath();
    ProgressBar1->hide();
    m_writer->LoadHexFile(FileName);
    return 0;
}

bool TExtensionDlg::doWrite(bool doShowMessage)
{
    m_writing = true;
    // The device answers the extension's steps only: no other transfer may start meanwhile.
    m_main.enableDeviceCommands(false);
    const auto finish = qScopeGuard([&] {
        m_writing = false;
        m_main.DeviceCommands().ShowConnectState();
        if (!doShowMessage) { // the unattended form closes the dialog when it is done
            iCanClose = true;
            close();
        }
    });
    const bool stored = m_writer->doWrite(doShowMessage);
    // A pulled cable ends the write without any reply: say why instead of an empty outcome.
    if (!stored && m_writer->resultMessage.isEmpty() && !m_main.Com().IsOpen())
        AddProgressLine(translate(QStringLiteral("statusBarPanelPortLost")));
    return stored;
}

void TExtensionDlg::ExtensionDlgButtonWriteExtensionClick()
{
    ExtensionDlgButtonWriteExtension->setEnabled(false);
    m_main.guarded(QStringLiteral("ExtensionDlgButtonWriteExtensionClick"), [this] { doWrite(true); });
}

void TExtensionDlg::buttonCloseClick()
{
    iCanClose = true;
    close();
}

// --- TExtensionView ------------------------------------------------------------------------------

void TExtensionDlg::SetFileLabel(const QString &text)
{
    LabelFilename->setText(text);
}

void TExtensionDlg::AddProgressLine(const QString &line)
{
    Memo1->appendPlainText(line);
    Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
}

void TExtensionDlg::SetWriteEnabled(bool enabled)
{
    ExtensionDlgButtonWriteExtension->setEnabled(enabled);
}

void TExtensionDlg::SetCloseEnabled(bool enabled)
{
    buttonClose->setEnabled(enabled);
}

void TExtensionDlg::CloseRequested()
{
    // doWrite closes the dialog once the write has wound up.
}

void TExtensionDlg::WriteProgress(qint64 done, qint64 total)
{
    ProgressBar1->setRange(0, int(qMax<qint64>(total, 1)));
    ProgressBar1->setValue(int(qBound<qint64>(0, done, total)));
    ProgressBar1->show();
}

// --- events ----------------------------------------------------------------------------------------

void TExtensionDlg::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        // Every use starts afresh: no lines, no file, nothing to write.
        Memo1->clear();
        LabelFilename->clear();
        ProgressBar1->hide();
        initCaptions();
        m_writer = std::make_unique<TExtensionWriter>(m_main.Com(), *this, language);
        SetWriteEnabled(false);
        SetCloseEnabled(true);
    }
    QDialog::showEvent(event);
}

void TExtensionDlg::closeEvent(QCloseEvent *event)
{
    // The write holds the port's receive handler and gives it back itself when it ends, so
    // there is nothing to put back here; closing in the middle of it is refused.
    if (!iCanClose || m_writing) {
        event->ignore();
        return;
    }
    event->accept();
}

void TExtensionDlg::reject()
{
    close();
}

TExtensionDlg &installExtensionDlg(TGWMainForm &window)
{
    if (auto *existing = window.findChild<TExtensionDlg *>(QString(), Qt::FindDirectChildrenOnly))
        return *existing;
    auto *dialog = new TExtensionDlg(window);
    if (QAction *action = window.action(QStringLiteral("mainMenuExtensions")))
        QObject::connect(action, &QAction::triggered, dialog, [&window, dialog] {
            window.guarded(QStringLiteral("mainMenuExtensionsClick"), [dialog] { dialog->mainMenuExtensionsClick(); });
        });
    return *dialog;
}

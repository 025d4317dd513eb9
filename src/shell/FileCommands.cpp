#include "shell/FileCommands.h"

#include "base/GeneralError.h"
#include "base/IniFile.h"
#include "platform/UserPrompts.h"
#include "shell/GWMainForm.h"
#include "shell/TorvanePrint.h"

#include <QAction>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinterInfo>

TFileCommands::TFileCommands(TGWMainForm &main) : QObject(&main), m_main(main)
{
    setObjectName(QStringLiteral("TFileCommands"));
    Preview = new TTorvanePrint(&main);
    Preview->setWindowFlag(Qt::Window);
    Preview->hide();
    Preview->setLanguage(&main.Language());

    const std::pair<const char *, void (TFileCommands::*)()> entries[] = {
        {"mainmenuFileOpen", &TFileCommands::mainmenuFileOpenClick},
        {"mainMenuSave", &TFileCommands::mainMenuSaveClick},
        {"mainMenuSaveAs", &TFileCommands::mainMenuSaveAsClick},
        {"mainMenuClose", &TFileCommands::mainMenuCloseClick},
        {"mainMenuPrinterOptions", &TFileCommands::mainMenuPrinterOptionsClick},
        {"mainMenuPrint", &TFileCommands::mainMenuPrintClick},
    };
    for (const auto &[name, handler] : entries) {
        const QString what = QString::fromLatin1(name) + QStringLiteral("Click");
        if (QAction *action = main.findChild<QAction *>(QString::fromLatin1(name)))
            connect(action, &QAction::triggered, this,
                    [this, what, handler = handler] { m_main.guarded(what, [this, handler] { (this->*handler)(); }); });
    }
}

void TFileCommands::loadConfigurationFile(const QString &path)
{
    TEEROM &image = m_main.EEROM();
    m_main.StatusText(m_main.translate(QStringLiteral("LoadFileText")));
    // A file that cannot be shown must not cost the user the configuration already loaded.
    const QByteArray bytes = image.Buffer();
    const int32_t useSize = image.UseSize();
    const QString fileName = image.FileName();
    const bool wasEmpty = image.empty;
    const bool wasChanged = image.UserChanged();
    try {
        image.language = &m_main.Language();
        image.openfile(path);
        // The image binds anything it is given; a file shorter than the header or naming no
        // device of the description would leave an empty grid and look like success.
        if (image.UseSize() < 5)
            throw TorvaneError(QStringLiteral("The file \"%1\" has %2 bytes, too few for a configuration.")
                                   .arg(path)
                                   .arg(image.UseSize()));
        const IniFile *description = image.SourceDatei();
        if (image.ItemList.Count() == 0 || !description
            || description->readString(QStringLiteral("Names"), image.deviceId).isEmpty())
            throw TorvaneError(
                QStringLiteral("The file \"%1\" is not a configuration of any device in the description file.").arg(path));
    } catch (const std::exception &e) {
        const QString cause = dynamic_cast<const TorvaneError *>(&e)
                                  ? static_cast<const TorvaneError &>(e).message()
                                  : QString::fromLocal8Bit(e.what());
        try {
            image.Assign(bytes);
            image.SetUseSize(useSize);
            image.SetFileName(fileName);
            if (wasEmpty)
                image.Clear();
            else
                image.laden();
        } catch (...) {
            image.Clear();
        }
        image.SetUserChanged(wasChanged);
        m_main.refreshGrid();
        m_main.showImageSize(static_cast<uint16_t>(image.UseSize()));
        throw TorvaneError(m_main.translate(QStringLiteral("exceptionNotDisplayable")).replace(QStringLiteral("%s"), cause));
    }
    m_main.refreshGrid();
    m_main.StatusText(path);
    m_main.showImageSize(static_cast<uint16_t>(image.UseSize()));
}

void TFileCommands::mainmenuFileOpenClick()
{
    if (!askSaveChanges())
        return;
    m_main.StatusText(m_main.translate(QStringLiteral("statusBarPanelOpenFileText")));
    const QString path = UserPrompts::instance().openFile(QString(), QString(), fileFilter());
    if (path.isEmpty()) {
        m_main.StatusText(QString());
        return;
    }
    try {
        loadConfigurationFile(path);
    } catch (const TorvaneError &e) {
        // The fixed heading names the file; the cause says what is wrong with it.
        throw TorvaneError(m_main.translate(QStringLiteral("exceptionGWEintragUnregisteredType")) + QStringLiteral(" in ")
                           + path + QStringLiteral("\n") + e.message());
    }
}

void TFileCommands::writeImage()
{
    TEEROM &image = m_main.EEROM();
    // A new file takes the place of the old one on save, which the folder allows even for a
    // file without write permission; a file the user protected is not to be replaced.
    const QFileInfo target(image.FileName());
    if (target.isFile() && (!target.isWritable() || !(target.permissions() & QFileDevice::WriteOwner)))
        throw TorvaneError(QStringLiteral("cannot write \"%1\": the file is write-protected").arg(image.FileName()));
    image.SaveFile();
    m_main.StatusText(m_main.translate(QStringLiteral("statusBarPanelBytesWritten"))
                          .replace(QStringLiteral("%d"), QString::number(image.UseSize())));
}

void TFileCommands::mainMenuSaveClick()
{
    TEEROM &image = m_main.EEROM();
    if (image.empty) {
        m_main.StatusText(m_main.translate(QStringLiteral("statusBarPanelNoFileToSave")));
        return;
    }
    if (image.FileName().isEmpty()) {
        mainMenuSaveAsClick();
        return;
    }
    writeImage();
}

void TFileCommands::mainMenuSaveAsClick()
{
    TEEROM &image = m_main.EEROM();
    if (image.empty) {
        m_main.StatusText(m_main.translate(QStringLiteral("statusBarPanelNoFileToSave")));
        return;
    }
    const QString path =
        UserPrompts::instance().saveFile(QString(), image.FileName(), fileFilter(), QStringLiteral("gwc"));
    if (path.isEmpty())
        return;
    const QString previous = image.FileName();
    image.SetFileName(path);
    try {
        writeImage();
    } catch (...) {
        image.SetFileName(previous); // the image still belongs to the file it came from
        throw;
    }
}

void TFileCommands::mainMenuCloseClick()
{
    TEEROM &image = m_main.EEROM();
    if (image.empty) {
        m_main.StatusText(m_main.translate(QStringLiteral("statusBarPanelNoFileToClose")));
        return;
    }
    if (!askSaveChanges())
        return;
    image.Clear();
    m_main.refreshGrid();
    m_main.showImageSize(0);
    m_main.StatusText(m_main.translate(QStringLiteral("statusBarPanelFileClosed")));
}

void TFileCommands::mainMenuPrinterOptionsClick()
{
    // An empty set-up dialog would leave the user guessing why nothing can be chosen.
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        QString text = m_main.translate(QStringLiteral("printerSetupNoPrinter"));
        if (text == QStringLiteral("printerSetupNoPrinter"))
            text = QStringLiteral("No printer is installed. Print from the preview to a PDF file instead.");
        UserPrompts::instance().showMessage(text, QString(), PromptIcon::Warning);
        return;
    }
    QPrintDialog dialog(&Preview->printer(), &m_main);
    dialog.exec();
}

void TFileCommands::mainMenuPrintClick()
{
    if (m_main.EEROM().empty || !Preview->showFor(m_main.EEROM())) {
        UserPrompts::instance().beep();
        m_main.StatusText(m_main.translate(QStringLiteral("statusBarPanelNoFileToPrint")));
        return;
    }
    m_main.StatusText(m_main.translate(QStringLiteral("statusBarPanelFilePrinted")));
}

bool TFileCommands::askSaveChanges()
{
    TEEROM &image = m_main.EEROM();
    if (m_main.Unattended() || image.empty || !image.UserChanged())
        return true;
    QString text = m_main.translate(QStringLiteral("messageSaveChanges"));
    if (text == QStringLiteral("messageSaveChanges"))
        text = QStringLiteral("The configuration has been changed. Do you want to save the changes?");
    switch (UserPrompts::instance().message(QString(), text, PromptIcon::Question,
                                            {PromptButton::Yes, PromptButton::No, PromptButton::Cancel},
                                            PromptButton::Yes)) {
    case PromptButton::Yes:
        // A failed save has shown its reason; a cancelled Save As has changed nothing. In both
        // cases the image is still changed and the caller stops.
        m_main.guarded(QStringLiteral("mainMenuSaveClick"), [this] { mainMenuSaveClick(); });
        return !image.UserChanged();
    case PromptButton::No:
        return true;
    default:
        return false;
    }
}

TFileCommands &installFileCommands(TGWMainForm &main)
{
    if (auto *existing = main.findChild<TFileCommands *>(QStringLiteral("TFileCommands"), Qt::FindDirectChildrenOnly))
        return *existing;
    return *new TFileCommands(main);
}

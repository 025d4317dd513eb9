#pragma once

#include <QObject>
#include <QString>

class TGWMainForm;
class TTorvanePrint;

// The File menu of the main window: open, save, save as and close a configuration file, the
// printer set-up and the print preview. Created once per main window and owned by it.
class TFileCommands : public QObject
{
    Q_OBJECT
public:
    explicit TFileCommands(TGWMainForm &main);

    static QString fileFilter() { return QStringLiteral("Konfigurationen (*.gwc);;alle Dateien (*)"); }

    TTorvanePrint *Preview = nullptr;

    // Loads path into the image and shows it. A file that cannot be shown raises
    // "exceptionNotDisplayable" with the cause; the configuration loaded before stays as it was.
    void loadConfigurationFile(const QString &path);

    void mainmenuFileOpenClick();
    void mainMenuSaveClick();
    void mainMenuSaveAsClick();
    void mainMenuCloseClick();
    void mainMenuPrinterOptionsClick();
    void mainMenuPrintClick();

    // Before the image is dropped or replaced (Open, Close, an upload, leaving the program):
    // when the user changed it since it was loaded, uploaded or saved, asks whether to save.
    // Yes saves (through Save As without a file name), No discards. True when the caller may
    // go on; false when the user cancelled or the save did not happen, and then nothing has
    // changed. Unattended runs never ask.
    bool askSaveChanges();

private:
    // Writes the image to its file; the old file stays and no status is written on failure.
    void writeImage();

    TGWMainForm &m_main;
};

// Creates the File menu's commands for the main window (once) and connects its entries.
TFileCommands &installFileCommands(TGWMainForm &main);

#pragma once

#include <QObject>
#include <QString>

class TGWMainForm;
class TGW_Config;
class TOptions;
class TSerialOptionSheets;

// The settings windows of a run and the main window's commands that open them: the settings
// dialog with the description-file sheet and the two port sheets (registered in that order),
// Options > Port and Options > Configuration file (Ctrl+C). Created once per main window and
// owned by it.
class TOptionsCommands : public QObject
{
    Q_OBJECT
public:
    explicit TOptionsCommands(TGWMainForm &main);

    TOptions *Options = nullptr;
    TGW_Config *GWConfig = nullptr;
    TSerialOptionSheets *SerialSheets = nullptr;

    // /P: the port list shows the port and is neither read over nor stored.
    void excludePort(const QString &port);
    // /W: the description-file sheet shows the path, locked.
    void lockDescriptionFile(const QString &path);

    // Options > Port: the dialog on the port sheet; on OK the session applies the settings.
    void mainMenuPortClick();
    // Options > Configuration file: the dialog on the description-file sheet; on OK the port
    // settings are applied and the open description is bound again. A new path is stored and
    // takes effect at the next start; the status line says so.
    void mainMenuConfigFileClick();

    void translateCaptions();

private:
    TGWMainForm &m_main;
};

// Creates the settings windows for the main window (once), reads the stored settings into them
// and connects the Options menu's "mainMenuPort" and "mainMenuConfigFile" entries.
TOptionsCommands &installOptionsCommands(TGWMainForm &main);

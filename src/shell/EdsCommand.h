#pragma once

#include <QObject>

class TGWMainForm;

// Options > Generate EDS: fills the template of the loaded device with the configuration's
// values, tells the user which parameters went in and saves the file where the user says.
// The filling-in and the dialogs' contents live below the shell; this is the window's handler.
class TEdsCommand : public QObject
{
    Q_OBJECT
public:
    explicit TEdsCommand(TGWMainForm &main);

    // The command as the menu runs it: a failure of the generation or of writing the file is
    // shown in a box by the window's guard, and nothing is written then.
    void mainMenuGenerateEDSClick();

private:
    TGWMainForm &m_main;
};

// Connects the main window's entry "mainMenuGenerateEDS" to the command (once per window).
void installEdsCommand(TGWMainForm &window);

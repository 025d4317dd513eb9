#include "shell/OptionsCommands.h"

#include "link/SerialSession.h"
#include "shell/GWConfig.h"
#include "shell/GWMainForm.h"
#include "shell/Options.h"
#include "shell/SerialOptionSheets.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>

TOptionsCommands::TOptionsCommands(TGWMainForm &main) : QObject(&main), m_main(main)
{
    setObjectName(QStringLiteral("TOptionsCommands"));
    Options = new TOptions(&main);
    Options->setWindowFlag(Qt::Dialog);
    Options->FFieldBusName = QStringLiteral("Torvane");
    Options->language = &main.Language();

    GWConfig = new TGW_Config(&main);
    GWConfig->hide();
    GWConfig->language = &main.Language();
    SerialSheets = new TSerialOptionSheets(&main);
    SerialSheets->hide();
    SerialSheets->language = &main.Language();
    SerialSheets->com = &main.Com();

    GWConfig->registerWith(*Options);
    SerialSheets->registerWith(*Options);
    GWConfig->EditTGWCurrentFilePath->setReadOnly(true);
    translateCaptions();
    main.guarded(QStringLiteral("Read"), [this] { Options->Read(); });

    // After a new language is chosen (the main window translates itself first).
    if (auto *languages = main.findChild<QMenu *>(QStringLiteral("mainmenuLanguage")))
        connect(languages, &QMenu::triggered, this, [this] { translateCaptions(); });
}

void TOptionsCommands::excludePort(const QString &port)
{
    TOptions::setComboText(SerialSheets->PortNumber, port.toUpper());
    Options->addExcludeControl(SerialSheets->PortNumber);
}

void TOptionsCommands::lockDescriptionFile(const QString &path)
{
    GWConfig->lockPath(path, *Options);
}

void TOptionsCommands::mainMenuPortClick()
{
    Options->OptionPages->setCurrentWidget(SerialSheets->qvSerialOptionCaption);
    const bool confirmed = Options->ShowModal() == TOptions::mrOk;
    if (confirmed)
        SerialSheets->toSettings(m_main.Com().Settings);
    m_main.portSettingsClosed(confirmed);
    if (confirmed) // what the session made of them ("offline" for an empty port)
        SerialSheets->fromSettings(m_main.Com().Settings);
}

void TOptionsCommands::mainMenuConfigFileClick()
{
    Options->OptionPages->setCurrentWidget(GWConfig->TGWConfigFileSheetCaption);
    if (Options->ShowModal() != TOptions::mrOk)
        return;
    SerialSheets->toSettings(m_main.Com().Settings);
    m_main.portSettingsClosed(true);
    SerialSheets->fromSettings(m_main.Com().Settings);
    m_main.guarded(QStringLiteral("mainMenuConfigFileClick"), [this] {
        // The description opened at start-up stays the one in use until the next start.
        if (m_main.EEROM().UseSize() > 0)
            m_main.EEROM().laden();
        m_main.fitColumnWidths();
        m_main.refreshGrid();
    });
    const QString chosen = GWConfig->EditTGWCurrentFilePath->text();
    if (!GWConfig->isLocked() && chosen != m_main.DescriptionFilePath()) {
        const QString key = QStringLiteral("statusBarPanelConfigFileNextStart");
        const QString text = m_main.Language().translate(key);
        m_main.StatusText(text != key ? text
                                      : QStringLiteral("The description file %1 is used from the next start of the program.")
                                            .arg(chosen));
    }
}

void TOptionsCommands::translateCaptions()
{
    Options->translateCaptions();
    GWConfig->translateCaptions();
    SerialSheets->translateCaptions();
}

TOptionsCommands &installOptionsCommands(TGWMainForm &main)
{
    if (auto *existing = main.findChild<TOptionsCommands *>(QStringLiteral("TOptionsCommands"), Qt::FindDirectChildrenOnly))
        return *existing;
    auto *commands = new TOptionsCommands(main);
    if (QAction *port = main.action(QStringLiteral("mainMenuPort")))
        QObject::connect(port, &QAction::triggered, commands, [&main, commands] {
            main.guarded(QStringLiteral("mainMenuPortClick"), [commands] { commands->mainMenuPortClick(); });
        });
    if (QAction *config = main.action(QStringLiteral("mainMenuConfigFile")))
        QObject::connect(config, &QAction::triggered, commands, [&main, commands] {
            main.guarded(QStringLiteral("mainMenuConfigFileClick"), [commands] { commands->mainMenuConfigFileClick(); });
        });
    return *commands;
}

#include "shell/EdsCommand.h"

#include "generators/EdsGeneration.h"
#include "shell/GWMainForm.h"

#include <QAction>

TEdsCommand::TEdsCommand(TGWMainForm &main) : QObject(&main), m_main(main)
{
    setObjectName(QStringLiteral("TEdsCommand"));
    if (QAction *action = main.action(QStringLiteral("mainMenuGenerateEDS")))
        connect(action, &QAction::triggered, this, [this] {
            m_main.guarded(QStringLiteral("mainMenuGenerateEDSClick"), [this] { mainMenuGenerateEDSClick(); });
        });
}

void TEdsCommand::mainMenuGenerateEDSClick()
{
    // The template comes from the folder whose contents enabled the entry.
    EdsGeneration::mainMenuGenerateEDS(m_main.EEROM(), m_main.EdsTemplateDir());
}

void installEdsCommand(TGWMainForm &window)
{
    if (!window.findChild<TEdsCommand *>(QString(), Qt::FindDirectChildrenOnly))
        new TEdsCommand(window);
}

// Gallery scenes of the help window at a parameter's topic and at a help context (the state
// window, the about box and the help contents are scenes of the main window's file).
#include "Scenes.h"

#include "shell/GWMainForm.h"
#include "shell/HelpViewer.h"

namespace {

void useMainWindowLanguage(SceneContext &ctx)
{
    if (ctx.mainWindow)
        HelpShared::setLanguage(&ctx.mainWindow->Language());
}

// "Help for this parameter" on the example's Protocol row.
ScreenshotScene topic(QStringLiteral("help-window-topic"), [](SceneContext &ctx) {
    useMainWindowLanguage(ctx);
    THelpViewer &h = THelpViewer::instance();
    if (h.showTopic(HelpShared::translate(QStringLiteral("helpProtocol"))))
        ctx.save(&h, QStringLiteral("help-window-topic"));
    h.hide();
});

// F1 on Baud Rate at 115200 Baud: help code 2 at position 7 with the value 3.
ScreenshotScene context(QStringLiteral("help-window-context"), [](SceneContext &ctx) {
    useMainWindowLanguage(ctx);
    THelpViewer &h = THelpViewer::instance();
    if (h.showContext(17000003))
        ctx.save(&h, QStringLiteral("help-window-context"));
    h.hide();
});

} // namespace

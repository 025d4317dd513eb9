// Pictures of the main window: after an upload of the example, toggles on and off, the debug
// view, the monitor with device text; and of the help-menu windows it opens.
#include "Scenes.h"

#include "shell/GWMainForm.h"
#include "shell/HelpAbout.h"
#include "shell/HelpViewer.h"
#include "shell/MyMemo.h"
#include "shell/StatusFenster.h"
#include "link/SerialSession.h"

#include <QCheckBox>
#include <QDir>

void SceneContext::loadExample()
{
    TGWMainForm &w = *mainWindow;
    if (!w.DescriptionFilePath().isEmpty())
        return;
    w.openDescription(QDir(dataDir).filePath(QStringLiteral("examples/vantor.tcf")));
    if (!port.isEmpty()) {
        w.openPort(port);
        if (w.Com().IsOpen()) {
            w.DeviceCommands().mainMenuUploadClick();
            w.DeviceCommands().waitUntilIdle(30000);
        }
    }
    if (w.EEROM().UseSize() == 0) {
        w.EEROM().openfile(QDir(dataDir).filePath(QStringLiteral("examples/gw110.gwc")));
        w.refreshGrid();
    }
}

namespace {

void setToggles(TGWMainForm &w, bool on)
{
    auto *editable = w.findChild<QCheckBox *>(QStringLiteral("mainControlMoreEditable"));
    auto *visible = w.findChild<QCheckBox *>(QStringLiteral("mainControlMoreVisible"));
    if (on && editable->isEnabled() && !editable->isChecked())
        editable->click();
    if (!on && visible->isChecked())
        visible->click();
}

ScreenshotScene s1(QStringLiteral("main-1-upload"), [](SceneContext &ctx) {
    ctx.loadExample();
    setToggles(*ctx.mainWindow, false);
    ctx.save(ctx.mainWindow, QStringLiteral("main-upload"));
});

ScreenshotScene s2(QStringLiteral("main-2-toggles-on"), [](SceneContext &ctx) {
    ctx.loadExample();
    setToggles(*ctx.mainWindow, true);
    ctx.mainWindow->resize(560, 640);
    ctx.save(ctx.mainWindow, QStringLiteral("main-toggles-on"));
    setToggles(*ctx.mainWindow, false);
    ctx.save(ctx.mainWindow, QStringLiteral("main-toggles-off"));
});

ScreenshotScene s3(QStringLiteral("main-3-debug-view"), [](SceneContext &ctx) {
    ctx.loadExample();
    ctx.mainWindow->setDebugView(true);
    ctx.save(ctx.mainWindow, QStringLiteral("main-debug-view"));
    ctx.mainWindow->setDebugView(false);
});

ScreenshotScene s4(QStringLiteral("main-4-monitor"), [](SceneContext &ctx) {
    ctx.loadExample();
    TGWMainForm &w = *ctx.mainWindow;
    w.Output(QStringLiteral("Gateway V1.00 (c)kB 2026\r\nready\x07\r\nnode 5: ok\x01\x1b"));
    ctx.save(&w, QStringLiteral("main-monitor"));
});

ScreenshotScene s5(QStringLiteral("state-window"), [](SceneContext &ctx) {
    TStatusFenster &s = TStatusFenster::instance();
    s.showWindow();
    ctx.save(&s, QStringLiteral("state-window"));
    s.hide();
});

ScreenshotScene s6(QStringLiteral("about-box"), [](SceneContext &ctx) {
    THelpAbout::showAbout(ctx.mainWindow);
    ctx.save(&THelpAbout::instance(ctx.mainWindow), QStringLiteral("about-box"));
    THelpAbout::instance(ctx.mainWindow).hide();
});

ScreenshotScene s7(QStringLiteral("help-window"), [](SceneContext &ctx) {
    THelpViewer &h = THelpViewer::instance();
    h.showContents();
    ctx.save(&h, QStringLiteral("help-window"));
    h.hide();
});

} // namespace

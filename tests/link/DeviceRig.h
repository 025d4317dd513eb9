#pragma once

// The device commands wired as the main window wires them (session, image, receiver, a
// recording view and scripted prompts) against the simulator, with the example description.
#include "LinkRig.h"
#include "ScriptedPrompts.h"
#include "TestPaths.h"

#include "link/DeviceCommands.h"
#include "localisation/LanguageSelect.h"
#include "base/IniFile.h"

#include <QMap>

// Records what the main window would show.
struct RecordingView : TDeviceView
{
    QString panels[4];
    QStringList statuses; // every non-empty text of panel 0, in order
    QString caption;
    QMap<int, bool> commands; // last enabling of each device command
    QList<bool> groupEnabling;
    QString monitor;
    bool monitorVisible = true;
    int gridRefreshes = 0;
    QList<bool> gridEnabling;
    QList<QPair<qint64, qint64>> progress;
    QStringList sizePanelAtProgress;
    int stateWindowShown = 0;

    void SetPanelText(int panel, const QString &text) override
    {
        if (panel < 0 || panel > 3)
            return;
        panels[panel] = text;
        if (panel == panelStatus && !text.isEmpty())
            statuses << text;
    }
    QString PanelText(int panel) const override { return panel >= 0 && panel <= 3 ? panels[panel] : QString(); }
    QString ConnectCaption() const override { return caption; }
    void SetConnectCaption(const QString &c) override { caption = c; }
    void enableDeviceCommands(bool enable) override
    {
        groupEnabling << enable;
        for (int c = mainMenuUpload; c <= mainMenuDownloadDebug; ++c)
            commands[c] = enable;
    }
    void EnableCommand(TDeviceCommand command, bool enable) override { commands[command] = enable; }
    void refreshGrid() override { ++gridRefreshes; }
    void EnableGrid(bool enable) override { gridEnabling << enable; }
    bool MonitorVisible() const override { return monitorVisible; }
    void Output(const QString &text) override { monitor += text; }
    void ShowStateWindow() override { ++stateWindowShown; }
    void TransferProgress(qint64 done, qint64 total) override
    {
        progress.append({done, total});
        sizePanelAtProgress << panels[panelImageSize];
    }
};

// Time limits that only decide how long a failure or a missing banner takes, shortened; the
// ones a sound exchange depends on keep their values.
inline TDeviceTimings quickTimings()
{
    TDeviceTimings t;
    t.bannerInitialWait = 100;
    t.downloadRestartText = 1500;
    t.downloadBannerWait = 1500;
    t.downloadBannerInitialWait = 300;
    t.nextStepDelay = 100;
    t.scriptPause = 600;
    t.scriptRestartText = 1500;
    t.scriptBannerWait = 3000;
    t.scriptBannerInitialWait = 100;
    t.fastScriptBannerWait = 3000;
    t.resetBannerWait = 300;
    t.resetBannerInitialWait = 100;
    t.resetCtrlVWait = 3000;
    t.restoreWait = 1500;
    t.debugCatchUpload = 3000;
    t.debugCatchDownload = 3000;
    t.debugCatchStep = 100;
    t.debugCollect = 300;
    t.debugReplyStep = 200;
    t.debugReplyLimit = 1500;
    t.debugVerdict = 1000;
    return t;
}

inline QByteArray exampleImage()
{
    QFile f(TestPaths::dataFile(QStringLiteral("examples/gw110.gwc")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct DeviceRig : LinkRig
{
    IniFile description;
    LanguageSelect language;
    RecordingView view;
    ScriptedPrompts prompts;
    TDeviceCommands cmd{com, image, receiver, view, &language};

    DeviceRig()
    {
        language.setLangDir(TestPaths::dataFile(QStringLiteral("lang")));
        language.initLangs();
        language.readDefaultLang();
        language.readFile(QStringLiteral("english"));
        image.language = &language;
        description.load(TestPaths::dataFile(QStringLiteral("examples/vantor.tcf")));
        image.SetSourceDatei(&description);
        image.MF.FDuration = 500; // the upload's silence limit
        cmd.Timings = quickTimings();
        cmd.BindEvents();
    }

    // The simulator with the example image (or bytes), a quick restart, linked and opened.
    bool start(GatewaySimulator::Options opt = {}, const QByteArray &bytes = exampleImage())
    {
        if (opt.restartDelayMs == GatewaySimulator::Options().restartDelayMs)
            opt.restartDelayMs = 200;
        return startSim(opt, bytes) && open();
    }

    // Loads bytes as the configuration shown, bound to the description.
    void load(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("shown.gwc"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        f.close();
        image.openfile(path);
    }

    QString T(const QString &key) const { return language.translate(key); }

    int count(const QString &kind) const
    {
        int n = 0;
        for (const auto &e : sim->exchanges())
            n += e.kind == kind;
        return n;
    }

    bool idle(int ms = 20000) { return cmd.waitUntilIdle(ms); }
};

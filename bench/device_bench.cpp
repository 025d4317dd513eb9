// The device commands end to end against the simulator over a pseudo-terminal, with the
// program's own time limits: the write-script sequence with a 16 KiB script, and an upload
// followed by a download of an 8192-byte configuration. Each is compared with the time its
// characters take on a 115200-baud line (10 bits each); the phases show where the rest goes.
//
// The pseudo-terminal has no baud rate, so a phase's time is the software's own plus the
// fixed waits of the sequences (and the simulator's restart, 1500 ms, same process).
#include "devsim/GatewaySimulator.h"
#include "link/DeviceCommands.h"
#include "link/DeviceHandshake.h"
#include "link/EEROM.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "localisation/LanguageSelect.h"
#include "base/IniFile.h"
#include "platform/PortMap.h"
#include "platform/UserPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

double wireSeconds(qint64 chars) { return chars * 10.0 / 115200.0; }

QElapsedTimer g_clock;
double now() { return g_clock.nsecsElapsed() / 1e9; }

// Marks the moment of each status text and each finished exchange of the simulator.
struct Timeline {
    QList<QPair<double, QString>> marks;
    void mark(const QString &what) { marks.append({now(), what}); }
    void print(double start) const
    {
        double last = start;
        for (const auto &[t, what] : marks) {
            std::printf("    %8.3f s  (+%6.3f)  %s\n", t - start, t - last, qPrintable(what));
            last = t;
        }
    }
};

class BenchView final : public TDeviceView
{
public:
    explicit BenchView(Timeline &t) : m_t(t) {}
    void SetPanelText(int panel, const QString &text) override
    {
        if (panel == panelStatus && !text.isEmpty())
            m_t.mark(QStringLiteral("status: ") + text);
        if (panel >= 0 && panel < 4)
            m_panels[panel] = text;
    }
    QString PanelText(int panel) const override { return panel >= 0 && panel < 4 ? m_panels[panel] : QString(); }
    QString ConnectCaption() const override { return {}; }
    void SetConnectCaption(const QString &) override {}
    void enableDeviceCommands(bool) override {}
    void EnableCommand(TDeviceCommand, bool) override {}
    void refreshGrid() override {}
    void EnableGrid(bool) override {}
    bool MonitorVisible() const override { return false; }
    void Output(const QString &) override {}

private:
    Timeline &m_t;
    QString m_panels[4];
};

class ScriptPrompt final : public UserPrompts
{
public:
    QString file;
    PromptButton message(const QString &, const QString &, PromptIcon, const PromptButtons &, PromptButton d) override { return d; }
    bool input(const QString &, const QString &, QString &) override { return false; }
    QString openFile(const QString &, const QString &, const QString &) override { return file; }
    QString saveFile(const QString &, const QString &, const QString &, const QString &) override { return {}; }
    void beep() override {}
    void setBusy(bool) override {}
};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit()); // the port map of this run only
    QCoreApplication app(argc, argv);
    g_clock.start();
    const QString source = qEnvironmentVariable("TORVANE_SOURCE_DIR", QStringLiteral(TORVANE_SOURCE_DIR));

    // An 8192-byte configuration of the example gateway (its header and parameters, then filler).
    QFile example(source + QStringLiteral("/data/examples/gw110.gwc"));
    if (!example.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(example.fileName()));
        return 1;
    }
    QByteArray image = example.readAll();
    QRandomGenerator rng(7);
    while (image.size() < 8192)
        image.append(char(rng.bounded(256)));
    image = TBaseEEROM::WithChecksum(image);
    const QString imagePath = config.filePath(QStringLiteral("device.gwc"));
    QByteArray script(16384, '\0');
    for (auto &c : script)
        c = char(rng.bounded(256));
    const QString scriptPath = config.filePath(QStringLiteral("user.kcs"));
    if (!writeFile(imagePath, image) || !writeFile(scriptPath, script))
        return 1;

    Timeline timeline;
    GatewaySimulator::Options opt;
    opt.imagePath = imagePath;
    GatewaySimulator sim(opt);
    QString error;
    if (!sim.start(&error) || !sim.linkAsPort(QStringLiteral("COM5"), &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    QObject::connect(&sim, &GatewaySimulator::exchangeFinished,
                     [&](const QString &kind) { timeline.mark(QStringLiteral("device: ") + kind + QStringLiteral(" done")); });

    IniFile description;
    if (!description.load(source + QStringLiteral("/data/examples/vantor.tcf")))
        return 1;
    TCOM com(nullptr, nullptr);
    TEEROM eerom;
    eerom.SetSourceDatei(&description);
    TDeviceReceiver receiver(com, &eerom);
    BenchView view(timeline);
    ScriptPrompt prompts;
    prompts.file = scriptPath;
    UserPrompts::setInstance(&prompts);
    TDeviceCommands cmd(com, eerom, receiver, view);
    cmd.universalscriptname = QStringLiteral("Universalscript Kellerbrand");
    receiver.Install();
    cmd.BindEvents();
    com.Settings.StandardSerialOptions();
    com.Settings.Baudrate.Text = QStringLiteral("115200");
    com.Settings.PortNumber.Text = QStringLiteral("COM5");
    com.ApplySettings();
    if (!com.IsOpen()) {
        std::fprintf(stderr, "cannot open the port\n");
        return 1;
    }

    const auto chars = [&] { return qint64(sim.sent().size() + sim.received().size()); };

    // --- write script ----------------------------------------------------------------------------
    qint64 before = chars();
    double start = now();
    cmd.mainMenuWriteScriptClick();
    cmd.waitUntilIdle(120000);
    const double scriptSeconds = now() - start;
    const qint64 scriptChars = chars() - before;
    if (cmd.writeScriptState != TSSRready || sim.exchanges().isEmpty()) {
        std::fprintf(stderr, "write script failed\n");
        return 1;
    }
    std::printf("write script, 16384-byte script: %lld chars, %.3f s, wire %.3f s, ratio %.2f\n", (long long)scriptChars,
                scriptSeconds, wireSeconds(scriptChars), scriptSeconds / wireSeconds(scriptChars));
    timeline.print(start);
    timeline.marks.clear();

    // --- upload and download ------------------------------------------------------------------------
    LinkWait::waitUntil([] { return false; }, 500);
    before = chars();
    start = now();
    cmd.mainMenuUploadClick();
    cmd.waitUntilIdle(60000);
    const double upSeconds = now() - start;
    const qint64 upChars = chars() - before;
    if (!cmd.UploadBound) {
        std::fprintf(stderr, "upload failed\n");
        return 1;
    }
    for (int i = 0; i < 64; ++i)
        eerom.SetByteIDX(uint16_t(200 + i), uint8_t(i));
    before = chars();
    const double downStart = now();
    cmd.mainMenuDowloadClick();
    const double downSeconds = now() - downStart;
    const qint64 downChars = chars() - before;
    if (!cmd.AutomaticDownloadOK || sim.image() != eerom.UsedBytes()) {
        std::fprintf(stderr, "download failed\n");
        return 1;
    }
    std::printf("upload + download, 8192 bytes: %lld chars, %.3f s, wire %.3f s, ratio %.2f\n", (long long)(upChars + downChars),
                upSeconds + downSeconds, wireSeconds(upChars + downChars), (upSeconds + downSeconds) / wireSeconds(upChars + downChars));
    std::printf("  upload   %6lld chars  %.3f s  wire %.3f s\n", (long long)upChars, upSeconds, wireSeconds(upChars));
    std::printf("  download %6lld chars  %.3f s  wire %.3f s\n", (long long)downChars, downSeconds, wireSeconds(downChars));
    timeline.print(start);
    UserPrompts::setInstance(nullptr);
    return 0;
}

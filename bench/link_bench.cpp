// Upload and download of an 8192-byte image against the simulator over a pseudo-terminal,
// compared with the time the same characters take on a 115200-baud line (10 bits each), and
// the CPU used while waiting for a device that does not answer.
//
// The pseudo-terminal has no baud rate, so the time measured is the software's own: the
// session, the decoder or sender, the trace, and the simulator (same process).
#include "CpuTime.h"
#include "devsim/GatewaySimulator.h"
#include "link/DeviceHandshake.h"
#include "link/DownloadEEROM.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "platform/PortMap.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {


double wireSeconds(qint64 chars) { return chars * 10.0 / 115200.0; }

QByteArray image(int size)
{
    QByteArray b(size, '\0');
    QRandomGenerator rng(42);
    for (auto &c : b)
        c = char(rng.bounded(256));
    return b;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit()); // the port map of this run only
    QCoreApplication app(argc, argv);

    const QByteArray bytes = image(8192);
    const QString imagePath = config.filePath("device.gwc");
    QFile f(imagePath);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return 1;
    f.close();

    GatewaySimulator::Options opt;
    opt.imagePath = imagePath;
    GatewaySimulator sim(opt);
    QString error;
    if (!sim.start(&error) || !sim.linkAsPort("COM5", &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }

    TCOM com(nullptr, nullptr);
    TDownloadEEROM img;
    TDeviceReceiver receiver(com, &img);
    receiver.Install();
    img.FOnCharOut = [&](char c) { com.PutChar(c); };
    img.FOutputPending = [&] { return com.OutputPending(); };
    bool ended = false, ok = false;
    img.FOnOKUpload = [&](TObject *) { ok = true; };
    img.FOnEndUpload = [&](TObject *) { ended = true; };
    com.Settings.StandardSerialOptions();
    com.Settings.Baudrate.Text = "115200";
    com.Settings.PortNumber.Text = "COM5";
    com.ApplySettings();
    if (!com.IsOpen() || !receiver.CheckdeviceConnected(2000, 2)) {
        std::fprintf(stderr, "no device\n");
        return 1;
    }

    // upload
    const qint64 sentBefore = sim.sent().size();
    QElapsedTimer t;
    double cpu0 = cpuSeconds();
    t.start();
    img.Upload();
    LinkWait::waitUntil([&] { return ended; }, 30000);
    const double upSeconds = t.nsecsElapsed() / 1e9;
    const double upCpu = cpuSeconds() - cpu0;
    const qint64 upChars = sim.sent().size() - sentBefore;
    if (!ok || img.UsedBytes() != bytes) {
        std::fprintf(stderr, "upload failed\n");
        return 1;
    }

    // download (until the device has taken the last character)
    for (int i = 0; i < 64; ++i)
        img.SetByteIDX(uint16_t(100 + i), uint8_t(i));
    const qint64 receivedBefore = sim.received().size();
    int downloads = 0;
    QObject::connect(&sim, &GatewaySimulator::exchangeFinished, [&](const QString &kind) {
        if (kind == "download")
            ++downloads;
    });
    cpu0 = cpuSeconds();
    t.restart();
    img.Download();
    LinkWait::waitUntil([&] { return downloads > 0; }, 30000);
    const double downSeconds = t.nsecsElapsed() / 1e9;
    const double downCpu = cpuSeconds() - cpu0;
    const qint64 downChars = sim.received().size() - receivedBefore;
    if (downloads == 0 || sim.image() != img.UsedBytes()) {
        std::fprintf(stderr, "download failed\n");
        return 1;
    }

    // a silent device: one presence query waiting 5 s
    sim.options().silent = true;
    LinkWait::waitUntil([] { return false; }, 3000); // the device's restart after the download passes
    cpu0 = cpuSeconds();
    t.restart();
    receiver.CheckdeviceConnected(5000, 1);
    const double waitSeconds = t.nsecsElapsed() / 1e9;
    const double waitCpu = cpuSeconds() - cpu0;

    std::printf("upload   %6lld chars  %7.3f s  wire %6.3f s  share %5.1f %%  (cpu %.3f s)\n", (long long)upChars,
                upSeconds, wireSeconds(upChars), 100.0 * upSeconds / wireSeconds(upChars), upCpu);
    std::printf("download %6lld chars  %7.3f s  wire %6.3f s  share %5.1f %%  (cpu %.3f s)\n", (long long)downChars,
                downSeconds, wireSeconds(downChars), 100.0 * downSeconds / wireSeconds(downChars), downCpu);
    std::printf("silent wait %.3f s  cpu %.4f s  = %.2f %%\n", waitSeconds, waitCpu, 100.0 * waitCpu / waitSeconds);
    return 0;
}

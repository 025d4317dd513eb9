// The device commands end to end: the real torvane-cli against the real torvane-devsim on a
// pseudo-terminal, linked as COM7 in the test's private configuration directory.
#include "CliRunner.h"
#include "SimulatorProcess.h"

#include "link/ProgramSettings.h"
#include "link/SerialSettings.h"
#include "platform/RegistryStore.h"

#include "model/BaseEEROM.h"

#include <QtTest>

#include <csignal>

namespace {

QString example(const QString &name) { return TestPaths::dataFile("examples/" + name); }

// torvane-devsim linked as COM7, serving the example unless told another image.
struct Simulator : SimulatorProcess {
    bool start(const QStringList &extra, const QString &image = example("gw110.gwc"))
    {
        return SimulatorProcess::start(image, "COM7", extra);
    }
    QString exchanges() const { return QString::fromLatin1(record("exchanges.txt")); }
};

QStringList device(const QString &command, const QStringList &extra = {})
{
    return QStringList{command, "--port", "COM7", "--tcf", example("vantor.tcf"), "--lang", "english"} + extra;
}

// Runs torvane-cli; when its stderr shows `cue`, does `onCue` (the user restarting the device)
// and writes `input` to its stdin.
CliResult runInteractive(const QStringList &args, const QString &cue, const std::function<void()> &onCue,
                         const QByteArray &input = {}, int timeoutMs = 60000)
{
    QProcess p;
    p.start(TestPaths::binDir() + "/torvane-cli", args);
    QByteArray err;
    bool cued = false;
    QElapsedTimer t;
    t.start();
    while (p.state() != QProcess::NotRunning && t.elapsed() < timeoutMs) {
        p.waitForReadyRead(50);
        err += p.readAllStandardError();
        if (!cued && err.contains(cue.toUtf8())) {
            cued = true;
            if (onCue)
                onCue();
            if (!input.isEmpty())
                p.write(input);
            p.closeWriteChannel();
        }
    }
    if (p.state() != QProcess::NotRunning && !p.waitForFinished(1000)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}, QStringLiteral("did not finish")};
    }
    err += p.readAllStandardError();
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(err)};
}

} // namespace

class TestCliDevice : public QObject
{
    Q_OBJECT

private slots:
    void upload_data()
    {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("status");
        QTest::newRow("good") << QStringList() << 0 << "Configuration read from the device";
        // A failure's last line names its reason, not the last progress text.
        QTest::newRow("wrong checksum") << QStringList{"--wrong-checksum"} << 1
                                        << "torvane-cli: upload failed: Checksum error while reading the configuration\n";
        QTest::newRow("line dropped") << QStringList{"--drop-after", "300"} << 1
                                      << "torvane-cli: upload failed: Port lost: the serial port went away\n";
        // A stray character, then silence: ends within the upload's own limit, not after minutes.
        QTest::newRow("no data after the request") << QStringList{"--upload-answer", "X"} << 1
                                                   << "torvane-cli: upload failed: Time-out while reading the configuration\n";
    }
    void upload()
    {
        QFETCH(QStringList, simOptions);
        QFETCH(int, exitCode);
        QFETCH(QString, status);
        Simulator sim;
        QVERIFY(sim.start(simOptions));
        QTemporaryDir dir;
        const QString out = writeFile(dir, "out.gwc", "old content");

        const CliResult r = runCli(device("upload", {"--monitor", "-o", out}));

        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        QVERIFY2(exitCode == 0 ? r.err.contains(status) : r.err.endsWith(status), qPrintable(r.err));
        QVERIFY(r.err.contains("Searching for the gateway ..."));
        QVERIFY2(r.out.contains("Gateway V1.00 (c)kB"), qPrintable(r.out)); // the banner, through the monitor
        // only a good upload replaces the file, and then with exactly the device's bytes
        QCOMPARE(readAll(out), exitCode == 0 ? readAll(example("gw110.gwc")) : QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.gwc"});
    }

    // A wrong -o is told before the device is asked, not after a whole upload.
    void uploadTargetCheckedFirst()
    {
        Simulator sim;
        QVERIFY(sim.start({}));
        QTemporaryDir dir;
        const CliResult r = runCli(device("upload", {"-o", dir.filePath("absent/out.gwc")}));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("cannot write \"" + dir.filePath("absent/out.gwc") + "\": the folder"), qPrintable(r.err));
        QVERIFY(sim.record("received.bin").isEmpty());
    }

    // Port, line settings and description come from the settings store when not given.
    void storedSettings()
    {
        RegistryStore store = RegistryStore::user();
        TSerialSettings settings;
        settings.StandardSerialOptions();
        settings.PortNumber.Text = "COM7";
        settings.Baudrate.Text = "115200";
        QVERIFY(settings.Store(store));
        QVERIFY(ProgramSettings::storeDescriptionFilePath(store, example("vantor.tcf")));
        Simulator sim;
        QVERIFY(sim.start({}));
        QTemporaryDir dir;

        const CliResult r = runCli({"upload", "--lang", "english", "-o", dir.filePath("up.gwc")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(readAll(dir.filePath("up.gwc")), readAll(example("gw110.gwc")));

        const CliResult bad = runCli({"upload", "--parity", "sometimes", "-o", dir.filePath("x.gwc")});
        QCOMPARE(bad.exitCode, 2);
        QVERIFY(bad.err.contains("--parity takes one of none even odd mark space"));
        QVERIFY(!QFile::exists(dir.filePath("x.gwc")));

        QVERIFY(store.deleteKey(TSerialSettings::kRootKey));
        const CliResult none = runCli({"upload", "--tcf", example("vantor.tcf"), "-o", dir.filePath("x.gwc")});
        QCOMPARE(none.exitCode, 1);
        QVERIFY(none.err.contains("no port given"));
    }

    void download_data()
    {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("status");
        QTest::newRow("good") << QStringList() << "eth" << 0 << "Configuration written to the device";
        QTest::newRow("no restart banner") << QStringList{"--banner", "Gateway V1.00"} << "eth" << 1
                                           << "torvane-cli: download failed: No confirmation from the device (time-out)\n";
        QTest::newRow("restarts at once") << QStringList{"--restart-at-once"} << "eth" << 0 << "Configuration written to the device";
        QTest::newRow("missing file") << QStringList() << "missing" << 1 << "absent.gwc";
    }
    void download()
    {
        QFETCH(QStringList, simOptions);
        QFETCH(QString, file);
        QFETCH(int, exitCode);
        QFETCH(QString, status);
        Simulator sim;
        QVERIFY(sim.start(simOptions << "--restart-delay" << "200"));
        QTemporaryDir dir;
        const QString path = file == "missing" ? dir.filePath("absent.gwc") : example("gw110-ethernet.gwc");

        const CliResult r = runCli(device("download", {path}));

        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        QVERIFY2(r.err.contains(status), qPrintable(r.err));
        if (status.startsWith("torvane-cli:"))
            QVERIFY2(r.err.endsWith(status), qPrintable(r.err));
        if (file == "missing")
            QVERIFY(sim.record("received.bin").isEmpty());
        else
            QCOMPARE(sim.record("image.gwc"), TBaseEEROM::WithChecksum(readAll(path)));
    }

    void writeScript_data()
    {
        QTest::addColumn<bool>("fast");
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("with read-back") << false << true << 0;
        QTest::newRow("fast") << true << true << 0;
        QTest::newRow("missing script") << false << false << 1;
    }
    void writeScript()
    {
        QFETCH(bool, fast);
        QFETCH(bool, present);
        QFETCH(int, exitCode);
        Simulator sim;
        QVERIFY(sim.start({"--restart-delay", "200"}));
        QTemporaryDir dir;
        QByteArray script(1000, '\0');
        for (int i = 0; i < script.size(); ++i)
            script[i] = char(i * 7);
        const QString path = present ? writeFile(dir, "user.kcs", script) : dir.filePath("absent.kcs");
        QStringList args = device("write-script");
        if (fast)
            args << "--fast";

        const CliResult r = runCli(args << path);

        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        if (!present) {
            QVERIFY(r.err.contains(path));
            QVERIFY(sim.record("received.bin").isEmpty());
            return;
        }
        QVERIFY2(r.err.contains("Script installed"), qPrintable(r.err));
        QVERIFY(sim.exchanges().contains("script ok"));
        QCOMPARE(sim.exchanges().contains("upload ok"), !fast);
    }

    void reset_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("--yes") << QStringList{"--yes"} << QByteArray() << 0;
        QTest::newRow("answered no") << QStringList() << QByteArray("n\n") << 1;
    }
    void reset()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, answer);
        QFETCH(int, exitCode);
        Simulator sim;
        QVERIFY(sim.start({}));
        const CliResult r = runInteractive(device("reset", options), "The device will be reset", {}, answer);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        QVERIFY2(r.err.contains("Warning: The device will be reset. Do you want to continue?"), qPrintable(r.err));
        if (exitCode == 0)
            QVERIFY(sim.exchanges().contains("reset ok"));
        else
            QCOMPARE(sim.record("received.bin"), QByteArray("\x14\x1b"));
    }

    void debugTransfers()
    {
        Simulator sim;
        QVERIFY(sim.start({"--restart-delay", "200"}));
        QTemporaryDir dir;
        const auto restart = [&] { ::kill(pid_t(sim.process.processId()), SIGUSR1); };
        const QString cue = "Please restart the device now";

        const CliResult up = runInteractive(device("debug-upload", {"-o", dir.filePath("raw.gwc")}), cue, restart);
        QVERIFY2(up.exitCode == 0, qPrintable(up.err));
        QCOMPARE(readAll(dir.filePath("raw.gwc")), readAll(example("gw110.gwc")));
        QVERIFY(up.err.contains("Device started in configuration mode"));

        const QString eth = example("gw110-ethernet.gwc");
        const CliResult down = runInteractive(device("debug-download", {eth}), cue, restart);
        QVERIFY2(down.exitCode == 0, qPrintable(down.err));
        QVERIFY(sim.exchanges().contains("debug-download ok"));
        QCOMPARE(sim.record("image.gwc"), TBaseEEROM::WithChecksum(readAll(eth)));
    }

    void number_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("two") << "gw110.gwc" << "2" << 0 << QStringList{"AutoKonfig_00012346.gwc", "AutoKonfig_00012347.gwc"};
        QTest::newRow("no serial number") << "gw164x.gwc" << "1" << 1 << QStringList();
        QTest::newRow("bad count") << "gw110.gwc" << "0" << 2 << QStringList();
        QTest::newRow("count with a blank") << "gw110.gwc" << " 2" << 2 << QStringList();
        QTest::newRow("count with a plus") << "gw110.gwc" << "+2" << 2 << QStringList();
    }
    void number()
    {
        QFETCH(QString, image);
        QFETCH(QString, count);
        QFETCH(int, exitCode);
        QFETCH(QStringList, files);
        QTemporaryDir dir;
        const QString source = writeFile(dir, image, readAll(example(image)));

        const CliResult r = runCli({"number", "--tcf", example("vantor.tcf"), "--lang", "english", "--count", count, source});

        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        QCOMPARE(QDir(dir.path()).entryList({"AutoKonfig_*"}), files);
        if (exitCode == 1)
            QVERIFY(r.err.contains("has no parameter \"Serial Number\""));
        for (const QString &f : files) {
            QVERIFY(r.out.contains(dir.filePath(f)));
            const QByteArray bytes = readAll(dir.filePath(f));
            QCOMPARE(bytes.size(), 300);
            QCOMPARE(bytes.mid(12, 4).toHex(), f.mid(11, 8).toLatin1());
        }
    }
};

QTEST_GUILESS_MAIN(TestCliDevice)
#include "TestCliDevice.moc"

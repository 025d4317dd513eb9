// The window program started as a user or a production script starts it: offscreen, with a
// private settings folder, the simulator as the gateway. Exit codes, the files it writes and
// what the simulated device received.
#include "SimulatorProcess.h"
#include "TestPaths.h"

#include "model/BaseEEROM.h"
#include "platform/RegistryStore.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString example(const QString &name) { return TestPaths::dataFile("examples/" + name); }
QString tcf() { return example("vantor.tcf"); }

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString copyInto(const QTemporaryDir &dir, const QString &from, const QString &name)
{
    const QString to = dir.filePath(name);
    QDir().mkpath(QFileInfo(to).path());
    QFile::remove(to);
    QFile::copy(from, to);
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
    return to;
}

// torvane-devsim linked as COM7 (or port) serving the example.
struct Simulator : SimulatorProcess {
    bool start(const QStringList &extra = {}, const QString &port = "COM7")
    {
        return SimulatorProcess::start(example("gw110.gwc"), port, extra);
    }
    QByteArray received() const { return record("received.bin"); }
};

// A running torvane; its stderr collected as it comes.
struct Torvane {
    QProcess process;
    QByteArray err;

    void start(const QStringList &args, const QString &configDir = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        if (!configDir.isEmpty())
            env.insert("XDG_CONFIG_HOME", configDir);
        process.setProcessEnvironment(env);
        process.start(TestPaths::binDir() + "/torvane", args);
    }
    // Waits until stderr shows text (or the process ends).
    bool waitForErr(const QByteArray &text, int ms)
    {
        return QTest::qWaitFor([&] {
            process.waitForReadyRead(20);
            err += process.readAllStandardError();
            return err.contains(text) || process.state() == QProcess::NotRunning;
        }, ms) && err.contains(text);
    }
    // The exit code, or -1 when it did not end within ms.
    int finish(int ms = 60000)
    {
        const bool ended = process.waitForFinished(ms);
        err += process.readAllStandardError();
        return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    bool running() const { return process.state() == QProcess::Running; }
    ~Torvane()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
};

QStringList autoKonfig(const QString &dir)
{
    return QDir(dir).entryList({"AutoKonfig_*"}, QDir::Files, QDir::Name);
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The texts the tests look for are the English ones, whatever this machine's locale.
        QVERIFY(RegistryStore::user().writeString("\\software\\Kellerbrand\\Torvane", "UserLang", "english"));
    }

    void terminalOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::newRow("--help") << QStringList{"--help"} << 0 << "--screenshot FILE";
        QTest::newRow("--version") << QStringList{"/N", "--version"} << 0 << "torvane ";
        QTest::newRow("--screenshot without file") << QStringList{"--screenshot"} << 2 << "";
    }
    // Answered on the terminal, without a display.
    void terminalOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        p.setProcessEnvironment(env);
        p.start(TestPaths::binDir() + "/torvane", args);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), exitCode);
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains(out));
    }

    // /Q3: the next three serial numbers, each saved beside the source file; exit code 1. A
    // configuration file turns the upload off; of two the last one counts.
    void serialNumbers_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("prefix"); // put before the absolute path of the last file
        QTest::newRow("/q3") << "/q3" << QStringList{"AutoKonfig_00012346.gwc", "AutoKonfig_00012347.gwc", "AutoKonfig_00012348.gwc"}
                             << "";
        QTest::newRow("/Q alone") << "/Q" << QStringList{"AutoKonfig_00012346.gwc"} << "";
        // "/lib/../.." is the root folder: the path starts like /L and is still a file.
        QTest::newRow("path starting with /lib") << "/Q" << QStringList{"AutoKonfig_00012346.gwc"} << "/lib/../..";
    }
    void serialNumbers()
    {
        QFETCH(QString, count);
        QFETCH(QStringList, expected);
        QFETCH(QString, prefix);
        if (!prefix.isEmpty() && !QFileInfo::exists("/lib"))
            QSKIP("no /lib here");
        Simulator sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const QString first = copyInto(dir, example("gw110.gwc"), "first/plant.gwc");
        const QString last = copyInto(dir, example("gw110.gwc"), "last/plant.gwc");

        Torvane t;
        t.start({count, "/P", "COM7", "/W", tcf(), first, prefix + last});
        QCOMPARE(t.finish(), 1);

        QCOMPARE(autoKonfig(QFileInfo(last).path()), expected);
        QVERIFY(autoKonfig(QFileInfo(first).path()).isEmpty());
        // the image with its own serial number: as long as the source, other bytes
        const QByteArray written = readAll(QFileInfo(last).path() + "/" + expected.last());
        QCOMPARE(written.size(), readAll(last).size());
        QVERIFY(written != readAll(last));
        QVERIFY(sim.received().isEmpty()); // the device was not read
    }

    // /QX: the failure is shown, nothing after it is set up (not even the port), no file is
    // written and the program stays open for the user.
    void countThatIsNoNumber()
    {
        Simulator sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const QString source = copyInto(dir, example("gw110.gwc"), "plant.gwc");
        Torvane t;
        t.start({"/P", "COM7", "/W", tcf(), "/QX", source});
        QVERIFY2(t.waitForErr("'X' is not a valid integer value", 30000), t.err.constData());
        QTest::qWait(500);
        QVERIFY(t.running());
        QVERIFY(autoKonfig(dir.path()).isEmpty());
        QVERIFY(!t.err.contains("not found"));
        QVERIFY(sim.received().isEmpty());
    }

    // /G downloads the configuration file, waits for the device's confirmation and ends with 1.
    void unattendedDownload()
    {
        Simulator sim;
        QVERIFY(sim.start({"--restart-delay", "200"}));
        QTemporaryDir dir;
        const QString file = copyInto(dir, example("gw110-ethernet.gwc"), "eth.gwc");
        Torvane t;
        t.start({"/G", "/W", tcf(), "/P", "COM7", file});
        QVERIFY2(t.finish(90000) == 1, t.err.constData());
        QCOMPARE(readAll(sim.records.filePath("image.gwc")), TBaseEEROM::WithChecksum(readAll(file)));
    }

    // A device that never answers: the failure is shown and the program stays open.
    void unattendedDownloadSilentDevice()
    {
        Simulator sim;
        QVERIFY(sim.start({"--silent"}));
        QTemporaryDir dir;
        const QString file = copyInto(dir, example("gw110-ethernet.gwc"), "eth.gwc");
        Torvane t;
        t.start({"/G", "/W", tcf(), "/P", "COM7", file});
        QVERIFY2(t.waitForErr("The automatic download to the device failed.", 120000), t.err.constData());
        QTest::qWait(1500); // no exit code 1 after the failure
        QVERIFY(t.running());
    }

    // The picture after the first content; a file argument is shown instead of reading the
    // device; the description missing and its dialog cancelled (nobody can answer offscreen)
    // ends with 0 before anything is read.
    void screenshot_data()
    {
        QTest::addColumn<QStringList>("args"); // %F the configuration file, %P the picture
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<bool>("uploaded");
        QTest::newRow("upload") << QStringList{"/P", "com7", "/W", tcf()} << 0 << true << true;
        QTest::newRow("file argument: no upload") << QStringList{"/P", "COM7", "/W", tcf(), "%F"} << 0 << true << false;
        QTest::newRow("with /G: the picture, no download") << QStringList{"/G", "/P", "COM7", "/W", tcf(), "%F"} << 0 << true
                                                          << false;
        QTest::newRow("picture not writable") << QStringList{"/P", "COM7", "/W", tcf(), "%F", "--screenshot", "%D/none/x.png"}
                                              << 2 << false << false;
        QTest::newRow("missing description, dialog cancelled") << QStringList{"/P", "COM7", "/W", "%D/absent.tcf"} << 0 << false
                                                               << false;
    }
    void screenshot()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(bool, picture);
        QFETCH(bool, uploaded);
        Simulator sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const QString file = copyInto(dir, example("gw110-ethernet.gwc"), "eth.gwc");
        const QString png = dir.filePath("window.png");
        QStringList full{"--screenshot", png};
        for (QString a : std::as_const(args))
            full << a.replace("%F", file).replace("%D", dir.path());
        Torvane t;
        t.start(full);
        QVERIFY2(t.finish() == exitCode, t.err.constData());
        QCOMPARE(QFile::exists(png), picture);
        if (picture) {
            QImage image(png);
            QVERIFY(image.width() > 200 && image.height() > 200);
        }
        QCOMPARE(!sim.received().isEmpty(), uploaded);
    }

    // Two running copies: a copy that waits for a port (missing in its own port folder) makes
    // the copy that holds that port show itself offline. COM60 has no device by default here.
    void waitingCopyTakesTheOtherOffline()
    {
        Simulator sim;
        QVERIFY(sim.start({}, "COM60"));
        Torvane holder;
        holder.start({"--trace", "/N", "/P", "COM60", "/W", tcf()});
        QVERIFY2(holder.waitForErr("Start-up complete", 30000), holder.err.constData());
        QVERIFY2(!holder.err.contains("Message:"), holder.err.constData()); // the port opened
        QTemporaryDir otherConfig;
        Torvane waiter;
        waiter.start({"--trace", "/N", "/P", "COM60", "/W", tcf()}, otherConfig.path());
        QVERIFY2(holder.waitForErr("Waiting on the same COM - getting offline", 30000),
                 (holder.err + "\n---\n" + waiter.err).constData());
        QVERIFY(waiter.running());
    }
};

QTEST_MAIN(TestStartup)
#include "TestStartup.moc"

// torvane-devsim as the end-to-end tests and the demo start it: a separate process,
// reachable through the port link, leaving its records in a directory.
#include "PcEnd.h"
#include "TestPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestDevsimExecutable : public QObject
{
    Q_OBJECT

    static QString program() { return QDir(TestPaths::binDir()).filePath(QStringLiteral("torvane-devsim")); }
    static QString portLink(const QString &com)
    {
        return QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(QStringLiteral("Kellerbrand/Torvane/ports/") + com);
    }

private slots:
    void servesStoresAndShutsDown()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString imagePath = dir.filePath("device.gwc");
        const QString records = dir.filePath("rec");
        {
            QFile f(imagePath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(20, '\x11'));
        }
        QProcess sim;
        sim.start(program(), {"--image", imagePath, "--port", "COM5", "--record-dir", records, "--store",
                              "--restart-delay", "100", "--banner", "Test gateway (c)kB"});
        QVERIFY(sim.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine() && sim.peek(4096).count('\n') >= 2; }, 5000));
        const QString slave = QString::fromLocal8Bit(sim.readLine()).trimmed();
        QCOMPARE(sim.readLine(), QByteArray("ready\n"));
        QCOMPARE(QFileInfo(portLink("COM5")).symLinkTarget(), slave);

        PcEnd pc;
        QVERIFY(pc.open(portLink("COM5")));
        QVERIFY(pc.send('\x14'));
        QVERIFY(pc.waitForText("OK\r\n", 3000));
        const QByteArray image = QByteArray::fromHex("0102030405060708090a");
        QVERIFY(pc.send("\x04" + image.toHex() + "\n0037\n"));
        QVERIFY(pc.waitForText("Restart\r\n", 3000));
        QVERIFY(pc.waitForText("Test gateway (c)kB\r\n", 3000));
        pc.take();
        // SIGUSR1: power cycle
        ::kill(pid_t(sim.processId()), SIGUSR1);
        QVERIFY(pc.waitForText(QByteArray(1, '\0') + "Test gateway (c)kB\r\n", 3000));

        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(portLink("COM5")).isSymLink());

        auto contents = [](const QString &path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        };
        QCOMPARE(contents(imagePath), image);
        QCOMPARE(contents(QDir(records).filePath("image.gwc")), image);
        QVERIFY(contents(QDir(records).filePath("received.bin")).startsWith("\x14\x04" "0102"));
        const QByteArray log = contents(QDir(records).filePath("exchanges.txt"));
        QVERIFY2(log.contains("2 download ok header=- size=10\n"), log.constData());
        QVERIFY(log.contains(" restart unclaimed "));
        QCOMPARE(contents(QDir(records).filePath("0002-download.gwc")), image);
    }

    void refusesBadStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a number") << QStringList{"--late", "soon"} << 2 << "--late needs a number";
        QTest::newRow("unknown verdict") << QStringList{"--ext-final", "X"} << 2 << "--ext-final takes one of";
        QTest::newRow("missing image") << QStringList{"--image", "/nonexistent/x.gwc"} << 1 << "cannot read image";
    }
    void refusesBadStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QProcess sim;
        sim.start(program(), arguments + QStringList{"--port", "COM6"});
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), exitCode);
        QVERIFY(QString::fromLocal8Bit(sim.readAllStandardError()).contains(message));
        QVERIFY(!QFileInfo(portLink("COM6")).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestDevsimExecutable)
#include "TestDevsimExecutable.moc"

// The wait helper, the one-shot timer and the port-name mapping.
#include "CpuTime.h"
#include "link/LinkWait.h"
#include "link/Monoflop.h"
#include "platform/PortMap.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>


class TestLinkWait : public QObject
{
    Q_OBJECT

private slots:
    void waitEndsWhenConditionHoldsOrTimeIsUp_data()
    {
        QTest::addColumn<int>("setAfterMs"); // -1: never
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<bool>("result");
        QTest::newRow("condition first") << 30 << 2000 << true;
        QTest::newRow("time first") << -1 << 150 << false;
        QTest::newRow("already true") << 0 << 2000 << true;
    }
    void waitEndsWhenConditionHoldsOrTimeIsUp()
    {
        QFETCH(int, setAfterMs);
        QFETCH(int, timeoutMs);
        bool flag = setAfterMs == 0;
        if (setAfterMs > 0)
            QTimer::singleShot(setAfterMs, [&] { flag = true; });
        QElapsedTimer t;
        t.start();
        const double cpu0 = cpuSeconds();
        QTEST(LinkWait::waitUntil([&] { return flag; }, timeoutMs), "result");
        const qint64 took = t.elapsed();
        const int expected = setAfterMs < 0 ? timeoutMs : setAfterMs;
        QVERIFY2(took >= expected && took < expected + 60, qPrintable(QString::number(took)));
        // Sleeping, not spinning.
        QVERIFY2(cpuSeconds() - cpu0 < 0.05 + took / 1000.0 * 0.1, "the wait used the CPU");
    }

    void postedEventsAndTimersRunInsideDelay()
    {
        int timerTicks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++timerTicks; });
        timer.start(20);
        bool posted = false;
        QMetaObject::invokeMethod(this, [&] { posted = true; }, Qt::QueuedConnection);
        QElapsedTimer t;
        t.start();
        ExactDelay(200);
        QVERIFY(t.elapsed() >= 200 && t.elapsed() < 260);
        QVERIFY(posted);
        QVERIFY2(timerTicks >= 7, qPrintable(QString::number(timerTicks)));
    }

    // A handler inside a wait waits itself: the outer wait ends once the inner returned and its
    // own condition holds, not at its time limit.
    void nestedWaits()
    {
        bool outerDone = false;
        bool innerRan = false;
        QTimer::singleShot(10, [&] {
            LinkWait::waitUntil([] { return false; }, 100); // inner: runs to its limit
            innerRan = true;
        });
        QTimer::singleShot(30, [&] { outerDone = true; }); // fires during the inner wait
        QElapsedTimer t;
        t.start();
        QVERIFY(LinkWait::waitUntil([&] { return outerDone; }, 3000));
        QVERIFY(innerRan);
        QVERIFY2(t.elapsed() >= 100 && t.elapsed() < 400, qPrintable(QString::number(t.elapsed())));
    }

    void monoflopEndsOnFirstTickAfterDuration()
    {
        TMonoflop mf;
        mf.FDuration = 300;
        int starts = 0, ends = 0;
        qint64 endedAt = -1;
        QElapsedTimer t;
        mf.FOnStart = [&](TObject *) { ++starts; };
        mf.FOnEnd = [&](TObject *) { ++ends; endedAt = t.elapsed(); };
        t.start();
        mf.Start();
        QCOMPARE(starts, 1);
        QCOMPARE(mf.FRemaining, 300u);
        ExactDelay(120);
        QVERIFY(mf.FRemaining > 100 && mf.FRemaining <= 250);
        QVERIFY(LinkWait::waitUntil([&] { return ends > 0; }, 1000));
        QVERIFY2(endedAt >= 300 && endedAt <= 300 + 2 * TMonoflop::kTickMs, qPrintable(QString::number(endedAt)));
        QCOMPARE(mf.FRemaining, 0u);
        ExactDelay(150);
        QCOMPARE(ends, 1); // one shot
    }

    void monoflopStopIsSilentAndStartRestarts()
    {
        TMonoflop mf;
        mf.FDuration = 200;
        int ends = 0;
        mf.FOnEnd = [&](TObject *) { ++ends; };
        mf.Start();
        ExactDelay(100);
        mf.Stop();
        QCOMPARE(mf.FRemaining, 0u);
        ExactDelay(250);
        QCOMPARE(ends, 0);

        QElapsedTimer t;
        t.start();
        mf.Start();
        ExactDelay(150);
        mf.Start(); // restart from the full duration
        QVERIFY(LinkWait::waitUntil([&] { return ends > 0; }, 1000));
        QVERIFY2(t.elapsed() >= 350, qPrintable(QString::number(t.elapsed())));
    }

    void portNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("COM1") << "COM1" << 1;
        QTest::newRow("lower case, blanks") << " com12 " << 12;
        QTest::newRow("last") << "COM96" << 96;
        QTest::newRow("beyond") << "COM97" << -1;
        QTest::newRow("zero") << "COM0" << -1;
        QTest::newRow("offline") << "offline" << -1;
        QTest::newRow("device path") << "/dev/ttyS0" << -1;
    }
    void portNames()
    {
        QFETCH(QString, name);
        QTEST(PortMap::comNumber(name), "number");
    }

    void defaultMapping_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("path");
        QTest::newRow("1") << 1 << "/dev/ttyS0";
        QTest::newRow("32") << 32 << "/dev/ttyS31";
        QTest::newRow("33") << 33 << "/dev/ttyUSB0";
        QTest::newRow("64") << 64 << "/dev/ttyUSB31";
        QTest::newRow("65") << 65 << "/dev/ttyACM0";
        QTest::newRow("96") << 96 << "/dev/ttyACM31";
        QTest::newRow("97") << 97 << "";
    }
    void defaultMapping()
    {
        QFETCH(int, number);
        QTEST(PortMap::defaultDevicePath(number), "path");
    }

    // The link of the port map wins over the default mapping, even when it dangles.
    void linkWinsAndDanglingLinkIsMissing()
    {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QCOMPARE(PortMap::mapDirectory(), config.path() + "/Kellerbrand/Torvane/ports");

        QTemporaryDir devices;
        const QString device = devices.filePath("fakedev");
        QFile f(device);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();

        QVERIFY(PortMap::linkPort(40, device));
        QCOMPARE(PortMap::devicePath(40), config.path() + "/Kellerbrand/Torvane/ports/COM40");
        QCOMPARE(PortMap::resolvedDevicePath(40), QFileInfo(device).canonicalFilePath());
        QVERIFY(PortMap::IsPortAvailable(40));

        QVERIFY(QFile::remove(device));
        QCOMPARE(PortMap::devicePath(40), PortMap::linkPath(40)); // still the link
        QVERIFY(!PortMap::IsPortAvailable(40));
        QVERIFY(PortMap::resolvedDevicePath(40).isEmpty());

        QVERIFY(PortMap::unlinkPort(40));
        QCOMPARE(PortMap::devicePath(40), QString("/dev/ttyUSB7"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(PortMap::mapDirectory(), QDir::homePath() + "/.config/Kellerbrand/Torvane/ports");
        qputenv("XDG_CONFIG_HOME", saved);
    }
};

QTEST_GUILESS_MAIN(TestLinkWait)
#include "TestLinkWait.moc"

// The handshakes of the receiver: presence query, power-on banner, restart announcement,
// against the simulator and against a bare line the test answers itself.
#include "CpuTime.h"
#include "LinkRig.h"

#include "platform/StatusTrace.h"

#include <QElapsedTimer>
#include <QTimer>


class TestDeviceHandshake : public QObject
{
    Q_OBJECT

private slots:
    void init() { statusTrace().clear(); }

    void presenceQuery_data()
    {
        QTest::addColumn<bool>("lowerCase");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("found");
        QTest::newRow("OK CR LF") << false << false << true;
        QTest::newRow("ok") << true << false << false;
        QTest::newRow("no answer") << false << true << false;
    }
    void presenceQuery()
    {
        QFETCH(bool, found);
        LinkRig rig;
        GatewaySimulator::Options opt;
        QFETCH(bool, lowerCase);
        QFETCH(bool, silent);
        opt.lowerCaseOk = lowerCase;
        opt.silent = silent;
        QVERIFY(rig.startSim(opt));
        QVERIFY(rig.open());
        QElapsedTimer t;
        t.start();
        QCOMPARE(rig.receiver.CheckdeviceConnected(300, 3), found);
        QCOMPARE(rig.sim->received().count('\x14'), found ? 1 : 3);
        if (found)
            QVERIFY(t.elapsed() < 300);
        else
            QVERIFY2(t.elapsed() >= 900 && t.elapsed() < 1300, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!rig.receiver.CollectCharacters);
    }

    // More than "OK" in one attempt is no answer; the first attempt's reply is kept from the
    // image, the later ones reach it.
    void presenceQueryAttempts()
    {
        LinkRig rig;
        QVERIFY(rig.startBare());
        QVERIFY(rig.open());
        int queries = 0;
        connect(rig.bare.get(), &PseudoTerminal::received, [&](const QByteArray &b) {
            for (char c : b)
                if (c == '\x14')
                    rig.bare->write(++queries < 3 ? "xOK" : "OK\r\n");
        });
        QVERIFY(rig.receiver.CheckdeviceConnected(1000, 5));
        QCOMPARE(queries, 3);
        LinkWait::waitUntil([&] { return rig.displayed.endsWith('\n'); }, 1000);
        QCOMPARE(rig.displayed, QString("xOKOK\r\n")); // attempts 2 and 3 only
    }

    void banner_data()
    {
        QTest::addColumn<QByteArray>("banner");
        QTest::addColumn<bool>("signed");
        QTest::newRow("signature") << QByteArray("Gateway V1.00 (c)kB 2026\r\n") << true;
        QTest::newRow("capital signature") << QByteArray("GATEWAY (C)KB\r\n") << true;
        QTest::newRow("no signature") << QByteArray("Gateway V1.00 (c) 2026\r\n") << false;
    }
    void banner()
    {
        QFETCH(QByteArray, banner);
        LinkRig rig;
        GatewaySimulator::Options opt;
        opt.banner = banner;
        opt.universalName = "UNIVERSAL-7";
        QVERIFY(rig.startSim(opt));
        QVERIFY(rig.open());
        QTEST(rig.receiver.SendCtrlVAndwaitForEinschaltmeldung(1000, 400, 100), "signed");
        QVERIFY(rig.receiver.CollectCharacters); // the caller clears it
        QVERIFY(rig.receiver.CollectString.contains("UNIVERSAL-7"));
        QVERIFY(!rig.receiver.CollectString.contains('\r'));
    }

    // A banner that keeps growing is judged on what has arrived when the time is up.
    void growingBannerEndsAtTheLimit()
    {
        LinkRig rig;
        QVERIFY(rig.startBare());
        QVERIFY(rig.open());
        QTimer drip;
        connect(&drip, &QTimer::timeout, [&] { rig.bare->write("x"); });
        drip.start(40);
        QTimer::singleShot(1500, rig.bare.get(), [&] { rig.bare->write("(c)kB"); });
        QElapsedTimer t;
        t.start();
        QVERIFY(!rig.receiver.SendCtrlVAndwaitForEinschaltmeldung(600, 0, 100));
        QVERIFY2(t.elapsed() >= 600 && t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(rig.receiver.CollectString.startsWith("xxxx"));
    }

    // Without delays between the passes the wait sleeps until the banner comes instead of
    // spinning.
    void bannerWaitWithoutDelaysSleeps()
    {
        LinkRig rig;
        GatewaySimulator::Options opt;
        opt.replyDelayMs = 500;
        QVERIFY(rig.startSim(opt));
        QVERIFY(rig.open());
        QElapsedTimer t;
        t.start();
        const double cpu0 = cpuSeconds();
        QVERIFY(rig.receiver.SendCtrlVAndwaitForEinschaltmeldung(15000, 0, 0));
        QVERIFY2(t.elapsed() >= 500 && t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(cpuSeconds() - cpu0 < 0.15, qPrintable(QString::number(cpuSeconds() - cpu0)));
    }

    void bannerAfterARestart()
    {
        LinkRig rig;
        GatewaySimulator::Options opt;
        opt.restartDelayMs = 300;
        QVERIFY(rig.startSim(opt));
        QVERIFY(rig.open());
        rig.sim->restart();
        QVERIFY(rig.receiver.waitForEinschaltmeldung(5000, 200));
        QVERIFY(!rig.receiver.CollectCharacters);
        QVERIFY(rig.receiver.CollectString.contains("(c)kB"));
        // the start-up NUL went to the image's display, not into the collected text
        QVERIFY(rig.displayed.contains(QChar(0)));
    }

    void restartText()
    {
        LinkRig rig;
        QVERIFY(rig.startBare());
        QVERIFY(rig.open());
        rig.receiver.CollectCharacters = true;
        QTimer::singleShot(200, rig.bare.get(), [&] { rig.bare->write("stored\r\nRESTART\r\n"); });
        QElapsedTimer t;
        t.start();
        QVERIFY(rig.receiver.WaitForRestartText(3000));
        QVERIFY(t.elapsed() < 1000);
        t.restart();
        QVERIFY(!rig.receiver.WaitForRestartText(300));
        QVERIFY(t.elapsed() >= 300);
    }

    // Whatever arrives, the collected text stays bounded and the loop keeps running.
    void endlessChatterStaysBounded()
    {
        LinkRig rig;
        QVERIFY(rig.startBare());
        QVERIFY(rig.open());
        QByteArray noise(4096, 'A');
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(10);
        rig.receiver.CollectCharacters = true;
        for (int i = 0; i < 40; ++i) {
            rig.bare->write(noise);
            LinkWait::waitUntil([&] { return rig.bare->unreadOutput() == 0; }, 1000);
        }
        LinkWait::waitUntil([&] { return rig.com.BytesAvailable() == 0; }, 1000);
        QVERIFY(rig.receiver.CollectString.size() <= TDeviceReceiver::kMaxCollect);
        QVERIFY(rig.receiver.CollectString.size() >= TDeviceReceiver::kMaxCollect / 2);
        QVERIFY(ticks > 0);
    }
};

QTEST_GUILESS_MAIN(TestDeviceHandshake)
#include "TestDeviceHandshake.moc"

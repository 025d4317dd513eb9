// The serial port session over real pseudo-terminals: settings, open/close, failures and
// recovery, coordination between running copies, the receive-handler slot, the service reset.
#include "LinkRig.h"
#include "ScriptedPrompts.h"
#include "TestPaths.h"

#include "base/GeneralError.h"
#include "platform/InstanceBroadcast.h"
#include "platform/RegistryStore.h"
#include "platform/StatusTrace.h"
#include "platform/UsbNotifier.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FakeUsbNotifier final : public TUsbNotifier
{
    Q_OBJECT
public:
    using TUsbNotifier::TUsbNotifier;
    bool isAvailable() const override { return true; }
    QString unavailableReason() const override { return {}; }
    void arrive() { emit deviceArrived(QStringLiteral("/dev/ttyUSB0")); }
    void remove() { emit deviceRemoved(QStringLiteral("/dev/ttyUSB0")); }
};

bool traced(const QString &line)
{
    return statusTrace().lines().contains(line);
}

using States = QList<QPair<int, int>>;

} // namespace

class TestSerialSession : public QObject
{
    Q_OBJECT

private slots:
    void init() { statusTrace().clear(); }

    // Must run before any other session meets an unavailable notifier in this process.
    void withoutNotificationsTheTraceSaysSoOnce()
    {
        UnavailableUsbNotifier none(QStringLiteral("no udev in this test"));
        TCOM first(nullptr, &none);
        TCOM second(nullptr, &none);
        QCOMPARE(statusTrace().lines().filter("no udev in this test").size(), 1);
    }

    void applySettings_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("dataBits");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<int>("wantBaud");
        QTest::addColumn<int>("wantData");
        QTest::addColumn<int>("wantParity");
        // port 10 is linked to a live line in the test
        QTest::newRow("COM10, defaults") << "COM10" << "9600" << "8" << "none" << true << 9600 << 8 << int(QSerialPort::NoParity);
        QTest::newRow("parity any case") << "COM10" << "19200" << "7" << "Even" << true << 19200 << 7 << int(QSerialPort::EvenParity);
        QTest::newRow("parity unknown is none") << "COM10" << "115200" << "8" << "purple" << true << 115200 << 8 << int(QSerialPort::NoParity);
        QTest::newRow("empty lists") << "COM10" << "" << "" << "" << true << 9600 << 8 << int(QSerialPort::NoParity);
        QTest::newRow("baud label: 9600 8N1") << "COM10" << "qvMoreSerialOptionBaudrateLabel" << "7" << "odd" << true << 9600 << 8 << int(QSerialPort::NoParity);
        QTest::newRow("offline") << "offline" << "9600" << "8" << "none" << false << 0 << 0 << 0;
    }
    void applySettings()
    {
        QFETCH(QString, port);
        QFETCH(bool, opens);
        LinkRig rig;
        QVERIFY(rig.startBare(10));
        rig.com.Settings.StandardSerialOptions();
        rig.com.Settings.PortNumber.Text = port;
        QFETCH(QString, baud);
        rig.com.Settings.Baudrate.Text = baud;
        QFETCH(QString, dataBits);
        rig.com.Settings.Datenbits.Text = dataBits;
        QFETCH(QString, parity);
        rig.com.Settings.Parity.Text = parity;
        rig.com.ApplySettings();
        QCOMPARE(rig.com.IsOpen(), opens);
        if (!opens) {
            QVERIFY(rig.states.isEmpty()); // "offline" says nothing to the main window
            return;
        }
        QCOMPARE(rig.com.ComNumber(), 10);
        QCOMPARE(rig.states, States({{0, 0}}));
        QCOMPARE(rig.com.DevicePath(), QFileInfo(rig.bare->slavePath()).canonicalFilePath());
        QTEST(int(rig.com.Port().baudRate()), "wantBaud");
        QTEST(int(rig.com.Port().dataBits()), "wantData");
        QTEST(int(rig.com.Port().parity()), "wantParity");
        // A pseudo-terminal has no DTR/RTS: that did not count as a failure.
        QVERIFY(!rig.com.TimerWaitingForCom.isActive());
    }

    void applySettingsWithoutPortFallsBackToDefaults()
    {
        TCOM com(nullptr, nullptr);
        com.Settings.Baudrate.Text = "115200";
        com.ApplySettings();
        QCOMPARE(com.Settings.PortNumber.Text, QString("offline"));
        QCOMPARE(com.Settings.Baudrate.Text, QString("9600"));
        QCOMPARE(com.Settings.Parity.Text, QString("none"));
        QVERIFY(!com.IsOpen());
    }

    void applySettingsRejectsWhatIsNoLineSetting_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("dataBits");
        QTest::newRow("baud text") << "COM10" << "fast" << "8";
        QTest::newRow("nine data bits") << "COM10" << "9600" << "9";
        QTest::newRow("no number") << "COMx" << "9600" << "8";
    }
    void applySettingsRejectsWhatIsNoLineSetting()
    {
        TCOM com(nullptr, nullptr);
        com.Settings.StandardSerialOptions();
        QFETCH(QString, port);
        com.Settings.PortNumber.Text = port;
        QFETCH(QString, baud);
        com.Settings.Baudrate.Text = baud;
        QFETCH(QString, dataBits);
        com.Settings.Datenbits.Text = dataBits;
        try {
            com.ApplySettings();
            QFAIL("no error raised");
        } catch (const TorvaneError &e) {
            QCOMPARE(e.message(), QString("Error setting port options"));
        }
        QVERIFY(!com.IsOpen());
    }

    void settingsLiveInTheStoreUnderTheirSheets()
    {
        TSerialSettings s;
        s.StandardSerialOptions();
        s.PortNumber.Text = "COM12";
        s.Baudrate.Text = "57600";
        s.Parity.Text = "even";
        RegistryStore store = RegistryStore::user();
        QVERIFY(s.Store(store));
        QCOMPARE(store.readString("\\SOFTWARE\\Kellerbrand\\Torvane\\qvSerialOptionCaption", "PortNumber"), std::optional<QString>("COM12"));
        QCOMPARE(store.readString("\\software\\kellerbrand\\torvane\\qvMoreSerialOptionCaption", "Baudrate"), std::optional<QString>("57600"));

        TSerialSettings back;
        QVERIFY(back.Read(store));
        QCOMPARE(back.PortNumber.Text, QString("COM12"));
        QCOMPARE(back.Baudrate.Text, QString("57600"));
        QCOMPARE(back.Parity.Text, QString("even"));
        QCOMPARE(back.Datenbits.Text, QString("8"));

        QVERIFY(store.deleteValue(TSerialSettings::sheetKey(TSerialSettings::kLineSheet), "Parity"));
        QVERIFY(back.Read(store));
        QCOMPARE(back.Parity.Text, QString()); // missing reads as empty
    }

    void portListShowsPortsThatLeadToADevice()
    {
        LinkRig rig;
        QVERIFY(rig.startBare(70));
        QVERIFY(PortMap::linkPort(71, rig.dir.filePath("gone")));
        TSerialSettings s;
        s.RebuildPortList();
        QCOMPARE(s.PortNumber.Items.first(), QString("offline"));
        QVERIFY(s.PortNumber.Items.contains("COM70"));
        QVERIFY(!s.PortNumber.Items.contains("COM71"));
        QStringList sorted = s.PortNumber.Items.mid(1);
        std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
            return PortMap::comNumber(a) < PortMap::comNumber(b);
        });
        QCOMPARE(s.PortNumber.Items.mid(1), sorted);
        PortMap::unlinkPort(71);
    }

    void portHeldByAnotherSession()
    {
        LinkRig rig;
        QVERIFY(rig.startSim({}));
        QVERIFY(rig.open());
        TCOM second(nullptr, nullptr);
        QList<QPair<int, int>> seen;
        connect(&second, &TCOM::comState, [&](int w, int l) { seen.append({w, l}); });
        second.Settings.StandardSerialOptions();
        second.Settings.PortNumber.Text = "COM5";
        second.ApplySettings();
        QVERIFY(!second.IsOpen());
        QCOMPARE(seen, States({{2, 50}}));
        QVERIFY(!second.TimerWaitingForCom.isActive());
        QVERIFY(traced("Port wird von einer anderen App verwendet"));
        QVERIFY(rig.com.IsOpen());
        QVERIFY(rig.receiver.CheckdeviceConnected(1000, 1)); // the first session still talks
    }

    void missingPortWaitsWithGrowingTag()
    {
        LinkRig rig;
        QVERIFY(PortMap::linkPort(9, rig.dir.filePath("nothing-here")));
        QVERIFY(!rig.open(9));
        QCOMPARE(rig.states.value(0), qMakePair(1, 0));
        QVERIFY(traced("ie_BadId - bad or unsupported ID - waiting for com"));
        QVERIFY(rig.com.TimerWaitingForCom.isActive());
        QVERIFY(LinkWait::waitUntil([&] { return rig.states.size() >= 3; }, 2000));
        QCOMPARE(rig.states.mid(0, 3), States({{1, 0}, {2, 0}, {3, 0}}));

        // The user disconnects: the waiting ends.
        rig.com.closeCOM();
        QCOMPARE(rig.states.last(), qMakePair(0, 10));
        QVERIFY(!rig.com.TimerWaitingForCom.isActive());

        // Waiting again, then the port is set offline: no more polls, and the port stays
        // closed when it comes back.
        QVERIFY(!rig.open(9));
        QVERIFY(rig.com.TimerWaitingForCom.isActive());
        rig.com.Settings.PortNumber.Text = "offline";
        rig.com.ApplySettings();
        const int seen = int(rig.states.size());
        QVERIFY(rig.startBare(9));
        ExactDelay(1200);
        QCOMPARE(rig.states.size(), seen);
        QVERIFY(!rig.com.IsOpen());
        PortMap::unlinkPort(9);
    }

    // The poll finds the port back, but another session has taken it: the session reports the
    // port in use and does not claim to be online.
    void pollFindsThePortHeldByAnother()
    {
        LinkRig rig;
        QVERIFY(PortMap::linkPort(5, rig.dir.filePath("not-yet")));
        QVERIFY(!rig.open(5));
        QVERIFY(rig.com.TimerWaitingForCom.isActive());
        QVERIFY(rig.startSim({}));
        TCOM holder(nullptr, nullptr);
        holder.Settings.StandardSerialOptions();
        holder.Settings.PortNumber.Text = "COM5";
        holder.ApplySettings();
        QVERIFY(holder.IsOpen());
        QVERIFY(LinkWait::waitUntil([&] { return rig.states.contains(qMakePair(2, 50)); }, 2000));
        ExactDelay(600);
        QCOMPARE(rig.states.last(), qMakePair(2, 50));
        QVERIFY(!rig.com.IsOpen());
        QVERIFY(!rig.com.TimerWaitingForCom.isActive());
    }

    // A device file this user may not open is no port in use: the session reports permission
    // denied (WM_COMSTATE lParam 55), not the in-use state of a held port.
    void permissionDeniedIsNoLock()
    {
        PseudoTerminal pty;
        QString error;
        QVERIFY2(pty.open(&error), qPrintable(error));
        const QByteArray slave = QFile::encodeName(pty.slavePath());
        if (::geteuid() != 0) {
            // The owner takes the right to open its own terminal away.
            QVERIFY(::chmod(slave.constData(), 0) == 0);
            LinkRig rig;
            QVERIFY(PortMap::linkPort(5, pty.slavePath()));
            QVERIFY(!rig.open(5));
            QVERIFY(!rig.states.isEmpty());
            QCOMPARE(rig.states.last(), qMakePair(2, int(comStateNoPermission)));
            QVERIFY(!rig.com.TimerWaitingForCom.isActive());
            PortMap::unlinkPort(5);
            return;
        }
        // Every file opens for root: a second copy runs as an unprivileged user instead, with a
        // port map of its own that it may read.
        const QString peerPath = QDir(TestPaths::binDir()).filePath("link_peer");
        QTemporaryDir config(QDir::tempPath() + "/torvane-perm-XXXXXX");
        QVERIFY(config.isValid());
        const QString ports = config.filePath("Kellerbrand/Torvane/ports");
        QVERIFY(QDir().mkpath(ports));
        QVERIFY(::chmod(QFile::encodeName(config.path()).constData(), 0755) == 0);
        QVERIFY(::symlink(slave.constData(), QFile::encodeName(ports + "/COM5").constData()) == 0);
        QProcess peer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        env.remove("XDG_RUNTIME_DIR");
        peer.setProcessEnvironment(env);
        peer.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(77);
        });
        peer.start(peerPath, {"COM5"});
        QVERIFY(peer.waitForStarted(5000));
        QByteArray out;
        LinkWait::waitUntil([&] {
            out += peer.readAllStandardOutput();
            return out.contains("applied") || peer.state() == QProcess::NotRunning;
        }, 5000);
        peer.kill();
        peer.waitForFinished(3000);
        QVERIFY2(out.contains("state 2 55") && out.contains("applied 0"), out.constData());
        QVERIFY2(!out.contains("state 2 50"), out.constData());
    }

    // The line disappears under an open port (cable pulled): the port is closed at once, the
    // session polls every 500 ms and broadcasts each poll, and it re-opens the port on the new
    // line when the cable is back.
    void lostLineIsPolledForAndReopened()
    {
        QTemporaryDir runtime;
        LocalInstanceBroadcast mine(runtime.path(), 4001);
        LocalInstanceBroadcast peer(runtime.path(), 4002);
        QVERIFY(mine.start());
        QVERIFY(peer.start());
        QList<int> heard;
        connect(&peer, &InstanceBroadcast::comWaitReceived, [&](qint64 sender, int com) {
            if (sender == 4001)
                heard << com;
        });

        LinkRig rig;
        QVERIFY(rig.startSim({}));
        TCOM com(&mine, nullptr);
        States states;
        connect(&com, &TCOM::comState, [&](int w, int l) { states.append({w, l}); });
        com.Settings.StandardSerialOptions();
        com.Settings.PortNumber.Text = "COM5";
        com.ApplySettings();
        QVERIFY(com.IsOpen());

        rig.sim->dropLine();
        QVERIFY(LinkWait::waitUntil([&] { return states.contains(qMakePair(1, 0)); }, 2000));
        QVERIFY(!com.IsOpen());
        QVERIFY(traced("ecDeviceRead - waiting for com send Msg 2, 0"));
        QVERIFY(LinkWait::waitUntil([&] { return heard.size() >= 2; }, 8000));
        QCOMPARE(heard.first(), 5);
        QVERIFY(states.contains(qMakePair(3, 0)));

        QVERIFY(rig.sim->reconnect());
        QVERIFY(LinkWait::waitUntil([&] { return com.IsOpen(); }, 2000));
        QCOMPARE(states.last(), qMakePair(0, 0));
        QVERIFY(!com.TimerWaitingForCom.isActive());
        QCOMPARE(com.TimerWaitingForComTag(), 0);
        QCOMPARE(com.DevicePath(), QFileInfo(rig.sim->slavePath()).canonicalFilePath());

        TDeviceReceiver receiver(com);
        receiver.Install();
        QVERIFY(receiver.CheckdeviceConnected(1000, 1));
    }

    void writeErrorReopensAndUsbArrivalReinitialises()
    {
        LinkRig rig;
        FakeUsbNotifier usb;
        TCOM com(nullptr, &usb);
        States states;
        connect(&com, &TCOM::comState, [&](int w, int l) { states.append({w, l}); });
        QVERIFY(rig.startSim({}));
        com.Settings.StandardSerialOptions();
        com.Settings.PortNumber.Text = "COM5";
        com.ApplySettings();
        QVERIFY(com.IsOpen());
        states.clear();

        com.onComError(QSerialPort::WriteError);
        QVERIFY(traced("ecDeviceWrite - try to close and reopen com"));
        QVERIFY(com.doComOpen);
        QVERIFY(com.IsOpen());

        usb.arrive();
        QCOMPARE(states, States({{0, 0}}));
        QVERIFY(com.IsOpen());
        TDeviceReceiver receiver(com);
        receiver.Install();
        QVERIFY(receiver.CheckdeviceConnected(1000, 1));

        TLinkMessage forget(WM_REOPENCOM, 1, 0);
        QCoreApplication::sendEvent(&com, &forget); // forget doComOpen
        QVERIFY(!com.doComOpen);
        usb.arrive();
        usb.remove();
        QCOMPARE(states.size(), 1);
        QVERIFY(traced("USBcome aber nicht connected also nichts tun"));
        QVERIFY(traced("USBgo ++++++++++++++++++++++++++++++"));
    }

    void otherErrorsWaitAndWaitingMessageStops()
    {
        TCOM com(nullptr, nullptr);
        States states;
        connect(&com, &TCOM::comState, [&](int w, int l) { states.append({w, l}); });
        com.onComError(QSerialPort::UnknownError);
        QVERIFY(traced(QString("some other error %1").arg(int(QSerialPort::UnknownError))));
        QVERIFY(com.TimerWaitingForCom.isActive());
        com.onComError(QSerialPort::UnsupportedOperationError); // no port failure
        QCoreApplication::postEvent(&com, new TLinkMessage(WM_WAITINGFORCOM, 0, 0));
        QVERIFY(LinkWait::waitUntil([&] { return states.size() == 2; }, 1000));
        QCOMPARE(states, States({{1, 0}, {0, 0}}));
        QVERIFY(!com.TimerWaitingForCom.isActive());
    }

    void broadcastsBetweenSessionsInOneProcess()
    {
        QTemporaryDir runtime;
        LocalInstanceBroadcast castA(runtime.path(), 101);
        LocalInstanceBroadcast castB(runtime.path(), 102);
        QVERIFY(castA.start() && castB.start());
        LinkRig rig;
        QVERIFY(rig.startSim({}));
        QVERIFY(PortMap::linkPort(7, rig.dir.filePath("unplugged")));

        TCOM waiting(&castA, nullptr);
        TCOM user(&castB, nullptr);
        States userStates;
        connect(&user, &TCOM::comState, [&](int w, int l) { userStates.append({w, l}); });
        user.Settings.StandardSerialOptions();
        user.Settings.PortNumber.Text = "COM5";
        user.ApplySettings();
        QVERIFY(user.IsOpen());
        userStates.clear();
        waiting.Settings.StandardSerialOptions();
        waiting.Settings.PortNumber.Text = "COM7";
        waiting.ApplySettings();
        QVERIFY(LinkWait::waitUntil([] { return traced("App: 101 already ---- waiting on COM7"); }, 3000));
        QVERIFY(userStates.isEmpty()); // another port: nothing to do
        statusTrace().clear();

        // Same port: offline without closing. Its own broadcast means nothing to a session.
        user.onBroadcastCom(102, 5);
        QVERIFY(userStates.isEmpty());
        user.onBroadcastCom(101, 5);
        QCOMPARE(userStates, States({{2, 60}}));
        QVERIFY(traced("Waiting on the same COM - getting offline"));
        QVERIFY(user.IsOpen());
        PortMap::unlinkPort(7);
    }

    // Two running copies: one holds the port, the other is told it is in use; a copy waiting
    // for the same port number makes this one go offline.
    void twoProcesses()
    {
        const QString peerPath = QDir(TestPaths::binDir()).filePath("link_peer");
        QVERIFY2(QFileInfo::exists(peerPath), qPrintable(peerPath));
        LinkRig rig;
        QVERIFY(rig.startSim({}));

        auto startPeer = [&](QProcess &p, const QProcessEnvironment &env) {
            p.setProcessEnvironment(env);
            p.start(peerPath, {"COM5"});
            if (!p.waitForStarted(5000))
                return QByteArray();
            QByteArray out;
            LinkWait::waitUntil([&] { out += p.readAllStandardOutput(); return out.contains("applied"); }, 5000);
            return out;
        };
        auto stopPeer = [](QProcess &p) {
            p.terminate();
            if (!p.waitForFinished(3000)) {
                p.kill();
                p.waitForFinished(3000);
            }
        };

        {   // the peer holds COM5
            QProcess holder;
            const QByteArray out = startPeer(holder, QProcessEnvironment::systemEnvironment());
            QVERIFY2(out.contains("applied 1"), out.constData());
            States seen;
            TCOM com;
            connect(&com, &TCOM::comState, [&](int w, int l) { seen.append({w, l}); });
            com.Settings.StandardSerialOptions();
            com.Settings.PortNumber.Text = "COM5";
            com.ApplySettings();
            QVERIFY(!com.IsOpen());
            QCOMPARE(seen, States({{2, 50}}));
            stopPeer(holder);
        }
        {   // the peer's COM5 is unplugged; ours is here
            TCOM com;
            States seen;
            connect(&com, &TCOM::comState, [&](int w, int l) { seen.append({w, l}); });
            com.Settings.StandardSerialOptions();
            com.Settings.PortNumber.Text = "COM5";
            com.ApplySettings();
            QVERIFY(com.IsOpen());
            seen.clear();

            QTemporaryDir otherConfig;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_CONFIG_HOME", otherConfig.path());
            const QString dangling = otherConfig.path() + "/Kellerbrand/Torvane/ports/COM5";
            QVERIFY(QDir().mkpath(QFileInfo(dangling).path()));
            QVERIFY(QFile::link(otherConfig.filePath("unplugged"), dangling));
            QProcess waiter;
            const QByteArray out = startPeer(waiter, env);
            QVERIFY2(out.contains("applied 0"), out.constData());
            QVERIFY(LinkWait::waitUntil([&] { return seen.contains(qMakePair(2, 60)); }, 4000));
            QVERIFY(com.IsOpen());
            stopPeer(waiter);
        }
    }

    void receiveHandlerSlot()
    {
        LinkRig rig;
        QVERIFY(rig.startBare());
        rig.com.SetReceiveHandler({}); // the session's own: traces arrivals
        QVERIFY(rig.open());
        rig.bare->write("hi\r");
        QVERIFY(LinkWait::waitUntil([] { return traced("in: hi<0D>"); }, 2000));

        QByteArray taken;
        {
            TReceiveHandlerTakeover takeover(rig.com, [&](int n) { taken += rig.com.ReadBlock(n); });
            rig.bare->write("abc");
            QVERIFY(LinkWait::waitUntil([&] { return taken == "abc"; }, 2000));
        }
        rig.bare->write("de");
        QVERIFY(LinkWait::waitUntil([] { return traced("in: de"); }, 2000));
        QCOMPARE(taken, QByteArray("abc"));

        {   // a receiver gives the port back when it goes
            TDeviceReceiver temporary(rig.com);
            temporary.Install();
        }
        rig.bare->write("fg");
        QVERIFY(LinkWait::waitUntil([] { return traced("in: fg"); }, 2000));
    }

    // A receive handler that waits while it handles a byte still gets every later byte, once
    // and in order, during its wait.
    void arrivalsDuringAWaitInsideTheHandlerStayInOrder()
    {
        LinkRig rig;
        QVERIFY(rig.startBare());
        QVERIFY(rig.open());
        QString order;
        bool waited = false;
        rig.image.FEmitCharacter = [&](TObject *, QChar &c) {
            order += c;
            if (c == 'a' && !waited) {
                waited = true;
                rig.bare->write("cd");
                // The rest must arrive while this handler waits.
                LinkWait::waitUntil([&] { return order.contains('d'); }, 2000);
                order += '|';
            }
        };
        rig.bare->write("ab");
        QVERIFY(LinkWait::waitUntil([&] { return order.size() >= 5; }, 3000));
        QCOMPARE(order, QString("abcd|"));
    }

    void waitForDeviceRestart()
    {
        LinkRig rig;
        QVERIFY(rig.startBare());
        QVERIFY(rig.open());
        rig.com.SetReceiveHandler([&](int n) { rig.com.ResetReceive(n); });

        // Nothing at all: false at the limit, and no presence query was sent.
        QElapsedTimer t;
        t.start();
        QVERIFY(!rig.com.WaitForDeviceRestart(1200, 100, 50));
        QVERIFY(t.elapsed() >= 1200 && t.elapsed() < 2500);
        QVERIFY(!rig.bareReceived.contains('\x14'));
        QVERIFY(traced("Zeit ist abgelaufen, es ist nichts eingegangen"));

        // A device that starts up, then answers each 0x14 with "OK".
        QObject::connect(rig.bare.get(), &PseudoTerminal::received, [&](const QByteArray &b) {
            for (char c : b)
                if (c == '\x14')
                    rig.bare->write("OK");
        });
        QTimer::singleShot(300, rig.bare.get(), [&] { rig.bare->write("Gateway (c)kB\r\n"); });
        QVERIFY(rig.com.WaitForDeviceRestart(3000, 100, 50));
        QVERIFY(rig.bareReceived.count('\x14') >= 2);
    }

    void resetDevice_data()
    {
        QTest::addColumn<bool>("proto");
        QTest::newRow("Warmstart") << false;
        QTest::newRow("Proto, then :") << true;
    }
    void resetDevice()
    {
        QFETCH(bool, proto);
        ScriptedPrompts prompts;
        LinkRig rig;
        GatewaySimulator::Options opt;
        opt.answerProto = proto;
        QVERIFY(rig.startSim(opt));
        QVERIFY(rig.open());
        QStringList states;
        rig.com.FOnStateChanged = [&](TCOM *c) { states << c->State; };
        rig.receiver.CollectCharacters = true;

        QVERIFY(rig.com.ResetDevice());
        const GatewaySimulator::Exchange reset = rig.lastExchange("reset");
        QCOMPARE(reset.result, QString("ok"));
        if (proto)
            QCOMPARE(reset.data, QByteArray("0"));
        QCOMPARE(states.first(), QString("qvSerialOptioSendPassword"));
        QCOMPARE(states.last(), QString("qvSerialOptionWaitForRestart"));
        QCOMPARE(states.contains("qvSerialOptionWaitForWarmstart"), true);
        QVERIFY(rig.com.StrWaitBuffer.contains("OKOK"));
        QCOMPARE(prompts.busyChanges, QList<bool>({true})); // the reset command restores it
        // The service dialogue never reached the main window's receiver.
        QVERIFY(!rig.receiver.CollectString.contains("Password", Qt::CaseInsensitive));
        // Its receiver is back.
        QVERIFY(rig.receiver.CheckdeviceConnected(1000, 1));
    }

    void resetOfASilentDeviceFailsAndGivesThePortBack()
    {
        ScriptedPrompts prompts;
        LinkRig rig;
        GatewaySimulator::Options opt;
        opt.silent = true;
        QVERIFY(rig.startSim(opt));
        QVERIFY(rig.open());
        QElapsedTimer t;
        t.start();
        QVERIFY(!rig.com.ResetDevice());
        QVERIFY(t.elapsed() >= 5000 && t.elapsed() < 7000);
        QCOMPARE(rig.com.State, QString("TCOM_errorNoValidPassword"));
        QCOMPARE(prompts.busyChanges, QList<bool>({true, false}));
        rig.sim->options().silent = false;
        QVERIFY(rig.receiver.CheckdeviceConnected(1000, 1));
    }
};

QTEST_GUILESS_MAIN(TestSerialSession)
#include "TestSerialSession.moc"

#include "platform/InstanceBroadcast.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString peerPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("platform_test_peer"));
}

int folderMode(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

// A second running copy of the program, as far as the broadcast goes.
class Peer
{
public:
    explicit Peer(const QString &folder)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(peerPath(), {QStringLiteral("broadcast-peer"), folder});
    }
    ~Peer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.write("quit\n");
            if (!m_process.waitForFinished(5000))
                m_process.kill();
        }
    }
    qint64 waitReady()
    {
        const QByteArray line = waitForLine("ready ");
        return line.isEmpty() ? 0 : line.mid(6).toLongLong();
    }
    void send(int com) { m_process.write("send " + QByteArray::number(com) + '\n'); }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    // The next line of the peer that starts with prefix; empty on time-out. The event loop
    // runs meanwhile, so this copy can take the peer's messages.
    QByteArray waitForLine(const QByteArray &prefix, int timeoutMs = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                if (line.startsWith(prefix))
                    return line;
            }
            QSignalSpy more(&m_process, &QProcess::readyReadStandardOutput);
            more.wait(int(qMax<qint64>(1, timeoutMs - timer.elapsed())));
        }
        return {};
    }

private:
    QProcess m_process;
};

using Received = QList<std::pair<qint64, int>>;

Received received(const QSignalSpy &spy)
{
    Received result;
    for (const QList<QVariant> &arguments : spy)
        result.append({arguments[0].toLongLong(), arguments[1].toInt()});
    return result;
}

} // namespace

class TestInstanceBroadcast : public QObject
{
    Q_OBJECT

private slots:
    void folderIsPrivateAndFollowsTheRuntimeDir()
    {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        QVERIFY(!runtime.isEmpty()); // set per test by CTest
        QCOMPARE(LocalInstanceBroadcast::defaultDirectory(), QDir(runtime).filePath(QStringLiteral("torvane")));
        {
            LocalInstanceBroadcast self;
            QVERIFY2(self.start(), qPrintable(self.errorString()));
            QCOMPARE(self.instanceId(), QCoreApplication::applicationPid());
            QCOMPARE(folderMode(self.directory()), 0700);
            QVERIFY(QFileInfo::exists(self.socketPath()));
            QCOMPARE(QFileInfo(self.socketPath()).fileName(), QString::number(QCoreApplication::applicationPid()) + ".sock");
        }
        QVERIFY(!QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("torvane/%1.sock").arg(QCoreApplication::applicationPid()))));

        // Without a runtime dir: a folder of this user in the temp dir, private as well.
        qunsetenv("XDG_RUNTIME_DIR");
        const QString fallback = LocalInstanceBroadcast::defaultDirectory();
        LocalInstanceBroadcast self;
        const bool started = self.start();
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        QVERIFY2(started, qPrintable(self.errorString()));
        QCOMPARE(fallback, QDir::tempPath() + QStringLiteral("/torvane-runtime-%1/torvane").arg(::getuid()));
        QCOMPARE(folderMode(fallback), 0700);
        QCOMPARE(folderMode(QFileInfo(fallback).absolutePath()), 0700);

        // A folder that someone left open is closed before use.
        QTemporaryDir temp;
        const QString open = temp.filePath(QStringLiteral("torvane"));
        QVERIFY(QDir().mkpath(open));
        QVERIFY(::chmod(QFile::encodeName(open).constData(), 0777) == 0);
        LocalInstanceBroadcast inOpenFolder(open, 4242);
        QVERIFY(inOpenFolder.start());
        QCOMPARE(folderMode(open), 0700);
    }

    void reachesOtherCopiesButNotItself()
    {
        LocalInstanceBroadcast self;
        QVERIFY2(self.start(), qPrintable(self.errorString()));
        // A second copy inside this process, under an identity that is no process of ours.
        LocalInstanceBroadcast other(self.directory(), qint64(1) << 40);
        QVERIFY(other.start());
        Peer peer(self.directory());
        const qint64 peerId = peer.waitReady();
        QVERIFY(peerId > 0);

        QSignalSpy selfGot(&self, &InstanceBroadcast::comWaitReceived);
        QSignalSpy otherGot(&other, &InstanceBroadcast::comWaitReceived);
        QSignalSpy selfDone(&self, &InstanceBroadcast::broadcastDone);

        self.broadcastComWait(7);
        QVERIFY(selfDone.wait());
        QCOMPARE(selfDone.first(), QVariantList({2, 0})); // the peer and the other, not itself
        QCOMPARE(peer.waitForLine("got "), "got " + QByteArray::number(self.instanceId()) + " 7");
        QTRY_COMPARE(received(otherGot), Received({{self.instanceId(), 7}}));

        peer.send(12);
        QCOMPARE(peer.waitForLine("done "), QByteArray("done 2 0")); // this copy and the other, not the peer itself
        QTRY_COMPARE(received(selfGot), Received({{peerId, 12}}));
        QTRY_COMPARE(received(otherGot), Received({{self.instanceId(), 7}, {peerId, 12}}));
    }

    void staleSocketOfAKilledCopyIsRemoved()
    {
        QTemporaryDir temp;
        const QString folder = temp.filePath(QStringLiteral("torvane"));
        LocalInstanceBroadcast self(folder, QCoreApplication::applicationPid());
        QVERIFY(self.start());
        Peer peer(folder);
        const qint64 peerId = peer.waitReady();
        QVERIFY(peerId > 0);
        peer.kill();
        const QString stale = QDir(folder).filePath(QString::number(peerId) + ".sock");
        QVERIFY(QFileInfo::exists(stale)); // a killed copy leaves its socket behind

        QSignalSpy done(&self, &InstanceBroadcast::broadcastDone);
        self.broadcastComWait(3);
        QVERIFY(done.wait());
        QCOMPARE(done.takeFirst(), QVariantList({0, 1}));
        QVERIFY(!QFileInfo::exists(stale));
        self.broadcastComWait(3);
        QVERIFY(done.wait());
        QCOMPARE(done.takeFirst(), QVariantList({0, 0}));
    }

    void refusingSocketOfALiveProcessStays()
    {
        // A copy that is starting has bound its socket but does not listen yet: it refuses,
        // and its socket must survive.
        QTemporaryDir temp;
        const QString folder = temp.filePath(QStringLiteral("torvane"));
        LocalInstanceBroadcast self(folder, QCoreApplication::applicationPid());
        QVERIFY(self.start());
        const QString starting = QDir(folder).filePath(QString::number(::getppid()) + ".sock");
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(starting);
        QVERIFY(size_t(native.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);

        QSignalSpy done(&self, &InstanceBroadcast::broadcastDone);
        self.broadcastComWait(3);
        QVERIFY(done.wait());
        ::close(fd);
        QCOMPARE(done.first(), QVariantList({0, 0}));
        QVERIFY(QFileInfo::exists(starting));
    }

    void ignoresWhatIsNotAComWait_data()
    {
        QTest::addColumn<QByteArray>("payload");
        const QByteArray own = QByteArray::number(QCoreApplication::applicationPid());
        QTest::newRow("junk") << QByteArray("junk\n");
        QTest::newRow("own identity") << "Broadcast COM " + own + " 3\n";
        QTest::newRow("sender not a number") << QByteArray("Broadcast COM abc 3\n");
        QTest::newRow("negative sender") << QByteArray("Broadcast COM -5 3\n");
        QTest::newRow("negative port") << QByteArray("Broadcast COM 5 -3\n");
        QTest::newRow("extra field") << QByteArray("Broadcast COM 5 3 4\n");
        QTest::newRow("port too large") << QByteArray("Broadcast COM 5 99999999999\n");
        QTest::newRow("overlong line") << QByteArray(100000, 'x');
        QTest::newRow("binary") << QByteArray("\0\xff\n\x01", 4);
        QTest::newRow("line never ends") << QByteArray("Broadcast COM 5 3");
    }
    void ignoresWhatIsNotAComWait()
    {
        QFETCH(QByteArray, payload);
        QTemporaryDir temp;
        LocalInstanceBroadcast self(temp.filePath(QStringLiteral("torvane")), QCoreApplication::applicationPid());
        QVERIFY(self.start());
        QSignalSpy got(&self, &InstanceBroadcast::comWaitReceived);

        QLocalSocket hostile;
        hostile.connectToServer(self.socketPath());
        QVERIFY(hostile.waitForConnected(2000));
        QSignalSpy closed(&hostile, &QLocalSocket::disconnected);
        hostile.write(payload);
        // The receiver hangs up once it has judged the message, or after its time-out when
        // the line never ends.
        QVERIFY(closed.wait(LocalInstanceBroadcast::kPeerTimeoutMs + 3000));
        QCOMPARE(got.size(), 0);

        QLocalSocket sound;
        sound.connectToServer(self.socketPath());
        QVERIFY(sound.waitForConnected(2000));
        sound.write("Broadcast COM 99 4\n");
        sound.flush();
        QVERIFY(got.wait());
        QCOMPARE(received(got), Received({{99, 4}}));
    }
};

QTEST_GUILESS_MAIN(TestInstanceBroadcast)
#include "TestInstanceBroadcast.moc"

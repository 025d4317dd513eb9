// The simulated gateway, driven through the real slave side of its pseudo-terminal the way
// the PC drives a gateway: the bytes and the timing the PC relies on.
#include "PcEnd.h"
#include "devsim/GatewaySimulator.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QByteArray pattern(int size, int mul, int add)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * mul + add) & 0xFF);
    return b;
}

quint16 sum16(const QByteArray &b)
{
    quint16 s = 0;
    for (char c : b)
        s = quint16(s + quint8(c));
    return s;
}

QByteArray hex4(quint16 v, bool upper)
{
    QByteArray h = QByteArray::number(v, 16).rightJustified(4, '0');
    return upper ? h.toUpper() : h;
}

QByteArray be16(int v)
{
    QByteArray b(2, '\0');
    b[0] = char((v >> 8) & 0xFF);
    b[1] = char(v & 0xFF);
    return b;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

const QByteArray kBanner = "Gateway V1.00 (c)kB 2026\r\n";

} // namespace

class TestGatewaySimulator : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp; // fresh for every test function
    QString m_imagePath;
    QByteArray m_original = pattern(300, 7, 3);
    std::unique_ptr<GatewaySimulator> m_sim;
    PcEnd m_pc;

    QString recordDir() const { return m_tmp->filePath(QStringLiteral("rec")); }

    // Short restart times: the defaults are the device's, the tests need not sit through them.
    GatewaySimulator::Options quickOptions() const
    {
        GatewaySimulator::Options o;
        o.imagePath = m_imagePath;
        o.recordDir = recordDir();
        o.restartDelayMs = 100;
        o.claimWindowMs = 150;
        o.receiveTimeoutMs = 300;
        return o;
    }

    void startWith(const GatewaySimulator::Options &o)
    {
        m_sim = std::make_unique<GatewaySimulator>(o);
        QString error;
        QVERIFY2(m_sim->start(&error), qPrintable(error));
        QVERIFY(m_pc.open(m_sim->slavePath()));
    }

    QString lastResult(const QString &kind) const
    {
        const auto all = m_sim->exchanges();
        for (auto it = all.crbegin(); it != all.crend(); ++it)
            if (it->kind == kind)
                return it->result;
        return QStringLiteral("<none>");
    }

    // Power cycle and claim the starting device with "W", as the PC's display does.
    void claimAfterRestart()
    {
        m_pc.take();
        m_sim->restart();
        QVERIFY(m_pc.waitForText(QByteArray(1, '\0'), 2000));
        QVERIFY(m_pc.send('W'));
        QVERIFY(m_pc.waitForText("2026\r\n", 2000));
    }

private slots:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
        m_imagePath = m_tmp->filePath(QStringLiteral("device.gwc"));
        QFile f(m_imagePath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(m_original);
    }

    void cleanup()
    {
        m_pc.close();
        m_sim.reset();
    }

    void presence_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("notBeforeMs");
        QTest::newRow("running device") << "" << QByteArray("OK\r\n") << 0;
        QTest::newRow("lower-case answer") << "ok" << QByteArray("ok\r\n") << 0;
        QTest::newRow("late answer") << "late" << QByteArray("OK\r\n") << 300;
        QTest::newRow("silent device") << "silent" << QByteArray() << 0;
    }
    void presence()
    {
        QFETCH(QString, setup);
        QFETCH(QByteArray, answer);
        QFETCH(int, notBeforeMs);
        auto o = quickOptions();
        o.lowerCaseOk = setup == "ok";
        o.silent = setup == "silent";
        o.replyDelayMs = setup == "late" ? 300 : 0;
        startWith(o);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(m_pc.send('\x14'));
        if (answer.isEmpty()) {
            QCOMPARE(m_pc.collect(400), QByteArray());
            return;
        }
        QVERIFY(m_pc.waitForSize(answer.size(), 2000));
        QVERIFY(clock.elapsed() >= notBeforeMs);
        QCOMPARE(m_pc.collect(50), answer);
    }

    void bannerOnCtrlV_data()
    {
        QTest::addColumn<QByteArray>("universal");
        QTest::addColumn<QByteArray>("banner");
        QTest::newRow("plain script") << QByteArray() << kBanner;
        QTest::newRow("universal script") << QByteArray("UNIV-7") << QByteArray(kBanner + "UNIV-7\r\n");
    }
    void bannerOnCtrlV()
    {
        QFETCH(QByteArray, universal);
        QFETCH(QByteArray, banner);
        auto o = quickOptions();
        o.universalName = universal;
        startWith(o);
        QVERIFY(m_pc.send('\x16'));
        QVERIFY(m_pc.waitForSize(banner.size(), 2000));
        QCOMPARE(m_pc.collect(50), banner);
    }

    void upload_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("imageSize");
        QTest::addColumn<int>("checksumDelta");
        QTest::newRow("300 bytes") << "" << 300 << 0;
        QTest::newRow("wrong checksum") << "wrong" << 300 << 1;
        QTest::newRow("noise between bytes") << "noise" << 300 << 0;
        QTest::newRow("checksum wraps") << "" << 8192 << 0;
        QTest::newRow("empty image") << "" << 0 << 0;
    }
    void upload()
    {
        QFETCH(QString, setup);
        QFETCH(int, imageSize);
        QFETCH(int, checksumDelta);
        const QByteArray image = pattern(imageSize, 13, 0xF0);
        QFile f(m_imagePath);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(image);
        f.close();
        auto o = quickOptions();
        o.wrongUploadChecksum = setup == "wrong";
        o.noise = setup == "noise";
        startWith(o);

        QVERIFY(m_pc.send('\x15'));
        // data, CR LF, checksum digits, CR LF: complete with the second line end
        QVERIFY(m_pc.waitFor([](const QByteArray &b) { return b.count("\r\n") >= 2; }, 5000));
        const QByteArray reply = m_pc.collect(50);
        const qsizetype end = reply.indexOf("\r\n");
        const QByteArray dataPart = reply.left(end);
        QByteArray digits, stray;
        for (char c : dataPart)
            (isHexDigit(c) ? digits : stray) += c;
        QCOMPARE(QByteArray::fromHex(digits), image);
        if (setup == "noise") {
            QVERIFY(!stray.isEmpty());
            QVERIFY(!stray.contains('.'));
        } else {
            QCOMPARE(dataPart, image.toHex().toUpper());
        }
        QCOMPARE(reply.mid(end), "\r\n" + hex4(quint16(sum16(image) + checksumDelta), true) + "\r\n");
    }

    void download_data()
    {
        QTest::addColumn<bool>("pacing");
        QTest::addColumn<bool>("store");
        QTest::newRow("paced, stored in the image file") << true << true;
        QTest::newRow("no pacing, file kept") << false << false;
    }
    void download()
    {
        QFETCH(bool, pacing);
        QFETCH(bool, store);
        auto o = quickOptions();
        o.downloadPacing = pacing;
        o.storeToImageFile = store;
        startWith(o);
        const QByteArray image = pattern(600, 5, 1);

        // Sent as the PC sends it: it pauses before byte 256 and, after each answered
        // pause, 128 bytes later.
        QVERIFY(m_pc.send('\x04'));
        QList<int> answered;
        int pause = 256;
        for (int i = 0; i < image.size(); ++i) {
            const qsizetype dots = answered.size() + 1;
            if (pacing && i == pause - 1) // no "." before the block is complete
                QVERIFY(!m_pc.waitFor([&](const QByteArray &b) { return b.count('.') >= dots; }, 50));
            if (i == pause) {
                // (the PC pauses 1000 ms; shorter here, below the device's receive time-out)
                if (m_pc.waitFor([&](const QByteArray &b) { return b.count('.') >= dots; }, pacing ? 1000 : 150)) {
                    answered << i;
                    pause = i + 128;
                }
            }
            QVERIFY(m_pc.send(image.mid(i, 1).toHex()));
        }
        QVERIFY(m_pc.send("\n" + hex4(sum16(image), false) + "\n"));
        QCOMPARE(answered, pacing ? QList<int>({256, 384, 512}) : QList<int>());

        QVERIFY(m_pc.waitForText("Restart\r\n", 2000));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(m_pc.waitForText(QByteArray(1, '\0'), 2000));
        QVERIFY(clock.elapsed() >= 50);
        QVERIFY(m_pc.waitForText(kBanner, 2000));
        QByteArray all = m_pc.take();
        QCOMPARE(all.left(all.indexOf("Restart")).count('.'), answered.size());
        // unclaimed start-up: NUL, then the banner alone
        QCOMPARE(all.mid(all.indexOf("Restart")), QByteArray("Restart\r\n") + '\0' + kBanner);

        // Just restarted: two presence answers read "OKOK" to the PC's restart wait.
        QVERIFY(m_pc.send("\x14\x14"));
        QVERIFY(m_pc.waitForSize(4, 2000));
        QCOMPARE(m_pc.collect(50), QByteArray("OKOK"));
        m_pc.take();

        // The device keeps the new image; once running normally, "OK" ends its line again.
        QVERIFY(m_pc.send('\x15'));
        QVERIFY(m_pc.waitFor([](const QByteArray &b) { return b.count("\r\n") >= 2; }, 5000));
        QCOMPARE(m_pc.take(), image.toHex().toUpper() + "\r\n" + hex4(sum16(image), true) + "\r\n");
        QVERIFY(m_pc.send('\x14'));
        QVERIFY(m_pc.waitForSize(4, 2000));
        QCOMPARE(m_pc.collect(50), QByteArray("OK\r\n"));

        QCOMPARE(lastResult("download"), QStringLiteral("ok"));
        QCOMPARE(lastResult("restart"), QStringLiteral("unclaimed"));
        QFile stored(QDir(recordDir()).filePath("image.gwc"));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), image);
        QFile file(m_imagePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), store ? image : m_original);
        QFile log(QDir(recordDir()).filePath("exchanges.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains(" download ok header=- size=600\n"));
        QFile received(QDir(recordDir()).filePath("received.bin"));
        QVERIFY(received.open(QIODevice::ReadOnly));
        QCOMPARE(received.readAll(), m_sim->received());
    }

    void downloadRejected_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("result");
        const QByteArray two("\x0a\xff", 2);
        QTest::newRow("wrong checksum") << QByteArray("0aff\n010a\n") << "checksum-error";
        QTest::newRow("odd number of digits") << QByteArray("0aff0\n0109\n") << "format-error";
        QTest::newRow("blank between pairs") << QByteArray("0a ff\n0109\n") << "format-error";
        QTest::newRow("five checksum digits") << QByteArray("0aff\n00109\n") << "format-error";
        QTest::newRow("no data") << QByteArray("\n0000\n") << "length-error";
        QTest::newRow("longer than the memory")
            << QByteArray(QByteArray(8193 * 2, '0') + "\n0000\n") << "too-long";
    }
    void downloadRejected()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QString, result);
        startWith(quickOptions());
        QVERIFY(m_pc.send('\x04'));
        QVERIFY(m_pc.send(wire));
        QVERIFY(m_pc.waitForText("Error\r\n", 3000));
        QVERIFY(!m_pc.collect(300).contains('\0')); // no restart
        QCOMPARE(lastResult("download"), result);
        QCOMPARE(m_sim->image(), m_original);
        QVERIFY(!QFileInfo::exists(QDir(recordDir()).filePath("image.gwc")));
    }

    void downloadBreaksOffAfterSilence()
    {
        startWith(quickOptions());
        QVERIFY(m_pc.send("\x04" "0a0b0c"));
        QVERIFY(QTest::qWaitFor([&] { return lastResult("download") == "timeout"; }, 2000));
        // back to commands: the presence query is answered, not taken for data
        QVERIFY(m_pc.send('\x14'));
        QVERIFY(m_pc.waitForText("OK\r\n", 2000));
        QCOMPARE(m_sim->image(), m_original);
    }

    void serviceReset_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("warmstart") << "" << QByteArray("KQRZVT\r");
        QTest::newRow("protocol choice") << "proto" << QByteArray("KQRZVT\r");
        QTest::newRow("wrong password") << "" << QByteArray("KQRZVX\r");
    }
    void serviceReset()
    {
        QFETCH(QString, setup);
        QFETCH(QByteArray, password);
        auto o = quickOptions();
        o.answerProto = setup == "proto";
        o.restartDelayMs = 400;
        o.receiveTimeoutMs = 2000; // longer than the pause that shows the choice is awaited
        startWith(o);
        QVERIFY(m_pc.send('\x09'));
        QVERIFY(m_pc.waitForSize(9, 2000));
        QCOMPARE(m_pc.take(), QByteArray("Password:"));
        QVERIFY(m_pc.send(password));
        if (password != "KQRZVT\r") {
            QVERIFY(m_pc.waitForText("Wrong password\r\n", 2000));
            QVERIFY(!m_pc.collect(600).contains('\0'));
            QCOMPARE(lastResult("reset"), QStringLiteral("wrong-password"));
            return;
        }
        QVERIFY(m_pc.waitForText("......", 2000));
        if (o.answerProto) {
            QVERIFY(m_pc.waitForText("Proto", 2000));
            QVERIFY(m_pc.waitForText(":", 2000));
            QVERIFY(!m_pc.collect(600).contains('\0')); // waits for the choice
            QVERIFY(m_pc.send('0'));
        } else {
            QVERIFY(m_pc.waitForText("Warmstart", 2000));
        }
        // The PC waits a second and discards its input: nothing may come before that.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(m_pc.waitForText(QByteArray(1, '\0'), 3000));
        QVERIFY(clock.elapsed() >= 300);
        QVERIFY(m_pc.waitForText(kBanner, 2000));
        m_pc.take();
        QVERIFY(m_pc.send("\x14\x14"));
        QVERIFY(m_pc.waitForSize(4, 2000));
        QCOMPARE(m_pc.collect(50), QByteArray("OKOK"));
        QCOMPARE(lastResult("reset"), QStringLiteral("ok"));
    }

    void defaultRestartOutlastsThePcsDiscard()
    {
        // The PC's restart wait discards everything of its first second.
        startWith({});
        QElapsedTimer clock;
        clock.start();
        m_sim->restart();
        QVERIFY(m_pc.waitForText(QByteArray(1, '\0'), 5000));
        QVERIFY(clock.elapsed() >= 1200);
    }

    void scriptTransfer_data()
    {
        QTest::addColumn<bool>("pacing");
        QTest::addColumn<int>("ackBlocks");
        QTest::newRow("paced") << true << -1;
        QTest::newRow("unpaced") << false << -1;
        QTest::newRow("stops acknowledging") << true << 1;
    }
    void scriptTransfer()
    {
        QFETCH(bool, pacing);
        QFETCH(int, ackBlocks);
        auto o = quickOptions();
        o.scriptPacing = pacing;
        o.scriptAckBlocks = ackBlocks;
        o.universalName = "UNIV-7";
        startWith(o);
        const QByteArray script = pattern(200, 3, 9);

        QVERIFY(m_pc.send('\x10'));
        // the offer: "." at once (the PC listens 100 ms)
        QCOMPARE(m_pc.waitFor([](const QByteArray &b) { return b.contains('.'); }, 100), pacing); // exact: the PC listens 100 ms
        if (pacing) {
            // pauses after the 64th and the 192nd byte
            QVERIFY(m_pc.send(script.left(64).toHex().toUpper()));
            QVERIFY(m_pc.waitFor([](const QByteArray &b) { return b.count('.') >= 2; }, 1000));
            QVERIFY(m_pc.send(script.mid(64, 128).toHex().toUpper()));
            const bool second = m_pc.waitFor([](const QByteArray &b) { return b.count('.') >= 3; }, ackBlocks == 1 ? 400 : 1000);
            QCOMPARE(second, ackBlocks != 1);
            if (!second) {
                // the PC gives up; the device drops the half-received script
                QTRY_COMPARE_WITH_TIMEOUT(lastResult("script"), QStringLiteral("timeout"), 2000);
                QVERIFY(m_pc.send('\x14'));
                QVERIFY(m_pc.waitForText("OK\r\n", 2000));
                return;
            }
            QVERIFY(m_pc.send(script.mid(192).toHex().toUpper()));
        } else {
            QVERIFY(m_pc.send(script.toHex().toUpper()));
        }
        QVERIFY(m_pc.send("\n" + hex4(sum16(script), true) + "\n"));
        QVERIFY(m_pc.waitForText("Restart\r\n", 2000));
        QVERIFY(m_pc.waitForText(kBanner, 2000));
        QByteArray all = m_pc.take();
        QCOMPARE(all.left(all.indexOf("Restart")), pacing ? QByteArray("...") : QByteArray());
        // a user script replaced the universal one
        QVERIFY(!all.contains("UNIV-7"));
        QCOMPARE(m_sim->exchanges().last().kind, QStringLiteral("restart"));
        bool found = false;
        for (const auto &e : m_sim->exchanges())
            if (e.kind == "script")
                found = e.result == "ok" && e.data == script;
        QVERIFY(found);

        // the two-byte restore script puts the universal script back, confirmed, no restart
        QVERIFY(m_pc.send("\x10" "0817\n001F\n"));
        QVERIFY(m_pc.waitForText("Data stored\r\n", 2000));
        QVERIFY(!m_pc.collect(300).contains('\0'));
        m_pc.take();
        QVERIFY(m_pc.send('\x16'));
        QVERIFY(m_pc.waitForText("UNIV-7\r\n", 2000));
    }

    void debugClaim_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("claimable");
        QTest::newRow("claimed") << "" << QByteArray("I") << true;
        QTest::newRow("refuses debug transfers") << "refuse" << QByteArray("ICC\r\nI") << false;
        QTest::newRow("answers N") << "N" << QByteArray("N") << false;
    }
    void debugClaim()
    {
        QFETCH(QString, setup);
        QFETCH(QByteArray, answer);
        QFETCH(bool, claimable);
        auto o = quickOptions();
        o.refuseDebug = setup == "refuse";
        o.claimAnswer = setup == "N" ? 'N' : 'I';
        startWith(o);
        // Before any restart the device is not claimed: "U" is no command.
        QVERIFY(m_pc.send('U'));
        QCOMPARE(m_pc.collect(200), QByteArray());

        claimAfterRestart();
        QCOMPARE(m_pc.take(), QByteArray(1, '\0') + answer + kBanner);
        QVERIFY(m_pc.send('U'));
        if (!claimable) {
            QCOMPARE(m_pc.collect(300), QByteArray());
            return;
        }
        QVERIFY(m_pc.waitForSize(2 + m_original.size(), 2000));
        QCOMPARE(m_pc.collect(50), be16(m_original.size()) + m_original);
        m_pc.take();
        // "V" ends the debug transfers
        QVERIFY(m_pc.send("VU"));
        QCOMPARE(m_pc.collect(300), QByteArray());
        QCOMPARE(lastResult("debug-end"), QStringLiteral("ok"));
    }

    void debugDownload_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("bytesSent");
        QTest::addColumn<int>("checksumDelta");
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<QString>("result");
        QTest::newRow("40 bytes, paced") << "" << 40 << 40 << 0 << QByteArray("...O") << "ok";
        QTest::newRow("20 bytes: no pause at 32") << "" << 20 << 20 << 0 << QByteArray("..O") << "ok";
        QTest::newRow("unpaced") << "nopacing" << 40 << 40 << 0 << QByteArray("O") << "ok";
        QTest::newRow("wrong checksum") << "" << 40 << 40 << 1 << QByteArray("...E") << "checksum-error";
        QTest::newRow("length 0") << "" << 0 << 0 << 0 << QByteArray("L") << "length-error";
        QTest::newRow("longer than the memory") << "" << 9000 << 9000 << 0 << QByteArray("L") << "length-error";
        QTest::newRow("silence mid-way") << "" << 40 << 10 << 0 << QByteArray(".T") << "timeout";
    }
    void debugDownload()
    {
        QFETCH(QString, setup);
        QFETCH(int, length);
        QFETCH(int, bytesSent);
        QFETCH(int, checksumDelta);
        QFETCH(QByteArray, replies);
        QFETCH(QString, result);
        auto o = quickOptions();
        o.debugPacing = setup != "nopacing";
        startWith(o);
        claimAfterRestart();
        m_pc.take();
        const QByteArray image = pattern(length, 11, 0x80);

        QVERIFY(m_pc.send("C" + be16(length)));
        // pacing is offered within 50 ms; then a "." after the 32nd and after the last byte
        const bool paced = replies.startsWith('.');
        QCOMPARE(m_pc.waitFor([](const QByteArray &b) { return b.contains('.'); }, 50), paced); // exact window
        for (int i = 0; i < bytesSent; ++i) {
            QVERIFY(m_pc.send(image.mid(i, 1)));
            if (paced && i == 31)
                QVERIFY(m_pc.waitFor([](const QByteArray &b) { return b.count('.') >= 2; }, 550));
        }
        if (bytesSent == length)
            QVERIFY(m_pc.send(be16(sum16(image) + checksumDelta)));
        QVERIFY(m_pc.waitForSize(replies.size(), 2000));
        QCOMPARE(m_pc.collect(100), replies);
        QCOMPARE(lastResult("debug-download"), result);
        QCOMPARE(m_sim->image(), result == "ok" ? image : m_original);
        if (result == "ok")
            QCOMPARE(m_sim->exchanges().last().header, be16(length));
    }

    void extension_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("checksumDelta");
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<QString>("result");
        QTest::newRow("19 bytes, one block") << "" << 0x1000 << 19 << 0 << QByteArray(".O") << "ok";
        QTest::newRow("256 bytes, two blocks") << "" << 0x1000 << 256 << 0 << QByteArray("..O") << "ok";
        QTest::newRow("201 bytes, 128 + 73") << "" << 0x1100 << 201 << 0 << QByteArray("..O") << "ok";
        QTest::newRow("wrong checksum") << "" << 0x1000 << 19 << 1 << QByteArray(".E") << "checksum-error";
        QTest::newRow("header refused, L") << "L" << 0x1000 << 19 << 0 << QByteArray("L") << "refused";
        QTest::newRow("header refused, T") << "T" << 0x1000 << 19 << 0 << QByteArray("T") << "refused";
        QTest::newRow("below the extension area") << "" << 0x0F00 << 19 << 0 << QByteArray("L") << "length-error";
        QTest::newRow("past the extension area") << "" << 0x1F80 << 129 << 0 << QByteArray("L") << "length-error";
        QTest::newRow("quiet after one block") << "ack1" << 0x1000 << 256 << 0 << QByteArray(".T") << "timeout";
        QTest::newRow("store error") << "S" << 0x1000 << 19 << 0 << QByteArray(".S") << "ok";
        QTest::newRow("no final answer") << "none" << 0x1000 << 19 << 0 << QByteArray(".") << "ok";
    }
    void extension()
    {
        QFETCH(QString, setup);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(int, checksumDelta);
        QFETCH(QByteArray, replies);
        QFETCH(QString, result);
        auto o = quickOptions();
        if (setup == "L" || setup == "T")
            o.extHeaderVerdict = setup[0].toLatin1();
        if (setup == "ack1")
            o.extAckBlocks = 1;
        if (setup == "S")
            o.extFinalVerdict = 'S';
        if (setup == "none")
            o.extFinalVerdict = 0;
        startWith(o);
        const QByteArray data = pattern(length, 17, 2);
        const QByteArray header = be16(0x0A01) + be16(start) + be16(length);

        // as the extension writer sends it: header, 150 ms for a refusal, blocks of at most 128
        QVERIFY(m_pc.send("\x05" + header));
        m_pc.collect(150);
        bool allAcked = m_pc.buffer().isEmpty();
        for (int at = 0; allAcked && at < length; at += 128) {
            const QByteArray block = data.mid(at, 128);
            const qsizetype before = m_pc.buffer().size();
            QVERIFY(m_pc.send(block));
            m_pc.waitForSize(before + 1, 500); // the PC allows 32 ms a byte; the device answers at once
            allAcked = m_pc.buffer().size() > before && m_pc.buffer().endsWith('.');
        }
        if (allAcked)
            QVERIFY(m_pc.send(be16(sum16(data) + checksumDelta)));
        QVERIFY(m_pc.waitForSize(replies.size(), 3000));
        QCOMPARE(m_pc.collect(100), replies);
        QCOMPARE(lastResult("extension"), result);
        const auto e = m_sim->exchanges().last();
        QCOMPARE(e.header, header);
        if (result == "ok")
            QCOMPARE(e.data, data);
    }

    void dropLine_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("expectedBytes");
        QTest::newRow("during an upload") << QByteArray("\x15") << 10;
        QTest::newRow("during a download") << QByteArray("\x04" + QByteArray(40, 'a')) << 0;
    }
    void dropLine()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, expectedBytes);
        auto o = quickOptions();
        o.dropAfterBytes = 10;
        startWith(o);
        QVERIFY(m_sim->linkAsPort("COM9"));
        const QString link = GatewaySimulator::portLinkPath("COM9");
        QSignalSpy exchanges(m_sim.get(), &GatewaySimulator::exchangeFinished);

        QVERIFY(m_pc.send(request));
        QVERIFY(m_pc.waitForHangUp(3000));
        // what went over the line before the cable came out
        QCOMPARE(m_pc.buffer(), m_original.left(5).toHex().toUpper().left(expectedBytes));
        QVERIFY(!m_sim->isLineUp());
        QCOMPARE(lastResult("line-dropped"), QStringLiteral("dropped"));
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(!QFileInfo::exists(link)); // the port has gone with the cable
        QVERIFY(exchanges.contains(QVariantList{QStringLiteral("line-dropped")}));

        QVERIFY(m_sim->reconnect());
        QVERIFY(QFileInfo::exists(link));
        QCOMPARE(QFileInfo(link).symLinkTarget(), m_sim->slavePath());
        PcEnd again;
        QVERIFY(again.open(link));
        QVERIFY(again.send('\x14'));
        QVERIFY(again.waitForText("OK\r\n", 2000));
    }

    void portLinkSurvivesReopen()
    {
        const QString link = QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Kellerbrand/Torvane/ports/COM9");
        QVERIFY(!qEnvironmentVariable("XDG_CONFIG_HOME").isEmpty());
        QCOMPARE(GatewaySimulator::portLinkPath("COM9"), link);
        // a stale link of an earlier run is replaced
        QVERIFY(QDir().mkpath(QFileInfo(link).absolutePath()));
        QFile::remove(link);
        QVERIFY(QFile::link(m_tmp->filePath("gone"), link));

        auto o = quickOptions();
        m_sim = std::make_unique<GatewaySimulator>(o);
        QVERIFY(m_sim->start());
        QString error;
        QVERIFY2(m_sim->linkAsPort("COM9", &error), qPrintable(error));
        QCOMPARE(QFileInfo(link).symLinkTarget(), m_sim->slavePath());
        for (int round = 0; round < 2; ++round) {
            PcEnd pc; // the PC closes and re-opens its port
            QVERIFY(pc.open(link));
            QVERIFY(pc.send('\x14'));
            QVERIFY(pc.waitForText("OK\r\n", 2000));
        }
        m_sim->stop();
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void survivesGarbage()
    {
        // Random bytes reach every state a stray command opens; afterwards the device
        // must be back at its commands with the image untouched.
        startWith(quickOptions());
        QRandomGenerator rng(20260101);
        QByteArray garbage(20000, '\0');
        for (auto &c : garbage)
            c = char(rng.bounded(256));
        garbage.replace("KQRZVT", "KQRZVX");
        QVERIFY(m_pc.send(garbage));
        m_pc.collect(600); // longer than the receive time-out
        m_pc.take();
        QVERIFY(m_pc.send('\x14'));
        QVERIFY(m_pc.waitForText("OK\r\n", 2000));
        QCOMPARE(m_sim->image(), m_original);
        QCOMPARE(m_sim->received(), garbage + '\x14');
    }

    void rejectsUnusableImage_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << -1 << "cannot read image";
        QTest::newRow("larger than the memory") << 8193 << "larger than 8192 bytes";
    }
    void rejectsUnusableImage()
    {
        QFETCH(int, size);
        QFETCH(QString, message);
        auto o = quickOptions();
        o.imagePath = m_tmp->filePath("other.gwc");
        if (size >= 0) {
            QFile f(o.imagePath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(size, '\x11'));
        }
        GatewaySimulator sim(o);
        QString error;
        QVERIFY(!sim.start(&error));
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY(!sim.isLineUp());
    }
};

QTEST_GUILESS_MAIN(TestGatewaySimulator)
#include "TestGatewaySimulator.moc"

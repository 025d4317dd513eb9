// The upload decoder and the download sender of the image: the decoder fed directly and at
// random, and both layers over a pseudo-terminal against the simulator.
#include "LinkRig.h"

#include "platform/StatusTrace.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>

namespace {

constexpr char kFill = 0x55;

// An image prefilled with a pattern, so a change is visible.
void prefill(TUploadEEROM &img, int useSize = 100)
{
    img.Assign(QByteArray(TBaseEEROM::kImageBufferSize, kFill));
    img.FUseSize = useSize;
}

bool untouched(const TUploadEEROM &img, int useSize = 100)
{
    return img.Buffer() == QByteArray(TBaseEEROM::kImageBufferSize, kFill) && img.FUseSize == useSize;
}

void feed(TUploadEEROM &img, const QByteArray &bytes)
{
    for (char c : bytes)
        img.CharacterIn(QChar(uchar(c)));
}

QByteArray hexOf(const QByteArray &data, bool lower = false)
{
    QByteArray h = data.toHex();
    return lower ? h : h.toUpper();
}

bool endsWith(const QStringList &list, const QStringList &tail)
{
    return list.size() >= tail.size() && list.mid(list.size() - tail.size()) == tail;
}

quint16 sum16(const QByteArray &data)
{
    quint16 s = 0;
    for (char c : data)
        s = quint16(s + quint8(c));
    return s;
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init() { statusTrace().clear(); }

    void decoder_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("outcome"); // "ok", "error 3", ...
        QTest::addColumn<QByteArray>("bytes"); // image after an ok
        QTest::addColumn<QString>("displayed");
        QTest::newRow("good") << QByteArray("0A0B\r\n0015\r\n") << "ok" << QByteArray("\x0a\x0b") << "\n\n";
        QTest::newRow("lower case") << QByteArray("0a0b\r\n0015\r\n") << "ok" << QByteArray("\x0a\x0b") << "\n\n";
        QTest::newRow("blank between pairs") << QByteArray("0A 0B\r\n0015\r\n") << "ok" << QByteArray("\x0a\x0b") << " \n\n";
        QTest::newRow("odd digit count") << QByteArray("0A0B1\r\n0015\r\n") << "ok" << QByteArray("\x0a\x0b") << "\n\n";
        QTest::newRow("leading zero in sum") << QByteArray("0A0B\r\n00015\r\n") << "ok" << QByteArray("\x0a\x0b") << "\n\n";
        QTest::newRow("LF only") << QByteArray("0A0B\n15\n\n") << "ok" << QByteArray("\x0a\x0b") << "\n";
        // Line ends before the first data digit end the presence answer, they are no data.
        QTest::newRow("line ends before the data") << QByteArray("\r\n0A0B\r\n0015\r\n") << "ok" << QByteArray("\x0a\x0b")
                                                   << "\r\n\n\n";
        QTest::newRow("only line ends") << QByteArray("\r\n\r\n") << "" << QByteArray() << "\r\n\r\n";
        QTest::newRow("dot in data") << QByteArray("0A.0B\r\n0015\r\n") << "ok" << QByteArray("\x0a\x0b") << ".\n\n";
        QTest::newRow("wrong sum") << QByteArray("0A0B\r\n0016\r\n") << "error 3" << QByteArray() << "\n\n";
        QTest::newRow("more digits than the sum") << QByteArray("0A0B\r\n10015\r\n") << "error 3" << QByteArray() << "\n\n";
        // The ninth digit ends it at once: endless digits must not keep the transfer alive.
        QTest::newRow("sum beyond 32 bits") << QByteArray("0A0B\r\n100000015\r\n") << "error 3" << QByteArray() << "\n\r\n";
        QTest::newRow("non-hex first sum digit") << QByteArray("0A0B\r\nX015\r\n") << "error 3" << QByteArray() << "\n015\r\n";
        QTest::newRow("never completed") << QByteArray("0A0B\r\n0015") << "" << QByteArray() << "\n";
    }
    void decoder()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, outcome);
        QFETCH(QByteArray, bytes);
        LinkRig rig;
        prefill(rig.image);
        QByteArray sent;
        rig.image.FOnCharOut = [&](char c) { sent += c; };
        rig.image.SetUserChanged(true);
        rig.image.Upload();
        QCOMPARE(sent, QByteArray("\x15"));
        feed(rig.image, answer);
        QTEST(rig.displayed, "displayed");
        // Only the device's accepted configuration replaces the user's changes.
        QCOMPARE(rig.image.UserChanged(), outcome != "ok");
        if (outcome == "ok") {
            QVERIFY2(endsWith(rig.events, QStringList({"checksum", "ok", "end"})), qPrintable(rig.events.join(',')));
            QCOMPARE(rig.image.FUseSize, int(bytes.size()));
            QCOMPARE(rig.image.Buffer().left(bytes.size()), bytes);
            QCOMPARE(rig.image.Buffer().mid(bytes.size()), QByteArray(TBaseEEROM::kImageBufferSize - bytes.size(), kFill));
        } else {
            QVERIFY(untouched(rig.image));
            QVERIFY(!rig.events.contains("ok"));
            if (outcome.isEmpty()) {
                QVERIFY(!rig.events.contains("end"));
                QVERIFY(rig.image.UploadRunning()); // still waiting for the rest
            } else {
                QVERIFY2(endsWith(rig.events, QStringList({outcome, "end"})), qPrintable(rig.events.join(',')));
            }
        }
        if (rig.events.contains("end"))
            QCOMPARE(rig.image.FMode, umNone);
        QCOMPARE(rig.image.dotfound, answer.contains('.'));
    }

    void eventsOfAGoodUpload()
    {
        LinkRig rig;
        rig.image.FOnCharOut = [](char) {};
        const QByteArray data = makeImage(25, 3);
        rig.image.Upload();
        feed(rig.image, hexOf(data) + "\r\n" + QByteArray::number(sum16(data), 16) + "\r\n");
        QCOMPARE(rig.events, QStringList({"begin", "begin", "progress 10", "progress 20", "checksum", "ok", "end"}));
        // every character in and out is traced with the state it met
        const QStringList trace = statusTrace().lines();
        QCOMPARE(trace.first(), QString("out umData <15>"));
        QCOMPARE(trace.filter(QRegularExpression("^in umData [0-9A-F]$")).size(), 50);
        QVERIFY(trace.contains("in umWaitForchecksum <0A>"));
        QVERIFY(trace.contains("in umwaitforEnd <0A>"));
        QCOMPARE(rig.image.UsedBytes(), data);
        QVERIFY(rig.image.FUploadBuffer.isEmpty());
    }

    void uploadWithoutAWayToSend()
    {
        LinkRig rig;
        rig.image.FOnCharOut = nullptr;
        rig.image.Upload();
        QCOMPARE(rig.events, QStringList({"error 2", "end"}));
        QCOMPARE(rig.image.FMode, umNone);
    }

    void cancel()
    {
        LinkRig rig;
        rig.image.FOnCharOut = [](char) {};
        rig.image.CancelUpload(); // nothing runs
        rig.image.FMode = dmOK;   // what a download leaves behind is no upload either
        rig.image.CancelUpload();
        QVERIFY(rig.events.isEmpty());

        prefill(rig.image);
        rig.image.Upload();
        feed(rig.image, "0A0B\r\n00");
        rig.image.CancelUpload();
        QCOMPARE(rig.events.mid(rig.events.size() - 2), QStringList({"error 4", "end"}));
        QCOMPARE(rig.image.FMode, umNone);
        feed(rig.image, "15\r\n");
        QVERIFY(untouched(rig.image));
        QCOMPARE(rig.displayed, QString("\n15\r\n"));
    }

    // Upload again while one runs: it starts over with a new buffer.
    void uploadStartsOver()
    {
        LinkRig rig;
        rig.image.FOnCharOut = [](char) {};
        rig.image.Upload();
        feed(rig.image, "FFFF");
        rig.image.Upload();
        feed(rig.image, "0102\r\n3\r\n");
        QCOMPARE(rig.image.UsedBytes(), QByteArray("\x01\x02"));
    }

    // An answer longer than any image ends the upload before the receive buffer overflows.
    void tooLongAnAnswer()
    {
        LinkRig rig;
        prefill(rig.image);
        rig.image.FOnCharOut = [](char) {};
        rig.image.Upload();
        const QByteArray pairs = QByteArray("A5").repeated(TUploadEEROM::kUploadBufferSize);
        feed(rig.image, pairs);
        QVERIFY(!rig.events.contains("end"));
        feed(rig.image, "A5");
        QVERIFY2(endsWith(rig.events, QStringList({"error 1", "end"})), qPrintable(rig.events.mid(rig.events.size() - 3).join(',')));
        QVERIFY(rig.image.FUploadBuffer.isEmpty());
        feed(rig.image, QByteArray("A5").repeated(1000) + "\r\n0\r\n");
        QVERIFY(untouched(rig.image));
    }

    // Random images, noise between the pairs, corrupted digits and truncated answers: the
    // decoder accepts exactly the answers whose sum matches, and an unaccepted answer leaves
    // the image as it was.
    void randomAnswers()
    {
        QRandomGenerator rng(20240611);
        const QByteArray noiseChars(" ~*#!gGxXzZ:;\t\x01\x7f\xff");
        for (int round = 0; round < 400; ++round) {
            LinkRig rig;
            prefill(rig.image);
            rig.image.FOnCharOut = [](char) {};
            QByteArray data = makeImage(rng.bounded(0, 300), rng.generate());
            QByteArray digits = hexOf(data, rng.bounded(2) == 0);
            const int fault = rng.bounded(5); // 0 none, 1 data digit, 2 sum digit, 3 cut, 4 noise only
            QByteArray decoded = data;
            if (fault == 1 && !digits.isEmpty()) {
                const int at = rng.bounded(int(digits.size()));
                digits[at] = "0123456789ABCDEF"[rng.bounded(16)];
                decoded = QByteArray::fromHex(digits);
            }
            QByteArray stream;
            for (int i = 0; i < digits.size(); ++i) {
                if (fault == 4 || rng.bounded(8) == 0)
                    stream += noiseChars[rng.bounded(int(noiseChars.size()))];
                stream += digits[i];
            }
            quint32 claimed = sum16(data);
            if (fault == 2)
                claimed = (claimed + 1 + rng.bounded(0xFFFE)) & 0xFFFF;
            stream += rng.bounded(2) ? "\r\n" : "\n";
            stream += QByteArray("000").left(rng.bounded(4)) + QByteArray::number(claimed, 16);
            stream += "\r\n";
            if (fault == 3)
                stream.truncate(rng.bounded(int(stream.size())));

            rig.image.Upload();
            feed(rig.image, stream);
            const bool complete = fault != 3;
            const bool accept = complete && sum16(decoded) == claimed;
            QVERIFY2(rig.events.contains("ok") == accept, qPrintable(QString("round %1 fault %2").arg(round).arg(fault)));
            if (accept) {
                QCOMPARE(rig.image.UsedBytes(), decoded);
            } else {
                QVERIFY2(untouched(rig.image), qPrintable(QString("round %1 fault %2").arg(round).arg(fault)));
            }
        }
    }

    // Every byte value in every state: no exception, bounded memory, and the image changes only
    // with an accepted transfer.
    void garbageInEveryState()
    {
        QRandomGenerator rng(77);
        LinkRig rig;
        prefill(rig.image);
        rig.image.FOnCharOut = [](char) {};
        int oks = 0;
        rig.image.FOnOKUpload = [&](TObject *) { ++oks; };
        QByteArray snapshot = rig.image.Buffer();
        for (int i = 0; i < 200000; ++i) {
            if (rng.bounded(5000) == 0)
                rig.image.Upload();
            // weight the stream towards the characters the decoder acts on
            const int pick = rng.bounded(10);
            const char c = pick < 4 ? "0123456789abcdefABCDEF"[rng.bounded(22)] : pick < 5 ? "\r\n."[rng.bounded(3)] : char(rng.bounded(256));
            const int before = oks;
            rig.image.CharacterIn(QChar(uchar(c)));
            QVERIFY(rig.image.FUploadBuffer.size() <= TUploadEEROM::kUploadBufferSize);
            if (oks == before)
                QVERIFY(rig.image.Buffer() == snapshot);
            else
                snapshot = rig.image.Buffer();
        }
    }

    // --- over the line -------------------------------------------------------------------------

    void uploadFromTheSimulator_data()
    {
        QTest::addColumn<bool>("noise");
        QTest::addColumn<bool>("wrongSum");
        QTest::newRow("plain") << false << false;
        QTest::newRow("noise between pairs") << true << false;
        QTest::newRow("wrong checksum") << false << true;
    }
    void uploadFromTheSimulator()
    {
        QFETCH(bool, noise);
        QFETCH(bool, wrongSum);
        LinkRig rig;
        GatewaySimulator::Options opt;
        opt.noise = noise;
        opt.wrongUploadChecksum = wrongSum;
        const QByteArray device = makeImage(8192, 11);
        QVERIFY(rig.startSim(opt, device));
        QVERIFY(rig.open());
        prefill(rig.image);
        QVERIFY(rig.receiver.CheckdeviceConnected(2000, 2));
        rig.image.Upload();
        QVERIFY(LinkWait::waitUntil([&] { return rig.events.contains("end"); }, 10000));
        if (wrongSum) {
            QVERIFY(rig.events.contains("error 3"));
            QVERIFY(untouched(rig.image));
        } else {
            QVERIFY(rig.events.contains("ok"));
            QCOMPARE(rig.image.UsedBytes(), device);
            QCOMPARE(rig.events.filter("progress").size(), 819);
            QVERIFY(rig.events.contains("progress 8190"));
        }
        QVERIFY(!rig.events.contains("timeout"));
    }

    // The cable is pulled in the middle of an upload: the silence is reported, the image stays,
    // and the session waits for its port.
    void lineDroppedDuringUpload()
    {
        LinkRig rig;
        GatewaySimulator::Options opt;
        opt.dropAfterBytes = 5000;
        QVERIFY(rig.startSim(opt, makeImage(8192, 12)));
        QVERIFY(rig.open());
        prefill(rig.image);
        rig.image.Upload();
        QVERIFY(LinkWait::waitUntil([&] { return rig.events.contains("timeout"); }, 5000));
        QVERIFY(!rig.events.contains("ok"));
        QVERIFY(untouched(rig.image));
        QVERIFY(rig.image.inCount > 2000 && rig.image.inCount <= 2500);
        QVERIFY(!rig.com.IsOpen());
        QVERIFY(rig.states.contains(qMakePair(1, 0)));
    }

    // A pause of more than the time-out is reported, and the characters after it finish the
    // same transfer.
    void timeoutThenContinues()
    {
        LinkRig rig;
        QVERIFY(rig.startBare());
        QVERIFY(rig.open());
        const QByteArray data = makeImage(600, 13);
        const QByteArray answer = hexOf(data) + "\r\n" + QByteArray::number(sum16(data), 16).toUpper() + "\r\n";
        connect(rig.bare.get(), &PseudoTerminal::received, [&](const QByteArray &b) {
            if (!b.contains('\x15'))
                return;
            rig.bare->write(answer.left(500));
            QTimer::singleShot(2300, rig.bare.get(), [&] { rig.bare->write(answer.mid(500)); });
        });
        rig.image.Upload();
        QVERIFY(LinkWait::waitUntil([&] { return rig.events.contains("end"); }, 6000));
        const int timeoutAt = int(rig.events.indexOf("timeout"));
        QVERIFY(timeoutAt >= 0);
        QVERIFY(timeoutAt < rig.events.indexOf("ok"));
        QCOMPARE(rig.image.UsedBytes(), data);
    }

    // Noise of every byte value on the line while an upload runs and a handshake collects:
    // the loop survives, the buffers stay bounded, and the next upload works.
    void noiseOnTheLine()
    {
        LinkRig rig;
        QVERIFY(rig.startBare());
        QVERIFY(rig.open());
        prefill(rig.image);
        QRandomGenerator rng(5);
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(5);
        rig.receiver.CollectCharacters = true;
        rig.image.Upload();
        for (int block = 0; block < 16; ++block) {
            QByteArray noise(4096, '\0');
            for (auto &c : noise)
                c = char(rng.bounded(256));
            rig.bare->write(noise);
            LinkWait::waitUntil([&] { return rig.bare->unreadOutput() == 0; }, 2000);
        }
        LinkWait::waitUntil([&] { return rig.com.BytesAvailable() == 0; }, 2000);
        QVERIFY(ticks > 0);
        QVERIFY(rig.receiver.CollectString.size() <= TDeviceReceiver::kMaxCollect);
        QVERIFY(rig.image.FUploadBuffer.size() <= TUploadEEROM::kUploadBufferSize);
        if (!rig.events.contains("ok"))
            QVERIFY(untouched(rig.image));

        // a sound answer afterwards
        rig.receiver.CollectCharacters = false;
        rig.image.CancelUpload();
        rig.events.clear();
        rig.image.Upload();
        rig.bare->write("0102\r\n0003\r\n");
        QVERIFY(LinkWait::waitUntil([&] { return rig.events.contains("end"); }, 3000));
        QVERIFY(rig.events.contains("ok"));
        QCOMPARE(rig.image.UsedBytes(), QByteArray("\x01\x02"));
    }

    void downloadToTheSimulator()
    {
        LinkRig rig;
        QVERIFY(rig.startSim({}, makeImage(100, 1)));
        QVERIFY(rig.open());
        rig.image.Assign(makeImage(8192, 21));
        rig.image.FUseSize = 8192;
        rig.image.SetByteIDX(2, 0);
        rig.image.SetByteIDX(3, 0); // stale checksum: the download puts the fresh one in
        QElapsedTimer t;
        t.start();
        rig.image.Download();
        const qint64 took = t.elapsed();
        QCOMPARE(rig.events.first(), QString("beginDownload"));
        QCOMPARE(rig.events.last(), QString("endDownload"));
        QCOMPARE(rig.events.filter("progress").size(), 512);
        QCOMPARE(rig.events.value(2), QString("progress 16"));
        QCOMPARE(rig.image.FMode, dmOK);
        QCOMPARE(rig.image.StoredChecksum(), rig.image.ComputeChecksum());
        QVERIFY(rig.waitExchange("download"));
        QCOMPARE(rig.lastExchange("download").result, QString("ok"));
        QCOMPARE(rig.sim->image(), rig.image.UsedBytes());
        QVERIFY2(took < 1000, qPrintable(QString::number(took))); // every pause was answered at once
    }

    // A device that never paces costs exactly one pause of 1000 ms, before byte 256.
    void downloadWithoutPacing()
    {
        LinkRig rig;
        GatewaySimulator::Options opt;
        opt.downloadPacing = false;
        QVERIFY(rig.startSim(opt, makeImage(100, 1)));
        QVERIFY(rig.open());
        rig.image.Assign(makeImage(1000, 22));
        rig.image.FUseSize = 1000;
        QElapsedTimer t;
        t.start();
        rig.image.Download();
        QVERIFY2(t.elapsed() >= 1000 && t.elapsed() < 1900, qPrintable(QString::number(t.elapsed())));
        QVERIFY(rig.waitExchange("download"));
        QCOMPARE(rig.sim->image(), rig.image.UsedBytes());
    }

    void downloadWireFormat()
    {
        LinkRig rig;
        QVERIFY(rig.startBare());
        QVERIFY(rig.open());
        rig.image.SetByteIDX(0, 0x0A);
        rig.image.SetByteIDX(1, 0xFF);
        rig.image.FUseSize = 2;
        rig.image.Download();
        QVERIFY(LinkWait::waitUntil([&] { return rig.bareReceived.size() >= 11; }, 2000));
        QCOMPARE(rig.bareReceived, QByteArray("\x04" "0aff\n0109\n"));
        const QStringList trace = statusTrace().lines();
        const qsizetype first = trace.indexOf("out dmData <04>");
        QVERIFY(first >= 0);
        QCOMPARE(trace.mid(first, 4), QStringList({"out dmData <04>", "out dmData 0", "out dmData a", "out dmData f"}));
    }

    void downloadCannotStart()
    {
        LinkRig rig;
        rig.image.SetSize(0);
        rig.image.Download();
        QCOMPARE(rig.events, QStringList({"beginDownload", "errorDownload -30"}));
        QCOMPARE(rig.image.FMode, dmError);

        LinkRig noSend;
        noSend.image.FOnCharOut = nullptr;
        noSend.image.Assign(makeImage(64, 4));
        noSend.image.SetByteIDX(2, 0);
        noSend.image.SetByteIDX(3, 0);
        noSend.image.FUseSize = 64;
        noSend.image.Download();
        QCOMPARE(noSend.events, QStringList({"beginDownload", "errorDownload -2"}));
        QCOMPARE(noSend.image.FMode, dmData);
        QCOMPARE(noSend.image.StoredChecksum(), noSend.image.ComputeChecksum()); // fresh even so
    }

    // A port that takes nothing more ends the download instead of waiting for ever.
    void stalledOutputEndsTheDownload()
    {
        LinkRig rig;
        rig.image.FOnCharOut = [](char) {};
        rig.image.FOutputPending = [] { return qint64(12); };
        rig.image.StallLimitMs = 200;
        rig.image.Assign(makeImage(64, 4));
        rig.image.FUseSize = 64;
        QElapsedTimer t;
        t.start();
        rig.image.Download();
        QVERIFY(t.elapsed() >= 200 && t.elapsed() < 1000);
        QCOMPARE(rig.events.last(), QString("errorDownload -31"));
        QCOMPARE(rig.image.FMode, dmError);
    }

    // The line is dropped in the middle of a download: it runs to its end without hanging.
    void lineDroppedDuringDownload()
    {
        LinkRig rig;
        GatewaySimulator::Options opt;
        opt.dropAfterBytes = 3000;
        QVERIFY(rig.startSim(opt, makeImage(100, 1)));
        QVERIFY(rig.open());
        rig.image.Assign(makeImage(8192, 23));
        rig.image.FUseSize = 8192;
        QElapsedTimer t;
        t.start();
        rig.image.Download();
        QVERIFY(t.elapsed() < 3000);
        QCOMPARE(rig.events.last(), QString("endDownload"));
        QVERIFY(!rig.com.IsOpen());
        QVERIFY(rig.states.contains(qMakePair(1, 0)));
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "TestTransfer.moc"

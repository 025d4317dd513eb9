// The extension writer against the simulated gateway through a real pseudo-terminal: every
// outcome of the device, what it received, and the receive handler put back afterwards.
#include "GeneratorRig.h"
#include "devsim/GatewaySimulator.h"
#include "link/LinkWait.h"
#include "platform/PortMap.h"
#include "platform/StatusTrace.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int kPort = 7;

QByteArray be16(uint32_t v)
{
    return QByteArray(1, char((v >> 8) & 0xFF)) + char(v & 0xFF);
}

// The PC side as the main window wires it: the session with its own receiver installed.
struct Rig {
    std::unique_ptr<GatewaySimulator> sim;
    TCOM com{nullptr, nullptr};
    QByteArray mainReceived; // what reached the main window's receiver
    RecordingView view;
    LanguageSelect english;
    TExtensionWriter writer{com, view, &english};

    bool start(const GatewaySimulator::Options &opt)
    {
        loadEnglish(english);
        sim = std::make_unique<GatewaySimulator>(opt);
        QString error;
        if (!sim->start(&error) || !sim->linkAsPort(PortMap::portName(kPort), &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        com.Settings.StandardSerialOptions();
        com.Settings.PortNumber.Text = PortMap::portName(kPort);
        com.ApplySettings();
        com.SetReceiveHandler([this](int) {
            char c = 0;
            while (com.ReadByte(c))
                mainReceived += c;
        });
        return com.IsOpen();
    }

    // The main window's receiver is in place again: the answer to a presence query reaches it.
    bool mainReceiverBack()
    {
        mainReceived.clear();
        com.PutChar(0x14);
        return LinkWait::waitUntil([this] { return mainReceived.contains("OK"); }, 3000);
    }

    QList<GatewaySimulator::Exchange> extensionExchanges() const
    {
        QList<GatewaySimulator::Exchange> list;
        for (const auto &e : sim->exchanges())
            if (e.kind == QLatin1String("extension"))
                list << e;
        return list;
    }
};

} // namespace

class TestExtensionWrite : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void outcomes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("headerVerdict");  // 0: accepts
        QTest::addColumn<int>("finalVerdict");   // -1: by the checksum, 0: no answer
        QTest::addColumn<int>("ackBlocks");      // -1: all
        QTest::addColumn<int>("deviceTimeoutMs");
        QTest::addColumn<QString>("error");      // raised by doWrite
        QTest::addColumn<bool>("stored");
        QTest::addColumn<int>("blocksSent");
        QTest::addColumn<bool>("checksumSent");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("deviceResult"); // of the device's extension exchange
        const QString ok = "Extension stored.";
        QTest::newRow("O, two blocks") << 256 << 0 << -1 << -1 << 2500 << "" << true << 2 << true << ok << "ok";
        QTest::newRow("O, D = 18") << 18 << 0 << -1 << -1 << 2500 << "" << true << 1 << true << ok << "ok";
        QTest::newRow("O, D = 200") << 200 << 0 << -1 << -1 << 2500 << "" << true << 2 << true << ok << "ok";
        QTest::newRow("E") << 40 << 0 << int('E') << -1 << 2500 << "" << false << 1 << true
                           << "The device reports a wrong checksum." << "ok";
        QTest::newRow("S") << 40 << 0 << int('S') << -1 << 2500 << "" << false << 1 << true
                           << "The device could not store the extension." << "ok";
        QTest::newRow("T") << 40 << 0 << int('T') << -1 << 2500 << "" << false << 1 << true
                           << "Time-out: the device did not answer." << "ok";
        QTest::newRow("no final reply") << 40 << 0 << 0 << -1 << 2500 << "" << false << 1 << true
                                        << "Writing the extension was not completed." << "ok";
        QTest::newRow("second block not acknowledged") << 256 << 0 << -1 << 1 << 300 << "" << false << 2 << false
                                                       << "Time-out: the device did not answer." << "timeout";
        // The device gives up only after the writer did: its late "T" goes to the main receiver.
        QTest::newRow("no reply after a block timed out") << 18 << 0 << -1 << 0 << 2000 << "" << false << 1 << false
                                                          << "" << "timeout";
        QTest::newRow("header L") << 40 << int('L') << -1 << -1 << 2500
                                  << "The device did not accept the length of the extension." << false << 0 << false
                                  << "" << "refused";
        QTest::newRow("header T") << 40 << int('T') << -1 << -1 << 2500 << "Time-out while sending the header." << false
                                  << 0 << false << "" << "refused";
    }
    void outcomes()
    {
        QFETCH(int, size);
        QFETCH(int, headerVerdict);
        QFETCH(int, finalVerdict);
        QFETCH(int, ackBlocks);
        QFETCH(int, deviceTimeoutMs);
        QFETCH(QString, error);
        QFETCH(bool, stored);
        QFETCH(int, blocksSent);
        QFETCH(bool, checksumSent);
        QFETCH(QString, outcome);
        QFETCH(QString, deviceResult);

        GatewaySimulator::Options opt;
        opt.extHeaderVerdict = char(headerVerdict);
        opt.extFinalVerdict = finalVerdict;
        opt.extAckBlocks = ackBlocks;
        opt.receiveTimeoutMs = deviceTimeoutMs;
        Rig rig;
        QVERIFY(rig.start(opt));
        rig.writer.finalWaitMs = 600; // the device answers at once when it answers at all

        const QByteArray data = pattern(size);
        const QString hex = objcopyHex(m_dir.path(), "cust0A01.hex", data, 0x1000);
        QVERIFY(!hex.isEmpty());
        QVERIFY(rig.writer.LoadHexFile(hex));
        const int loadLines = int(rig.view.lines.size());
        const uint32_t length = rig.writer.TransferLength();
        const QByteArray sent = rig.writer.TransferBytes();
        QCOMPARE(sent.size(), qsizetype(length));
        statusTrace().clear();

        bool result = false;
        QCOMPARE(errorOf([&] { result = rig.writer.doWrite(true); }), error);
        QCOMPARE(result, stored);

        // Progress lines of the write.
        QStringList expected;
        int blockBytes = 0;
        for (int k = 0; k < blocksSent; ++k) {
            const int blockLength = qMin(128, size - 128 * k + 1);
            blockBytes += blockLength;
            expected << QString("Writing %1 bytes from address %2").arg(blockLength).arg(0x1000 + 128 * k);
        }
        if (checksumSent)
            expected << QString("Checksum: %1").arg(rig.writer.TransferChecksum()) << "Sending the checksum";
        if (error.isEmpty())
            expected << outcome;
        QCOMPARE(rig.view.lines.mid(loadLines), expected);

        // What the device received: the header, the blocks that left, its verdict.
        if (!deviceResult.isEmpty()) {
            QVERIFY(LinkWait::waitUntil([&] { return !rig.extensionExchanges().isEmpty(); }, 3000));
            const auto exchange = rig.extensionExchanges().first();
            QCOMPARE(exchange.result, deviceResult);
            QCOMPARE(exchange.header, be16(0x0A01) + be16(0x1000) + be16(length));
            if (deviceResult == QLatin1String("ok"))
                QCOMPARE(exchange.data, sent);
        }
        // Header, the blocks that were sent and the checksum when every block was accepted.
        const qsizetype total = 7 + blockBytes + (checksumSent ? 2 : 0);
        LinkWait::waitUntil([&] { return rig.sim->received().size() >= total; }, 2000);
        QCOMPARE(rig.sim->received().size(), total);
        QCOMPARE(rig.sim->received().left(7), QByteArray(1, 0x05) + be16(0x0A01) + be16(0x1000) + be16(length));
        QCOMPARE(rig.sim->received().mid(7, blockBytes), sent.left(blockBytes));

        // Nothing of the exchange reached the main window's receiver, which is back now; the
        // dialog can be closed, and the write button stays off until the next load.
        const QByteArray late = deviceResult == QLatin1String("timeout") && outcome.isEmpty() ? "T" : "";
        if (!late.isEmpty())
            LinkWait::waitUntil([&] { return !rig.mainReceived.isEmpty(); }, 2000);
        QCOMPARE(rig.mainReceived, late);
        QVERIFY(rig.mainReceiverBack());
        QCOMPARE(rig.view.closeStates.last(), true);
        QVERIFY(!rig.view.writeEnabled());
        QCOMPARE(rig.view.closeRequests, 0);
        QVERIFY(!rig.writer.doWrite(true)); // at most one write per load
    }

    void traceAndGaps()
    {
        Rig rig;
        QVERIFY(rig.start({}));
        // Two records with a gap: the gap goes to the device as 0xFF bytes.
        const QByteArray a = pattern(16, 3), b = pattern(16, 4);
        const QString path = writeBytes(m_dir.filePath("cust0102.hex"),
                                        hexRecord(0x1000, 0, a) + "\r\n" + hexRecord(0x1020, 0, b) + "\r\n" + kEndRecord);
        QVERIFY(rig.writer.LoadHexFile(path));
        statusTrace().clear();
        QVERIFY(rig.writer.doWrite(false));
        QCOMPARE(rig.view.closeRequests, 1);
        QVERIFY(LinkWait::waitUntil([&] { return !rig.extensionExchanges().isEmpty(); }, 3000));
        QCOMPARE(rig.extensionExchanges().first().data, a + QByteArray(16, char(0xFF)) + b + char(0xFF));
        QCOMPARE(statusTrace().lines(), QStringList({"Init with ^E", "Send command 1 2", "Send addresses 16 0",
                                                     "Send len 0 49", "Return after writebloc .", "Checksum send ",
                                                     "Return end O !"}));
    }
};

QTEST_GUILESS_MAIN(TestExtensionWrite)
#include "TestExtensionWrite.moc"

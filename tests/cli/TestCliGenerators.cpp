// torvane-cli eds and extension, started as a user would; the extension is written into the
// simulated gateway, which runs in this process on a pseudo-terminal.
#include "CliRunner.h"
#include "devsim/GatewaySimulator.h"

#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

namespace {

constexpr int kPort = 9;

QString example(const QString &name) { return TestPaths::dataFile("examples/" + name); }

// Runs torvane-cli in dir while this process's event loop keeps running (the simulator
// answers meanwhile).
CliResult runIn(const QString &dir, const QStringList &args)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    QSignalSpy finished(&p, &QProcess::finished);
    p.start(TestPaths::binDir() + "/torvane-cli", args);
    if (!finished.wait(60000)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}, "did not finish"};
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray hexRecord(uint16_t address, const QByteArray &data)
{
    QByteArray r = char(data.size()) + QByteArray(1, char(address >> 8)) + char(address & 0xFF) + '\0' + data;
    uint8_t sum = 0;
    for (char c : r)
        sum = uint8_t(sum + uint8_t(c));
    return ':' + (r + char(uint8_t(0x100 - sum))).toHex().toUpper();
}

QByteArray pattern(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 29 + 5) % 251);
    return b;
}

} // namespace

class TestCliGenerators : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QStringList edsArgs(const QStringList &extra, const QString &image = example("gw110.gwc"))
    {
        return QStringList{"eds", "--tcf", example("vantor.tcf"), "--lang", "english"} + extra + QStringList{image};
    }

    QString hexFile(const QString &name, const QByteArray &data)
    {
        const QString bin = m_dir->filePath("data.bin");
        writeFile(*m_dir, "data.bin", data);
        QProcess p;
        p.start(QStandardPaths::findExecutable("objcopy"),
                {"-I", "binary", "-O", "ihex", "--change-addresses", "0x1000", bin, m_dir->filePath(name)});
        if (!p.waitForFinished(20000) || p.exitCode() != 0)
            return {};
        return m_dir->filePath(name);
    }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // The bundled template of the example device, written under the proposed name.
    void edsWithTheBundledTemplate()
    {
        const CliResult r = runIn(m_dir->path(), edsArgs({}));
        QCOMPARE(r.exitCode, 0);
        const QString path = m_dir->filePath("0001_GW110.eds");
        QCOMPARE(r.out, path + "\n");
        QVERIFY(r.err.startsWith("The device description was filled in from these parameters:\n-Serial Number\n"));
        QVERIFY(r.err.contains("\n-Response Timeout\n"));
        const QByteArray out = readAll(path);
        QVERIFY(out.startsWith("; Device description of the Vantor GW110 gateway"));
        QVERIFY(out.contains("\r\nProductName=Line 3 / Press\r\n"));
        QVERIFY(!out.contains("<!--exec="));
        QVERIFY(out.endsWith("PDOMapping=1\r\n\r\n")); // the last chunk, then the template's own line end
    }

    void edsWithOwnTemplates()
    {
        QVERIFY(QDir(m_dir->path()).mkdir("t"));
        writeFile(*m_dir, "t/001F_a.eds", "unused");
        writeFile(*m_dir, "t/001F_b.xml", "<a n=\"<!--exec=replace param=\"Node Address\"-->\"/>\r\n");
        const QString out = m_dir->filePath("out.xml");
        const CliResult r = runIn(m_dir->path(), edsArgs({"--template-dir", m_dir->filePath("t"), "-o", out}));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(readAll(out), QByteArray("<a n=\"12\"/>\r\n"));
        QVERIFY(r.err.endsWith("\n-Node Address\n"));
    }

    // No template, or one that does not convert: exit 1 with the message, no file.
    void edsRefused_data()
    {
        QTest::addColumn<QByteArray>("templateText"); // empty: no template
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("no template") << QByteArray()
                                     << QStringList{"No device description template was found for this device.",
                                                    "No file was created."};
        QTest::newRow("number does not convert")
            << QByteArray("<!--exec=replace param=\"Node Address\" valueLength=\"x\"-->")
            << QStringList{"'x' is not a valid integer value"};
    }
    void edsRefused()
    {
        QFETCH(QByteArray, templateText);
        QFETCH(QStringList, messages);
        QVERIFY(QDir(m_dir->path()).mkdir("t"));
        writeFile(*m_dir, "t/0164.xml", "for another device");
        if (!templateText.isEmpty())
            writeFile(*m_dir, "t/001F.eds", templateText);
        const CliResult r = runIn(m_dir->path(), edsArgs({"--template-dir", m_dir->filePath("t")}));
        QCOMPARE(r.exitCode, 1);
        for (const QString &m : messages)
            QVERIFY2(r.err.contains(m), qPrintable(r.err));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
    }

    void extension_data()
    {
        QTest::addColumn<int>("headerVerdict");
        QTest::addColumn<int>("finalVerdict");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("lastOut");
        QTest::addColumn<QString>("err");
        QTest::newRow("stored") << 0 << -1 << 0 << "Extension stored." << "";
        QTest::newRow("checksum refused") << 0 << int('E') << 1 << "The device reports a wrong checksum."
                                          << "extension failed: The device reports a wrong checksum.";
        QTest::newRow("no final reply") << 0 << 0 << 1 << "Writing the extension was not completed."
                                        << "extension failed: Writing the extension was not completed.";
        QTest::newRow("header refused") << int('L') << -1 << 1 << "File read without errors"
                                        << "extension failed: The device did not accept the length of the extension.";
        // A device that answers nothing at all: the final line still says why.
        QTest::newRow("silent device") << -2 << -1 << 1 << "" << "extension failed: Time-out: the device did not answer.";
    }
    void extension()
    {
        QFETCH(int, headerVerdict);
        QFETCH(int, finalVerdict);
        GatewaySimulator::Options opt;
        opt.silent = headerVerdict == -2;
        opt.extHeaderVerdict = char(qMax(0, headerVerdict));
        opt.extFinalVerdict = finalVerdict;
        GatewaySimulator sim(opt);
        QString error;
        QVERIFY2(sim.start(&error) && sim.linkAsPort(QString("COM%1").arg(kPort), &error), qPrintable(error));
        const QByteArray data = pattern(200);
        const QString hex = hexFile("cust0A01.hex", data);
        QVERIFY(!hex.isEmpty());

        const CliResult r = runIn(m_dir->path(), {"extension", "--lang", "english", "--port", QString("COM%1").arg(kPort), hex});
        QTEST(r.exitCode, "exitCode");
        QStringList out = r.out.split('\n');
        QCOMPARE(out.takeLast(), QString());
        if (!opt.silent)
            QTEST(out.last(), "lastOut");
        QVERIFY(r.out.contains("Extension number: 2561\nStart address 4096, length 200 bytes\nFile read without errors\n"));
        QFETCH(QString, err);
        QCOMPARE(r.err.trimmed(), err.isEmpty() ? QString() : "torvane-cli: " + err);
        if (headerVerdict == 0 && !opt.silent) {
            QVERIFY(r.out.contains("Writing 128 bytes from address 4096\nWriting 73 bytes from address 4224\n"));
            // The device had finished the exchange before it answered.
            QVERIFY(!sim.exchanges().isEmpty());
            QCOMPARE(sim.exchanges().last().kind, QString("extension"));
            QCOMPARE(sim.exchanges().last().result, QString("ok"));
            QCOMPARE(sim.exchanges().last().data, data + char(0xFF));
        }
    }

    // A damaged file is refused before anything goes to the device.
    void extensionBadFile()
    {
        GatewaySimulator sim(GatewaySimulator::Options{});
        QVERIFY(sim.start() && sim.linkAsPort(QString("COM%1").arg(kPort)));
        QByteArray bad = hexRecord(0x1000, pattern(16));
        bad[bad.size() - 1] = bad.endsWith('0') ? '1' : '0';
        const QString hex = writeFile(*m_dir, "cust0001.hex", bad + "\r\n:00000001FF\r\n");
        const CliResult r = runIn(m_dir->path(), {"extension", "--lang", "english", "--port", QString("COM%1").arg(kPort), hex});
        QCOMPARE(r.exitCode, 1);
        // the reason on stderr, with the program's prefix and the file's name
        QVERIFY2(r.err.startsWith("torvane-cli: extension failed: \"" + hex + "\": Checksum error in line"), qPrintable(r.err));
        QVERIFY(!r.out.contains("Checksum error"));
        QCOMPARE(sim.received(), QByteArray());

        // The port options of the other device commands, checked before anything is opened.
        const CliResult noPort = runIn(m_dir->path(), {"extension", hex});
        QCOMPARE(noPort.exitCode, 1);
        QVERIFY2(noPort.err.contains("no port given (--port COMn) and none stored in the settings"), qPrintable(noPort.err));
        QCOMPARE(runIn(m_dir->path(), {"extension", "--port", "COM9"}).exitCode, 2);   // no file
        QCOMPARE(runIn(m_dir->path(), {"extension", "--port", "LPT1", hex}).exitCode, 2);
        QCOMPARE(runIn(m_dir->path(), {"extension", "--port", "COM9", "--baud", "12345", hex}).exitCode, 2);
        QCOMPARE(runIn(m_dir->path(), {"extension", "--port", "COM9", "--parity", "sometimes", hex}).exitCode, 2);
    }

};

QTEST_GUILESS_MAIN(TestCliGenerators)
#include "TestCliGenerators.moc"

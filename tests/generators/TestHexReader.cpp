// The extension writer's HEX reader: files written by objcopy and by hand, the bounds, the
// transfer length, the valid-range warning and every refusal of a damaged file.
#include "GeneratorRig.h"
#include "ScriptedPrompts.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Reader {
    TCOM com{nullptr, nullptr}; // never opened: loading must not need the port
    RecordingView view;
    LanguageSelect english;
    TExtensionWriter writer{com, view, &english};
    Reader() { loadEnglish(english); }
};

QByteArray flash(const TExtensionWriter &w, uint32_t from, int count)
{
    return w.fFlashMem.mid(from, count);
}

} // namespace

class TestHexReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // objcopy writes a start-address record (type 03, four bytes at address 0) after the data:
    // it must not count as data at address 0.
    void objcopyFiles_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("length"); // L
        QTest::newRow("two blocks") << 256 << 256;
        QTest::newRow("D = 18") << 18 << 19;
        QTest::newRow("D = 200") << 200 << 201;
        QTest::newRow("one byte") << 1 << 2;
        QTest::newRow("the whole area") << 4096 << 4096;
    }
    void objcopyFiles()
    {
        QFETCH(int, size);
        QFETCH(int, length);
        const QByteArray data = pattern(size);
        const QString path = objcopyHex(m_dir.path(), "cust0A01_fw.hex", data, 0x1000);
        QVERIFY(!path.isEmpty());
        ScriptedPrompts prompts;
        Reader r;
        QVERIFY(r.writer.LoadHexFile(path));
        TExtensionWriter &w = r.writer;
        QCOMPARE(w.fCommand, uint16_t(0x0A01));
        QCOMPARE(w.fMinFlashAddress, uint16_t(0x1000));
        QCOMPARE(w.fMaxFlashAddress, uint32_t(0x1000 + size));
        QCOMPARE(w.TransferLength(), uint32_t(length));
        QCOMPARE(w.TransferBytes(), data + QByteArray(length - size, char(0xFF)));
        QCOMPARE(flash(w, 0, 0x1000), QByteArray(0x1000, char(0xFF)));
        QCOMPARE(flash(w, 0x1000 + size, 0x10000), QByteArray(0x10000 - 0x1000 - size, char(0xFF)));
        quint16 sum = 0;
        for (char c : w.TransferBytes())
            sum = quint16(sum + quint8(c));
        QCOMPARE(w.TransferChecksum(), sum);
        QVERIFY(w.InValidRange());
        QVERIFY(prompts.records.isEmpty()); // no range warning, not even for the full area
        QCOMPARE(r.view.label, QString("Read file \n\"%1\".").arg(path));
        QCOMPARE(r.view.lines, QStringList({QString("Reading file \n\"%1\".").arg(path), "Extension number: 2561",
                                            QString("Start address 4096, length %1 bytes").arg(size),
                                            "File read without errors"}));
        QVERIFY(r.view.writeEnabled());
    }

    // Records in any order, gaps, extended address records, blank lines and line ends.
    void handMadeFiles_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<QByteArray>("bytes"); // from min to max
        const QByteArray a = pattern(16, 1), b = pattern(16, 2);
        const QByteArray gap = a + QByteArray(16, char(0xFF)) + b;
        QTest::newRow("gap") << hexRecord(0x1000, 0, a) + "\n" + hexRecord(0x1020, 0, b) + "\n" + kEndRecord << 0x1000
                             << 0x1030 << gap;
        QTest::newRow("descending records") << hexRecord(0x1020, 0, b) + "\n" + hexRecord(0x1000, 0, a) + "\n" + kEndRecord
                                            << 0x1000 << 0x1030 << gap;
        QTest::newRow("overlap past the end") << hexRecord(0x1000, 0, a) + "\n" + hexRecord(0x1008, 0, b) << 0x1000
                                              << 0x1018 << a.left(8) + b;
        QTest::newRow("extended linear address 0 first")
            << hexRecord(0, 4, QByteArray(2, '\0')) + "\r\n" + hexRecord(0x1000, 0, a) + "\r\n" + kEndRecord + "\r\n"
            << 0x1000 << 0x1010 << a;
        QTest::newRow("extended segment address")
            << hexRecord(0, 2, QByteArray("\x01\x00", 2)) + "\n" + hexRecord(0x0000, 0, a) << 0x1000 << 0x1010 << a;
        QTest::newRow("start addresses ignored")
            << hexRecord(0, 5, QByteArray("\0\0\0\0", 4)) + "\n" + hexRecord(0x1000, 0, a) + "\n"
                   + hexRecord(0, 3, QByteArray("\0\0\x10\0", 4))
            << 0x1000 << 0x1010 << a;
        QTest::newRow("blank lines, lower case, junk before the colon")
            << "\n\n \xEF\xBB\xBF" + hexRecord(0x1000, 0, a).toLower() + " \t\r\n\r\n" + kEndRecord + "\n\n  \n" << 0x1000
            << 0x1010 << a;
        QTest::newRow("CR line ends") << hexRecord(0x1000, 0, a) + "\r" + hexRecord(0x1020, 0, b) + "\r" + kEndRecord + "\r"
                                      << 0x1000 << 0x1030 << gap;
        QTest::newRow("no end-of-file record, no final line break") << hexRecord(0x1000, 0, a) << 0x1000 << 0x1010 << a;
        QTest::newRow("empty data records store nothing")
            << hexRecord(0x0000, 0, {}) + "\n" + hexRecord(0x1000, 0, a) + "\n" + hexRecord(0x3000, 0, {}) << 0x1000
            << 0x1010 << a;
    }
    void handMadeFiles()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(QByteArray, bytes);
        Reader r;
        QVERIFY2(r.writer.LoadHexFile(writeBytes(m_dir.filePath("cust0001.hex"), text)), qPrintable(r.view.lines.join('|')));
        QCOMPARE(int(r.writer.fMinFlashAddress), min);
        QCOMPARE(int(r.writer.fMaxFlashAddress), max);
        QCOMPARE(flash(r.writer, min, max - min), bytes);
        QCOMPARE(r.writer.fFlashMem.count(char(0xFF)), 0x10000 - bytes.size() + bytes.count(char(0xFF)));
    }

    // A damaged file: its message is the last progress line, nothing is loaded and the write
    // button stays off.
    void refusedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        const QByteArray good = hexRecord(0x1000, 0, pattern(16)) + "\n";
        QByteArray badSum = hexRecord(0x1010, 0, pattern(16));
        badSum[badSum.size() - 1] = badSum.endsWith('0') ? '1' : '0';
        QTest::newRow("checksum") << "cust0001.hex" << good + badSum + "\n" + kEndRecord
                                  << "Checksum error in line 1 of the HEX file";
        QTest::newRow("checksum after blank lines") << "cust0001.hex" << "\n\n" + badSum
                                                    << "Checksum error in line 2 of the HEX file";
        QTest::newRow("odd digit count") << "cust0001.hex" << good + hexRecord(0x1010, 0, "ab").chopped(1)
                                         << "Line 1 of the HEX file has an odd number of hexadecimal digits";
        QTest::newRow("no colon") << "cust0001.hex" << good + "10101000AABB\n"
                                  << "Line 1 of the HEX file holds no record (no \":\")";
        QTest::newRow("byte count larger than the record")
            << "cust0001.hex" << QByteArray(":10100000AABBCC") + "\n" << "The byte count in line 0 of the HEX file does not match the record";
        QTest::newRow("byte count smaller than the record")
            << "cust0001.hex" << ":01100000AABB" + QByteArray("00\n")
            << "The byte count in line 0 of the HEX file does not match the record";
        QTest::newRow("too short") << "cust0001.hex" << QByteArray(":0000\n") << "Line 0 of the HEX file is not a valid record";
        QTest::newRow("text after the checksum") << "cust0001.hex" << good.chopped(1) + "x\n"
                                                 << "Line 0 of the HEX file is not a valid record";
        QTest::newRow("beyond 0xFFFF") << "cust0001.hex" << hexRecord(0xFFFF, 0, "ab")
                                       << "The data in line 0 of the HEX file lie beyond address 0xFFFF";
        QTest::newRow("beyond 0xFFFF by a linear address") << "cust0001.hex"
                                                           << hexRecord(0, 4, QByteArray("\0\x01", 2)) + "\n" + good
                                                           << "The data in line 1 of the HEX file lie beyond address 0xFFFF";
        QTest::newRow("bad address record") << "cust0001.hex" << hexRecord(0, 4, QByteArray("\0", 1))
                                            << "The byte count in line 0 of the HEX file does not match the record";
        QTest::newRow("unknown type") << "cust0001.hex" << good + hexRecord(0, 6, {})
                                      << "Line 1 of the HEX file holds a record of unknown type";
        QTest::newRow("record after the end") << "cust0001.hex" << kEndRecord + "\n\n" + good
                                              << "Line 2 of the HEX file follows the end-of-file record";
        QTest::newRow("no data") << "cust0001.hex" << kEndRecord + "\n" << "The HEX file holds no data.";
        QTest::newRow("empty file") << "cust0001.hex" << QByteArray() << "The HEX file holds no data.";
        QTest::newRow("cannot be sent: ends at 0xFFFF, D + 1")
            << "cust0001.hex" << hexRecord(0xFFF0, 0, pattern(15)) + "\n" + hexRecord(0xFFFF, 0, "a")
            << "The extension lies outside the valid address range 0x1000 to 0x1FFF.";
        const QString wrongName = "The file name holds no valid extension number (characters 5 to 8).";
        QTest::newRow("name not hexadecimal") << "custXY01.hex" << good << wrongName;
        QTest::newRow("name too short") << "cust" << good << wrongName;
        QTest::newRow("name with a dot early") << "cust1.hex" << good << wrongName;
    }
    void refusedFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        ScriptedPrompts prompts;
        Reader r;
        // A good load first: a failed load afterwards must not leave the old data to write.
        QVERIFY(r.writer.LoadHexFile(writeBytes(m_dir.filePath("cust0002.hex"), hexText(0x1000, pattern(32)))));
        QVERIFY(r.view.writeEnabled());
        QVERIFY(!r.writer.LoadHexFile(writeBytes(m_dir.filePath(name), text)));
        QCOMPARE(r.view.lines.last(), message);
        QVERIFY(!r.writer.Loaded());
        QVERIFY(!r.view.writeEnabled());
        QCOMPARE(r.writer.fFlashMem, QByteArray(0x10000, char(0xFF)));
        QVERIFY(!r.writer.doWrite(true)); // nothing to write: no error, nothing sent
        QVERIFY(prompts.records.isEmpty());
    }

    // Hostile address arithmetic: bases and offsets chosen so that a 32-bit sum wraps round
    // into the buffer or lands far outside it. Each is refused with its line, and the bytes
    // of the 64 KiB space stay untouched (under the sanitizers a stray write would abort).
    void hostileAddresses_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        const QByteArray ab("\xAB", 1);
        // The reported crash, byte for byte.
        QTest::newRow("linear 0xFFFF, one byte at 0xFFFF") << QByteArray(":02000004FFFFFC\n:01FFFF00AB56\n") << 1;
        QTest::newRow("linear 0xFFFF, 255 bytes at 0xFFFF")
            << hexRecord(0, 4, "\xFF\xFF") + "\n" + hexRecord(0xFFFF, 0, pattern(255)) << 1;
        QTest::newRow("linear 0xFFFF, wraps to 0x1000")
            << hexRecord(0, 4, "\xFF\xFF") + "\n" + hexRecord(0x1000, 0, ab) << 1;
        QTest::newRow("linear 0x0001 at 0") << hexRecord(0, 4, QByteArray("\x00\x01", 2)) + "\n" + hexRecord(0, 0, ab) << 1;
        QTest::newRow("segment 0xFFFF at 0xFFFF")
            << hexRecord(0x1000, 0, ab) + "\n" + hexRecord(0, 2, "\xFF\xFF") + "\n" + hexRecord(0xFFFF, 0, ab) << 2;
        QTest::newRow("segment 0x0FFF, record across 0x10000")
            << hexRecord(0, 2, QByteArray("\x0F\xFF", 2)) + "\n\n" + hexRecord(0x000F, 0, pattern(2)) << 2;
        QTest::newRow("255 bytes from 0xFF02") << hexRecord(0xFF02, 0, pattern(255)) << 0;
    }
    void hostileAddresses()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        ScriptedPrompts prompts;
        Reader r;
        QVERIFY(!r.writer.LoadHexFile(writeBytes(m_dir.filePath("cust0001.hex"), text)));
        QCOMPARE(r.view.lines.last(), QString("The data in line %1 of the HEX file lie beyond address 0xFFFF").arg(line));
        QVERIFY(!r.writer.Loaded());
        QCOMPARE(r.writer.fFlashMem, QByteArray(0x10000, char(0xFF)));
    }

    // The last byte of the address space is still storable, also through a base record.
    void lastAddress_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("plain") << hexRecord(0xFFFF, 0, "\x5A");
        QTest::newRow("segment 0x0FFF, offset 0x000F") << hexRecord(0, 2, QByteArray("\x0F\xFF", 2)) + "\n"
                                                           + hexRecord(0x000F, 0, "\x5A");
    }
    void lastAddress()
    {
        QFETCH(QByteArray, text);
        ScriptedPrompts prompts;
        Reader r;
        // The data end at 0x10000: D + 1 cannot be sent, so the file is refused as a whole,
        // but only after the byte was read into its place.
        r.writer.LoadHexFile(writeBytes(m_dir.filePath("cust0001.hex"), text));
        QCOMPARE(r.view.lines.last(), QString("The extension lies outside the valid address range 0x1000 to 0x1FFF."));
        QVERIFY(!r.view.lines.join('|').contains("beyond address"));
    }

    void unreadableFiles()
    {
        Reader r;
        const QString missing = m_dir.filePath("cust0001-missing.hex");
        QVERIFY(!r.writer.LoadHexFile(missing));
        QCOMPARE(r.view.lines, QStringList{QString("The HEX file \"%1\" cannot be read.").arg(missing)});
        QVERIFY(!r.writer.LoadHexFile(m_dir.path()));
        QCOMPARE(r.view.lines.last(), QString("The HEX file \"%1\" cannot be read.").arg(m_dir.path()));
        QFile big(m_dir.filePath("cust0001-big.hex"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(TExtensionWriter::kMaxFileSize + 1));
        big.close();
        QVERIFY(!r.writer.LoadHexFile(big.fileName()));
        QCOMPARE(r.view.lines.last(), QString("The HEX file \"%1\" is too large for an extension.").arg(big.fileName()));
    }

    void extensionNumbers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("upper case") << "cust0A01.hex" << 0x0A01;
        QTest::newRow("lower case, longer name") << "CUST0a01_v2.hex" << 0x0A01;
        QTest::newRow("directory ignored") << "ab12cd34/cust0002.hex" << 2;
        QTest::newRow("short name") << "cust12" << 0x12;
        QTest::newRow("no digits") << "cust" << -1;
        QTest::newRow("not hexadecimal") << "cust0G01.hex" << -1;
    }
    void extensionNumbers()
    {
        QFETCH(QString, name);
        const auto n = TExtensionWriter::ExtensionNumberFromFileName(name);
        QTEST(n ? int(*n) : -1, "number");
    }

    // The warning follows what the device accepts: the start inside the area and the L bytes
    // not past its end. Loading goes on after it.
    void validRange_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("warned");
        QTest::newRow("below the area") << 0x0F80 << 256 << true;
        QTest::newRow("ends at 0x1FFF, D multiple of 128") << 0x1F80 << 128 << false;
        QTest::newRow("ends at 0x1FFF, D + 1 past the area") << 0x1F81 << 127 << true;
        QTest::newRow("ends at 0x1FFE, D + 1 inside") << 0x1F80 << 127 << false;
        QTest::newRow("above the area") << 0x2000 << 16 << true;
    }
    void validRange()
    {
        QFETCH(int, address);
        QFETCH(int, size);
        QFETCH(bool, warned);
        ScriptedPrompts prompts;
        Reader r;
        QVERIFY(r.writer.LoadHexFile(writeBytes(m_dir.filePath("cust0001.hex"), hexText(uint16_t(address), pattern(size)))));
        QCOMPARE(prompts.records.size(), warned ? 1 : 0);
        if (warned) {
            QCOMPARE(prompts.records[0].text, QString("The extension lies outside the valid address range 0x1000 to 0x1FFF."));
            QCOMPARE(int(prompts.records[0].icon), int(PromptIcon::Warning));
        }
        QVERIFY(r.view.writeEnabled());
    }

    void writeNeedsAnOpenPort()
    {
        Reader r;
        QVERIFY(r.writer.LoadHexFile(writeBytes(m_dir.filePath("cust0001.hex"), hexText(0x1000, pattern(16)))));
        QCOMPARE(errorOf([&] { r.writer.doWrite(true); }), QString("The serial port is not open"));
        QCOMPARE(r.view.closeStates.last(), true);
    }
};

QTEST_GUILESS_MAIN(TestHexReader)
#include "TestHexReader.moc"

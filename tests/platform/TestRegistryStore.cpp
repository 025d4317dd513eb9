#include "platform/RegistryStore.h"

#include "TinyDisk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

using ValueType = RegistryStore::ValueType;

namespace {

const QString kKey = QStringLiteral("\\software\\Kellerbrand\\Torvane\\Serial");
const QString kTorvane = QStringLiteral("\\software\\Kellerbrand\\Torvane");

const QByteArray kHeader = "Windows Registry Editor Version 5.00\n\n";
const QByteArray kKeyLine = "[HKEY_CURRENT_USER\\software\\Kellerbrand\\Torvane]\n";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file as the registry editor of the other platform saves it: UTF-16LE with its mark.
QByteArray wideFile(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

QString peerPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("platform_test_peer"));
}

} // namespace

class TestRegistryStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path() const { return m_dir->filePath(QStringLiteral("registry.reg")); }
    QByteArray fileBytes() const { return readAll(path()); }
    void putFile(const QByteArray &bytes)
    {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void strings_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line"); // how the value stands in the file (its start)
        QTest::newRow("empty") << QString() << QByteArray("\"Name\"=\"\"\n");
        QTest::newRow("plain") << QStringLiteral("COM3") << QByteArray("\"Name\"=\"COM3\"\n");
        QTest::newRow("quotes and backslashes")
            << QStringLiteral("C:\\Temp\\\"x\"\\") << QByteArray("\"Name\"=\"C:\\\\Temp\\\\\\\"x\\\"\\\\\"\n");
        QTest::newRow("unicode") << QStringLiteral("Gr\u00fc\u00dfe \u20ac \u65e5\u672c \U0001F600")
                                 << QStringLiteral("\"Name\"=\"Gr\u00fc\u00dfe \u20ac \u65e5\u672c \U0001F600\"\n").toUtf8();
        QTest::newRow("line breaks") << QStringLiteral("a\r\nb\nc\n") << QByteArray("\"Name\"=hex(1):61,00,0d,00,0a,00,62,00");
        QTest::newRow("unpaired surrogate") << (QString(QChar(0xD800)) + u'x') << QByteArray("\"Name\"=hex(1):00,d8,78,00");
        QTest::newRow("long with equals and brackets")
            << QString(3000, u'=') + QStringLiteral("[x]\\") << (QByteArray("\"Name\"=\"") + QByteArray(3000, '='));
    }
    void strings()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        RegistryStore store(path());
        QVERIFY2(store.writeString(kKey, QStringLiteral("Name"), value), qPrintable(store.lastError()));
        QVERIFY2(fileBytes().contains("]\n" + line), fileBytes().left(300).constData());
        RegistryStore fresh(path());
        QCOMPARE(fresh.valueType(kKey, QStringLiteral("Name")), ValueType::String);
        QCOMPARE(fresh.readString(kKey, QStringLiteral("Name")), std::optional<QString>(value));
        QVERIFY(fresh.lastError().isEmpty());
    }

    void dwords_data()
    {
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("0") << quint32(0) << QByteArray("\"Name\"=dword:00000000\n");
        QTest::newRow("1") << quint32(1) << QByteArray("\"Name\"=dword:00000001\n");
        QTest::newRow("sign bit") << quint32(0x80000000u) << QByteArray("\"Name\"=dword:80000000\n");
        QTest::newRow("max") << quint32(0xFFFFFFFFu) << QByteArray("\"Name\"=dword:ffffffff\n");
    }
    void dwords()
    {
        QFETCH(quint32, value);
        QFETCH(QByteArray, line);
        QVERIFY(RegistryStore(path()).writeDWord(kKey, QStringLiteral("Name"), value));
        QVERIFY(fileBytes().contains("]\n" + line));
        QCOMPARE(RegistryStore(path()).valueType(kKey, QStringLiteral("Name")), ValueType::DWord);
        QCOMPARE(RegistryStore(path()).readDWord(kKey, QStringLiteral("Name")), std::optional<quint32>(value));
    }

    void binaries_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("line");
        QByteArray all;
        for (int i = 0; i < 3000; ++i)
            all.append(char(i * 7));
        QTest::newRow("empty") << QByteArray() << QByteArray("\"Name\"=hex:\n");
        QTest::newRow("two bytes") << QByteArray("\x01\x02") << QByteArray("\"Name\"=hex:01,02\n");
        QTest::newRow("nul and ff") << QByteArray("\x00\xff", 2) << QByteArray("\"Name\"=hex:00,ff\n");
        QTest::newRow("3000 bytes, wrapped") << all << QByteArray("\"Name\"=hex:00,07,0e,15,");
    }
    void binaries()
    {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, line);
        QVERIFY(RegistryStore(path()).writeBinary(kKey, QStringLiteral("Name"), value));
        const QByteArray bytes = fileBytes();
        QVERIFY(bytes.contains("]\n" + line));
        for (const QByteArray &physical : bytes.split('\n'))
            QVERIFY2(physical.size() <= 80, physical.constData()); // wrapped as the registry editor does
        QCOMPARE(RegistryStore(path()).valueType(kKey, QStringLiteral("Name")), ValueType::Binary);
        QCOMPARE(RegistryStore(path()).readBinary(kKey, QStringLiteral("Name")), std::optional<QByteArray>(value));
    }

    void typesStayApart()
    {
        RegistryStore store(path());
        QVERIFY(store.writeDWord(kKey, QStringLiteral("Dword"), 1));
        QVERIFY(store.writeString(kKey, QStringLiteral("Text"), QStringLiteral("1")));
        QVERIFY(store.writeBinary(kKey, QStringLiteral("Bytes"), QByteArray("\x01")));
        QCOMPARE(store.valueType(kKey, QStringLiteral("Dword")), ValueType::DWord);
        QCOMPARE(store.valueType(kKey, QStringLiteral("Text")), ValueType::String);
        QCOMPARE(store.valueType(kKey, QStringLiteral("Bytes")), ValueType::Binary);
        QCOMPARE(store.valueType(kKey, QStringLiteral("Missing")), ValueType::None);
        QVERIFY(!store.readString(kKey, QStringLiteral("Dword")));
        QVERIFY(!store.readBinary(kKey, QStringLiteral("Dword")));
        QVERIFY(!store.readDWord(kKey, QStringLiteral("Text")));
        QVERIFY(!store.readDWord(kKey, QStringLiteral("Bytes")));
        QVERIFY(!store.readDWord(kKey, QStringLiteral("Missing")));

        // Writing another type replaces the value, as the registry does (an older layout
        // kept a check box as the string "1"; the settings rewrite it as a number).
        QVERIFY(store.writeDWord(kKey, QStringLiteral("Text"), 0));
        QCOMPARE(store.valueType(kKey, QStringLiteral("Text")), ValueType::DWord);
        QCOMPARE(store.readDWord(kKey, QStringLiteral("Text")), std::optional<quint32>(0));
        QCOMPARE(store.valueNames(kKey), QStringList({"Dword", "Text", "Bytes"}));
    }

    void namesIgnoreLetterCase()
    {
        RegistryStore store(path());
        QVERIFY(store.writeString(kKey, QStringLiteral("PortNumber"), QStringLiteral("COM3")));
        QCOMPARE(store.readString(QStringLiteral("\\SOFTWARE\\kellerbrand\\TORVANE\\serial"), QStringLiteral("portnumber")),
                 std::optional<QString>(QStringLiteral("COM3")));
        QVERIFY(store.valueExists(QStringLiteral("SOFTWARE\\KELLERBRAND\\TORVANE\\SERIAL\\"), QStringLiteral("PORTNUMBER")));

        // Another spelling changes the value, not the stored names.
        QVERIFY(store.writeString(QStringLiteral("\\SOFTWARE\\KELLERBRAND\\Torvane\\SERIAL"), QStringLiteral("PORTNUMBER"),
                                  QStringLiteral("COM4")));
        QVERIFY(store.writeDWord(QStringLiteral("\\SOFTWARE\\Kellerbrand\\TORVANE\\Options"), QStringLiteral("Check"), 1));
        QCOMPARE(store.valueNames(kKey), QStringList({"PortNumber"}));
        QCOMPARE(store.subKeys(QStringLiteral("\\Software\\Kellerbrand\\Torvane")), QStringList({"Options", "Serial"}));
        const QByteArray bytes = fileBytes();
        QVERIFY(bytes.contains("[HKEY_CURRENT_USER\\software\\Kellerbrand\\Torvane\\Serial]\n\"PortNumber\"=\"COM4\"\n"));
        QVERIFY(bytes.contains("[HKEY_CURRENT_USER\\software\\Kellerbrand\\Torvane\\Options]\n"));
        QVERIFY(!bytes.contains("PORTNUMBER") && !bytes.contains("SOFTWARE") && !bytes.contains("TORVANE"));
    }

    void keysAndDeletion()
    {
        RegistryStore store(path());
        QVERIFY(!store.keyExists(kTorvane));
        QVERIFY(!store.readString(kKey, QStringLiteral("x")));
        QVERIFY(!QFile::exists(path())); // reads never create the file
        QVERIFY(store.lastError().isEmpty());

        QVERIFY(store.createKey(kTorvane + QStringLiteral("\\Empty")));
        QVERIFY(store.createKey(kTorvane + QStringLiteral("\\Empty"))); // already there
        QVERIFY(store.writeString(kKey, QStringLiteral("B"), QStringLiteral("b")));
        QVERIFY(store.writeString(kKey, QStringLiteral("A"), QStringLiteral("a")));
        QVERIFY(store.writeString(kKey + QStringLiteral("\\Deep\\Deeper"), QStringLiteral("C"), QStringLiteral("c")));
        QVERIFY(store.writeString(kTorvane, QStringLiteral("UserLang"), QStringLiteral("deutsch")));
        QVERIFY(store.keyExists(QStringLiteral("\\software")));
        QVERIFY(store.keyExists(QString())); // the root
        QVERIFY(store.keyExists(kKey + QStringLiteral("\\Deep")));
        QVERIFY(!store.keyExists(kKey + QStringLiteral("\\Dee")));
        QCOMPARE(store.subKeys(kTorvane), QStringList({"Empty", "Serial"}));
        QCOMPARE(store.subKeys(kKey), QStringList({"Deep"}));
        QCOMPARE(store.valueNames(kKey), QStringList({"B", "A"})); // in the order written
        QVERIFY(store.valueNames(kTorvane + QStringLiteral("\\Empty")).isEmpty());

        QVERIFY(store.deleteValue(kKey, QStringLiteral("b")));
        QVERIFY(!store.valueExists(kKey, QStringLiteral("B")));
        QCOMPARE(store.readString(kKey, QStringLiteral("A")), std::optional<QString>(QStringLiteral("a")));
        const QByteArray before = fileBytes();
        QVERIFY(!store.deleteValue(kKey, QStringLiteral("B")));
        QVERIFY(!store.lastError().isEmpty());
        QVERIFY(!store.deleteValue(kTorvane + QStringLiteral("\\Nowhere"), QStringLiteral("A")));
        QCOMPARE(fileBytes(), before);

        QVERIFY(store.deleteKey(QStringLiteral("\\SOFTWARE\\kellerbrand\\torvane\\serial")));
        QVERIFY(!store.keyExists(kKey));
        QVERIFY(!store.keyExists(kKey + QStringLiteral("\\Deep\\Deeper")));
        QVERIFY(!store.valueExists(kKey + QStringLiteral("\\Deep\\Deeper"), QStringLiteral("C")));
        QVERIFY(store.keyExists(kTorvane + QStringLiteral("\\Empty")));
        QCOMPARE(store.readString(kTorvane, QStringLiteral("UserLang")), std::optional<QString>(QStringLiteral("deutsch")));
        QVERIFY(!store.deleteKey(kKey));
        QVERIFY(!store.deleteKey(QStringLiteral("\\")));
        QVERIFY(store.keyExists(kTorvane));
    }

    void batchAppliesInOrderAllOrNothing()
    {
        RegistryStore store(path());
        QVERIFY(store.writeString(kKey, QStringLiteral("Old"), QStringLiteral("old")));
        QVERIFY(store.writeString(kTorvane + QStringLiteral("\\Gone\\Sub"), QStringLiteral("x"), QStringLiteral("x")));

        RegistryStore::Batch batch;
        for (int i = 0; i < 300; ++i) // the settings dialog's shape: many values at once
            batch.writeString(kKey, QStringLiteral("Grid[0:%1]").arg(i), QString::number(i));
        batch.writeDWord(kKey, QStringLiteral("GridRows"), 300);
        batch.writeBinary(kTorvane, QStringLiteral("WindowState"), QByteArray(1, '\2'));
        batch.writeString(kKey, QStringLiteral("Temp"), QStringLiteral("t"));
        batch.deleteValue(kKey, QStringLiteral("TEMP"));
        batch.deleteValue(kKey, QStringLiteral("NeverThere"));
        batch.deleteKey(kTorvane + QStringLiteral("\\gone"));
        batch.writeString(kTorvane + QStringLiteral("\\Gone"), QStringLiteral("Back"), QStringLiteral("b"));
        batch.createKey(kTorvane + QStringLiteral("\\Fresh"));
        QVERIFY2(store.apply(batch), qPrintable(store.lastError()));

        RegistryStore fresh(path());
        QCOMPARE(fresh.valueNames(kKey).size(), 1 + 300 + 1);
        QCOMPARE(fresh.readString(kKey, QStringLiteral("grid[0:299]")), std::optional<QString>(QStringLiteral("299")));
        QCOMPARE(fresh.readDWord(kKey, QStringLiteral("GridRows")), std::optional<quint32>(300));
        QCOMPARE(fresh.readBinary(kTorvane, QStringLiteral("WindowState")), std::optional<QByteArray>(QByteArray(1, '\2')));
        QVERIFY(!fresh.valueExists(kKey, QStringLiteral("Temp")));
        QVERIFY(!fresh.keyExists(kTorvane + QStringLiteral("\\Gone\\Sub")));
        QCOMPARE(fresh.valueNames(kTorvane + QStringLiteral("\\Gone")), QStringList({"Back"}));
        QVERIFY(fresh.keyExists(kTorvane + QStringLiteral("\\Fresh")));

        // One unacceptable change and nothing is written.
        const QByteArray before = fileBytes();
        RegistryStore::Batch bad;
        bad.writeString(kKey, QStringLiteral("Fine"), QStringLiteral("f"));
        bad.writeString(kKey, QStringLiteral("bad\nname"), QStringLiteral("x"));
        QVERIFY(!store.apply(bad));
        QVERIFY(!store.lastError().isEmpty());
        RegistryStore::Batch root;
        root.deleteKey(QStringLiteral("\\"));
        QVERIFY(!store.apply(root));
        QCOMPARE(fileBytes(), before);
    }

    void readsAnExportOfTheRegistryEditor()
    {
        // UTF-16 with byte-order mark and CRLF, as the editor of the other platform saves it.
        const QString text = QStringLiteral(
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "; exported by hand\r\n"
            "[HKEY_CURRENT_USER\\Software\\Kellerbrand\\Torvane\\Serial]\r\n"
            "@=\"default\"\r\n"
            "\"Path\"=\"C:\\\\Daten\\\\gw.tcf\"\r\n"
            "\"WindowPosSize\"=hex:0a,00,00,00,14,00,00,00,\\\r\n"
            "  1e,00,00,00,28,00,00,00\r\n"
            "\"Flag\"=hex(4):01,02,00,00\r\n"
            "\"Wide\"=hex(1):48,00,69,00,0a,00,00,00\r\n"
            "\r\n"
            "[hkey_current_user\\SOFTWARE\\KELLERBRAND\\TORVANE\\serial]\r\n"
            "\"Later\"=dword:0000000A\r\n"
            "\"path\"=\"second wins\"\r\n");
        putFile(wideFile(text));

        RegistryStore store(path());
        QCOMPARE(store.readString(kKey, QString()), std::optional<QString>(QStringLiteral("default")));
        QCOMPARE(store.readString(kKey, QStringLiteral("Path")), std::optional<QString>(QStringLiteral("second wins")));
        QCOMPARE(store.readBinary(kKey, QStringLiteral("WindowPosSize")),
                 std::optional<QByteArray>(QByteArray("\x0a\0\0\0\x14\0\0\0\x1e\0\0\0\x28\0\0\0", 16)));
        QCOMPARE(store.readDWord(kKey, QStringLiteral("Flag")), std::optional<quint32>(0x201));
        QCOMPARE(store.readString(kKey, QStringLiteral("Wide")), std::optional<QString>(QStringLiteral("Hi\n")));
        QCOMPARE(store.readDWord(kKey, QStringLiteral("later")), std::optional<quint32>(10));
        QCOMPARE(store.valueNames(kKey), QStringList({"", "Path", "WindowPosSize", "Flag", "Wide", "Later"}));
        QVERIFY(store.keyExists(QStringLiteral("\\Software\\Kellerbrand"))); // implied by its subkey
        QVERIFY2(store.lastError().isEmpty(), qPrintable(store.lastError()));
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("readable"); // the value names still read in kTorvane

        const QByteArray before = kHeader + kKeyLine + "\"Before\"=\"ok\"\n";
        const QByteArray after = "\n\"After\"=dword:00000002\n";
        const QStringList both{"Before", "After"};
        QRandomGenerator random(4711);
        QByteArray garbage;
        for (int i = 0; i < 300; ++i)
            garbage.append(char(random.bounded(256)));
        garbage.replace('\n', '\xff');

        QTest::newRow("binary garbage line") << before + QByteArray("\x00\xff\xfe\x80garbage", 11) + garbage + after << both;
        QTest::newRow("binary garbage only") << garbage + "\n" + garbage << QStringList();
        QTest::newRow("cut-off string at the end") << before + "\"Cut\"=\"abc" << QStringList{"Before"};
        QTest::newRow("cut-off dword") << before + "\"Cut\"=dword:0000" + after << both;
        QTest::newRow("dword too long") << before + "\"Cut\"=dword:000000001" + after << both;
        QTest::newRow("bad hex digit") << before + "\"Bad\"=hex:01,zz,03" + after << both;
        QTest::newRow("hex byte cut in half") << before + "\"Bad\"=hex:01,0" << QStringList{"Before"};
        QTest::newRow("hex continuation cut off") << before + "\"Bad\"=hex:01,02,\\\n" << QStringList{"Before"};
        QTest::newRow("hex continuation into a value") << before + "\"Bad\"=hex:01,02,\\" + after << QStringList{"Before", "After"};
        QTest::newRow("odd utf-16 string") << before + "\"Bad\"=hex(1):41,00,42" + after << both;
        QTest::newRow("unsupported type") << before + "\"Q\"=hex(b):01,00,00,00,00,00,00,00" + after << both;
        QTest::newRow("no equals sign") << before + "\"Name\" \"x\"" + after << both;
        QTest::newRow("huge line") << before + QByteArray(9 * 1024 * 1024, 'A') + after << both;
        QTest::newRow("value before any key") << "\"Orphan\"=\"x\"\n" + before.mid(kHeader.size()) + after << both;
        QTest::newRow("key line cut off")
            << before + "[HKEY_CURRENT_USER\\software\\Kel\n\"Lost\"=\"x\"\n" + kKeyLine + after << both;
        // A NUL ends a stored name or string: such a line is not taken, in either encoding.
        const QString wideBefore = QString::fromUtf8(before);
        const QString wideAfter = QString::fromUtf8(after);
        QTest::newRow("utf-16 value name with nul")
            << wideFile(wideBefore + QStringView(u"\"Lo\0st\"=\"x\"", 11).toString() + wideAfter) << both;
        QTest::newRow("utf-16 key name with nul")
            << wideFile(wideBefore + QStringView(u"[HKEY_CURRENT_USER\\so\0ft]\n\"Lost\"=\"x\"\n", 34).toString()
                        + QString::fromUtf8(kKeyLine) + wideAfter)
            << both;
        QTest::newRow("utf-16 string with nul")
            << wideFile(wideBefore + QStringView(u"\"Lost\"=\"a\0b\"", 13).toString() + wideAfter) << both;
        QTest::newRow("hex(1) string with nul inside") << before + "\"Lost\"=hex(1):61,00,00,00,62,00,00,00" + after << both;
        QTest::newRow("value name with a control character") << before + "\"Lo\x01st\"=\"x\"" + after << both;
        QTest::newRow("key of another root")
            << before + "[HKEY_LOCAL_MACHINE\\software\\Kellerbrand\\Torvane]\n\"Lost\"=\"x\"\n" + kKeyLine + after << both;
    }
    void damagedFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, readable);
        putFile(bytes);

        // Logged once, however often the damaged file is read.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Settings store: registry.reg")));
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^Settings store:")));
        RegistryStore store(path());
        QCOMPARE(store.valueNames(kTorvane), readable);
        QVERIFY(!store.lastError().isEmpty());
        QVERIFY(store.lastError().startsWith(QStringLiteral("registry.reg")));
        if (readable.contains(QStringLiteral("Before")))
            QCOMPARE(store.readString(kTorvane, QStringLiteral("Before")), std::optional<QString>(QStringLiteral("ok")));
        if (readable.contains(QStringLiteral("After")))
            QCOMPARE(store.readDWord(kTorvane, QStringLiteral("After")), std::optional<quint32>(2));
        QVERIFY(!store.valueExists(kTorvane, QStringLiteral("Lost")));
        QVERIFY(!store.valueExists(QStringLiteral("\\software\\Kel"), QStringLiteral("Lost")));
        store.subKeys(QString());
        store.keyExists(kKey);
        QVERIFY(fileBytes() == bytes); // reading never rewrites the file
        QVERIFY(QDir(m_dir->path()).entryList({"*.damaged*"}).isEmpty());
    }

    void writeToDamagedFileKeepsTheDamagedCopy()
    {
        const QByteArray bytes = kHeader + kKeyLine + "\"Before\"=\"ok\"\n\"Bad\"=hex:01,zz\n\"After\"=dword:00000002\n";
        putFile(bytes);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("line 5: bad hex data")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("kept as registry.reg.damaged-")));
        RegistryStore store(path());
        QVERIFY(store.writeString(kTorvane, QStringLiteral("New"), QStringLiteral("n")));
        const QStringList copies = QDir(m_dir->path()).entryList({"registry.reg.damaged-*"});
        QCOMPARE(copies.size(), 1);
        QCOMPARE(readAll(m_dir->filePath(copies.first())), bytes);

        RegistryStore fresh(path());
        QCOMPARE(fresh.valueNames(kTorvane), QStringList({"Before", "After", "New"}));
        QVERIFY2(fresh.lastError().isEmpty(), qPrintable(fresh.lastError())); // the rewritten file is sound
    }

    // The file of the other platform's editor with a NUL in a value name: the name is not
    // taken, and a write gives a file that reads back without damage.
    void nulOfAWideFileIsNotWrittenBack()
    {
        const QByteArray bytes = wideFile(QString::fromUtf8(kHeader + kKeyLine + "\"Keep\"=\"me\"\r\n")
                                          + QStringView(u"\"Bad\0Name\"=dword:00000001\r\n", 26).toString());
        putFile(bytes);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("line 5: not text")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("kept as registry.reg.damaged-")));
        RegistryStore store(path());
        QCOMPARE(store.valueNames(kTorvane), QStringList{"Keep"});
        QVERIFY(store.writeDWord(kTorvane, QStringLiteral("New"), 7));
        QVERIFY(!fileBytes().contains('\0'));
        RegistryStore fresh(path());
        QCOMPARE(fresh.valueNames(kTorvane), QStringList({"Keep", "New"}));
        QVERIFY2(fresh.lastError().isEmpty(), qPrintable(fresh.lastError()));
    }

    // Many keys and many values in one key read in one pass; the time is printed, not judged.
    void readsALargeFile()
    {
        constexpr int kKeys = 40000;
        constexpr int kValues = 20000;
        QByteArray bytes = kHeader;
        for (int k = 0; k < kKeys; ++k)
            bytes += "\n[HKEY_CURRENT_USER\\software\\Kellerbrand\\Torvane\\Port" + QByteArray::number(k) + "]\n\"Index\"=dword:"
                     + QByteArray::number(k, 16).rightJustified(8, '0') + '\n';
        bytes += '\n' + kKeyLine;
        for (int v = 0; v < kValues; ++v)
            bytes += "\"Name" + QByteArray::number(v) + "\"=\"" + QByteArray::number(v) + "\"\n";
        putFile(bytes);

        QElapsedTimer timer;
        timer.start();
        RegistryStore store(path());
        const QStringList subKeys = store.subKeys(kTorvane);
        const qint64 readMs = timer.restart();
        QVERIFY2(store.lastError().isEmpty(), qPrintable(store.lastError()));
        QCOMPARE(subKeys.size(), kKeys);
        QCOMPARE(store.readDWord(kTorvane + QStringLiteral("\\port39999"), QStringLiteral("index")), std::optional<quint32>(39999));
        QCOMPARE(store.valueNames(kTorvane).size(), kValues);
        QVERIFY(store.writeString(kTorvane + QStringLiteral("\\Port12345"), QStringLiteral("Extra"), QStringLiteral("x")));
        const qint64 writeMs = timer.elapsed();
        QCOMPARE(store.readString(kTorvane, QStringLiteral("name19999")), std::optional<QString>(QStringLiteral("19999")));
        QCOMPARE(store.subKeys(kTorvane).size(), kKeys);
        qInfo("%d keys and %d values: read in %lld ms; two reads and a write in %lld ms", kKeys, kValues, readMs, writeMs);
    }

    void refusesWhatItCouldNotWrite()
    {
        RegistryStore store(path());
        QVERIFY(!store.writeString(kTorvane + QStringLiteral("\\a\nb"), QStringLiteral("x"), QStringLiteral("y")));
        QVERIFY(!store.writeString(kTorvane, QStringLiteral("line\nbreak"), QStringLiteral("y")));
        QVERIFY(!store.writeDWord(kTorvane, QString(QChar(0xDC00)), 1));
        QVERIFY(!store.writeString(kTorvane + u'\\' + QString(256, u'k'), QStringLiteral("x"), QStringLiteral("y")));
        QVERIFY(!store.writeString(kTorvane, QStringLiteral("x"), QString(600 * 1024, u'y')));
        QVERIFY(!store.writeBinary(kTorvane, QStringLiteral("x"), QByteArray(1024 * 1024 + 1, 'y')));
        const QString nul(QChar(0));
        QVERIFY(!store.writeString(kTorvane, QStringLiteral("x") + nul, QStringLiteral("y")));
        QVERIFY(store.lastError().contains(QStringLiteral("NUL")));
        QVERIFY(!store.writeString(kTorvane, QStringLiteral("x"), QStringLiteral("a") + nul + u'b'));
        QVERIFY(store.lastError().contains(QStringLiteral("NUL")));
        QVERIFY(!store.writeDWord(kTorvane + QStringLiteral("\\k") + nul, QStringLiteral("x"), 1));
        QVERIFY(!store.createKey(kTorvane + QStringLiteral("\\k") + nul));
        RegistryStore::Batch batch;
        batch.writeDWord(kTorvane, QStringLiteral("fine"), 1);
        batch.writeString(kTorvane, QStringLiteral("x"), nul);
        QVERIFY(!store.apply(batch));
        QVERIFY(!store.lastError().isEmpty());
        QVERIFY(!QFile::exists(path()));

        // The largest values that are accepted also read back.
        const QString bigText = QString(512 * 1024 - 1, u'\n') + u'"';
        QVERIFY(store.writeString(kTorvane, QStringLiteral("Big"), bigText));
        QVERIFY(store.writeBinary(kTorvane, QStringLiteral("Bytes"), QByteArray(1024 * 1024, '\xab')));
        RegistryStore fresh(path());
        QCOMPARE(fresh.readString(kTorvane, QStringLiteral("Big")), std::optional<QString>(bigText));
        QCOMPARE(fresh.readBinary(kTorvane, QStringLiteral("Bytes"))->size(), qsizetype(1024 * 1024));
        QVERIFY(fresh.lastError().isEmpty());

        // A store whose folder cannot exist.
        QFile blocker(m_dir->filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        RegistryStore blocked(m_dir->filePath(QStringLiteral("file/registry.reg")));
        QVERIFY(!blocked.writeDWord(kTorvane, QStringLiteral("x"), 1));
        QVERIFY(!blocked.lastError().isEmpty());
    }

    // A write that does not fit on the disk leaves the settings as they were and says so;
    // the lock is released, so the next write after space was freed goes through.
    void fullDiskKeepsTheSettings()
    {
        TinyDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString file = disk.filePath(QStringLiteral("registry.reg"));
        RegistryStore store(file);
        RegistryStore::Batch batch;
        for (int i = 0; i < 200; ++i)
            batch.writeString(kTorvane, QStringLiteral("Value%1").arg(i), QString(40, u'v'));
        QVERIFY2(store.apply(batch), qPrintable(store.lastError())); // more than 4 KiB
        const QByteArray before = readAll(file);
        QVERIFY(before.size() > 8192);
        QVERIFY(disk.fill(4096));

        QVERIFY(!store.writeString(kTorvane, QStringLiteral("New"), QString(20000, u'n')));
        QVERIFY2(store.lastError().contains(file), qPrintable(store.lastError()));
        QCOMPARE(readAll(file), before);
        QCOMPARE(RegistryStore(file).valueNames(kTorvane).size(), 200);
        QVERIFY(!QFile::exists(file + QStringLiteral(".lock")));
    }

    void unreadableFileIsNotReplaced()
    {
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        putFile(kHeader + kKeyLine + "\"Keep\"=\"me\"\n");
        QFile::setPermissions(path(), QFileDevice::WriteOwner);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot be read")));
        RegistryStore store(path());
        QVERIFY(!store.writeString(kTorvane, QStringLiteral("New"), QStringLiteral("n")));
        QVERIFY(store.lastError().contains(QStringLiteral("cannot be read")));
        QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(store.valueNames(kTorvane), QStringList({"Keep"}));
    }

    void userFilePath_data()
    {
        QTest::addColumn<QByteArray>("xdgConfigHome");
        QTest::addColumn<QString>("expected");
        const QString home = QDir::homePath() + QStringLiteral("/.config/Kellerbrand/Torvane/registry.reg");
        QTest::newRow("set") << QByteArray("/some/where") << QStringLiteral("/some/where/Kellerbrand/Torvane/registry.reg");
        QTest::newRow("empty") << QByteArray("") << home;
        QTest::newRow("relative is ignored") << QByteArray("rel/dir") << home;
    }
    void userFilePath()
    {
        QFETCH(QByteArray, xdgConfigHome);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", xdgConfigHome);
        const QString actual = RegistryStore::userFilePath();
        const QString viaUser = RegistryStore::user().filePath();
        qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(actual, expected);
        QCOMPARE(viaUser, expected);
    }

    void lockOfAKilledWriterDoesNotBlock()
    {
        QProcess holder;
        holder.start(peerPath(), {QStringLiteral("hold-lock"), path() + QStringLiteral(".lock")});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("locked"));
        holder.kill();
        QVERIFY(holder.waitForFinished());
        QVERIFY(QFile::exists(path() + QStringLiteral(".lock")));

        QElapsedTimer timer;
        timer.start();
        RegistryStore store(path());
        QVERIFY2(store.writeDWord(kTorvane, QStringLiteral("After"), 1), qPrintable(store.lastError()));
        QVERIFY2(timer.elapsed() < 5000, "the lock of a dead writer was waited out instead of taken over");
        QVERIFY(!QFile::exists(path() + QStringLiteral(".lock")));
    }

    void twoWritersLoseNothing()
    {
        // Two running copies each write 200 values, alternating types, into one key.
        constexpr int kCount = 200;
        QProcess a, b;
        for (auto [process, prefix] : {std::pair{&a, "A"}, std::pair{&b, "B"}}) {
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process->start(peerPath(), {QStringLiteral("registry-writer"), path(), QString::fromLatin1(prefix),
                                        QString::number(kCount)});
            QVERIFY(process->waitForStarted());
        }
        // Both get their start signal before either is awaited, so they really race.
        a.write("go\n");
        b.write("go\n");
        QVERIFY(a.waitForBytesWritten() && b.waitForBytesWritten());
        for (QProcess *process : {&a, &b}) {
            QVERIFY(process->waitForFinished(180000));
            QCOMPARE(process->exitStatus(), QProcess::NormalExit);
            QCOMPARE(process->exitCode(), 0);
        }

        RegistryStore store(path());
        const QString key = kTorvane + QStringLiteral("\\Race");
        QCOMPARE(store.valueNames(key).size(), 2 * kCount);
        for (const char *prefix : {"A", "B"}) {
            for (int i = 0; i < kCount; ++i) {
                const QString name = QLatin1String(prefix) + QString::number(i);
                if (i % 2)
                    QCOMPARE(store.readDWord(key, name), std::optional<quint32>(i));
                else
                    QCOMPARE(store.readString(key, name), std::optional<QString>(QStringLiteral("value \"%1\"").arg(i)));
            }
        }
        QVERIFY(store.lastError().isEmpty());
        QCOMPARE(store.subKeys(kTorvane), QStringList({"race"})); // one spelling, the first one written
        QVERIFY(!QFile::exists(path() + QStringLiteral(".lock")));
    }
};

QTEST_GUILESS_MAIN(TestRegistryStore)
#include "TestRegistryStore.moc"

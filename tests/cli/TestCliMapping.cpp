// torvane-cli on the example device with a mapping table: show --mapping, the table's text
// commands through set, and the printout as text and as PDF.

#include "CliRunner.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

namespace {
QString example(const QString &name) { return TestPaths::dataFile("examples/" + name); }
QString tcf() { return example("vantor.tcf"); }
QString langDir() { return TestPaths::binDir() + "/lang"; }

QStringList withDescription(const QString &command, const QStringList &rest)
{
    return QStringList{command, "--tcf", tcf(), "--lang-dir", langDir()} + rest;
}

// The rows that follow the "Map" row of show --mapping, up to the next parameter.
QStringList entryRows(const QString &out)
{
    QStringList rows;
    bool inMap = false;
    for (const QString &line : out.split('\n')) {
        if (line.startsWith("Map\t"))
            inMap = true;
        else if (inMap && line.startsWith('\t'))
            rows << line;
        else
            inMap = false;
    }
    return rows;
}

const QStringList kExampleEntries = {
    "\tCOB-ID Byte Mapping\tDirection=CANopen to Profibus\tCOB-ID=181\tCOB-ID Byte=0\tProfibus Byte=0",
    "\tCOB-ID Byte Mapping\tDirection=CANopen to Profibus\tCOB-ID=181\tCOB-ID Byte=1\tProfibus Byte=1",
    "\tCOB-ID Byte Mapping\tDirection=Profibus to CANopen\tCOB-ID=201\tCOB-ID Byte=0\tProfibus Byte=8",
    "\tNode Guard Mapping\tGuard Byte=Node State\tProfibus Byte=2",
    "\tEmergency Data Mapping\tEmergency Data=Error Register\tProfibus Byte=3",
    "\tDiagnostic Counter\tCounter=1234\tStatus Bits=1010\tReserved=-",
};

// A copy of the example image in dir, cut to `size` bytes when size > 0.
QString copyOfExample(const QTemporaryDir &dir, int size = 0)
{
    QByteArray bytes = readAll(example("gw210.gwc"));
    if (size > 0)
        bytes.truncate(size);
    return writeFile(dir, "map.gwc", bytes);
}
} // namespace

class TestCliMapping : public QObject
{
    Q_OBJECT
private slots:
    void showListsTheEntries()
    {
        const CliResult plain = runCli(withDescription("show", {example("gw210.gwc")}));
        QCOMPARE(plain.exitCode, 0);
        QVERIFY(plain.out.contains("Map\tCOPBMap\tvrAlwaysEdit\t8\tMapping table ...\n"));
        QCOMPARE(entryRows(plain.out), QStringList());

        const CliResult r = runCli(withDescription("show", {"--mapping", example("gw210.gwc")}));
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(entryRows(r.out), kExampleEntries);

        const CliResult json = runCli(withDescription("show", {"--mapping", "--json", example("gw210.gwc")}));
        QCOMPARE(json.exitCode, 0);
        QJsonObject map;
        for (const QJsonValue &row : QJsonDocument::fromJson(json.out.toUtf8()).array())
            if (row["identifier"].toString() == "Map")
                map = row.toObject();
        const QJsonArray entries = map["entries"].toArray();
        QCOMPARE(entries.size(), 6);
        QCOMPARE(entries[2]["caption"].toString(), QString("COB-ID Byte Mapping"));
        QCOMPARE(entries[2]["position"].toInt(), 72);
        QCOMPARE(entries[2]["fields"][1]["caption"].toString(), QString("COB-ID"));
        QCOMPARE(entries[2]["fields"][1]["value"].toString(), QString("201"));
    }

    void setStoresAChangedTable()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath("out.gwc");
        const CliResult r = runCli(withDescription("set", {"-o", out, example("gw210.gwc"), "Map=LOAD",
                                                           "Map=ADD:COB-ID Byte Mapping:1,385,2,4", "Map=STORE"}));
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        const CliResult shown = runCli(withDescription("show", {"--mapping", out}));
        QCOMPARE(shown.exitCode, 0);
        // The entry that cannot be created is not stored; the new one comes last.
        QStringList expected = kExampleEntries.mid(0, 5);
        expected << "\tCOB-ID Byte Mapping\tDirection=Profibus to CANopen\tCOB-ID=385\tCOB-ID Byte=2\tProfibus Byte=4";
        QCOMPARE(entryRows(shown.out), expected);
        const QByteArray bytes = readAll(out);
        QCOMPARE(bytes.size(), 87); // the table ends the configuration: 64 + 22 bytes of records + 0xFF
        QCOMPARE(bytes.right(5), QByteArray::fromHex("01B85204FF"));
        QVERIFY(runCli({"info", out}).out.contains(", ok\n"));

        const CliResult cleared = runCli(withDescription("set", {out, "Map=LOAD", "Map=CLEAR", "Map=STORE"}));
        QCOMPARE(cleared.exitCode, 0);
        QCOMPARE(readAll(out).size(), 65);
    }

    void setMappingFailuresWriteNothing_data()
    {
        QTest::addColumn<int>("cut");
        QTest::addColumn<QStringList>("assignments");
        QTest::addColumn<QString>("message");
        QTest::newRow("store before load") << 0 << QStringList{"Map=STORE"} << "has not been read";
        QTest::newRow("unknown command") << 0 << QStringList{"Map=LOAD", "Map=SORT"} << "\"SORT\" is not supported";
        QTest::newRow("unknown type") << 0 << QStringList{"Map=LOAD", "Map=ADD:Word Mapping:1"} << "\"Word Mapping\"";
        QTest::newRow("type not creatable") << 0 << QStringList{"Map=LOAD", "Map=ADD:Diagnostic Counter:1"}
                                            << "cannot be created";
        QTest::newRow("value out of range") << 0 << QStringList{"Map=LOAD", "Map=ADD:Node Guard Mapping:Node State,244", "Map=STORE"}
                                            << "\"244\" is not a valid value for field \"Profibus Byte\" (0-243)";
        // The record at 68 runs past the end of a 70-byte file.
        QTest::newRow("damaged table") << 70 << QStringList{"Map=LOAD", "Map=STORE"} << "runs past the end";
    }
    void setMappingFailuresWriteNothing()
    {
        QFETCH(int, cut);
        QFETCH(QStringList, assignments);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString copy = copyOfExample(dir, cut);
        const QByteArray before = readAll(copy);
        const CliResult r = runCli(withDescription("set", QStringList{copy} + assignments));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY2(r.err.contains("nothing written"), qPrintable(r.err));
        QCOMPARE(readAll(copy), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"map.gwc"});
    }

    void printText()
    {
        const CliResult r = runCli(withDescription("print", {example("gw210.gwc")}));
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split('\n');
        QVERIFY(lines.size() > 8);
        QVERIFY2(QRegularExpression("^Program version\tV \\S+ \\[TCF 1\\.0\\]$").match(lines[0]).hasMatch(), qPrintable(lines[0]));
        QCOMPARE(lines[1], QString("Description file version\t1.0"));
        QCOMPARE(lines[2], "File name\t" + example("gw210.gwc"));
        QVERIFY(lines[3].startsWith("Date\t") && lines[3].size() > 5);
        QCOMPARE(lines.mid(4), QStringList({"Size\t87 bytes", "", "Parameter\tValue", "Software Revision\tV 1.1",
                                            "Device Code\t2A", "Node Address\t5", "Map",
                                            "\tCOB-ID Byte Mapping", "\t\tDirection\tCOB-ID\tCOB-ID Byte\tProfibus Byte\t",
                                            "\t\tCANopen to Profibus\t181\t0\t0\t",
                                            "\tCOB-ID Byte Mapping", "\t\tDirection\tCOB-ID\tCOB-ID Byte\tProfibus Byte\t",
                                            "\t\tCANopen to Profibus\t181\t1\t1\t",
                                            "\tCOB-ID Byte Mapping", "\t\tDirection\tCOB-ID\tCOB-ID Byte\tProfibus Byte\t",
                                            "\t\tProfibus to CANopen\t201\t0\t8\t",
                                            "\tNode Guard Mapping", "\t\tGuard Byte\tProfibus Byte\t", "\t\tNode State\t2\t",
                                            "\tEmergency Data Mapping", "\t\tEmergency Data\tProfibus Byte\t",
                                            "\t\tError Register\t3\t",
                                            "\tDiagnostic Counter", "\t\tCounter\tStatus Bits\tReserved\t", "\t\t1234\t1010\t-\t",
                                            ""}));

        // The printed set follows the rules, not the grid: vrEdit is printed, vrInvisible not.
        const CliResult other = runCli(withDescription("print", {"--lang", "german", example("gw110.gwc")}));
        QCOMPARE(other.exitCode, 0);
        QVERIFY(other.out.startsWith("Programmversion\tV "));
        QVERIFY(other.out.contains("\nParameter\tWert\n"));
        QVERIFY(other.out.contains("\nPriority\t5\n"));
        QVERIFY(!other.out.contains("IP Address"));
        QVERIFY(!other.out.contains("Service Counter"));
    }

    void printOfADamagedTableFails()
    {
        QTemporaryDir dir;
        const CliResult r = runCli(withDescription("print", {copyOfExample(dir, 70)}));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("runs past the end"), qPrintable(r.err));
        QVERIFY(r.out.contains("\nNode Address\t5\nMap\n")); // the rest is still printed
        QVERIFY(!r.out.contains("COB-ID"));
    }

    void printPdf()
    {
        const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QTemporaryDir dir;
        const QString pdf = dir.filePath("list.pdf");
        // Without a display and without a platform chosen, as on a build server.
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
            env.remove(name);
        p.setProcessEnvironment(env);
        p.start(TestPaths::binDir() + "/torvane-cli", withDescription("print", {"--pdf", pdf, example("gw210.gwc")}));
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
        QVERIFY(readAll(pdf).startsWith("%PDF"));

        QProcess text;
        text.start(pdftotext, {"-layout", pdf, "-"});
        QVERIFY(text.waitForFinished(30000));
        const QStringList lines = QString::fromUtf8(text.readAllStandardOutput()).split('\n');
        QStringList simplified;
        for (const QString &l : lines)
            simplified << l.simplified();
        for (const QString &wanted : QStringList{"Description file version 1.0", "Size 87 bytes", "Parameter Value",
                                      "Software Revision V 1.1", "COB-ID Byte Mapping",
                                      "Direction COB-ID COB-ID Byte Profibus Byte", "Profibus to CANopen 201 0 8",
                                      "Diagnostic Counter", "1234 1010 -"})
            QVERIFY2(simplified.contains(wanted), qPrintable(wanted + " not in:\n" + lines.join('\n')));
        // Columns follow the texts: every value of the heading and of the parameter list
        // starts where the widest label ends, and in a mapping table every value sits under
        // its caption (a long label or caption must not push its value one stop on).
        auto lineWith = [&](const QString &start, int skip = 0) {
            for (const QString &l : lines)
                if (l.trimmed().startsWith(start) && skip-- == 0)
                    return l;
            return QString();
        };
        // (pdftotext lays out the heading and the list as blocks of their own.)
        const int headingColumn = int(lineWith("Program version").indexOf("V "));
        QVERIFY(headingColumn > int(QString("Description file version").size()));
        QCOMPARE(int(lineWith("Description file version").indexOf(" 1.0") + 1), headingColumn);
        QCOMPARE(int(lineWith("Size").indexOf("87 bytes")), headingColumn);
        const int valueColumn = int(lineWith("Parameter").indexOf("Value"));
        QVERIFY(valueColumn > int(QString("Software Revision").size()));
        QCOMPARE(int(lineWith("Software Revision").indexOf("V 1.1")), valueColumn);
        QCOMPARE(int(lineWith("Node Address").indexOf("5")), valueColumn);
        const QString captions = lineWith("Direction", 2), values = lineWith("Profibus to CANopen");
        QCOMPARE(values.indexOf("Profibus to CANopen"), captions.indexOf("Direction"));
        QCOMPARE(values.indexOf("201"), captions.indexOf("COB-ID"));
        QCOMPARE(values.indexOf(" 0 ") + 1, captions.indexOf("COB-ID Byte"));
        QCOMPARE(values.lastIndexOf("8"), captions.indexOf("Profibus Byte"));
        QCOMPARE(lineWith("1234").indexOf("1010"), lineWith("Counter").indexOf("Status Bits"));
        QCOMPARE(lineWith("1234").indexOf("-"), lineWith("Counter").indexOf("Reserved"));
        // Nothing on stderr either: no warning about a missing runtime folder.
        QCOMPARE(p.readAllStandardError(), QByteArray());

        // Bold and italic come out as fonts of their own.
        const QString pdffonts = QStandardPaths::findExecutable("pdffonts");
        if (!pdffonts.isEmpty()) {
            QProcess fonts;
            fonts.start(pdffonts, {pdf});
            QVERIFY(fonts.waitForFinished(30000));
            const QString list = QString::fromUtf8(fonts.readAllStandardOutput());
            QVERIFY2(list.contains("Bold"), qPrintable(list));
            QVERIFY2(list.contains("Oblique") || list.contains("Italic"), qPrintable(list));
        }
    }

    void printUsage()
    {
        QCOMPARE(runCli(withDescription("print", {})).exitCode, 2);
        QCOMPARE(runCli(withDescription("print", {example("gw210.gwc"), "--pdf"})).exitCode, 2);
        QTemporaryDir dir;
        const CliResult unwritable = runCli(withDescription("print", {"--pdf", dir.filePath("no/such/dir/x.pdf"), example("gw210.gwc")}));
        QCOMPARE(unwritable.exitCode, 1);
        QVERIFY2(unwritable.err.contains("x.pdf"), qPrintable(unwritable.err));
    }
};

QTEST_GUILESS_MAIN(TestCliMapping)
#include "TestCliMapping.moc"

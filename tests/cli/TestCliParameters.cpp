#include "CliRunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {
QString example(const QString &name) { return TestPaths::dataFile("examples/" + name); }
QString langDir() { return TestPaths::binDir() + "/lang"; }

QStringList showArgs(const QString &image, const QStringList &extra = {})
{
    return QStringList{"show", "--tcf", example("vantor.tcf"), "--lang-dir", langDir()} + extra + QStringList{image};
}

// The value column of the row of one parameter in tab-separated show output.
QStringList rowOf(const QString &out, const QString &identifier)
{
    for (const QString &line : out.split('\n'))
        if (line.startsWith(identifier + '\t'))
            return line.split('\t');
    return {};
}
} // namespace

class TestCliParameters : public QObject
{
    Q_OBJECT
private slots:
    void showListsEveryParameter_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("position");
        QTest::addColumn<QString>("value");
        QTest::newRow("version") << "Software Revision" << "Version" << "vrAlwaysShow" << "0" << "V 2.1";
        QTest::newRow("device list") << "Device Type" << "Liste" << "vrAlwaysShow" << "1" << "GW110";
        QTest::newRow("restricted") << "Node Address" << "Restricted Byte" << "vrAlwaysEdit" << "6" << "12";
        QTest::newRow("list shown when serial") << "Baud Rate" << "Liste" << "vrAlwaysEdit" << "7" << "19200 Baud";
        QTest::newRow("word") << "Response Timeout" << "Word" << "vrAlwaysEdit" << "8" << "100";
        QTest::newRow("master") << "Protocol" << "Liste" << "vrMasterItem" << "10" << "Serial";
        QTest::newRow("serial number") << "Serial Number" << "Serial Number" << "vrAlwaysShow" << "12" << "00012345";
        QTest::newRow("string") << "Station Name" << "String" << "vrAlwaysEdit" << "16" << "Line 3 / Press";
        QTest::newRow("password masked") << "Password" << "Password" << "vrAlwaysEdit" << "32" << "****";
        QTest::newRow("ip hidden when serial") << "IP Address" << "IP Address" << "vrInvisible" << "40" << "192.168.1.100";
        QTest::newRow("mac") << "MAC Address" << "Ethernet Hardware Address" << "vrInvisible" << "48" << "00-0A-1B-2C-3D-4E";
        QTest::newRow("p-byte") << "Priority" << "P-Byte" << "vrEdit" << "55" << "5";
        QTest::newRow("char") << "Separator" << "Char" << "vrEdit" << "56" << ";";
        QTest::newRow("hex ascii") << "Hardware Version" << "HexASCII" << "vrAlwaysShow" << "57" << "12";
        QTest::newRow("32 bit") << "Cycle Time" << "32 Bit Value" << "vrAlwaysEdit" << "58" << "250000";
        QTest::newRow("hex long") << "Filter Mask" << "HexLong" << "vrEdit" << "62" << "DEADBEEF";
        QTest::newRow("byte tuple") << "Input Map" << "ByteTuple" << "vrAlwaysEdit" << "70" << "Inputs 1-8";
        QTest::newRow("word tuple") << "Output Scaling" << "WordTuple" << "vrAlwaysEdit" << "78" << "Scaling table";
        QTest::newRow("html") << "Web Page" << "HTML Source" << "vrInvisible" << "86" << "...";
        QTest::newRow("flag") << "Termination" << "Flag" << "vrAlwaysEdit" << "11" << "On";
        QTest::newRow("hidden byte") << "Service Counter" << "Byte" << "vrInvisible" << "89" << "0";
        QTest::newRow("two conditions") << "Bus Timing" << "Liste" << "vrAlwaysEdit" << "90" << "Standard";
    }
    void showListsEveryParameter()
    {
        QFETCH(QString, identifier);
        QFETCH(QString, format);
        QFETCH(QString, rule);
        QFETCH(QString, position);
        QFETCH(QString, value);
        static const CliResult r = runCli(showArgs(example("gw110.gwc")));
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(rowOf(r.out, identifier), QStringList({identifier, format, rule, position, value}));
    }

    void rulesFollowOtherBytes()
    {
        const CliResult r = runCli(showArgs(example("gw110-ethernet.gwc")));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(rowOf(r.out, "IP Address").value(2), QString("vrAlwaysEdit"));
        QCOMPARE(rowOf(r.out, "Baud Rate").value(2), QString("vrInvisible"));
        QCOMPARE(rowOf(r.out, "Protocol").value(4), QString("Ethernet"));
    }

    void revisionAndDeviceSections()
    {
        const CliResult v1 = runCli(showArgs(example("gw110-v1.gwc")));
        QCOMPARE(v1.exitCode, 0);
        QCOMPARE(v1.out.count('\n'), 5); // the older revision's section has five lines
        QCOMPARE(rowOf(v1.out, "Node Address").value(1), QString("Byte"));

        const CliResult ext = runCli(showArgs(example("gw164x.gwc")));
        QCOMPARE(ext.exitCode, 0);
        QCOMPARE(rowOf(ext.out, "Device Type").value(4), QString("GW164X")); // flag register extends the code
        QCOMPARE(rowOf(ext.out, "Termination").value(4), QString("Yes"));

        const CliResult base = runCli(showArgs(example("gw110.gwc"), {"--base"}));
        QCOMPARE(base.exitCode, 0);
        QCOMPARE(base.out.count('\n'), 3);
        QCOMPARE(rowOf(base.out, "Device Code").value(4), QString("1F"));
    }

    void germanTexts()
    {
        const CliResult r = runCli(showArgs(example("gw110.gwc"), {"--lang", "german"}));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(rowOf(r.out, "Termination").value(4), QString("Ein"));
    }

    void json()
    {
        const CliResult r = runCli(showArgs(example("gw110.gwc"), {"--json"}));
        QCOMPARE(r.exitCode, 0);
        const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).array();
        QVERIFY(rows.size() > 20);
        const QJsonObject first = rows.first().toObject();
        QCOMPARE(first.value("identifier").toString(), QString("Software Revision"));
        QCOMPARE(first.value("format").toString(), QString("Version"));
        QCOMPARE(first.value("rule").toString(), QString("vrAlwaysShow"));
        QCOMPARE(first.value("position").toInt(), 0);
        QCOMPARE(first.value("value").toString(), QString("V 2.1"));
    }

    void setWritesAndRecomputesChecksum()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath("out.gwc");
        const CliResult r = runCli({"set", "--tcf", example("vantor.tcf"), "-o", out, example("gw110.gwc"),
                                    "Node Address=33", "Baud Rate=115200 Baud", "Input Map=9;8;7;6;5;4;3;2;",
                                    "IP Address=10.0.0.1", "Station Name=Cell 7", "Termination=Off"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        const QByteArray bytes = readAll(out);
        QCOMPARE(bytes.size(), 300);
        QCOMPARE(int(uchar(bytes[6])), 33);
        QCOMPARE(int(uchar(bytes[7])), 3);
        QCOMPARE(bytes.mid(70, 8), QByteArray("\x09\x08\x07\x06\x05\x04\x03\x02", 8));
        QCOMPARE(bytes.mid(40, 4), QByteArray("\x0A\x00\x00\x01", 4));
        QCOMPARE(int(uchar(bytes[11])) & 1, 0);
        const CliResult info = runCli({"info", out});
        QVERIFY2(info.out.contains(", ok\n"), qPrintable(info.out));
        const CliResult shown = runCli(showArgs(out));
        QCOMPARE(rowOf(shown.out, "Station Name").value(4), QString("Cell 7"));
    }

    void presetAppliesOtherParameters()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath("eth.gwc");
        const CliResult r = runCli({"set", "--tcf", example("vantor.tcf"), "-o", out, example("gw110.gwc"), "Protocol=Ethernet"});
        QCOMPARE(r.exitCode, 0);
        const CliResult shown = runCli(showArgs(out));
        QCOMPARE(rowOf(shown.out, "Protocol").value(4), QString("Ethernet"));
        QCOMPARE(rowOf(shown.out, "Response Timeout").value(4), QString("20"));
        QCOMPARE(rowOf(shown.out, "Subnet Mask").value(4), QString("255.255.255.0"));
        QCOMPARE(rowOf(shown.out, "Termination").value(4), QString("Off"));
    }

    void setFailuresWriteNothing_data()
    {
        QTest::addColumn<QString>("assignment");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown name") << "Nothing=1" << "Nothing";
        QTest::newRow("rejected value") << "Response Timeout=fast" << "Response Timeout";
        QTest::newRow("bad hex") << "Filter Mask=12 34" << "Invalid hex str containing";
    }
    void setFailuresWriteNothing()
    {
        QFETCH(QString, assignment);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString copy = dir.filePath("copy.gwc");
        QVERIFY(QFile::copy(example("gw110.gwc"), copy));
        const QByteArray before = readAll(copy);
        const CliResult r = runCli({"set", "--tcf", example("vantor.tcf"), copy, "Node Address=40", assignment});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(readAll(copy), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"copy.gwc"}); // no temporary left behind
    }

    void diff()
    {
        const QString tcf = example("vantor.tcf");
        const CliResult same = runCli({"diff", "--tcf", tcf, example("gw110.gwc"), example("gw110.gwc")});
        QCOMPARE(same.exitCode, 0);
        QCOMPARE(same.out, QString());

        const CliResult other = runCli({"diff", "--tcf", tcf, example("gw110.gwc"), example("gw110-ethernet.gwc")});
        QCOMPARE(other.exitCode, 1);
        QVERIFY(other.out.contains("Protocol\tSerial\tEthernet\n"));
        QVERIFY(!other.out.contains("Node Address"));

        const CliResult devices = runCli({"diff", "--tcf", tcf, example("gw110.gwc"), example("gw164x.gwc")});
        QCOMPARE(devices.exitCode, 1);
        QVERIFY(devices.out.contains("device identifiers differ"));
        QVERIFY(devices.out.contains("0x0164"));
    }

    void badInputs()
    {
        QTemporaryDir dir;
        const CliResult noTcf = runCli({"show", example("gw110.gwc")});
        QCOMPARE(noTcf.exitCode, 1);
        const CliResult missingTcf = runCli({"show", "--tcf", dir.filePath("none.tcf"), example("gw110.gwc")});
        QCOMPARE(missingTcf.exitCode, 1);
        QVERIFY(missingTcf.err.contains("none.tcf"));
        const CliResult badLang = runCli(showArgs(example("gw110.gwc"), {"--lang", "klingon"}));
        QCOMPARE(badLang.exitCode, 1);
        const QString garbage = writeFile(dir, "garbage.tcf", QByteArray("[Names]\n0x1F=GW110\n\x00\xff\n[GW110]\nX=1;99;1\n", 39));
        const CliResult badFormat = runCli({"show", "--tcf", garbage, example("gw110.gwc")});
        QCOMPARE(badFormat.exitCode, 1);
        QVERIFY2(badFormat.err.contains("EEROM laden"), qPrintable(badFormat.err));
        const QString beyond = writeFile(dir, "beyond.tcf", "[Names]\n0x1F=GW110\n[GW110]\nFar=8000;12;1;;;60000\n");
        const CliResult far = runCli({"show", "--tcf", beyond, example("gw110.gwc")});
        QCOMPARE(far.exitCode, 1);
        QVERIFY2(far.err.contains("Far"), qPrintable(far.err));
    }
};

QTEST_GUILESS_MAIN(TestCliParameters)
#include "TestCliParameters.moc"

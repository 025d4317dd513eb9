#include "CliRunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <tuple>

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
                                    "Protocol=Ethernet", "IP Address=10.0.0.1", "Station Name=Cell 7", "Termination=Off"});
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

    // By default set takes what the window's editor would take for a parameter the window
    // lets the user edit; everything else is refused with the parameter, the value and what
    // would be accepted, and nothing is written. --raw stores as the parameter itself does.
    void setFailuresWriteNothing_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("assignment");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown name") << "" << "Nothing=1" << "Nothing";
        QTest::newRow("rejected value") << "" << "Response Timeout=fast" << "\"Response Timeout\": \"fast\" is not accepted; the editor takes a decimal number from 0 to 65535";
        QTest::newRow("bad hex") << "" << "Filter Mask=12 34" << "\"Filter Mask\": \"12 34\" is not accepted; the editor takes a hexadecimal number";
        QTest::newRow("bad hex raw") << "--raw" << "Filter Mask=12 34" << "Invalid hex str containing";
        QTest::newRow("list typo") << "" << "Protocol=Ethernt" << "the editor offers the entries \"Serial\", \"Ethernet\"";
        QTest::newRow("entry not offered") << "" << "Baud Rate=230400 Baud (fast bus only)" << "\"9600 Baud\", \"19200 Baud\"";
        QTest::newRow("flag wording") << "" << "Termination=maybe" << "the editor offers the wordings \"On\", \"Off\"";
        QTest::newRow("restricted range") << "" << "Node Address=999" << "\"Node Address\": \"999\" is not accepted; the editor takes a decimal number from 1 to 127";
        QTest::newRow("below range") << "" << "Node Address=0" << "from 1 to 127";
        QTest::newRow("byte range") << "" << "Retry Count=300" << "from 0 to 255";
        QTest::newRow("hex in number field") << "" << "Retry Count=$10" << "decimal number";
        QTest::newRow("blank") << "" << "Retry Count= 5" << "decimal number";
        QTest::newRow("blank raw") << "--raw" << "Retry Count= 5" << "is not a valid integer value";
        QTest::newRow("plus raw") << "--raw" << "Retry Count=+5" << "is not a valid integer value";
        QTest::newRow("tab raw") << "--raw" << "Retry Count=\t7" << "is not a valid integer value";
        QTest::newRow("hex plus raw") << "--raw" << "Retry Count=0x+1F" << "is not a valid integer value";
        QTest::newRow("text too long") << "" << "Station Name=seventeen chars xx" << "at most 16 printable ASCII characters";
        QTest::newRow("table size") << "" << "Input Map=1;2;3;" << "the editor's table has 8 values (2 rows of 4)";
        QTest::newRow("table value") << "" << "Input Map=1;2;3;4;5;6;7;256;" << "from 0 to 255";
        QTest::newRow("word table size") << "" << "Output Scaling=1;2;" << "4 values (2 rows of 2)";
        QTest::newRow("serial digits") << "--debug" << "Serial Number=1234567" << "exactly eight digits";
        QTest::newRow("char length") << "" << "Separator=ab" << "exactly one character";
        QTest::newRow("hex width") << "" << "Filter Mask=1FFFFFFFF" << "from 0 to FFFFFFFF";
        QTest::newRow("debug view only") << "" << "Serial Number=12345678" << "\"Serial Number\": cannot set \"12345678\": rule vrAlwaysShow: the window lets only its debug view change it (--debug)";
        QTest::newRow("hidden") << "" << "IP Address=10.0.0.1" << "\"IP Address\": cannot set \"10.0.0.1\": rule vrInvisible: the window does not show it";
        QTest::newRow("hidden with debug") << "--debug" << "Service Counter=1" << "rule vrInvisible";
    }
    void setFailuresWriteNothing()
    {
        QFETCH(QString, options);
        QFETCH(QString, assignment);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString copy = dir.filePath("copy.gwc");
        QVERIFY(QFile::copy(example("gw110.gwc"), copy));
        const QByteArray before = readAll(copy);
        QStringList args{"set", "--tcf", example("vantor.tcf")};
        if (!options.isEmpty())
            args << options;
        const CliResult r = runCli(args + QStringList{copy, "Node Address=40", assignment});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(readAll(copy), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"copy.gwc"}); // no temporary left behind
    }

    void setAcceptsWhatTheEditorWould()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath("out.gwc");
        // The debug view lets the always-shown serial number change; the flag wording is
        // taken without regard to letter case; the hex field takes "$" and its full width.
        const CliResult ok = runCli({"set", "--tcf", example("vantor.tcf"), "--debug", "-o", out, example("gw110.gwc"),
                                     "Serial Number=87654321", "Termination=off", "Filter Mask=$FFFFFFFF", "Retry Count=007",
                                     "Output Scaling=1;2;65535;4"});
        QCOMPARE(ok.err, QString());
        QCOMPARE(ok.exitCode, 0);
        const QByteArray bytes = readAll(out);
        QCOMPARE(bytes.mid(12, 4), QByteArray("\x87\x65\x43\x21", 4));
        QCOMPARE(int(uchar(bytes[11])) & 1, 0);
        QCOMPARE(bytes.mid(62, 4), QByteArray("\xFF\xFF\xFF\xFF", 4));
        QCOMPARE(int(uchar(bytes[54])), 7);
        QCOMPARE(bytes.mid(78, 8), QByteArray("\x00\x01\x00\x02\xFF\xFF\x00\x04", 8));
    }

    void setRawKeepsStoredValueSemantics()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath("out.gwc");
        const CliResult r = runCli({"set", "--tcf", example("vantor.tcf"), "--raw", "-o", out, example("gw110.gwc"),
                                    "Retry Count=300", "IP Address=10.0.0.1", "Node Address=0x7F"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        const QByteArray bytes = readAll(out);
        QCOMPARE(int(uchar(bytes[54])), 44);
        QCOMPARE(bytes.mid(40, 4), QByteArray("\x0A\x00\x00\x01", 4));
        QCOMPARE(int(uchar(bytes[6])), 127);
    }

    void setBeyondTheUsedPart()
    {
        // An image shorter than its description: the parameters past its end cannot be edited.
        QTemporaryDir dir;
        const QString shortImage = writeFile(dir, "short.gwc", readAll(example("gw110.gwc")).left(60));
        const QByteArray before = readAll(shortImage);
        const CliResult r = runCli({"set", "--tcf", example("vantor.tcf"), shortImage, "Cycle Time=5"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("\"Cycle Time\": lies beyond the image (bytes 58 to 61, the image uses 60)"), qPrintable(r.err));
        QCOMPARE(readAll(shortImage), before);
        // Also with --raw: the value would be lost on saving, so success would be a lie.
        const CliResult raw = runCli({"set", "--raw", "--tcf", example("vantor.tcf"), shortImage, "Cycle Time=5"});
        QCOMPARE(raw.exitCode, 1);
        QVERIFY2(raw.err.contains("lies beyond the image"), qPrintable(raw.err));
        QCOMPARE(readAll(shortImage), before);
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

        // Both ways: the parameters only one side's section has are listed whichever comes first.
        const QString full = example("gw110.gwc"), v1 = example("gw110-v1.gwc");
        for (const auto &[a, b, missingSide] : {std::tuple{full, v1, 2}, std::tuple{v1, full, 1}}) {
            const CliResult r = runCli({"diff", "--tcf", tcf, a, b});
            QCOMPARE(r.exitCode, 1);
            const QStringList row = rowOf(r.out, "Cycle Time");
            QCOMPARE(row.size(), 3);
            QCOMPARE(row.value(missingSide), QString("(missing)"));
            QCOMPARE(row.value(3 - missingSide), QString("250000"));
        }
        const CliResult json = runCli({"diff", "--json", "--tcf", tcf, v1, full});
        QCOMPARE(json.exitCode, 1);
        const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(o.value("equal").toBool(true), false);
        bool found = false;
        for (const QJsonValue &d : o.value("differences").toArray())
            if (d["identifier"].toString() == "Cycle Time") {
                found = true;
                QVERIFY(d["a"].isNull());
                QCOMPARE(d["b"].toString(), QString("250000"));
            }
        QVERIFY(found);
        const CliResult sameJson = runCli({"diff", "--json", "--tcf", tcf, full, full});
        QCOMPARE(sameJson.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(sameJson.out.toUtf8()).object().value("equal").toBool(false), true);

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
        QCOMPARE(badLang.exitCode, 2);
        QVERIFY2(badLang.err.contains("klingon") && badLang.err.contains("english") && badLang.err.contains("german"),
                 qPrintable(badLang.err));
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

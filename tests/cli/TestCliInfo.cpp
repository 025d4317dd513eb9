#include "CliRunner.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>



class TestCliInfo : public QObject
{
    Q_OBJECT
private slots:
    void infoOfAnImage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("good checksum") << QByteArray("\x21\x1F\x00\x03\x01\x02", 6)
                                       << "size: 6\nrevision: 0x21\ndevice: 0x1F\n"
                                          "checksum: 0x0003 stored, 0x0003 computed, ok\nimage: 211F00030102-0046\n";
        QTest::newRow("mismatch and extended code") << QByteArray("\x05\x64\x12\x34\x01", 5)
                                                    << "size: 5\nrevision: 0x05\ndevice: 0x0164\n"
                                                       "checksum: 0x1234 stored, 0x0001 computed, MISMATCH\nimage: 0564123401-00B0\n";
        QTest::newRow("empty file") << QByteArray()
                                    << "size: 0\nrevision: 0x00\ndevice: 0x00\n"
                                       "checksum: 0x0000 stored, 0x0000 computed, ok\nimage: \n";
    }
    void infoOfAnImage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const CliResult r = runCli({"info", writeFile(dir, "x.gwc", bytes)});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, expected);
        QCOMPARE(r.exitCode, 0);
    }

    void bundledExample()
    {
        const CliResult r = runCli({"info", TestPaths::dataFile("examples/gw110.gwc")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("checksum: ") && r.out.contains(", ok\n"));
    }

    void oversizeFileSaysSoOnce()
    {
        QTemporaryDir dir;
        QByteArray bytes(9000, '\0');
        bytes[1] = '\x1F';
        const CliResult r = runCli({"info", writeFile(dir, "big.gwc", bytes)});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out.count("image:"), 1);
        QVERIFY2(r.out.contains("image: (not shown: the file has 9000 bytes, a configuration image at most 8192)\n"), qPrintable(r.out));
        QVERIFY2(!r.out.contains("IDXSTREAM"), qPrintable(r.out));
        QVERIFY(r.out.startsWith("size: 9000\n"));
    }

    void json()
    {
        QTemporaryDir dir;
        const CliResult r = runCli({"info", "--json", writeFile(dir, "x.gwc", QByteArray("\x05\x64\x12\x34\x01", 5))});
        QCOMPARE(r.exitCode, 0);
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o.value("size").toInt(), 5);
        QCOMPARE(o.value("revision").toString(), QString("0x05"));
        QCOMPARE(o.value("device").toString(), QString("0x0164"));
        QCOMPARE(o.value("checksumStored").toString(), QString("0x1234"));
        QCOMPARE(o.value("checksumOk").toBool(true), false);
        QCOMPARE(o.value("image").toString(), QString("0564123401-00B0"));
    }

    void versionAndUsageTexts()
    {
        const CliResult version = runCli({"--version"});
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(QRegularExpression("^torvane-cli \\d+\\.\\d+").match(version.out).hasMatch(), qPrintable(version.out));

        // A usage error names the command as it is typed, not the program's path.
        const CliResult usage = runCli({"info", "a", "b"});
        QCOMPARE(usage.exitCode, 2);
        QVERIFY2(usage.err.contains("Usage: torvane-cli info"), qPrintable(usage.err));
        QVERIFY2(!usage.err.contains(TestPaths::binDir()), qPrintable(usage.err));
        const CliResult parseError = runCli({"show", "--bogus"});
        QVERIFY2(parseError.err.contains("Usage: torvane-cli show"), qPrintable(parseError.err));

        const CliResult help = runCli({"--help"});
        QVERIFY2(help.out.contains("locale"), qPrintable(help.out));
        const CliResult showHelp = runCli({"show", "--help"});
        QVERIFY2(showHelp.out.simplified().contains("the language the user's locale maps to"), qPrintable(showHelp.out));
    }

    void errorsAndUsage()
    {
        const CliResult missing = runCli({"info", "/nonexistent/missing.gwc"});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY(missing.err.contains("/nonexistent/missing.gwc"));
        QVERIFY(missing.out.isEmpty());

        QCOMPARE(runCli({"info"}).exitCode, 2);
        QCOMPARE(runCli({"info", "a", "b"}).exitCode, 2);
        QCOMPARE(runCli({"info", "--bogus", "a"}).exitCode, 2);
        QCOMPARE(runCli({"frobnicate"}).exitCode, 2);
        QCOMPARE(runCli({}).exitCode, 2);

        const CliResult help = runCli({"info", "--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("torvane-cli info"));
        const CliResult toolHelp = runCli({"--help"});
        QCOMPARE(toolHelp.exitCode, 0);
        QVERIFY(toolHelp.out.contains("info"));
    }
};

QTEST_GUILESS_MAIN(TestCliInfo)
#include "TestCliInfo.moc"

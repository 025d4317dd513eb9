#include "CliRunner.h"

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

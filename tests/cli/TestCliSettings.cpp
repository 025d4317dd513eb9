// What torvane-cli leaves behind besides its output: the settings and the files it writes.

#include "CliRunner.h"
#include "TinyDisk.h"

#include "platform/RegistryStore.h"

#include <QtTest>

namespace {

QString example(const QString &name) { return TestPaths::dataFile("examples/" + name); }
QString langDir() { return TestPaths::binDir() + "/lang"; }
const QString kTorvane = QStringLiteral("\\software\\Kellerbrand\\Torvane");

std::optional<QString> storedUserLang()
{
    return RegistryStore::user().readString(kTorvane, QStringLiteral("UserLang"));
}

} // namespace

class TestCliSettings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // The settings of this test's private config folder, as the window left them.
        QFile::remove(RegistryStore::userFilePath());
    }

    // --lang chooses the language of one run; what the window starts with stays as it is.
    void langIsForThisRunOnly_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("withOutput"); // the command writes to -o in a temporary folder
        QTest::newRow("show") << QStringList{"show", "--tcf", example("vantor.tcf"), "--lang-dir", langDir(),
                                             "--lang", "german", example("gw110.gwc")}
                              << false;
        QTest::newRow("set") << QStringList{"set", "--tcf", example("vantor.tcf"), "--lang-dir", langDir(),
                                            "--lang", "german", example("gw110.gwc"), "Node Address=33", "-o"}
                             << true;
        QTest::newRow("eds") << QStringList{"eds", "--tcf", example("vantor.tcf"), "--lang-dir", langDir(),
                                            "--lang", "german", example("gw110.gwc"), "-o"}
                             << true;
    }
    void langIsForThisRunOnly()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, withOutput);
        QTemporaryDir dir;
        if (withOutput)
            args << dir.filePath("out");

        // Nothing stored yet: nothing is stored by the run.
        CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(storedUserLang(), std::nullopt);

        // A language the window stored stays.
        QVERIFY(RegistryStore::user().writeString(kTorvane, QStringLiteral("UserLang"), QStringLiteral("english")));
        r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(storedUserLang(), std::optional<QString>(QStringLiteral("english")));
    }

    // set on a full disk: the failure is reported, the configuration keeps its old bytes.
    void setOnAFullDiskKeepsTheFile_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("in place") << true;
        QTest::newRow("to a new file") << false;
    }
    void setOnAFullDiskKeepsTheFile()
    {
        QFETCH(bool, inPlace);
        TinyDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString config = disk.filePath("gw110.gwc");
        QVERIFY(QFile::copy(example("gw110.gwc"), config));
        const QByteArray before = readAll(config);
        QVERIFY(disk.fill());

        const QString target = inPlace ? config : disk.filePath("new.gwc");
        QStringList args{"set", "--tcf", example("vantor.tcf"), config, "Node Address=33"};
        if (!inPlace)
            args << "-o" << target;
        const CliResult r = runCli(args);
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains(target), qPrintable(r.err));
        QCOMPARE(readAll(config), before);
        QCOMPARE(QFile::exists(target), inPlace);
        QCOMPARE(disk.visibleFiles(), QStringList{"gw110.gwc"});
    }

    // eds -o over an older description on a full disk: the older one stays.
    void edsOnAFullDiskKeepsTheTarget()
    {
        TinyDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString target = disk.filePath("gw110.eds");
        const QByteArray before("[FileInfo]\nFileName=older\n");
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(before) == before.size());
        old.close();
        QVERIFY(disk.fill());

        const CliResult r = runCli({"eds", "--tcf", example("vantor.tcf"), "--lang-dir", langDir(), "--lang", "english",
                                    example("gw110.gwc"), "-o", target});
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains(target), qPrintable(r.err));
        QCOMPARE(readAll(target), before);
        QCOMPARE(disk.visibleFiles(), QStringList{"gw110.eds"});
    }
};

QTEST_GUILESS_MAIN(TestCliSettings)
#include "TestCliSettings.moc"

#include "platform/ConfigPaths.h"
#include "platform/PortMap.h"
#include "platform/RegistryStore.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

// The settings file and the port links must be found in the same folder whatever
// XDG_CONFIG_HOME says, or a port chosen in one run is not found by the next.
class TestConfigPaths : public QObject
{
    Q_OBJECT

private slots:
    void settingsAndPortsShareOneFolder_data()
    {
        QTest::addColumn<QByteArray>("xdgConfigHome");
        QTest::addColumn<QString>("expected");
        const QString home = QDir::homePath() + QStringLiteral("/.config/Kellerbrand/Torvane");
        QTest::newRow("absolute") << QByteArray("/some/where") << QStringLiteral("/some/where/Kellerbrand/Torvane");
        QTest::newRow("absolute with trailing slash") << QByteArray("/some/where/") << QStringLiteral("/some/where/Kellerbrand/Torvane");
        QTest::newRow("empty") << QByteArray("") << home;
        QTest::newRow("relative") << QByteArray("rel/dir") << home;
        QTest::newRow("relative with dot") << QByteArray("./cfg") << home;
    }
    void settingsAndPortsShareOneFolder()
    {
        QFETCH(QByteArray, xdgConfigHome);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", xdgConfigHome);
        const QString dir = ConfigPaths::programConfigDir();
        const QString registry = RegistryStore::userFilePath();
        const QString ports = PortMap::mapDirectory();
        const QString link = PortMap::linkPath(3);
        qputenv("XDG_CONFIG_HOME", saved);

        QCOMPARE(dir, expected);
        QCOMPARE(QFileInfo(registry).absolutePath(), dir);
        QCOMPARE(registry, dir + QStringLiteral("/registry.reg"));
        QCOMPARE(ports, dir + QStringLiteral("/ports"));
        QCOMPARE(link, ports + QStringLiteral("/COM3"));
    }

    // The program finds its language files, templates and help both beside the built
    // executables and in the installed layout (<prefix>/bin and <prefix>/share/torvane).
    // Paths are relative to a temporary root whose bin/ is the program's folder.
    void dataFoldersOfBothLayouts_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("sub");
        QTest::addColumn<QString>("expected");
        QTest::newRow("build tree") << QStringList{"bin/lang"} << QStringList{} << "lang" << "bin/lang";
        QTest::newRow("installed") << QStringList{"share/torvane/lang"} << QStringList{} << "lang"
                                   << "share/torvane/lang";
        QTest::newRow("beside wins over installed")
            << QStringList{"bin/lang", "share/torvane/lang"} << QStringList{} << "lang" << "bin/lang";
        QTest::newRow("each folder on its own")
            << QStringList{"bin/lang", "share/torvane/help"} << QStringList{} << "help" << "share/torvane/help";
        QTest::newRow("a file beside is no folder")
            << QStringList{"share/torvane/help"} << QStringList{"bin/help"} << "help" << "share/torvane/help";
        QTest::newRow("neither: beside the program")
            << QStringList{"share/other/lang"} << QStringList{"share/torvane/lang"} << "lang" << "bin/lang";
        QTest::newRow("data folder, installed")
            << QStringList{"share/torvane/lang"} << QStringList{} << "" << "share/torvane";
        QTest::newRow("data folder, build tree") << QStringList{"bin/lang"} << QStringList{} << "" << "bin";
    }
    void dataFoldersOfBothLayouts()
    {
        QFETCH(QStringList, folders);
        QFETCH(QStringList, files);
        QFETCH(QString, sub);
        QFETCH(QString, expected);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir dir(root.path());
        QVERIFY(dir.mkpath(QStringLiteral("bin")));
        for (const QString &folder : folders)
            QVERIFY(dir.mkpath(folder));
        for (const QString &name : files) {
            QVERIFY(dir.mkpath(QFileInfo(dir.filePath(name)).path()));
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(ConfigPaths::programDataDir(sub, dir.filePath(QStringLiteral("bin"))),
                 QDir::cleanPath(dir.filePath(expected)));
    }
};

QTEST_GUILESS_MAIN(TestConfigPaths)
#include "TestConfigPaths.moc"

#include "platform/ConfigPaths.h"
#include "platform/PortMap.h"
#include "platform/RegistryStore.h"

#include <QDir>
#include <QFileInfo>
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
};

QTEST_GUILESS_MAIN(TestConfigPaths)
#include "TestConfigPaths.moc"

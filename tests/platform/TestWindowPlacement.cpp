// The main window's placement in the settings store: the 16-byte rectangle, the state byte
// and the monitor number, read back and planned on a desktop of one or two screens.
#include "platform/RegistryStore.h"
#include "platform/WindowPlacement.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace WindowPlacement;

namespace {
const QString kKey = QStringLiteral("\\software\\Kellerbrand\\Torvane");
const QList<QRect> kTwoScreens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
}

class TestWindowPlacement : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    RegistryStore store() const { return RegistryStore(m_dir.filePath(QStringLiteral("registry.reg"))); }

private slots:
    void init() { QFile::remove(m_dir.filePath(QStringLiteral("registry.reg"))); }

    void bytesAreLittleEndianLeftTopRightBottom()
    {
        const QByteArray b = encodeBounds(QRect(-8, 300, 460, 408));
        QCOMPARE(b.toHex(' '), QByteArray("f8 ff ff ff 2c 01 00 00 c4 01 00 00 c4 02 00 00"));
        QRect back;
        QVERIFY(decodeBounds(b, back));
        QCOMPARE(back, QRect(-8, 300, 460, 408));
        QVERIFY(!decodeBounds(b.left(15), back));
        QVERIFY(!decodeBounds(b + '\0', back));
        // right left of left: no window
        QVERIFY(!decodeBounds(encodeBounds(QRect(10, 10, 5, 5)).replace(8, 4, QByteArray(4, '\0')), back));
    }

    void nearestMonitor_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<int>("monitor");
        QTest::newRow("on the first") << QRect(100, 100, 400, 300) << 0;
        QTest::newRow("mostly on the second") << QRect(1800, 100, 600, 300) << 1;
        QTest::newRow("off to the right: the second is nearest") << QRect(4000, 100, 400, 300) << 1;
        QTest::newRow("off to the left: the first") << QRect(-3000, 100, 400, 300) << 0;
    }
    void nearestMonitor()
    {
        QFETCH(QRect, rect);
        QFETCH(int, monitor);
        QCOMPARE(WindowPlacement::nearestMonitor(rect, kTwoScreens), monitor);
    }

    // What is stored on close comes back on the next start.
    void roundTrip_data()
    {
        QTest::addColumn<QRect>("bounds");
        QTest::addColumn<int>("state");
        QTest::addColumn<QList<QRect>>("screens"); // at the next start
        QTest::addColumn<QRect>("expected");       // null: keeps its designed bounds
        QTest::addColumn<bool>("maximise");
        QTest::addColumn<int>("screen");
        QTest::newRow("normal") << QRect(2000, 50, 500, 400) << 0 << kTwoScreens << QRect(2000, 50, 500, 400) << false << 0;
        QTest::newRow("second screen gone: off every screen, ignored")
            << QRect(2000, 50, 500, 400) << 0 << kTwoScreens.mid(0, 1) << QRect() << false << 0;
        QTest::newRow("maximised on the second") << QRect(2000, 50, 500, 400) << 2 << kTwoScreens << QRect(1920, 0, 500, 400)
                                                 << true << 1;
        QTest::newRow("maximised, monitor gone: monitor 0")
            << QRect(2000, 50, 500, 400) << 2 << kTwoScreens.mid(0, 1) << QRect(0, 0, 500, 400) << true << 0;
    }
    void roundTrip()
    {
        QFETCH(QRect, bounds);
        QFETCH(int, state);
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, expected);
        QFETCH(bool, maximise);
        QFETCH(int, screen);
        RegistryStore s = store();
        // A maximised window keeps the normal bounds stored before.
        if (state != Normal)
            QVERIFY(WindowPlacement::store(s, kKey, bounds, Normal, kTwoScreens));
        QVERIFY(WindowPlacement::store(s, kKey, state == Normal ? bounds : QRect(1920, 0, 1280, 1024), State(state), kTwoScreens));
        QCOMPARE(s.valueType(kKey, kPosSize), RegistryStore::ValueType::Binary);
        QCOMPARE(s.readBinary(kKey, kState).value_or(QByteArray()), QByteArray(1, char(state)));
        const Stored stored = read(s, kKey);
        QVERIFY(stored.present);
        QCOMPARE(stored.bounds, bounds);
        const Restore r = plan(stored, screens);
        QCOMPARE(r.setBounds, !expected.isNull());
        if (r.setBounds)
            QCOMPARE(r.bounds, expected);
        QCOMPARE(r.maximiseOn, maximise);
        QCOMPARE(r.screen, screen);
    }

    // Stored values that are not what the program writes: the window keeps its designed bounds.
    void damagedValues_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("problem");
        QTest::addColumn<bool>("stringRemoved");
        QTest::newRow("none stored") << "none" << false << false;
        QTest::newRow("old string layout, removed") << "string" << false << true;
        QTest::newRow("a number") << "dword" << true << false;
        QTest::newRow("17 bytes") << "long" << true << false;
        QTest::newRow("state of 2 bytes") << "state" << true << false;
    }
    void damagedValues()
    {
        QFETCH(QString, what);
        QFETCH(bool, problem);
        QFETCH(bool, stringRemoved);
        RegistryStore s = store();
        const QByteArray good = encodeBounds(QRect(10, 10, 300, 200));
        if (what == "string") QVERIFY(s.writeString(kKey, kPosSize, "10,10,310,210"));
        if (what == "dword") QVERIFY(s.writeDWord(kKey, kPosSize, 5));
        if (what == "long") QVERIFY(s.writeBinary(kKey, kPosSize, good + 'x'));
        if (what == "state") {
            QVERIFY(s.writeBinary(kKey, kPosSize, good));
            QVERIFY(s.writeBinary(kKey, kState, QByteArray(2, '\0')));
        }
        const Stored stored = read(s, kKey);
        QVERIFY(!stored.present);
        QCOMPARE(!stored.problem.isEmpty(), problem);
        QCOMPARE(!s.valueExists(kKey, kPosSize), stringRemoved || what == "none");
        QVERIFY(!plan(stored, kTwoScreens).setBounds);
    }
};

QTEST_GUILESS_MAIN(TestWindowPlacement)
#include "TestWindowPlacement.moc"

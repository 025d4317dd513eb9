#include "base/FileReplace.h"

#include "TinyDisk.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool putFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char('a' + i % 26);
    return bytes;
}

} // namespace

class TestFileReplace : public QObject
{
    Q_OBJECT

private slots:
    void replacesAndCreates()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("image.bin"));
        QCOMPARE(replaceFileContents(path, "first"), QString());
        QCOMPARE(readAll(path), QByteArray("first"));

        // An existing file keeps its permissions when it is replaced.
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const QByteArray big = pattern(300 * 1024);
        QCOMPARE(replaceFileContents(path, big), QString());
        QCOMPARE(readAll(path), big);
        const QFile::Permissions modeBits(0x7077); // owner, group, other; not the "user" copy
        QCOMPARE(QFile::permissions(path) & modeBits,
                 QFile::Permissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));

        QCOMPARE(replaceFileContents(path, QByteArray()), QString());
        QCOMPARE(QFileInfo(path).size(), 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("image.bin")});
    }

    void reportsWhatCannotBeOpened()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing/folder/image.bin"));
        const QString error = replaceFileContents(path, "x");
        QVERIFY(error.contains(path));
        QVERIFY(!QFile::exists(path));
        QVERIFY(replaceFileContents(QString(), "x") != QString());
    }

    // A full disk: nothing of the new content is taken, the old file stays byte for byte, the
    // failure names the file and no temporary file is left behind.
    void fullDiskKeepsOldFile_data()
    {
        QTest::addColumn<qint64>("leaveFree");
        QTest::addColumn<qsizetype>("newSize");
        QTest::newRow("no space, small file") << qint64(0) << qsizetype(100);
        QTest::newRow("some space, file beyond it") << qint64(8192) << qsizetype(40 * 1024);
        QTest::newRow("some space, file just beyond a buffer") << qint64(4096) << qsizetype(16 * 1024 + 1);
    }
    void fullDiskKeepsOldFile()
    {
        QFETCH(qint64, leaveFree);
        QFETCH(qsizetype, newSize);
        TinyDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString path = disk.filePath(QStringLiteral("config.bin"));
        const QByteArray old = pattern(3000);
        QVERIFY(putFile(path, old));
        QVERIFY(disk.fill(leaveFree));

        const QString error = replaceFileContents(path, pattern(newSize));
        QVERIFY2(!error.isEmpty(), "a write that did not fit was reported as done");
        QVERIFY2(error.contains(path), qPrintable(error));
        QCOMPARE(readAll(path), old);
        QCOMPARE(disk.visibleFiles(), QStringList{QStringLiteral("config.bin")});
    }
};

QTEST_GUILESS_MAIN(TestFileReplace)
#include "TestFileReplace.moc"

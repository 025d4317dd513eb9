#include "platform/StatusTrace.h"

#include "ScriptedPrompts.h"
#include "TinyDisk.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTime>
#include <QtTest>

class TestStatusTrace : public QObject
{
    Q_OBJECT

    StatusTrace &trace = statusTrace();

    void fill(int count)
    {
        for (int i = 1; i <= count; ++i)
            trace.logStringOnly(QStringLiteral("line %1").arg(i));
    }

private slots:
    void init()
    {
        trace.clear();
        trace.setMaxLines(1000);
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void lineForms_data()
    {
        QTest::addColumn<int>("call");
        QTest::addColumn<QString>("expected");
        const QString entry = QStringLiteral("  Upload: \"OK\"\t");
        QTest::newRow("logString entryOnly") << 0 << entry;
        QTest::newRow("logString entryIndented") << 1 << QString(15, u' ') + entry;
        QTest::newRow("logStringWithIndent") << 2 << QString(8, u' ') + entry;
        QTest::newRow("logStringOnly") << 3 << entry;
    }
    void lineForms()
    {
        QFETCH(int, call);
        QFETCH(QString, expected);
        const QString entry = QStringLiteral("  Upload: \"OK\"\t");
        QSignalSpy appended(&trace, &StatusTrace::lineAppended);
        QSignalSpy scrolled(&trace, &StatusTrace::scrolledToEnd);
        switch (call) {
        case 0: trace.logString(entry, entryOnly); break;
        case 1: trace.logString(entry, entryIndented); break;
        case 2: trace.logStringWithIndent(entry); break;
        case 3: trace.logStringOnly(entry); break;
        }
        QCOMPARE(trace.lines(), QStringList{expected});
        QCOMPARE(appended.size(), 1);
        QCOMPARE(appended.first().first().toString(), expected);
        QCOMPARE(scrolled.size(), 1);
    }

    void timestamp_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("pattern"); // the time of day only, no time zone
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$");
        QTest::newRow("US English") << QLocale(QLocale::English, QLocale::UnitedStates)
                                    << QStringLiteral("^\\d{1,2}:\\d\\d:\\d\\d\\s[AP]M$");
    }
    void timestamp()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, pattern);
        QLocale::setDefault(locale);
        const QTime before = QTime::currentTime();
        trace.logStringWithTime(QStringLiteral("Warmstart"));
        trace.logString(QStringLiteral("OK"), entryTimestamped);
        const QTime after = QTime::currentTime();

        QCOMPARE(trace.lineCount(), 2);
        for (const QString &line : trace.lines()) {
            const qsizetype blank = line.lastIndexOf(u' ');
            const QString time = line.left(blank);
            QVERIFY2(QRegularExpression(pattern).match(time).hasMatch(), qPrintable(line));
            const QTime parsed = locale.toTime(time, locale.timeFormat(QLocale::LongFormat).remove(u't').trimmed());
            QVERIFY2(parsed.isValid(), qPrintable(time));
            if (before <= after) // not across midnight
                QVERIFY(parsed >= before.addMSecs(-before.msec()) && parsed <= after);
        }
        QVERIFY(trace.lines()[0].endsWith(QStringLiteral(" Warmstart")));
        QVERIFY(trace.lines()[1].endsWith(QStringLiteral(" OK")));
    }

    void limitDropsOneLinePerAppend()
    {
        fill(1000);
        QSignalSpy removed(&trace, &StatusTrace::firstLineRemoved);
        trace.logStringOnly(QStringLiteral("line 1001"));
        QCOMPARE(trace.lineCount(), 1000);
        QCOMPARE(trace.lines().first(), QStringLiteral("line 2"));
        QCOMPARE(trace.lines().last(), QStringLiteral("line 1001"));
        QCOMPARE(removed.size(), 1);

        // A lowered limit stops the growth but does not cut the trace short.
        trace.setMaxLines(100);
        for (int i = 0; i < 50; ++i)
            trace.logStringWithIndent(QStringLiteral("more"));
        QCOMPARE(trace.lineCount(), 1000);
        QCOMPARE(trace.lines().first(), QStringLiteral("line 52"));
        trace.scrollToEnd(); // on its own it deletes too, one line per call
        QCOMPARE(trace.lineCount(), 999);

        trace.clear();
        fill(150);
        QCOMPARE(trace.lineCount(), 100);
        QCOMPARE(trace.lines().first(), QStringLiteral("line 51"));
    }

    void clearEmptiesTheTrace()
    {
        fill(3);
        QSignalSpy cleared(&trace, &StatusTrace::cleared);
        trace.clear();
        QCOMPARE(trace.lineCount(), 0);
        QCOMPARE(cleared.size(), 1);
        trace.logStringOnly(QStringLiteral("again"));
        QCOMPARE(trace.lines(), QStringList{"again"});
    }

    void askMaxLines_data()
    {
        QTest::addColumn<QString>("answer"); // empty: the user cancels
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("errorBox");
        QTest::newRow("6") << QStringLiteral("6") << 6 << false;
        QTest::newRow("1999") << QStringLiteral("1999") << 1999 << false;
        QTest::newRow("blanks around") << QStringLiteral(" 250 ") << 250 << false;
        QTest::newRow("5 keeps") << QStringLiteral("5") << 300 << false;
        QTest::newRow("2000 keeps") << QStringLiteral("2000") << 300 << false;
        QTest::newRow("0 keeps") << QStringLiteral("0") << 300 << false;
        QTest::newRow("negative keeps") << QStringLiteral("-50") << 300 << false;
        QTest::newRow("abc") << QStringLiteral("abc") << 300 << true;
        QTest::newRow("number with text") << QStringLiteral("12abc") << 300 << true;
        QTest::newRow("hex is not decimal") << QStringLiteral("0x20") << 300 << true;
        QTest::newRow("too big for an integer") << QStringLiteral("99999999999") << 300 << true;
        QTest::newRow("cancel sets the preset") << QString() << 1000 << false;
    }
    void askMaxLines()
    {
        QFETCH(QString, answer);
        QFETCH(int, expected);
        QFETCH(bool, errorBox);
        trace.setMaxLines(300);
        ScriptedPrompts prompts;
        prompts.answer(answer);
        trace.askMaxLines();
        QCOMPARE(trace.maxLines(), expected);

        QCOMPARE(prompts.records.size(), errorBox ? 2 : 1);
        QCOMPARE(prompts.records[0].kind, QStringLiteral("input"));
        QCOMPARE(prompts.records[0].caption, QStringLiteral("Set maximum number of lines to display"));
        QCOMPARE(prompts.records[0].text, QStringLiteral("No of lines"));
        if (errorBox) {
            const ScriptedPrompts::Record &box = prompts.records[1];
            QCOMPARE(box.kind, QStringLiteral("message"));
            QCOMPARE(box.caption, QStringLiteral("Error setting maximum lines"));
            QCOMPARE(box.text, QStringLiteral("Please enter a number"));
            QCOMPARE(box.icon, PromptIcon::Warning);
        }
    }

    void saveToFile()
    {
        QTemporaryDir dir;
        trace.logStringOnly(QStringLiteral("in: Gr\u00fc\u00dfe \u20ac"));
        trace.logString(QStringLiteral("indented"), entryIndented);
        trace.logStringOnly(QString());
        const QString path = dir.filePath(QStringLiteral("trace.log"));
        QString error;
        QVERIFY2(trace.saveToFile(path, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QStringLiteral("in: Gr\u00fc\u00dfe \u20ac\n%1indented\n\n").arg(QString(15, u' ')).toUtf8());

        // Saving replaces an older trace completely.
        trace.clear();
        trace.logStringOnly(QStringLiteral("x"));
        QVERIFY(trace.saveToFile(path));
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("x\n"));

        error.clear();
        QVERIFY(!trace.saveToFile(dir.filePath(QStringLiteral("missing/folder/trace.log")), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!trace.saveToFile(dir.path(), &error)); // a folder, not a file
    }

    void saveToAFullDiskKeepsTheOldTrace()
    {
        TinyDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString path = disk.filePath(QStringLiteral("trace.log"));
        trace.clear();
        trace.logStringOnly(QStringLiteral("old"));
        QVERIFY(trace.saveToFile(path));
        QVERIFY(disk.fill());
        trace.clear();
        for (int i = 0; i < 50; ++i)
            trace.logStringOnly(QString(100, u'n'));
        QString error;
        QVERIFY(!trace.saveToFile(path, &error));
        QVERIFY2(error.contains(path), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("old\n"));
    }
};

QTEST_GUILESS_MAIN(TestStatusTrace)
#include "TestStatusTrace.moc"

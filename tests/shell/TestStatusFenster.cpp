#include "shell/StatusFenster.h"

#include "platform/StatusTrace.h"

#include "ScriptedPrompts.h"

#include <QAction>
#include <QFile>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

// The state window mirrors the trace line by line; these tests compare what the memo shows
// with what the trace holds after the operations that add, drop and clear lines.
class TestStatusFenster : public QObject
{
    Q_OBJECT

    StatusTrace &trace = statusTrace();
    TStatusFenster *window = nullptr;

    QStringList memoLines() const
    {
        QStringList lines;
        const QTextDocument *doc = window->memo()->document();
        if (doc->isEmpty() && doc->blockCount() == 1)
            return lines;
        for (QTextBlock b = doc->firstBlock(); b.isValid(); b = b.next())
            lines << b.text().replace(QChar::LineSeparator, u'\n');
        return lines;
    }
    void fill(int from, int to)
    {
        for (int i = from; i <= to; ++i)
            trace.logStringOnly(QStringLiteral("line %1").arg(i));
    }
    QAction *menuAction(const char *name) const
    {
        return window->findChild<QAction *>(QString::fromLatin1(name));
    }

private slots:
    void initTestCase()
    {
        // Lines logged before the window exists belong to the trace it shows.
        trace.logStringOnly(QStringLiteral("early 1"));
        trace.logStringWithIndent(QStringLiteral("early 2"));
        window = &TStatusFenster::instance();
        QCOMPARE(memoLines(), trace.lines());
        QCOMPARE(memoLines().size(), 2);
    }
    void init()
    {
        trace.clear();
        trace.setMaxLines(1000);
    }

    void windowForm()
    {
        QPlainTextEdit *memo = window->findChild<QPlainTextEdit *>(QStringLiteral("Memo1"));
        QVERIFY(memo);
        QVERIFY(memo->isReadOnly());
        QVERIFY(QFontInfo(memo->font()).fixedPitch());
        QCOMPARE(memo->font().pointSize(), 8);
        QCOMPARE(window->windowTitle(), QStringLiteral("State Window"));
        QVERIFY(menuAction("mnuClearStateWindow") && menuAction("mnuSetNumberOfLines") && menuAction("mnuSaveToFile"));
    }

    void limitDropsOneOldestLinePerAppend()
    {
        fill(1, 1001);
        QCOMPARE(trace.lineCount(), 1000);
        const QStringList shown = memoLines();
        QCOMPARE(shown.size(), 1000);
        QCOMPARE(shown.first(), QStringLiteral("line 2"));
        QCOMPARE(shown.last(), QStringLiteral("line 1001"));
        QCOMPARE(shown, trace.lines());
        // The caret sits on the newest line, column 1.
        QCOMPARE(window->memo()->textCursor().blockNumber(), 999);
        QCOMPARE(window->memo()->textCursor().positionInBlock(), 0);
    }

    void loweredLimitKeepsTheLinesShown()
    {
        fill(1, 1000);
        ScriptedPrompts prompts;
        prompts.answer(QStringLiteral("100"));
        menuAction("mnuSetNumberOfLines")->trigger();
        QCOMPARE(trace.maxLines(), 100);
        fill(1001, 1010);
        QCOMPARE(memoLines().size(), 1000);
        QCOMPARE(memoLines(), trace.lines());
    }

    void setNumberOfLines_data()
    {
        QTest::addColumn<QString>("answer"); // empty: the user cancels
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("errorBox");
        QTest::newRow("6 is the smallest") << "6" << 6 << false;
        QTest::newRow("1999 is the largest") << "1999" << 1999 << false;
        QTest::newRow("5 keeps the limit") << "5" << 300 << false;
        QTest::newRow("2000 keeps the limit") << "2000" << 300 << false;
        QTest::newRow("0 keeps the limit") << "0" << 300 << false;
        QTest::newRow("not a number") << "abc" << 300 << true;
        QTest::newRow("cancel takes the preset") << "" << 1000 << false;
    }
    void setNumberOfLines()
    {
        QFETCH(QString, answer);
        QFETCH(int, expected);
        QFETCH(bool, errorBox);
        trace.setMaxLines(300);
        ScriptedPrompts prompts;
        prompts.answer(answer);
        menuAction("mnuSetNumberOfLines")->trigger();
        QCOMPARE(trace.maxLines(), expected);
        QCOMPARE(prompts.records.first().caption, QStringLiteral("Set maximum number of lines to display"));
        QCOMPARE(prompts.sawText(QStringLiteral("Please enter a number")), errorBox);
        if (errorBox)
            QCOMPARE(prompts.records.last().icon, PromptIcon::Warning);
    }

    void closeHidesAndLoggingGoesOn()
    {
        QPointer<TStatusFenster> guard(window);
        window->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->close();
        QVERIFY(!window->isVisible());
        QVERIFY(guard);
        trace.logStringOnly(QStringLiteral("while hidden"));
        window->showWindow();
        QVERIFY(window->isVisible());
        QCOMPARE(memoLines(), QStringList{QStringLiteral("while hidden")});
        window->hide();
    }

    void entryWithLineBreaksStaysOneLine()
    {
        // A device reply with line breaks is one trace entry; the memo must drop it as one,
        // or it would run out of step with the trace at the limit.
        trace.setMaxLines(6);
        trace.logStringOnly(QStringLiteral("reply\r\nsecond\rthird\nfourth"));
        fill(1, 6);
        QCOMPARE(trace.lineCount(), 6);
        QCOMPARE(memoLines(), trace.lines());
        trace.clear();
        fill(1, 3);
        trace.logStringOnly(QStringLiteral("a\nb"));
        QCOMPARE(memoLines().size(), 4);
        QCOMPARE(memoLines().last(), QStringLiteral("a\nb"));
    }

    void clearThenAppend()
    {
        fill(1, 5);
        menuAction("mnuClearStateWindow")->trigger();
        QCOMPARE(trace.lineCount(), 0);
        QVERIFY(window->memo()->document()->isEmpty());
        trace.logStringOnly(QString()); // an empty line is a line too
        trace.logStringOnly(QStringLiteral("x"));
        QCOMPARE(memoLines(), (QStringList{QString(), QStringLiteral("x")}));
        QCOMPARE(window->memo()->toPlainText(), QStringLiteral("\nx"));
    }

    void saveToFile_data()
    {
        QTest::addColumn<QString>("relativePath"); // empty: the user cancels
        QTest::addColumn<bool>("saved");
        QTest::newRow("saved") << "trace.log" << true;
        QTest::newRow("folder missing") << "missing/trace.log" << false;
        QTest::newRow("cancelled") << "" << false;
    }
    void saveToFile()
    {
        QFETCH(QString, relativePath);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const QString path = relativePath.isEmpty() ? QString() : dir.filePath(relativePath);
        trace.logStringOnly(QStringLiteral("Upload: OK"));
        trace.logStringOnly(QStringLiteral("Größe 42"));
        ScriptedPrompts prompts;
        prompts.answer(path);
        QCOMPARE(window->saveToFile(), saved);
        QCOMPARE(prompts.records.first().kind, QStringLiteral("save"));
        QCOMPARE(prompts.records.first().caption, QStringLiteral("Save log"));
        if (saved) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(file.readAll()), QStringLiteral("Upload: OK\nGröße 42\n"));
            QCOMPARE(prompts.records.size(), 1);
        } else if (!path.isEmpty()) {
            // The failure is told, naming the file.
            QCOMPARE(prompts.records.size(), 2);
            QCOMPARE(prompts.records.last().icon, PromptIcon::Error);
            QVERIFY(prompts.records.last().text.contains(QStringLiteral("trace.log")));
            QVERIFY(!QFile::exists(path));
        } else {
            QCOMPARE(prompts.records.size(), 1);
        }
    }

    // Closing the main window ends the program even while the state window is open.
    void anOpenStateWindowDoesNotKeepTheProgramRunning()
    {
        QWidget mainWindow;
        mainWindow.show();
        window->showWindow();
        QVERIFY(window->isVisible());
        qApp->setQuitOnLastWindowClosed(true);
        QTimer::singleShot(0, &mainWindow, &QWidget::close);
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); }); // still running
        QCOMPARE(QCoreApplication::exec(), 0);
        window->hide();
    }
};

QTEST_MAIN(TestStatusFenster)
#include "TestStatusFenster.moc"

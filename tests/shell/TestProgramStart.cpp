// The start order inside the process: the messages of /? and /V, the missing description, and
// the window placement through the window's own close and File Exit.
#include "ScriptedPrompts.h"
#include "TestPaths.h"

#include "base/GeneralError.h"
#include "link/ProgramSettings.h"
#include "platform/RegistryStore.h"
#include "platform/WindowPlacement.h"
#include "shell/GWMainForm.h"
#include "shell/ProgramStart.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {
const QString kKey = QStringLiteral("\\software\\Kellerbrand\\Torvane");
QString tcf() { return TestPaths::dataFile(QStringLiteral("examples/vantor.tcf")); }
}

class TestProgramStart : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        RegistryStore::user().deleteKey(QStringLiteral("\\software"));
        QVERIFY(RegistryStore::user().writeString(kKey, QStringLiteral("UserLang"), QStringLiteral("english")));
    }

    // /? shows the option list and start-up goes on; /V then shows the version and ends with 0
    // before the description file is even looked at.
    void helpThenVersion()
    {
        ScriptedPrompts prompts;
        TGWMainForm window(TGWMainForm::Session::Isolated);
        TProgramStart start(window, {"/?", "/V", "/W", "absent.tcf"});
        QCOMPARE(start.FirstActivation(), std::optional<int>(0));
        const QStringList texts = prompts.texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts[0].startsWith(QLatin1String("Options:\r\n/P <COM1>")));
        QVERIFY(texts[1].startsWith(QLatin1String("Torvane Version ")));
    }

    // The stored description is missing: the message names it, and a chosen file is stored and
    // used; a cancelled dialog ends with 0.
    void missingDescription_data()
    {
        QTest::addColumn<bool>("choose");
        QTest::newRow("chosen") << true;
        QTest::newRow("cancelled") << false;
    }
    void missingDescription()
    {
        QFETCH(bool, choose);
        RegistryStore store = RegistryStore::user();
        QVERIFY(ProgramSettings::storeDescriptionFilePath(store, QStringLiteral("/nowhere/gone.tcf")));
        ScriptedPrompts prompts;
        prompts.answer(PromptButton::Ok); // the offline warning
        prompts.answer(PromptButton::Ok); // the missing file
        prompts.answer(choose ? tcf() : QString());
        TGWMainForm window(TGWMainForm::Session::Isolated);
        TProgramStart start(window, {"/P", "offline", "/N"});
        const std::optional<int> rc = start.FirstActivation();
        QVERIFY(prompts.sawText(QStringLiteral("/nowhere/gone.tcf not found")));
        if (!choose) {
            QCOMPARE(rc, std::optional<int>(0));
            return;
        }
        QCOMPARE(rc, std::nullopt);
        QCOMPARE(window.DescriptionFilePath(), tcf());
        QCOMPARE(window.windowTitle(), QStringLiteral("TORVANE  (vantor.tcf)"));
        QCOMPARE(ProgramSettings::readDescriptionFilePath(RegistryStore::user()), tcf());
    }

    // A failure that escapes an event handler is shown and the program goes on.
    void failureInAHandlerIsShown()
    {
        ScriptedPrompts prompts;
        bool after = false;
        QTimer::singleShot(0, [] { throw TorvaneError(QStringLiteral("handler failed")); });
        QTimer::singleShot(0, [&after] { after = true; });
        QVERIFY(QTest::qWaitFor([&] { return after && !prompts.records.isEmpty(); }));
        QCOMPARE(prompts.texts(), QStringList{QStringLiteral("handler failed")});
    }

    // Closing by the close box stores the placement; the next window comes back there. File
    // Exit keeps what was stored last. A stored rectangle off every screen is ignored.
    void placementRoundTrip()
    {
        ScriptedPrompts prompts;
        const QRect placed(60, 70, 500, 420);
        {
            TGWMainForm window(TGWMainForm::Session::Isolated);
            window.show();
            window.setGeometry(placed);
            QVERIFY(window.close());
        }
        RegistryStore store = RegistryStore::user();
        QCOMPARE(store.readBinary(kKey, WindowPlacement::kPosSize).value_or(QByteArray()),
                 WindowPlacement::encodeBounds(placed));
        {
            TGWMainForm window(TGWMainForm::Session::Isolated);
            window.restoreWindowPlacement();
            QCOMPARE(window.geometry(), placed);
            window.show();
            window.move(90, 95); // moved, not resized
            window.action(QStringLiteral("mainmenuFileExit"))->trigger();
        }
        QCOMPARE(store.readBinary(kKey, WindowPlacement::kPosSize).value_or(QByteArray()),
                 WindowPlacement::encodeBounds(placed));

        QVERIFY(store.writeBinary(kKey, WindowPlacement::kPosSize, WindowPlacement::encodeBounds(QRect(40000, 40000, 300, 200))));
        TGWMainForm designed(TGWMainForm::Session::Isolated);
        const QRect before = designed.geometry();
        designed.restoreWindowPlacement();
        QCOMPARE(designed.geometry(), before);
    }
};

// The program's own application object, which catches what a handler let through.
int main(int argc, char *argv[])
{
    TTorvaneApplication app(argc, argv);
    TestProgramStart test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestProgramStart.moc"

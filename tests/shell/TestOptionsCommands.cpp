#include "ScriptedPrompts.h"

#include "link/SerialSession.h"
#include "platform/RegistryStore.h"
#include "shell/GWConfig.h"
#include "shell/GWMainForm.h"
#include "shell/Options.h"
#include "shell/OptionsCommands.h"
#include "shell/SerialOptionSheets.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

// The Options menu's two entries through the main window's actions.
class TestOptionsCommands : public QObject
{
    Q_OBJECT
private:
    // Runs action and, inside the dialog it opens, change() then OK.
    static QWidget *confirm(QAction *action, TOptions &options, const std::function<void()> &change)
    {
        QWidget *page = nullptr;
        QTimer::singleShot(0, &options, [&] {
            page = options.OptionPages->currentWidget();
            change();
            options.OKBtn->click();
        });
        action->trigger();
        return page;
    }

private slots:
    void init() { QFile::remove(RegistryStore::userFilePath()); }

    void portCommand()
    {
        ScriptedPrompts prompts;
        TGWMainForm main(TGWMainForm::Session::Isolated);
        TOptionsCommands &commands = installOptionsCommands(main);
        QCOMPARE(&installOptionsCommands(main), &commands); // once per window
        QWidget *page = confirm(main.action(QStringLiteral("mainMenuPort")), *commands.Options, [&] {
            TOptions::setComboText(commands.SerialSheets->PortNumber, QStringLiteral("offline"));
            TOptions::setComboText(commands.SerialSheets->Baudrate, QStringLiteral("38400"));
        });
        QCOMPARE(page, commands.SerialSheets->qvSerialOptionCaption);
        QCOMPARE(main.Com().Settings.Baudrate.Text, QStringLiteral("38400"));
        QCOMPARE(main.PanelText(2), QStringLiteral("offline"));
        QCOMPARE(RegistryStore::user().readString(TSerialSettings::sheetKey(TSerialSettings::kLineSheet),
                                                  QStringLiteral("Baudrate")),
                 QStringLiteral("38400"));
    }

    // A new description file is stored, the open one stays, and the status line says when the
    // new one takes effect.
    void configFileCommand()
    {
        ScriptedPrompts prompts;
        TGWMainForm main(TGWMainForm::Session::Isolated);
        TOptionsCommands &commands = installOptionsCommands(main);
        const QString before = main.DescriptionFilePath();
        QAction *action = main.action(QStringLiteral("mainMenuConfigFile"));
        QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
        prompts.answer(QStringLiteral("/elsewhere/new.tcf"));
        QWidget *page = confirm(action, *commands.Options,
                                [&] { commands.GWConfig->TGWConfigFileButtonSetConfigFile->click(); });
        QCOMPARE(page, commands.GWConfig->TGWConfigFileSheetCaption);
        QCOMPARE(RegistryStore::user().readString(TSerialSettings::sheetKey(QStringLiteral("TGWConfigFileSheetCaption")),
                                                  QStringLiteral("EditTGWCurrentFilePath")),
                 QStringLiteral("/elsewhere/new.tcf"));
        QCOMPARE(main.DescriptionFilePath(), before);
        QVERIFY2(main.StatusText().contains(QStringLiteral("/elsewhere/new.tcf"))
                     || main.StatusText() == QStringLiteral("statusBarPanelConfigFileNextStart"),
                 qPrintable(main.StatusText()));
    }
};

QTEST_MAIN(TestOptionsCommands)
#include "TestOptionsCommands.moc"

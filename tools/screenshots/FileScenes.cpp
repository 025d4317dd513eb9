// Gallery scenes of the File menu: the printer set-up (or what it says when no printer is
// installed), the print dialog of the preview (which offers a PDF file) and the question
// before a changed configuration is closed.
#include "Scenes.h"

#include "shell/FileCommands.h"
#include "shell/GWMainForm.h"
#include "shell/TorvanePrint.h"
#include "platform/UserPrompts.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QTextStream>
#include <QTimer>

namespace {

// Shows every box the way the program's prompts do, saves a picture of it and answers with
// `answer` (the box's default when None).
class PicturePrompts final : public UnattendedPrompts
{
public:
    PicturePrompts(SceneContext &ctx, QString picture, PromptButton answer = PromptButton::None)
        : m_ctx(ctx), m_picture(std::move(picture)), m_answer(answer), m_previous(&UserPrompts::instance())
    {
        UserPrompts::setInstance(this);
    }
    ~PicturePrompts() override { UserPrompts::setInstance(m_previous); }

    PromptButton message(const QString &caption, const QString &text, PromptIcon icon, const PromptButtons &buttons,
                         PromptButton defaultButton) override
    {
        QMessageBox box(m_ctx.mainWindow);
        box.setWindowTitle(caption.isEmpty() ? QApplication::applicationName() : caption);
        box.setText(text);
        box.setIcon(icon == PromptIcon::Question  ? QMessageBox::Question
                    : icon == PromptIcon::Warning ? QMessageBox::Warning
                    : icon == PromptIcon::Error   ? QMessageBox::Critical
                                                  : QMessageBox::Information);
        for (PromptButton b : buttons)
            box.addButton(b == PromptButton::Yes  ? QMessageBox::Yes
                          : b == PromptButton::No ? QMessageBox::No
                          : b == PromptButton::Cancel ? QMessageBox::Cancel
                                                      : QMessageBox::Ok);
        if (!m_picture.isEmpty()) {
            box.show();
            m_ctx.save(&box, m_picture);
            m_picture.clear(); // only the first box of the scene
        }
        return m_answer == PromptButton::None ? defaultButton : m_answer;
    }

private:
    SceneContext &m_ctx;
    QString m_picture;
    PromptButton m_answer;
    UserPrompts *m_previous;
};

ScreenshotScene fileScenes(QStringLiteral("file-commands"), [](SceneContext &ctx) {
    TGWMainForm &w = *ctx.mainWindow;
    w.openDescription(QDir(ctx.dataDir).filePath(QStringLiteral("examples/vantor.tcf")));
    TFileCommands &commands = installFileCommands(w);
    commands.loadConfigurationFile(QDir(ctx.dataDir).filePath(QStringLiteral("examples/gw110.gwc")));

    // The printer set-up: the platform's dialog, or the message that no printer is installed.
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        PicturePrompts prompts(ctx, QStringLiteral("file-printer-setup"));
        commands.mainMenuPrinterOptionsClick();
    } else {
        QPrintDialog dialog(&commands.Preview->printer(), &w);
        dialog.open();
        ctx.save(&dialog, QStringLiteral("file-printer-setup"));
        dialog.reject();
    }

    // The preview's print dialog as its Print button opens it: with or without a printer it
    // can write a PDF file, whose name it proposes.
    {
        commands.mainMenuPrintClick();
        QTimer poll;
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, [&ctx, &poll] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                poll.stop();
                ctx.save(dialog, QStringLiteral("file-print-dialog"));
                dialog->reject();
            }
        });
        poll.start();
        commands.Preview->PrintBtnClick();
        commands.Preview->hide();
    }

    // A changed configuration: Close asks first (answered Cancel: it stays).
    if (TItem *item = w.EEROM().GetEintrag(QStringLiteral("Station Name"))) {
        w.EEROM().UserEdit([item] { item->SetText(QStringLiteral("Line 3 north")); });
        w.refreshGrid();
        PicturePrompts prompts(ctx, QStringLiteral("file-save-changes"), PromptButton::Cancel);
        w.action(QStringLiteral("mainMenuClose"))->trigger();
    }
    w.EEROM().Clear();
    w.refreshGrid();
});

} // namespace

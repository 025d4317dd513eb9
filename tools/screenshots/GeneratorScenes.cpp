// Pictures of the generators in the window: the EDS command's message and save dialog, and the
// extension dialog after a load and after a write to the simulator.
#include "Scenes.h"

#include "link/DeviceCommands.h"
#include "link/SerialSession.h"
#include "platform/UserPrompts.h"
#include "shell/EdsCommand.h"
#include "shell/ExtensionDlg.h"
#include "shell/GWMainForm.h"
#include "shell/QtUserPrompts.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

namespace {


// Records what the EDS command asks instead of asking: the message is confirmed, the save
// dialog cancelled, so nothing is written.
class CapturingPrompts final : public UnattendedPrompts
{
public:
    QString caption, text, proposedPath, filter;
    PromptButton message(const QString &c, const QString &t, PromptIcon, const PromptButtons &, PromptButton) override
    {
        caption = c;
        text = t;
        return PromptButton::Ok;
    }
    QString saveFile(const QString &, const QString &path, const QString &f, const QString &) override
    {
        proposedPath = path;
        filter = f;
        return {};
    }
};

// An extension of size bytes at 0x1000 as 16-byte data records and the end-of-file record.
QString writeExtension(const QString &dir, int size)
{
    QByteArray text;
    for (int offset = 0; offset < size; offset += 16) {
        const int n = qMin(16, size - offset);
        const int address = 0x1000 + offset;
        QByteArray record;
        record += char(n);
        record += char(address >> 8);
        record += char(address & 0xFF);
        record += char(0);
        for (int i = 0; i < n; ++i)
            record += char((offset + i) * 7 % 251);
        uint8_t sum = 0;
        for (const char c : record)
            sum = uint8_t(sum + uint8_t(c));
        record += char(uint8_t(0x100 - sum));
        text += ':' + record.toHex().toUpper() + "\r\n";
    }
    text += ":00000001FF\r\n";
    const QString path = QDir(dir).filePath(QStringLiteral("cust0A01.hex"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

ScreenshotScene e1(QStringLiteral("eds-1-message-and-save"), [](SceneContext &ctx) {
    ctx.loadExample();
    TGWMainForm &w = *ctx.mainWindow;
    installEdsCommand(w);
    CapturingPrompts capture;
    UserPrompts &before = UserPrompts::instance();
    UserPrompts::setInstance(&capture);
    w.findChild<TEdsCommand *>()->mainMenuGenerateEDSClick();
    UserPrompts::setInstance(&before);
    if (capture.proposedPath.isEmpty()) {
        QTextStream(stdout) << "no template for the example: " << capture.text << Qt::endl;
        return;
    }

    QMessageBox box(QMessageBox::Information, capture.caption, capture.text, QMessageBox::Ok | QMessageBox::Cancel, &w);
    box.show();
    ctx.save(&box, QStringLiteral("eds-message"));
    box.hide();

    QFileDialog save(&w, QString(), QFileInfo(capture.proposedPath).path(), QtUserPrompts::dialogFilter(capture.filter));
    save.setOption(QFileDialog::DontUseNativeDialog);
    save.setAcceptMode(QFileDialog::AcceptSave);
    save.selectFile(capture.proposedPath);
    save.resize(640, 420);
    save.show();
    ctx.save(&save, QStringLiteral("eds-save-dialog"));
    save.hide();
});

ScreenshotScene x1(QStringLiteral("extension-1-load"), [](SceneContext &ctx) {
    ctx.loadExample();
    QTemporaryDir dir;
    TExtensionDlg &dlg = installExtensionDlg(*ctx.mainWindow);
    dlg.move(ctx.mainWindow->x() + 60, ctx.mainWindow->y() + 50);
    dlg.show();
    dlg.LoadHexFile(writeExtension(dir.path(), 200));
    ctx.save(&dlg, QStringLiteral("extension-load"));
    dlg.buttonCloseClick();
});

ScreenshotScene x2(QStringLiteral("extension-2-write"), [](SceneContext &ctx) {
    ctx.loadExample();
    if (!ctx.mainWindow->Com().IsOpen()) {
        QTextStream(stdout) << "no simulator: no picture of a write" << Qt::endl;
        return;
    }
    QTemporaryDir dir;
    TExtensionDlg &dlg = installExtensionDlg(*ctx.mainWindow);
    dlg.move(ctx.mainWindow->x() + 60, ctx.mainWindow->y() + 50);
    dlg.show();
    dlg.LoadHexFile(writeExtension(dir.path(), 300));
    dlg.findChild<QPushButton *>(QStringLiteral("ExtensionDlgButtonWriteExtension"))->click();
    ctx.save(&dlg, QStringLiteral("extension-write"));
    dlg.buttonCloseClick();
});

} // namespace

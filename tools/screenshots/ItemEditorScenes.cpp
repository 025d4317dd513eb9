// Gallery scenes of the parameter editor (each of its pages, filled from the example
// description's parameters) and of the print preview of the example image.
#include "Scenes.h"
#include "ItemEditorScenes.h"

#include "base/IniFile.h"
#include "link/EEROM.h"
#include "localisation/LanguageSelect.h"
#include "model/FlagItem.h"
#include "model/ListItem.h"
#include "shell/ItemEditorDialog.h"
#include "shell/TorvanePrint.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTextStream>

namespace {


} // namespace

QStringList renderItemEditorScenes(const QString &outDir, const QString &dataDir, LanguageSelect *language)
{
    QStringList written;
    IniFile description;
    if (!description.load(QDir(dataDir).filePath(QStringLiteral("examples/vantor.tcf"))))
        return written;
    TEEROM image;
    image.language = language;
    image.SetSourceDatei(&description);
    image.openfile(QDir(dataDir).filePath(QStringLiteral("examples/gw110.gwc")));

    TItemEditor editor;
    editor.setLanguage(language);
    // The page of each scene and the parameter of the example that opens it.
    const QList<QPair<QString, QString>> scenes = {
        {QStringLiteral("itemeditor-list"), QStringLiteral("Baud Rate")},
        {QStringLiteral("itemeditor-number"), QStringLiteral("Response Timeout")},
        {QStringLiteral("itemeditor-mask"), QStringLiteral("IP Address")},
        {QStringLiteral("itemeditor-hex"), QStringLiteral("Filter Mask")},
        {QStringLiteral("itemeditor-text"), QStringLiteral("Station Name")},
        {QStringLiteral("itemeditor-flag"), QStringLiteral("Termination")},
        {QStringLiteral("itemeditor-table"), QStringLiteral("Input Map")},
        {QStringLiteral("itemeditor-html"), QStringLiteral("Web Page")},
        {QStringLiteral("itemeditor-password"), QStringLiteral("Password")},
    };
    for (const auto &[scene, name] : scenes) {
        TItem *item = image.GetEintrag(name);
        if (!item) {
            QTextStream(stderr) << scene << ": the example has no parameter \"" << name << "\"\n";
            continue;
        }
        // What the parameter's own Edit hands the dialog before it opens it.
        QString start = item->GetText();
        if (auto *list = dynamic_cast<TListItem *>(item))
            editor.SetSelectList(list->SelectableEntries());
        if (auto *flag = dynamic_cast<TFlagItem *>(item)) {
            const TBoolTool &tool = TBoolTool::instance();
            editor.SetBoolPage(flag->Identifier(), tool.TrueValueString, tool.FalseValueString);
        }
        if (item->Format() == fmPassword)
            start = QStringLiteral("secret");
        editor.SetTopLeft(QPoint(40, 40));
        editor.Prepare(item, item->Format(), start);
        saveScenePicture(editor, outDir, scene, written);
        if (item->Format() == fmPassword) {
            // The two entries differ in their last character: OK is disabled.
            editor.findChild<QLineEdit *>(QStringLiteral("SecureMaskEdit"))->setText(QStringLiteral("secreT"));
            saveScenePicture(editor, outDir, scene + QStringLiteral("-mismatch"), written);
        }
        editor.hide();
    }

    TTorvanePrint preview;
    preview.setLanguage(language);
    if (preview.showFor(image, QCoreApplication::applicationVersion(),
                        description.readString(QStringLiteral("General"), QStringLiteral("Version"), QStringLiteral("1"))))
        saveScenePicture(preview, outDir, QStringLiteral("print-preview"), written);
    preview.hide();
    return written;
}

#include "Scenes.h"
#include "shell/GWMainForm.h"

namespace {
// The editor on each of its pages, the password page with OK disabled and the print preview.
ScreenshotScene editorScenes(QStringLiteral("item-editor"), [](SceneContext &ctx) {
    renderItemEditorScenes(ctx.outDir, ctx.dataDir, ctx.mainWindow ? &ctx.mainWindow->Language() : nullptr);
});
} // namespace

// Gallery scenes of the mapping editor on the example mapping: the tree with an entry's
// values, the value grid with the list of a list value open, and the overview with two
// COB-IDs on one fieldbus byte.
#include "Scenes.h"

#include "base/IniFile.h"
#include "model/BaseEEROM.h"
#include "model/ProfilMapItem.h"
#include "shell/GWMainForm.h"
#include "shell/MapEditor.h"
#include "shell/SelectStringGrid.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTableWidget>
#include <QTextStream>
#include <QTreeWidget>

#include <functional>

namespace {

// The example description and mapping, the table read and the editor filled with it.
struct ExampleMapping {
    IniFile ini;
    TProfilMapTool tool;
    TBaseEEROM img;
    TProfilMapEditor editor;
    bool ok = false;

    ExampleMapping(SceneContext &ctx, const std::function<void(TMapping &)> &change = {})
    {
        if (!ini.load(QDir(ctx.dataDir).filePath(QStringLiteral("examples/vantor.tcf"))))
            return;
        QFile f(QDir(ctx.dataDir).filePath(QStringLiteral("examples/gw210.gwc")));
        if (!f.open(QIODevice::ReadOnly))
            return;
        LanguageSelect *language = ctx.mainWindow ? &ctx.mainWindow->Language() : nullptr;
        tool.SetDatei(&ini);
        tool.FLanguage = language;
        img.language = language;
        img.ItemTool().FProfilMapTool = &tool;
        img.SetSourceDatei(&ini);
        img.Clear();
        const QByteArray bytes = f.readAll();
        img.WriteAt(0, bytes);
        img.FUseSize = int(bytes.size());
        img.laden();
        auto *map = dynamic_cast<TProfilMapItem *>(img.GetEintrag(QStringLiteral("Map")));
        if (!map || !map->EEROMToMapList())
            return;
        if (change)
            change(map->Mapping());
        editor.setLanguage(language);
        editor.Prepare(map->Mapping(), tool);
        editor.resize(880, 600);
        editor.move(40, 40);
        editor.show();
        ok = true;
    }
    QTreeWidget *tree() { return editor.findChild<QTreeWidget *>(QStringLiteral("TreeView1")); }
    QTreeWidgetItem *node(const QString &caption, int nth = 0)
    {
        const QList<QTreeWidgetItem *> found = tree()->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        return nth < found.size() ? found[nth] : nullptr;
    }
};

void missing(const QString &scene)
{
    QTextStream(stderr) << scene << ": the example mapping could not be opened\n";
}

ScreenshotScene tree(QStringLiteral("mapeditor-1-tree"), [](SceneContext &ctx) {
    ExampleMapping m(ctx);
    if (!m.ok)
        return missing(QStringLiteral("mapeditor-tree"));
    m.tree()->expandAll();
    m.tree()->setCurrentItem(m.node(QStringLiteral("COB-ID Byte Mapping"), 2));
    ctx.save(&m.editor, QStringLiteral("mapeditor-tree"));
});

// The pick list is a window of its own: it is drawn onto the picture where it opened.
ScreenshotScene list(QStringLiteral("mapeditor-2-list-value"), [](SceneContext &ctx) {
    ExampleMapping m(ctx);
    if (!m.ok)
        return missing(QStringLiteral("mapeditor-list-value"));
    m.tree()->expandAll();
    m.tree()->setCurrentItem(m.node(QStringLiteral("Emergency Data Mapping")));
    auto *sg = m.editor.findChild<TSelectStringGrid *>(QStringLiteral("SG"));
    sg->setFocus();
    sg->setCurrentCell(TProfilMapEditor::kFirstValueRow, 1);
    ctx.settle();
    TInplaceEditList *editor = sg->InplaceEditor();
    if (!editor)
        return missing(QStringLiteral("mapeditor-list-value"));
    editor->DropDown();
    ctx.settle();
    QPixmap picture = m.editor.grab();
    if (TPopupListbox *pick = sg->PickList(); pick && pick->isVisible()) {
        QPainter painter(&picture);
        painter.drawPixmap(m.editor.mapFromGlobal(pick->mapToGlobal(QPoint(0, 0))), pick->grab());
    }
    const QString path = QDir(ctx.outDir).filePath(QStringLiteral("mapeditor-list-value.png"));
    const bool saved = picture.save(path);
    QTextStream(stdout) << (saved ? "wrote " : "FAILED ") << path << Qt::endl;
    editor->CloseUp();
});

// The second CAN-to-FB entry moved onto byte 0 with its own COB-ID.
ScreenshotScene overview(QStringLiteral("mapeditor-3-overview"), [](SceneContext &ctx) {
    ExampleMapping m(ctx, [](TMapping &mapping) {
        if (mapping.Count() < 2)
            return;
        for (const auto &v : mapping.Item(1)->Values()) {
            if (v->Caption() == QLatin1String("Profibus Byte"))
                v->SetValue(QStringLiteral("0"));
            else if (v->Caption() == QLatin1String("COB-ID"))
                v->SetValue(QStringLiteral("182"));
        }
    });
    if (!m.ok)
        return missing(QStringLiteral("mapeditor-overview"));
    m.tree()->expandAll();
    auto *outgid = m.editor.findChild<QTableWidget *>(QStringLiteral("outgid"));
    outgid->setCurrentCell(TProfilMapEditor::kHeaderRows, 1);
    m.editor.outgidClick();
    ctx.save(&m.editor, QStringLiteral("mapeditor-overview"));
});

} // namespace

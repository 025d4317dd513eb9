#include "model/ProfilMapItem.h"

#include "base/GeneralError.h"
#include "model/IndexStream.h"
#include "base/IniFile.h"
#include "model/MappingEditor.h"
#include "model/NumericItems.h"
#include "model/PrintSink.h"
#include "base/TextHelpers.h"
#include "platform/UserPrompts.h"

#include <vector>

namespace {
MappingEditor *g_mappingEditor = nullptr;
}

MappingEditor *MappingEditor::instance()
{
    return g_mappingEditor;
}

void MappingEditor::setInstance(MappingEditor *editor)
{
    g_mappingEditor = editor;
}

TProfilMapItem::TProfilMapItem(TItemlist *iParent, TIndexStream *m, const IniFile *FIniDatei, TFormat Frmt)
    : TItem(iParent, m, FIniDatei, Frmt), FMapping(std::make_unique<TMapping>(m))
{
}

TProfilMapItem::~TProfilMapItem() = default;

TProfilMapTool &TProfilMapItem::ProfilMapTool()
{
    if (FProfilMapTool)
        return *FProfilMapTool;
    if (!FOwnTool)
        FOwnTool = std::make_unique<TProfilMapTool>(FConfigFile, language);
    FOwnTool->FLanguage = language;
    return *FOwnTool;
}

void TProfilMapItem::Show(const QString &text) const
{
    UserPrompts::instance().showMessage(text, QString(), PromptIcon::Warning);
}

void TProfilMapItem::Load()
{
    TItem::Load();
}

QString TProfilMapItem::GetText()
{
    return tr(QStringLiteral("messageGWEintragMapText"));
}

uint32_t TProfilMapItem::GetIntegerValue()
{
    return ReadBigEndian(*this, kPointerBytes);
}

TVisualRule TProfilMapItem::GetVisualRule()
{
    if (FData->GetByteIDX(1) > 99) {
        // The base evaluation with the first condition only.
        const bool first = FVisualValue.test(FData->GetByteIDX(FVisualByte));
        if (FVisualRule == vrDependendEdit && first)
            return vrAlwaysDependendEdit;
        if (FVisualRulenumber == 0)
            return FVisualRule;
        if (FVisualTyp != vcVisibleIf && FVisualTyp != vcNotVisibleIf)
            return vrInvisible;
        return first ? FVisualRule : vrInvisible;
    }
    return GetIntegerValue() != 0 ? vrAlwaysEdit : vrInvisible;
}

uint16_t TProfilMapItem::DeviceCode() const
{
    // The same code the image's binding derived its device section from, so the table is
    // read with the description of the device it was bound to.
    const uint8_t code = FData->GetByteIDX(1);
    const uint8_t extension = FData->GetByteIDX(4) & 0x1B;
    return code >= 100 && extension != 0 ? static_cast<uint16_t>(extension * 256 + code) : code;
}

QString TProfilMapItem::StartProblem(uint32_t S, const QString &operation) const
{
    if (S == 0)
        return tr(QStringLiteral("messageGWEintragMappingUnsupported"));
    const qint64 size = FData->Size();
    if (S < uint32_t(kFirstListOffset) || qint64(S) >= size)
        return FormatText(tr(QStringLiteral("exceptionGWEintragMapStartInvalid")),
                          {ClassName(), operation, S, kFirstListOffset, size - 1});
    return {};
}

QString TProfilMapItem::ReadMapList()
{
    const QString operation = QStringLiteral("EEROMToMapList");
    FMapListRead = false;
    FMapping->language = language;
    FMapping->Clear();
    try {
        const uint32_t S = GetIntegerValue();
        if (S == 0)
            return StartProblem(S, operation);
        if (!FConfigFile)
            return FormatText(tr(QStringLiteral("exceptionGWEintragNoFileOrInsufficientRights")), {ClassName(), operation});
        for (const QString &suffix : {QStringLiteral(":SUPPORTEDMAPTYPES"), QStringLiteral(":MAPTYPES")}) {
            const QString section = SectionID + suffix;
            if (!FConfigFile->sectionExists(section))
                return FormatText(tr(QStringLiteral("exceptionGWEintragSectionDoesntExist")), {ClassName(), operation, section});
        }

        TProfilMapTool &tool = ProfilMapTool();
        const uint16_t device = DeviceCode();
        const uint8_t revision = FData->GetByteIDX(0);
        tool.GetSuppMapTypeString(device, revision); // tells the user when the revision supports no types

        FMapping->FSoftwareRevision = revision;
        FMapping->FDeviceType = device;
        FMapping->FCaption = ExtractField(SectionID, u':', 1);

        const QString start = StartProblem(S, operation);
        if (!start.isEmpty())
            return start;
        // Records are read up to UseSize, and never past the buffer whatever UseSize says.
        const qint64 limit = qMin<qint64>(FData->UseSize(), FData->Size());
        qint64 p = S;
        while (p < limit) {
            std::unique_ptr<TMapItem> item = tool.MakeMapItem(FData->GetByteIDX(static_cast<uint16_t>(p)), FMapping.get());
            item->FEEROMPosition = static_cast<uint16_t>(p);
            if (item->FSize == 0) {
                ++p; // no such type (the closing 0xFF among them): one byte on
                continue;
            }
            if (p + item->FSize > limit) {
                FMapping->Clear();
                return FormatText(tr(QStringLiteral("exceptionGWEintragMapRecordBeyondEnd")),
                                  {ClassName(), operation, item->FCaption, p, int(item->FSize), limit});
            }
            const QString layout = item->LayoutProblem();
            if (!layout.isEmpty()) {
                FMapping->Clear();
                return layout;
            }
            item->GetFromEEROM();
            p += item->FSize;
            FMapping->Add(std::move(item));
        }
    } catch (const TorvaneError &e) {
        FMapping->Clear();
        return e.message();
    }
    FMapListRead = true;
    return {};
}

bool TProfilMapItem::EEROMToMapList()
{
    const QString problem = ReadMapList();
    if (problem.isEmpty())
        return true;
    Show(problem);
    return false;
}

void TProfilMapItem::MapListToEEROM()
{
    const QString operation = QStringLiteral("MapListToEEROM");
    if (!FMapListRead)
        throw TorvaneError(FormatText(tr(QStringLiteral("exceptionGWEintragMapNotRead")), {ClassName(), operation}));
    const uint32_t S = GetIntegerValue();
    const QString start = StartProblem(S, operation);
    if (!start.isEmpty())
        throw TorvaneError(start);

    // Everything is checked before the first byte changes.
    const auto &items = FMapping->Items();
    std::vector<qint64> positions;
    positions.reserve(items.size());
    qint64 a = S;
    for (const auto &item : items) {
        positions.push_back(a);
        if (!item->FCanCreate || item->FSize == 0)
            continue;
        const QString layout = item->LayoutProblem();
        if (!layout.isEmpty())
            throw TorvaneError(layout);
        a += item->FSize;
    }
    const qint64 size = FData->Size();
    if (a >= size)
        throw TorvaneError(FormatText(tr(QStringLiteral("exceptionGWEintragMapTooLarge")), {ClassName(), operation, a, size}));
    // The table must lie after this parameter's own bytes, the pointer to it: records or the
    // closing byte on the pointer overwrite it, and a table that ends before it ends the used
    // image there (see SetUseSize below), so the saved file loses the pointer. Either way the
    // table could not be found again.
    const qint64 pointerFirst = Position;
    const qint64 pointerLast = pointerFirst + kPointerBytes - 1;
    if (qint64(S) <= pointerLast)
        throw TorvaneError(FormatText(tr(QStringLiteral("exceptionGWEintragMapOverwritesPointer")),
                                      {ClassName(), operation, qint64(S), a, pointerFirst, pointerLast}));

    for (size_t i = 0; i < items.size(); ++i)
        items[i]->FEEROMPosition = static_cast<uint16_t>(positions[i]);
    FData->SetUseSize(static_cast<int32_t>(a + 1));
    qint64 p = S;
    for (const auto &item : items) {
        if (!item->FCanCreate || item->FSize == 0)
            continue;
        FData->SetByteIDX(static_cast<uint16_t>(p), item->FIdentifier);
        item->PutToEEROM();
        p += item->FSize;
    }
    FData->SetByteIDX(static_cast<uint16_t>(p), 0xFF);
}

void TProfilMapItem::SetText(const QString &NewValue)
{
    const QString command = ExtractField(NewValue, u':', 1).toUpper();
    if (command == QLatin1String("LOAD")) {
        Load();
        EEROMToMapList();
    } else if (command == QLatin1String("STORE")) {
        MapListToEEROM();
    } else if (command == QLatin1String("CLEAR")) {
        FMapping->Clear();
    } else if (command == QLatin1String("ADD")) {
        const QString operation = QStringLiteral("SetText");
        const QString caption = ExtractField(NewValue, u':', 2);
        if (!FMapListRead)
            throw TorvaneError(FormatText(tr(QStringLiteral("exceptionGWEintragMapNotRead")), {ClassName(), operation}));
        TProfilMapTool &tool = ProfilMapTool();
        const uint8_t id = tool.IDFromName(FMapping->FDeviceType, caption.toUpper());
        std::unique_ptr<TMapItem> item = tool.MakeMapItem(id, FMapping.get());
        // IDFromName answers 0 for an unknown caption; only a type of that very name will do.
        if (item->FSize == 0 || item->FCaption.compare(caption, Qt::CaseInsensitive) != 0)
            throw TorvaneError(FormatText(tr(QStringLiteral("exceptionGWEintragMapTypeUnknown")), {ClassName(), operation, caption}));
        if (!item->FCanCreate)
            throw TorvaneError(FormatText(tr(QStringLiteral("exceptionGWEintragMapTypeNotCreatable")), {ClassName(), operation, caption}));
        const QString layout = item->LayoutProblem();
        if (!layout.isEmpty())
            throw TorvaneError(layout);
        item->SetText(ExtractField(NewValue, u':', 3).toUpper());
        FMapping->Add(std::move(item));
    } else {
        Show(FormatText(tr(QStringLiteral("exceptionGWEintragToBeImplemented")), {ClassName(), QStringLiteral("SetText"), NewValue}));
    }
}

void TProfilMapItem::Edit(const QPoint &EditPos)
{
    (void)EditPos;
    if (!EEROMToMapList())
        return;
    MappingEditor *editor = MappingEditor::instance();
    if (!editor || !editor->Edit(*FMapping, ProfilMapTool()))
        return;
    try {
        MapListToEEROM();
    } catch (const TorvaneError &e) {
        Show(e.message());
    }
}

void TProfilMapItem::DoPrint(PrintSink &RichEdit)
{
    EEROMToMapList();
    const int oldStop = RichEdit.firstTabStop();
    RichEdit.setFirstTabStop(50);
    RichEdit.setStyle(PrintSink::Bold);
    RichEdit.addText(FIdentifier + u'\n');
    for (const auto &entry : FMapping->Items()) {
        if (!entry->FCanDisplay)
            continue;
        RichEdit.setStyle(PrintSink::Bold | PrintSink::Underline);
        RichEdit.addText(u'\t' + entry->FCaption + u'\n');
        QString captions = QStringLiteral("\t\t");
        QString values = QStringLiteral("\t\t");
        for (const auto &v : entry->Values()) {
            captions += v->FCaption + u'\t';
            values += v->GetValue() + u'\t';
        }
        RichEdit.setStyle(PrintSink::Italic);
        RichEdit.addText(captions + u'\n');
        RichEdit.setStyle(PrintSink::Normal);
        RichEdit.addText(values + u'\n');
    }
    RichEdit.setStyle(PrintSink::Normal);
    RichEdit.setFirstTabStop(oldStop);
}

#include "model/Item.h"

#include "localisation/LanguageSelect.h"
#include "base/GeneralError.h"
#include "model/IndexStream.h"
#include "base/IniFile.h"
#include "model/ItemEditor.h"
#include "model/PrintSink.h"
#include "base/TextHelpers.h"

QString VisualRuleName(TVisualRule rule)
{
    switch (rule) {
    case vrInvisible: return QStringLiteral("vrInvisible");
    case vrAlwaysEdit: return QStringLiteral("vrAlwaysEdit");
    case vrAlwaysShow: return QStringLiteral("vrAlwaysShow");
    case vrEdit: return QStringLiteral("vrEdit");
    case vrShow: return QStringLiteral("vrShow");
    case vrAlwaysDependendEdit: return QStringLiteral("vrAlwaysDependendEdit");
    case vrDependendEdit: return QStringLiteral("vrDependendEdit");
    case vrMasterItem: return QStringLiteral("vrMasterItem");
    }
    return QString::number(int(rule));
}

TItem::TItem(TItemlist *iParent, TIndexStream *m, const IniFile *FIniDatei, TFormat Frmt)
    : FFormat(Frmt), FConfigFile(FIniDatei), FData(m), Parent(iParent)
{
}

QString TItem::tr(const QString &key) const
{
    return language ? language->translate(key) : key;
}

QString TItem::LineValue() const
{
    return ExtractField(FAsciiLine, u'=', 2);
}

QString TItem::LineField(int n) const
{
    return ExtractField(LineValue(), u';', n);
}

QString TItem::DetailSection() const
{
    return SectionID + u':' + FIdentifier;
}

void TItem::Load()
{
    if (SectionID.isEmpty())
        throw TorvaneError(FormatText(tr(QStringLiteral("exceptionGWEintragNoSectionID")), {ClassName(), QStringLiteral("Load")}));
    FIdentifier = ExtractField(FAsciiLine, u'=', 1);
    const int pos = StrToInt(LineField(1));
    if (pos < 0 || pos > 0xFFFF)
        throw TorvaneError(QStringLiteral("'%1' is not a valid position (0..65535)").arg(LineField(1)));
    Position = static_cast<uint16_t>(pos);

    const QString ruleField = LineField(3);
    const uint32_t ruleCode = HexStrToInt(ruleField);
    switch (ruleCode) {
    case 0x01: FVisualRule = vrAlwaysEdit; break;
    case 0x02: FVisualRule = vrAlwaysDependendEdit; break;
    case 0x80: FVisualRule = vrAlwaysShow; break;
    case 0xFC: FVisualRule = vrEdit; break;
    case 0xFD: FVisualRule = vrAlwaysDependendEdit; break;
    case 0xFE: FVisualRule = vrInvisible; break;
    case 0xFF: FVisualRule = vrMasterItem; break;
    default: FVisualRule = vrEdit; break;
    }

    FVisualRulenumber = 0;
    FVisualRulenumbera = 0;
    FVisualByte = 0;
    FVisualBytea = 0;
    FVisualValue.reset();
    FVisualValuea.reset();
    FVisualTyp = vcVisibleIf;

    if (!ruleField.isEmpty() && ruleCode != 0xFC) {
        FVisualRulenumber = static_cast<uint16_t>(HexStrToInt(StripBlanks(LineField(7))));
        ReadVisualRule(FVisualRulenumber, FVisualTyp, FVisualValue, FVisualByte);
        const QString second = StripBlanks(LineField(8));
        if (!second.isEmpty()) {
            FVisualRulenumbera = static_cast<uint16_t>(HexStrToInt(second));
            ReadVisualRule(FVisualRulenumbera, FVisualTyp, FVisualValuea, FVisualBytea);
        }
    }

    if (FConfigFile) {
        Hint = FConfigFile->readString(QStringLiteral("Hints"), FIdentifier);
        FHelpURL = FConfigFile->readString(QStringLiteral("Help"), FIdentifier);
    }
}

void TItem::ReadVisualRule(uint16_t number, TVisualCondition &typ, TVisualValue &values, uint8_t &byte)
{
    const QString value = FConfigFile ? FConfigFile->readString(QStringLiteral("VisualRule"), IntToHex(number, 4)) : QString();
    const QString typeField = ExtractField(value, u';', 1);
    const QString byteField = ExtractField(value, u';', 2);
    const QString list = ExtractField(value, u';', 3);
    const uint32_t type = typeField.isEmpty() ? 0 : HexStrToInt(typeField);
    byte = static_cast<uint8_t>(byteField.isEmpty() ? 0 : HexStrToInt(byteField));
    typ = static_cast<TVisualCondition>(type);

    if (type == vcNotVisibleIf)
        values.set();
    for (qsizetype i = 0; i + 1 < list.size(); i += 2) {
        const QString pair = list.mid(i, 2);
        if (pair == QLatin1String("  "))
            continue;
        const uint32_t v = HexStrToInt(pair) & 0xFF;
        if (type == vcVisibleIf)
            values.set(v);
        else if (type == vcNotVisibleIf)
            values.reset(v);
    }
}

TVisualRule TItem::GetVisualRule()
{
    if (FVisualRule == vrDependendEdit && FVisualValue.test(FData->GetByteIDX(FVisualByte)))
        return vrAlwaysDependendEdit;
    if (FVisualRulenumber == 0)
        return FVisualRule;
    if (FVisualTyp != vcVisibleIf && FVisualTyp != vcNotVisibleIf)
        return vrInvisible;
    const bool first = FVisualValue.test(FData->GetByteIDX(FVisualByte));
    if (FVisualRulenumbera == 0)
        return first ? FVisualRule : vrInvisible;
    const bool second = FVisualValuea.test(FData->GetByteIDX(FVisualBytea));
    return first && second ? FVisualRule : vrInvisible;
}

int32_t TItem::HelpContextFromCode(int32_t c)
{
    // Large positions would overflow the 32-bit help context; it wraps as the help system's
    // numbers do rather than invoking undefined behaviour.
    switch (c) {
    case 1: return 1;
    case 2: return static_cast<int32_t>(static_cast<uint32_t>(10000000LL + int64_t(Position) * 1000000LL + FData->GetByteIDX(Position)));
    case 3: return static_cast<int32_t>(static_cast<uint32_t>(10000256LL + int64_t(Position) * 1000000LL));
    default: return c;
    }
}

int32_t TItem::HelpContextNumber()
{
    return HelpContextFromCode(FHelpContext);
}

void TItem::DoChange()
{
    if (OnChange)
        OnChange(this);
}

void TItem::EditWithDialog(const QPoint &EditPos)
{
    ItemEditor *editor = ItemEditor::instance();
    if (!editor)
        return;
    editor->SetTopLeft(EditPos);
    const QString old = GetText();
    const QString start = GetText();
    const QString result = editor->Edit(this, FFormat, start);
    if (result != old) {
        SetText(result);
        modified = true;
    }
    if (FVisualRule == vrAlwaysEdit)
        DoChange();
}

void TItem::Edit(const QPoint &EditPos)
{
    EditWithDialog(EditPos);
}

void TItem::DoPrint(PrintSink &RichEdit)
{
    RichEdit.setStyle(PrintSink::Bold);
    RichEdit.addText(FIdentifier + u'\t');
    RichEdit.setStyle(PrintSink::Normal);
    RichEdit.addText(GetText() + u'\n');
}

TItem *TItemlist::GetItem(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw TorvaneError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    return m_items[size_t(Index)].get();
}

TItem *TItemlist::GetByName(const QString &Index) const
{
    const auto it = m_firstByName.constFind(Index.toCaseFolded());
    return it == m_firstByName.cend() ? nullptr : m_items[size_t(*it)].get();
}

void TItemlist::Add(std::unique_ptr<TItem> item)
{
    const QString key = item->Identifier().toCaseFolded();
    if (!m_firstByName.contains(key))
        m_firstByName.insert(key, Count());
    m_items.push_back(std::move(item));
}

void TItemlist::Clear()
{
    m_items.clear();
    m_firstByName.clear();
}

namespace {
ItemEditor *g_editor = nullptr;
}

ItemEditor *ItemEditor::instance()
{
    return g_editor;
}

void ItemEditor::setInstance(ItemEditor *editor)
{
    g_editor = editor;
}

#include "model/FlagItem.h"

#include "localisation/LanguageSelect.h"
#include "model/IndexStream.h"
#include "model/ItemBytes.h"
#include "model/ItemEditor.h"
#include "base/TextHelpers.h"
#include "platform/UserPrompts.h"

TBoolTool &TBoolTool::instance()
{
    static TBoolTool tool;
    return tool;
}

QString TBoolTool::tr(const QString &key, const LanguageSelect *fallback) const
{
    const LanguageSelect *l = language ? language : fallback;
    return l ? l->translate(key) : key;
}

void TBoolTool::SetStyle(TFlagStyle style, const LanguageSelect *fallback)
{
    FStyle = style;
    // Low/High and the two Enabled styles name the set bit with their second word.
    switch (style) {
    case fsTrueFalse:
        TrueValueString = tr(QStringLiteral("GWEintragFlagTrue"), fallback);
        FalseValueString = tr(QStringLiteral("GWEintragFlagFalse"), fallback);
        break;
    case fsYesNo:
        TrueValueString = tr(QStringLiteral("GWEintragFlagYes"), fallback);
        FalseValueString = tr(QStringLiteral("GWEintragFlagNo"), fallback);
        break;
    case fsOnOff:
        TrueValueString = tr(QStringLiteral("GWEintragFlagOn"), fallback);
        FalseValueString = tr(QStringLiteral("GWEintragFlagOff"), fallback);
        break;
    case fsUsedUnused:
        TrueValueString = tr(QStringLiteral("GWEintragFlagUsed"), fallback);
        FalseValueString = tr(QStringLiteral("GWEintragFlagUnused"), fallback);
        break;
    case fsactiveInactive:
        TrueValueString = tr(QStringLiteral("GWEintragFlagActive"), fallback);
        FalseValueString = tr(QStringLiteral("GWEintragFlagInactive"), fallback);
        break;
    case fsLowHigh:
        TrueValueString = tr(QStringLiteral("GWEintragFlagHigh"), fallback);
        FalseValueString = tr(QStringLiteral("GWEintragFlagLow"), fallback);
        break;
    case fsEnabledDisabled:
        TrueValueString = tr(QStringLiteral("GWEintragFlagDisabled"), fallback);
        FalseValueString = tr(QStringLiteral("GWEintragFlagEnabled"), fallback);
        break;
    case fsDisabledEnabled:
        TrueValueString = tr(QStringLiteral("GWEintragFlagEnabled"), fallback);
        FalseValueString = tr(QStringLiteral("GWEintragFlagDisabled"), fallback);
        break;
    case fsOffOn:
        TrueValueString = tr(QStringLiteral("GWEintragFlagOff"), fallback);
        FalseValueString = tr(QStringLiteral("GWEintragFlagOn"), fallback);
        break;
    case fsInactiveActive:
        TrueValueString = tr(QStringLiteral("GWEintragFlagInactive"), fallback);
        FalseValueString = tr(QStringLiteral("GWEintragFlagActive"), fallback);
        break;
    }
}

void TBoolTool::SetBoolvalue(bool value)
{
    FBoolValue = value;
    FStringValue = value ? TrueValueString : FalseValueString;
}

void TBoolTool::SetStringValue(const QString &s)
{
    if (s.compare(TrueValueString, Qt::CaseInsensitive) == 0)
        SetBoolvalue(true);
    else if (s.compare(FalseValueString, Qt::CaseInsensitive) == 0)
        SetBoolvalue(false);
}

bool TBoolTool::Str2Bool(const QString &s)
{
    SetStringValue(s);
    return FBoolValue;
}

bool TBoolTool::IsWording(const QString &s) const
{
    return s.compare(TrueValueString, Qt::CaseInsensitive) == 0 || s.compare(FalseValueString, Qt::CaseInsensitive) == 0;
}

TBoolTool &TFlagItem::Tool()
{
    TBoolTool &tool = TBoolTool::instance();
    tool.SetStyle(FFlagStyle, language);
    return tool;
}

uint8_t TFlagItem::StoredByte() const
{
    RequireItemBytes(*this, Position, 1);
    return FData->GetByteIDX(Position);
}

void TFlagItem::Load()
{
    TItem::Load();
    // Bit numbers count modulo 32 (a negative one as its low five bits); only 0..7 address
    // the byte, higher ones make a flag that never reads as set and that writing leaves alone.
    const int bit = StrToInt(LineField(5));
    FBitValue = static_cast<int32_t>(uint32_t(1) << (uint32_t(bit) & 31u));

    const QString styleField = LineField(6);
    const QChar letter = styleField.isEmpty() ? QChar() : styleField.at(0);
    if (letter >= u'a' && letter <= u'j') {
        FFlagStyle = static_cast<TFlagStyle>(letter.unicode() - u'a');
    } else {
        FFlagStyle = fsTrueFalse;
        UserPrompts::instance().showMessage(FormatText(tr(QStringLiteral("exceptionGWEintragUndefinedFlagstyle")),
                                                       {styleField, DeviceName, FIdentifier}),
                                            QString(), PromptIcon::Warning);
    }
}

QString TFlagItem::GetText()
{
    const uint8_t b = StoredByte();
    TBoolTool &tool = Tool();
    const auto mask = static_cast<uint32_t>(FBitValue);
    tool.SetBoolvalue((b & mask) == mask);
    return tool.StringValue();
}

void TFlagItem::SetText(const QString &NewValue)
{
    const uint8_t b = StoredByte();
    TBoolTool &tool = Tool();
    // A text that is neither wording leaves the bit as it is, rather than applying whatever
    // the shared tool held from its last use.
    if (!tool.IsWording(NewValue))
        return;
    tool.SetStringValue(NewValue);
    const auto low = static_cast<uint8_t>(FBitValue & 0xFF);
    FData->SetByteIDX(Position, tool.Boolvalue() ? uint8_t(b | low) : uint8_t(b & ~low));
}

uint32_t TFlagItem::GetIntegerValue()
{
    return StoredByte();
}

void TFlagItem::Edit(const QPoint &EditPos)
{
    ItemEditor *editor = ItemEditor::instance();
    if (!editor)
        return;
    editor->SetTopLeftOnScreen(EditPos, ItemEditor::ScreenBottom::WorkArea, 30);
    const QString current = GetText(); // also sets the tool's wordings for this flag
    const TBoolTool &tool = TBoolTool::instance();
    editor->SetBoolPage(FIdentifier, tool.TrueValueString, tool.FalseValueString);
    const QString result = editor->Edit(this, FFormat, current);
    if (result != current) {
        SetText(result);
        modified = true;
    }
    if (FVisualRule == vrAlwaysEdit)
        DoChange();
}

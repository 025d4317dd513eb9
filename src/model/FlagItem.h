#pragma once

#include "model/Item.h"

class LanguageSelect;

// The wording pairs of flags; the letter "a" + value selects a style in the description file.
enum TFlagStyle : int {
    fsTrueFalse = 0,
    fsYesNo = 1,
    fsOnOff = 2,
    fsUsedUnused = 3,
    fsactiveInactive = 4,
    fsLowHigh = 5,
    fsEnabledDisabled = 6,
    fsDisabledEnabled = 7,
    fsOffOn = 8,
    fsInactiveActive = 9,
};

// Converts between a Boolean and the translated wording of a flag style. One instance serves
// every flag parameter; each flag operation sets the style first.
class TBoolTool
{
public:
    TBoolTool() = default;

    // Takes the style and translates its two wordings. The wordings come from the tool's
    // `language` (the editor dialog's); until the shell hands it one, from `fallback`.
    void SetStyle(TFlagStyle style, const LanguageSelect *fallback = nullptr);
    TFlagStyle Style() const { return FStyle; }
    void SetBoolvalue(bool value);
    bool Boolvalue() const { return FBoolValue; }
    // Takes the wording that equals s without regard to letter case; any other text changes nothing.
    void SetStringValue(const QString &s);
    const QString &StringValue() const { return FStringValue; }
    bool Str2Bool(const QString &s);
    // Whether s is one of the two wordings of the current style (letter case ignored).
    bool IsWording(const QString &s) const;

    static TBoolTool &instance();

    bool FBoolValue = false;
    QString FStringValue;
    TFlagStyle FStyle = fsTrueFalse;
    QString TrueValueString;
    QString FalseValueString;
    const LanguageSelect *language = nullptr;

private:
    QString tr(const QString &key, const LanguageSelect *fallback) const;
};

// One bit of the byte at Position (field 5: bit number, 0 = least significant), shown with
// the wording of the style that the first letter of field 6 selects.
class TFlagItem : public TItem
{
public:
    using TItem::TItem;

    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    void Edit(const QPoint &EditPos) override;
    void Load() override;
    QString ClassName() const override { return QStringLiteral("TFlagItem"); }

    TFlagStyle FFlagStyle = fsOnOff;
    int32_t FBitValue = 1;

private:
    uint8_t StoredByte() const;
    TBoolTool &Tool();
};

#pragma once

#include "model/Events.h"

#include <QHash>
#include <QPoint>
#include <QString>
#include <bitset>
#include <memory>
#include <vector>

class IniFile;
class LanguageSelect;
class PrintSink;
class TIndexStream;
class TItemlist;

enum TFormat : int {
    fmSerialNumber = 0,
    fmWord = 1,
    fmByte = 2,
    fmHexASCII = 3,
    fmList = 4,
    fmChar = 5,
    fmHexByte = 6,
    fmHexWord = 7,
    fmHexLong = 8,
    fmVersion = 9,
    fmFlag = 10,
    fmProfilMap = 11,
    fmString = 12,
    fmRestrictedByte = 13,
    fmIPAddress = 14,
    fmEthernetHardwareAddress = 15,
    fmByteTuple = 16,
    fm32Bit = 17,
    fmWordTuple = 18,
    fmHTMLSource = 19,
    fmPassword = 20,
    fmPByte = 21,
};
constexpr int kFormatCount = 22;

enum TVisualRule : int {
    vrInvisible = 0,
    vrAlwaysEdit = 1,
    vrAlwaysShow = 2,
    vrEdit = 3,
    vrShow = 4,
    vrAlwaysDependendEdit = 5,
    vrDependendEdit = 6,
    vrMasterItem = 7,
};
QString VisualRuleName(TVisualRule rule); // "vrAlwaysEdit", ...

enum TVisualCondition : int { vcVisibleIf = 0, vcNotVisibleIf = 1 };

using TVisualValue = std::bitset<256>; // byte values for which a condition holds

// One named, typed view onto bytes of the image, defined by one description line. A
// parameter holds no value: every read and write goes to the image bytes at that moment.
class TItem : public TObject
{
public:
    TItem(TItemlist *iParent, TIndexStream *m, const IniFile *FIniDatei, TFormat Frmt);
    ~TItem() override = default;

    // Slots 0..7.
    virtual void SetText(const QString &NewValue) = 0;
    virtual QString GetText() = 0;
    virtual uint32_t GetIntegerValue() = 0;
    virtual int32_t HelpContextNumber();
    virtual TVisualRule GetVisualRule();
    virtual void Edit(const QPoint &EditPos);
    virtual void Load();
    virtual void DoPrint(PrintSink &RichEdit);

    virtual QString ClassName() const { return QStringLiteral("TItem"); }

    void DoChange();
    void ReadVisualRule(uint16_t number, TVisualCondition &typ, TVisualValue &values, uint8_t &byte);

    TFormat Format() const { return FFormat; }
    const QString &ASCIILine() const { return FAsciiLine; }
    void SetASCIILine(const QString &line) { FAsciiLine = line; }
    const QString &Identifier() const { return FIdentifier; }
    const QString &HelpURL() const { return FHelpURL; }
    TIndexStream *Data() const { return FData; }
    const IniFile *ConfigFile() const { return FConfigFile; }

    // Translation of key through the parameter's language (the key itself without one).
    QString tr(const QString &key) const;
    // The value part of the description line (after the first "="), and its field n.
    QString LineValue() const;
    QString LineField(int n) const;
    // The detail section of this parameter: SectionID ":" Identifier.
    QString DetailSection() const;

    QString FAsciiLine;
    TFormat FFormat;
    const IniFile *FConfigFile = nullptr;
    TIndexStream *FData = nullptr;
    TVisualRule FVisualRule = vrInvisible;
    TNotifyEvent OnChange;
    int32_t FHelpContext = 0;
    uint16_t FVisualRulenumber = 0;
    uint16_t FVisualRulenumbera = 0;
    TVisualCondition FVisualTyp = vcVisibleIf;
    uint8_t FVisualByte = 0;
    uint8_t FVisualBytea = 0;
    TVisualValue FVisualValue;
    TVisualValue FVisualValuea;
    QString FIdentifier;
    QString FHelpURL;
    LanguageSelect *language = nullptr;
    TItemlist *Parent = nullptr;
    int32_t flagreg = 0;
    bool modified = false;
    uint16_t Position = 0;
    QString SectionID;
    QString Hint;
    QString DeviceName;

protected:
    // Help-context number from a help code, as the base and list parameters compute it.
    int32_t HelpContextFromCode(int32_t c);
    // Runs the common edit steps with the editor dialog: returns after SetText/DoChange.
    void EditWithDialog(const QPoint &EditPos);
};

// The parameters of a binding in description order; owns them. Look-up by name ignores
// letter case and finds the first match, through an index so the grid's per-row look-ups
// stay cheap on large descriptions.
class TItemlist
{
public:
    int Count() const { return int(m_items.size()); }
    TItem *GetItem(int Index) const;
    TItem *operator[](int Index) const { return GetItem(Index); }
    TItem *GetByName(const QString &Index) const;
    void Add(std::unique_ptr<TItem> item);
    void Clear();

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<std::unique_ptr<TItem>> m_items;
    QHash<QString, int> m_firstByName;
};

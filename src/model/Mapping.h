#pragma once

#include "model/Events.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

class LanguageSelect;
class TIndexStream;
class TMapItem;
class TMapping;

// How a field of a mapping entry is shown and parsed.
enum TMapValueDisplayType : int {
    dtunknown = 0,
    dtdezimal = 1,
    dtHexadezimal = 2,
    dtbinaer = 3,
    dtListe = 4,
};

// A class of entry types; the mapping editor groups entries by it.
class TMapClass
{
public:
    explicit TMapClass(uint8_t ClassID) : fClassID(ClassID) {}
    uint8_t ClassID() const { return fClassID; }

    uint8_t fClassID;
};

// One field of a mapping entry: a bit range of the entry's record, counted from the most
// significant bit of its type byte. The value lives in FinternValue between reading the
// record (FromEEROM) and writing it back (ToEEROM).
class TMapValue : public TObject
{
public:
    explicit TMapValue(TMapItem *AOwner);

    virtual void DoCheckFailure();
    virtual void DoCheckOK();

    void FromEEROM();
    void ToEEROM();
    // The value as text for its display type.
    QString GetValue() const;
    // Parses text for the display type and checks the range: true and OnCheckOK when the
    // value was taken, false and OnCheckFailure (value unchanged) otherwise.
    bool SetValue(const QString &text);
    QString Value() const { return GetValue(); }
    QString GetRangeText() const;
    QString GetCheckText() const { return {}; }
    // The names of the list values, in description order.
    QStringList Values() const;

    TMapItem *Owner() const { return FOwner; }
    uint32_t IntValue() const { return FinternValue; }
    TMapValueDisplayType DisplayType() const { return FDisplayType; }
    const QString &Caption() const { return FCaption; }
    uint16_t FromBit() const { return FFromBit; }
    uint8_t BitLength() const { return FBitLength; }
    uint32_t MinValue() const { return FMinValue; }
    uint32_t MaxValue() const { return FMaxValue; }
    QString ClassName() const { return QStringLiteral("TMapValue"); }

    QString ListSectionName;
    QString SectionName;
    TMapValueDisplayType FDisplayType = dtunknown;
    uint32_t FMinValue = 0xFFFFFFFFu;
    uint32_t FMaxValue = 0xFFFFFFFFu;
    uint32_t FinternValue = 0;
    uint16_t FFromBit = 0;
    uint8_t FBitLength = 0;
    uint32_t HelpContext = 0;
    QStringList FListValues; // "0x0001=name" lines of the list section
    QString FCaption;
    TMapItem *FOwner = nullptr;
    TNotifyEvent OnCheckOK;
    TNotifyEvent OnCheckFailure;

private:
    // Parsed value of text, or false when the text is no value of this field.
    bool Parse(const QString &text, uint32_t &value) const;
    int HexDigits() const { return FBitLength / 4 + 1; }
    // First absolute bit of the field in the image; raises when it lies outside.
    uint32_t ImageBit() const;
};

// One entry of a mapping table: a record of Size bytes starting with its type byte.
class TMapItem : public TObject
{
public:
    explicit TMapItem(TMapping *AOwner, uint8_t Identifier = 0);

    void GetFromEEROM();
    void PutToEEROM();
    // Values separated by ",": the k-th piece goes to the k-th field. A piece that a field
    // does not take raises (naming field and range) after the field's OnCheckFailure.
    void SetText(const QString &NewValues);

    // Why the fields do not fit the record (a width outside 1..32 bits or bits beyond the
    // record), or an empty text when they do.
    QString LayoutProblem() const;

    const std::vector<std::unique_ptr<TMapValue>> &Values() const { return FValues; }
    int ValueCount() const { return int(FValues.size()); }
    TMapValue *Value(int i) const { return FValues.at(size_t(i)).get(); }
    TMapValue *AddValue(std::unique_ptr<TMapValue> value);

    TMapping *Owner() const { return FOwner; }
    bool CanCreate() const { return FCanCreate; }
    bool CanDisplay() const { return FCanDisplay; }
    uint8_t Identifier() const { return FIdentifier; }
    uint8_t MapClass() const { return FMapClass; }
    const QString &Caption() const { return FCaption; }
    uint16_t EEROMPosition() const { return FEEROMPosition; }
    uint8_t Size() const { return FSize; }
    QString ClassName() const { return QStringLiteral("TMapItem"); }

    std::vector<std::unique_ptr<TMapValue>> FValues;
    bool FCanCreate = true;
    bool FCanDisplay = true;
    uint8_t FIdentifier = 0;
    uint8_t FMapClass = 0;
    QString FCaption;
    uint16_t FEEROMPosition = 0xFFFF;
    uint8_t FSize = 1;
    uint32_t HelpContext = 0;
    TMapping *FOwner = nullptr;
};

// The mapping table of a configuration image: its entries in image order.
class TMapping
{
public:
    // Raises "exceptionGWMappingDataIsNIL" without an image.
    explicit TMapping(TIndexStream *Data, LanguageSelect *Language = nullptr);

    TIndexStream *Data() const { return FData; }
    const std::vector<std::unique_ptr<TMapItem>> &Items() const { return FItems; }
    int Count() const { return int(FItems.size()); }
    TMapItem *Item(int i) const { return FItems.at(size_t(i)).get(); }
    TMapItem *Add(std::unique_ptr<TMapItem> item);
    // Removes (and frees) the entry; false when it is not in the table.
    bool Remove(TMapItem *item);
    void Clear() { FItems.clear(); }

    uint8_t SoftwareRevision() const { return FSoftwareRevision; }
    uint16_t DeviceType() const { return FDeviceType; }
    const QString &Caption() const { return FCaption; }

    // Translation through the table's language (the key itself without one).
    QString tr(const QString &key) const;

    TIndexStream *FData = nullptr;
    uint8_t FSoftwareRevision = 0;
    uint16_t FDeviceType = 0;
    QString FCaption;
    std::vector<std::unique_ptr<TMapItem>> FItems;
    LanguageSelect *language = nullptr;
};

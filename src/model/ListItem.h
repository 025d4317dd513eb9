#pragma once

#include "model/Item.h"

#include <QStringList>

// A byte whose values have names, listed in the detail section SectionID ":" Identifier as
// "name=action;value;preset image;;help code;condition". Choosing an entry stores its value,
// loads a whole preset image, or applies a preset section to other parameters.
class TListItem : public TItem
{
public:
    using TItem::TItem;

    // The text of a byte value that no entry names.
    static QString NoMatchText() { return QStringLiteral("     "); }

    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    int32_t HelpContextNumber() override;
    void Edit(const QPoint &EditPos) override;
    void Load() override;
    QString ClassName() const override { return QStringLiteral("TListItem"); }

    // The names of the entries whose condition holds for the image bytes now (into FExtList).
    QStringList SelectableEntries();
    // Sets the parameters named in the preset section of the entry. A preset that applies
    // itself again, or presets that together apply more than kMaxPresetApplications presets,
    // raise an error and leave the image as it was before the outermost preset.
    void ApplyPreset(const QString &entryName);
    static constexpr int kMaxPresetApplications = 1000;

    QStringList FList;    // the entry lines, in file order
    QStringList FExtList; // the entries offered by the last SelectableEntries

private:
    uint8_t StoredByte() const;
    // The value the entries are matched against (at offset 1 with the device-code extension).
    int64_t CurrentValue() const;
    void RunPreset(const QString &section);
};

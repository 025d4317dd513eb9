#pragma once

#include "model/Item.h"

#include <QList>

// Parameters spanning several bytes with a structure of their own: IPv4 and Ethernet
// addresses, byte and word tables edited as a grid, and the HTML text the device serves.

class TIPAddressItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("TIPAddressItem"); }
};

class TEthernetHardwareAddressItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("TEthernetHardwareAddressItem"); }
};

// A table of FSize bytes at Position. The grid shows the fixed FDisplayString; the editor
// shows the values in rows of Columns.
class TByteTupleItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    void Load() override;
    QString ClassName() const override { return QStringLiteral("TByteTupleItem"); }

    // Bytes per value: 1 for byte tables, 2 for word tables.
    int ValueBytes() const { return FValueBytes; }
    // Number of value rows of the editor's grid (0 when the description gives no columns).
    int RowCount() const;
    // The values of the table in image order, as the editor shows them (FSize div
    // ValueBytes values; raises when the table runs past the image).
    QList<uint32_t> TableValues() const;

    int32_t FSize = 0;
    int32_t FStartIndex = 0;
    QString FDisplayString;
    int32_t Columns = 0;
    QString ColName1;
    QString ColName2;
    QString ColName3;
    QString ColName4;

protected:
    // Stores the ";"-terminated values of text, ValueBytes each, at Position onward.
    void StoreValues(const QString &text);
    int FValueBytes = 1;
};

class TWordTupleItem : public TByteTupleItem
{
public:
    TWordTupleItem(TItemlist *iParent, TIndexStream *m, const IniFile *FIniDatei, TFormat Frmt);
    void SetText(const QString &NewValue) override;
    QString ClassName() const override { return QStringLiteral("TWordTupleItem"); }
};

// The two bytes at Position hold the big-endian offset of a zero-terminated text that must
// end below kHTMLLimit.
class THTMLSourceItem : public TItem
{
public:
    static constexpr int kHTMLLimit = 2048;

    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("THTMLSourceItem"); }

    // The stored text, for the editor's page.
    QString HTMLText() const;
    // The offset the text starts at.
    uint16_t TextOffset() const;
};

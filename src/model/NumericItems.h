#pragma once

#include "model/Item.h"

#include <QStringList>

// The parameters that show one number (or one character) held in one to four bytes at
// Position, most significant byte first. None keeps a value of its own.

// Every format checks its whole span (RequireItemBytes) before it reads or writes, so a
// description line that places a value past the end never touches memory outside the
// image, and every text is converted before the first byte changes, so a failing write
// leaves the image as it was.

// Reads count bytes at Position as one big-endian number (count 1..4), range-checked.
uint32_t ReadBigEndian(const TItem &item, int count);
// Two characters read as "$" + pair by the standard conversion: one or two hex digits,
// otherwise the standard conversion error.
uint8_t HexPairValue(const QString &pair);
// Writes the low count bytes of value at Position, big-endian (count 1..4), range-checked.
void WriteBigEndian(TItem &item, int count, uint32_t value);

class TSerialNumberItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("TSerialNumberItem"); }
};

class TWordItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("TWordItem"); }
};

class T32BitItem : public TWordItem
{
public:
    using TWordItem::TWordItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("T32BitItem"); }
};

class TByteItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("TByteItem"); }
};

// A byte whose editor offers only min .. max; SetText itself does not check the range.
class TRestrictedByteItem : public TByteItem
{
public:
    using TByteItem::TByteItem;
    void Load() override;
    QString ClassName() const override { return QStringLiteral("TRestrictedByteItem"); }

    int32_t min = 0;
    int32_t max = 255;
};

// A byte shown without its top bit.
class TPByteItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("TPByteItem"); }
};

class TCharItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("TCharItem"); }
};

class THexByteItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("THexByteItem"); }
};

class THexWordItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("THexWordItem"); }
};

class THexLongItem : public TItem
{
public:
    using TItem::TItem;
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    QString ClassName() const override { return QStringLiteral("THexLongItem"); }
};

// A version byte "V h.l"; the editor offers 'V 0.0' .. 'V 9.9'.
class TVersionItem : public TItem
{
public:
    TVersionItem(TItemlist *iParent, TIndexStream *m, const IniFile *FIniDatei, TFormat Frmt);
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    void Edit(const QPoint &EditPos) override;
    QString ClassName() const override { return QStringLiteral("TVersionItem"); }

    QStringList FList;
};

// A byte shown as two lower-case hex digits; the editor offers '00' .. '99'.
class THexAsciiItem : public TItem
{
public:
    THexAsciiItem(TItemlist *iParent, TIndexStream *m, const IniFile *FIniDatei, TFormat Frmt);
    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    void Edit(const QPoint &EditPos) override;
    QString ClassName() const override { return QStringLiteral("THexAsciiItem"); }

    QStringList FList;
};

#pragma once

#include "model/Item.h"

// A fixed-length string: TextLength bytes from Position (field 6 of the line). Only the
// printable codes 32..127 are shown; writing pads with zero bytes or cuts the text.
class TTextItem : public TItem
{
public:
    using TItem::TItem;

    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    void Load() override;
    QString ClassName() const override { return QStringLiteral("TTextItem"); }

    int32_t TextLength() const { return FTextLength; }

    int32_t FTextLength = 0;
};

// A string that the grid and the printout show as one "*" per stored character; its editor
// page asks for the new password twice.
class TPasswordItem : public TTextItem
{
public:
    using TTextItem::TTextItem;

    QString GetText() override;
    void Edit(const QPoint &EditPos) override;
    QString ClassName() const override { return QStringLiteral("TPasswordItem"); }
};

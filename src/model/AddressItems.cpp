#include "model/AddressItems.h"

#include "base/GeneralError.h"
#include "model/IndexStream.h"
#include "model/ItemBytes.h"
#include "model/NumericItems.h"
#include "base/TextHelpers.h"
#include "platform/UserPrompts.h"

#include <QStringList>

// IP address ---------------------------------------------------------------------------

void TIPAddressItem::SetText(const QString &NewValue)
{
    // All four groups are converted before the first byte changes, so a bad group leaves
    // the address as it was.
    uint32_t value = 0;
    for (int k = 1; k <= 4; ++k)
        value = (value << 8) | (static_cast<uint32_t>(StrToInt(StripBlanks(ExtractField(NewValue, u'.', k)))) & 0xFFu);
    WriteBigEndian(*this, 4, value);
}

QString TIPAddressItem::GetText()
{
    const uint32_t v = ReadBigEndian(*this, 4);
    return QStringLiteral("%1.%2.%3.%4").arg(v >> 24).arg((v >> 16) & 0xFF).arg((v >> 8) & 0xFF).arg(v & 0xFF);
}

uint32_t TIPAddressItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 4);
}

// Ethernet hardware address ------------------------------------------------------------

void TEthernetHardwareAddressItem::SetText(const QString &NewValue)
{
    // The digit pairs sit at character positions 1-2, 4-5, ... 16-17; separators are not
    // checked.
    uint8_t bytes[6];
    for (int k = 0; k < 6; ++k)
        bytes[k] = HexPairValue(NewValue.mid(3 * k, 2));
    RequireItemBytes(*this, Position, 6);
    for (int k = 0; k < 6; ++k)
        FData->SetByteIDX(static_cast<uint16_t>(Position + k), bytes[k]);
}

QString TEthernetHardwareAddressItem::GetText()
{
    RequireItemBytes(*this, Position, 6);
    QStringList groups;
    for (int k = 0; k < 6; ++k)
        groups.append(IntToHex(FData->GetByteIDX(static_cast<uint16_t>(Position + k)), 2));
    return groups.join(u'-');
}

uint32_t TEthernetHardwareAddressItem::GetIntegerValue()
{
    return 0;
}

// Byte and word tables -----------------------------------------------------------------

TWordTupleItem::TWordTupleItem(TItemlist *iParent, TIndexStream *m, const IniFile *FIniDatei, TFormat Frmt)
    : TByteTupleItem(iParent, m, FIniDatei, Frmt)
{
    FValueBytes = 2;
}

void TByteTupleItem::Load()
{
    TItem::Load();
    FSize = StrToInt(LineField(6));
    Columns = StrToInt(LineField(8));
    FStartIndex = 0;
    FDisplayString.clear();
    ColName1.clear();
    ColName2.clear();
    ColName3.clear();
    ColName4.clear();
    // The rest is optional. An empty start index reads as 0; one that is no number leaves
    // it and everything after it at the defaults.
    const QString start = LineField(9);
    if (!start.isEmpty()) {
        try {
            FStartIndex = StrToInt(start);
        } catch (const TorvaneError &) {
            return;
        }
    }
    FDisplayString = LineField(10);
    ColName1 = LineField(11);
    ColName2 = LineField(12);
    ColName3 = LineField(13);
    ColName4 = LineField(14);
}

QString TByteTupleItem::GetText()
{
    return FDisplayString;
}

uint32_t TByteTupleItem::GetIntegerValue()
{
    return 0;
}

int TByteTupleItem::RowCount() const
{
    if (Columns <= 0 || FSize <= 0)
        return 0;
    return FSize / (FValueBytes * Columns);
}

QList<uint32_t> TByteTupleItem::TableValues() const
{
    const int count = FSize > 0 ? FSize / FValueBytes : 0;
    RequireItemBytes(*this, Position, qsizetype(count) * FValueBytes);
    QList<uint32_t> values;
    values.reserve(count);
    for (int k = 0; k < count; ++k) {
        uint32_t v = 0;
        for (int b = 0; b < FValueBytes; ++b)
            v = (v << 8) | FData->GetByteIDX(static_cast<uint16_t>(Position + k * FValueBytes + b));
        values.append(v);
    }
    return values;
}

void TByteTupleItem::StoreValues(const QString &text)
{
    // Values go in only while they fit both the table and the used part of the image (and
    // the buffer); a word is stored only whole. Every value is converted before the first
    // byte changes, so a bad value leaves the table as it was.
    const qsizetype limit = qMin<qsizetype>(FData->UseSize(), FData->Size());
    QList<uint32_t> values;
    qsizetype from = 0;
    for (qsizetype i = 0;; i += FValueBytes) {
        if (from >= text.size() || i + FValueBytes > FSize || Position + i + FValueBytes > limit)
            break;
        qsizetype sep = text.indexOf(u';', from);
        if (sep < 0)
            sep = text.size();
        values.append(static_cast<uint32_t>(StrToInt(text.mid(from, sep - from))));
        from = sep + 1;
    }
    for (qsizetype k = 0; k < values.size(); ++k)
        for (int b = 0; b < FValueBytes; ++b) {
            const int shift = 8 * (FValueBytes - 1 - b);
            FData->SetByteIDX(static_cast<uint16_t>(Position + k * FValueBytes + b),
                              static_cast<uint8_t>(values[k] >> shift));
        }
}

void TByteTupleItem::SetText(const QString &NewValue)
{
    StoreValues(NewValue);
}

void TWordTupleItem::SetText(const QString &NewValue)
{
    StoreValues(NewValue);
}

// HTML text ----------------------------------------------------------------------------

namespace {
// Device code, revision, checksum and flags: never part of a text area.
constexpr qsizetype kHeaderBytes = 5;
} // namespace

uint16_t THTMLSourceItem::TextOffset() const
{
    return static_cast<uint16_t>(ReadBigEndian(*this, 2));
}

QString THTMLSourceItem::HTMLText() const
{
    const qsizetype o = TextOffset();
    const qsizetype end = qMin<qsizetype>(FData->UseSize(), FData->Size()) - 1;
    QString text;
    for (qsizetype i = o; i < end; ++i) {
        const uint8_t b = FData->GetByteIDX(static_cast<uint16_t>(i));
        if (b == 0)
            break;
        text.append(QChar(char16_t(b)));
    }
    return text;
}

void THTMLSourceItem::SetText(const QString &NewValue)
{
    const qsizetype o = TextOffset();
    const qsizetype len = NewValue.size();
    if (len >= kHTMLLimit - o) {
        UserPrompts::instance().showMessage(QStringLiteral("HTML File too large"));
        return;
    }
    // The text, its terminator and the cleared rest of the text area (up to the used end,
    // but never past the area's limit: what lies above it belongs to other parameters).
    const qsizetype newUse = FData->UseSize() <= o + len ? o + len + 1 : FData->UseSize();
    const qsizetype clearEnd = qMax(o + len + 1, qMin<qsizetype>(newUse, kHTMLLimit));
    RequireItemBytes(*this, o, clearEnd - o);
    if (o < kHeaderBytes || (Position + 2 > o && Position < clearEnd))
        throw TorvaneError(QStringLiteral("Parameter \"%1\": a text at offset %2 would overwrite the image header "
                                          "or the parameter's own offset bytes at %3")
                               .arg(Identifier())
                               .arg(o)
                               .arg(Position));
    FData->SetUseSize(static_cast<int32_t>(newUse));
    for (qsizetype i = 0; i < len; ++i)
        FData->SetByteIDX(static_cast<uint16_t>(o + i), static_cast<uint8_t>(NewValue.at(i).unicode() & 0xFF));
    for (qsizetype i = o + len; i < clearEnd; ++i)
        FData->SetByteIDX(static_cast<uint16_t>(i), 0);
}

QString THTMLSourceItem::GetText()
{
    return QStringLiteral("...");
}

uint32_t THTMLSourceItem::GetIntegerValue()
{
    return 0;
}

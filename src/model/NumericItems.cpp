#include "model/NumericItems.h"

#include "base/GeneralError.h"
#include "model/IndexStream.h"
#include "model/ItemBytes.h"
#include "model/ItemEditor.h"
#include "base/TextHelpers.h"

uint32_t ReadBigEndian(const TItem &item, int count)
{
    RequireItemBytes(item, item.Position, count);
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | item.FData->GetByteIDX(static_cast<uint16_t>(item.Position + i));
    return value;
}

void WriteBigEndian(TItem &item, int count, uint32_t value)
{
    RequireItemBytes(item, item.Position, count);
    for (int i = 0; i < count; ++i) {
        const int shift = 8 * (count - 1 - i);
        item.FData->SetByteIDX(static_cast<uint16_t>(item.Position + i), static_cast<uint8_t>(value >> shift));
    }
}

// A pair of characters read as "$" + pair by the standard conversion: one or two hex
// digits, nothing else (a blank in a digit place is not a digit).
uint8_t HexPairValue(const QString &pair)
{
    const QString text = u'$' + pair.left(2);
    int64_t value = 0;
    if (!TryDecimalValue(text, value))
        throw TorvaneError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return static_cast<uint8_t>(value);
}

namespace {

// The standard signed 32-bit conversion; wider values keep their low bits when stored.
uint32_t DecimalValue(const QString &text)
{
    return static_cast<uint32_t>(StrToInt(text));
}

} // namespace

// Serial number ------------------------------------------------------------------------

void TSerialNumberItem::SetText(const QString &NewValue)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | HexPairValue(NewValue.mid(2 * i, 2));
    WriteBigEndian(*this, 4, value);
}

QString TSerialNumberItem::GetText()
{
    return IntToHex(ReadBigEndian(*this, 4), 8);
}

uint32_t TSerialNumberItem::GetIntegerValue()
{
    return 0;
}

// Word and 32-bit value ----------------------------------------------------------------

void TWordItem::SetText(const QString &NewValue)
{
    WriteBigEndian(*this, 2, DecimalValue(NewValue));
}

QString TWordItem::GetText()
{
    return QString::number(ReadBigEndian(*this, 2));
}

uint32_t TWordItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 2);
}

void T32BitItem::SetText(const QString &NewValue)
{
    // The grid shows the value unsigned (up to 4294967295); that text must be writable
    // back, so an unsigned decimal beyond the signed range is accepted as well.
    int64_t value = 0;
    if (!TryDecimalValue(NewValue, value) || value < INT32_MIN || value > int64_t(UINT32_MAX))
        throw TorvaneError(QStringLiteral("'%1' is not a valid integer value").arg(NewValue));
    WriteBigEndian(*this, 4, static_cast<uint32_t>(value));
}

QString T32BitItem::GetText()
{
    return QString::number(ReadBigEndian(*this, 4));
}

uint32_t T32BitItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 4);
}

// Bytes --------------------------------------------------------------------------------

void TByteItem::SetText(const QString &NewValue)
{
    WriteBigEndian(*this, 1, DecimalValue(NewValue));
}

QString TByteItem::GetText()
{
    return QString::number(ReadBigEndian(*this, 1));
}

uint32_t TByteItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 1);
}

void TRestrictedByteItem::Load()
{
    TByteItem::Load();
    const QString low = LineField(5);
    const QString high = LineField(6);
    min = low.isEmpty() ? 0 : StrToInt(low);
    max = high.isEmpty() ? 255 : StrToInt(high);
}

void TPByteItem::SetText(const QString &NewValue)
{
    WriteBigEndian(*this, 1, DecimalValue(NewValue));
}

QString TPByteItem::GetText()
{
    return QString::number(ReadBigEndian(*this, 1) & 0x7F);
}

uint32_t TPByteItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 1);
}

void TCharItem::SetText(const QString &NewValue)
{
    if (NewValue.isEmpty())
        return;
    WriteBigEndian(*this, 1, NewValue.at(0).unicode() & 0xFFu);
}

QString TCharItem::GetText()
{
    return QString(QChar(char16_t(ReadBigEndian(*this, 1))));
}

uint32_t TCharItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 1);
}

// Hexadecimal fields -------------------------------------------------------------------

void THexByteItem::SetText(const QString &NewValue)
{
    WriteBigEndian(*this, 1, HexStrToInt(NewValue));
}

QString THexByteItem::GetText()
{
    return IntToHex(ReadBigEndian(*this, 1), 2);
}

uint32_t THexByteItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 1);
}

void THexWordItem::SetText(const QString &NewValue)
{
    WriteBigEndian(*this, 2, HexStrToInt(NewValue));
}

QString THexWordItem::GetText()
{
    return IntToHex(ReadBigEndian(*this, 2), 4);
}

uint32_t THexWordItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 2);
}

void THexLongItem::SetText(const QString &NewValue)
{
    WriteBigEndian(*this, 4, HexStrToInt(NewValue));
}

QString THexLongItem::GetText()
{
    return IntToHex(ReadBigEndian(*this, 4), 8);
}

uint32_t THexLongItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 4);
}

// Version and hex-ASCII bytes ----------------------------------------------------------

TVersionItem::TVersionItem(TItemlist *iParent, TIndexStream *m, const IniFile *FIniDatei, TFormat Frmt)
    : TItem(iParent, m, FIniDatei, Frmt)
{
    FList.reserve(100);
    for (int i = 0; i < 100; ++i)
        FList.append(QStringLiteral("V %1.%2").arg(i / 10).arg(i % 10));
}

void TVersionItem::SetText(const QString &NewValue)
{
    if (NewValue.isEmpty())
        return; // the list had no selection
    // Only the digit places of "V h.l" count; a place the text does not reach reads as 0.
    const QChar high = NewValue.size() > 2 ? NewValue.at(2) : QChar();
    const QChar low = NewValue.size() > 4 ? NewValue.at(4) : QChar();
    WriteBigEndian(*this, 1, HexPairToByte(high, low));
}

QString TVersionItem::GetText()
{
    const QString hex = ByteToHexChars(static_cast<uint8_t>(ReadBigEndian(*this, 1)));
    return QStringLiteral("V ") + hex.at(0) + u'.' + hex.at(1);
}

uint32_t TVersionItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 1);
}

void TVersionItem::Edit(const QPoint &EditPos)
{
    if (ItemEditor *editor = ItemEditor::instance())
        editor->SetSelectList(FList);
    EditWithDialog(EditPos);
}

THexAsciiItem::THexAsciiItem(TItemlist *iParent, TIndexStream *m, const IniFile *FIniDatei, TFormat Frmt)
    : TItem(iParent, m, FIniDatei, Frmt)
{
    FList.reserve(100);
    for (int i = 0; i < 100; ++i)
        FList.append(QStringLiteral("%1").arg(i, 2, 10, QChar(u'0')));
}

void THexAsciiItem::SetText(const QString &NewValue)
{
    if (NewValue.isEmpty())
        return; // the list had no selection
    WriteBigEndian(*this, 1, HexTextToByte(NewValue));
}

QString THexAsciiItem::GetText()
{
    return ByteToHexText(static_cast<uint8_t>(ReadBigEndian(*this, 1)));
}

uint32_t THexAsciiItem::GetIntegerValue()
{
    return ReadBigEndian(*this, 1);
}

void THexAsciiItem::Edit(const QPoint &EditPos)
{
    if (ItemEditor *editor = ItemEditor::instance())
        editor->SetSelectList(FList);
    EditWithDialog(EditPos);
}

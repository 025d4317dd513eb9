#include "model/Mapping.h"

#include "localisation/LanguageSelect.h"
#include "base/GeneralError.h"
#include "model/IndexStream.h"
#include "base/TextHelpers.h"

#include <algorithm>

namespace {

// Key and name of a list-value line ("0x0001=name"); a line without "=" has an empty key.
QString lineKey(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

QString lineName(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    return (eq < 0 ? line : line.mid(eq + 1)).trimmed();
}

bool validWidth(uint8_t bits)
{
    return bits >= 1 && bits <= 32;
}

} // namespace

// TMapValue ----------------------------------------------------------------------------

TMapValue::TMapValue(TMapItem *AOwner) : FOwner(AOwner) {}

void TMapValue::DoCheckFailure()
{
    if (OnCheckFailure)
        OnCheckFailure(this);
}

void TMapValue::DoCheckOK()
{
    if (OnCheckOK)
        OnCheckOK(this);
}

uint32_t TMapValue::ImageBit() const
{
    const TIndexStream *data = FOwner && FOwner->FOwner ? FOwner->FOwner->FData : nullptr;
    const qint64 size = data ? qint64(data->Size()) : 0;
    const qint64 first = qint64(FOwner ? FOwner->FEEROMPosition : 0xFFFF) * 8 + FFromBit;
    // Writing at the buffer's end would append; a field must lie wholly inside the image.
    if (first + FBitLength > size * 8)
        throw TorvaneError(QStringLiteral("Mapping field \"%1\" (image bits %2 to %3) lies outside the image of %4 bytes")
                               .arg(FCaption)
                               .arg(first)
                               .arg(first + FBitLength - 1)
                               .arg(size));
    return static_cast<uint32_t>(first);
}

void TMapValue::FromEEROM()
{
    const uint32_t bit = ImageBit();
    FinternValue = FOwner->FOwner->FData->BitsToValue(bit, FBitLength);
}

void TMapValue::ToEEROM()
{
    const uint32_t bit = ImageBit();
    FOwner->FOwner->FData->ValueToBits(FinternValue, bit, FBitLength);
}

QString TMapValue::GetValue() const
{
    switch (FDisplayType) {
    case dtdezimal:
        return QString::number(FinternValue);
    case dtHexadezimal:
        return IntToHex(FinternValue, HexDigits());
    case dtbinaer:
        return IntToBinStr(FinternValue, FBitLength);
    case dtListe: {
        const QString key = QStringLiteral("0x") + IntToHex(FinternValue, 4);
        for (const QString &line : FListValues)
            if (lineKey(line).compare(key, Qt::CaseInsensitive) == 0)
                return lineName(line);
        return {};
    }
    case dtunknown:
        break;
    }
    return QStringLiteral("-");
}

bool TMapValue::Parse(const QString &text, uint32_t &value) const
{
    switch (FDisplayType) {
    case dtdezimal: {
        // A text that is no unsigned 32-bit number is refused rather than read as 0.
        const int64_t v = DecStrToInt64(text);
        if (v == kInvalidInt64 || v < 0 || v > int64_t(0xFFFFFFFFu))
            return false;
        value = static_cast<uint32_t>(v);
        break;
    }
    case dtHexadezimal: {
        value = HexStrToInt(text); // a non-hex character raises, as everywhere in the system
        // More than eight significant digits would lose their high part.
        QString digits = text.startsWith(u'$') ? text.mid(1) : text;
        if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            digits = digits.mid(2);
        qsizetype lead = 0;
        while (lead < digits.size() && digits[lead] == u'0')
            ++lead;
        if (digits.size() - lead > 8)
            return false;
        break;
    }
    case dtbinaer: {
        QString digits = text;
        if (digits.size() >= 2 && digits[1].toUpper() == u'B')
            digits = digits.mid(2);
        if (digits.isEmpty())
            return false;
        for (QChar c : std::as_const(digits))
            if (c != u'0' && c != u'1')
                return false;
        const qsizetype firstOne = digits.indexOf(u'1');
        if (firstOne >= 0 && digits.size() - firstOne > 32)
            return false;
        value = BinStrToInt(digits);
        break;
    }
    case dtListe: {
        // The name of an entry (the last one of that name), or the number of an entry as its
        // key is written (hexadecimal).
        bool found = false;
        for (const QString &line : FListValues) {
            if (lineName(line).compare(text, Qt::CaseInsensitive) == 0) {
                value = HexStrToInt(lineKey(line));
                found = true;
            }
        }
        if (!found) {
            uint32_t number = 0;
            try {
                if (text.isEmpty())
                    return false;
                number = HexStrToInt(text);
            } catch (const TorvaneError &) {
                return false;
            }
            for (const QString &line : FListValues) {
                const QString key = lineKey(line);
                try {
                    if (!key.isEmpty() && HexStrToInt(key) == number) {
                        found = true;
                        break;
                    }
                } catch (const TorvaneError &) {
                }
            }
            if (!found)
                return false;
            value = number;
        }
        break;
    }
    case dtunknown:
        value = 0;
        break;
    }
    // The field keeps only BitLength bits: a wider value would be stored cut off.
    if (FBitLength < 32 && (uint64_t(value) >> FBitLength) != 0)
        return false;
    return true;
}

bool TMapValue::SetValue(const QString &text)
{
    uint32_t value = 0;
    bool ok = Parse(text, value);
    if (ok && FMinValue != FMaxValue)
        ok = FMinValue <= value && value <= FMaxValue;
    if (!ok) {
        DoCheckFailure();
        return false;
    }
    FinternValue = value;
    DoCheckOK();
    return true;
}

QString TMapValue::GetRangeText() const
{
    switch (FDisplayType) {
    case dtdezimal:
        return QString::number(FMinValue) + u'-' + QString::number(FMaxValue);
    case dtHexadezimal:
        return IntToHex(FMinValue, HexDigits()) + u'-' + IntToHex(FMaxValue, HexDigits());
    case dtbinaer:
        if (!validWidth(FBitLength))
            break;
        return IntToBinStr(FMinValue, FBitLength) + u'-' + IntToBinStr(FMaxValue, FBitLength);
    case dtListe:
        return QStringLiteral("select from list");
    case dtunknown:
        break;
    }
    return QStringLiteral("?");
}

QStringList TMapValue::Values() const
{
    QStringList names;
    names.reserve(FListValues.size());
    for (const QString &line : FListValues)
        names.append(lineName(line));
    return names;
}

// TMapItem -----------------------------------------------------------------------------

TMapItem::TMapItem(TMapping *AOwner, uint8_t Identifier) : FIdentifier(Identifier), FOwner(AOwner) {}

TMapValue *TMapItem::AddValue(std::unique_ptr<TMapValue> value)
{
    value->FOwner = this;
    FValues.push_back(std::move(value));
    return FValues.back().get();
}

void TMapItem::GetFromEEROM()
{
    for (const auto &v : FValues)
        v->FromEEROM();
}

void TMapItem::PutToEEROM()
{
    for (const auto &v : FValues)
        v->ToEEROM();
}

QString TMapItem::LayoutProblem() const
{
    auto tr = [this](const QString &key) { return FOwner ? FOwner->tr(key) : key; };
    for (const auto &v : FValues) {
        if (!validWidth(v->FBitLength))
            return FormatText(tr(QStringLiteral("exceptionGWMapFieldWidth")), {v->FCaption, FCaption, int(v->FBitLength)});
        if (int(v->FFromBit) + int(v->FBitLength) > int(FSize) * 8)
            return FormatText(tr(QStringLiteral("exceptionGWMapFieldOutsideRecord")),
                              {v->FCaption, FCaption, int(v->FFromBit), int(v->FFromBit) + int(v->FBitLength) - 1, int(FSize)});
    }
    return {};
}

void TMapItem::SetText(const QString &NewValues)
{
    auto tr = [this](const QString &key) { return FOwner ? FOwner->tr(key) : key; };
    const QStringList pieces = NewValues.isEmpty() ? QStringList() : NewValues.split(u',');
    if (pieces.size() > qsizetype(FValues.size()))
        throw TorvaneError(FormatText(tr(QStringLiteral("exceptionGWMapTooManyValues")),
                                      {int(pieces.size()), FCaption, int(FValues.size())}));
    for (qsizetype k = 0; k < pieces.size(); ++k) {
        TMapValue *v = FValues[size_t(k)].get();
        if (!v->SetValue(pieces[k]))
            throw TorvaneError(FormatText(tr(QStringLiteral("exceptionGWMapValueRejected")),
                                          {pieces[k], v->FCaption, v->GetRangeText()}));
    }
}

// TMapping -----------------------------------------------------------------------------

TMapping::TMapping(TIndexStream *Data, LanguageSelect *Language) : FData(Data), language(Language)
{
    if (!FData)
        throw TorvaneError(tr(QStringLiteral("exceptionGWMappingDataIsNIL")));
}

QString TMapping::tr(const QString &key) const
{
    return language ? language->translate(key) : key;
}

TMapItem *TMapping::Add(std::unique_ptr<TMapItem> item)
{
    item->FOwner = this;
    FItems.push_back(std::move(item));
    return FItems.back().get();
}

bool TMapping::Remove(TMapItem *item)
{
    const auto it = std::find_if(FItems.begin(), FItems.end(), [item](const auto &p) { return p.get() == item; });
    if (it == FItems.end())
        return false;
    FItems.erase(it);
    return true;
}

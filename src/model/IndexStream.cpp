#include "model/IndexStream.h"

#include "base/GeneralError.h"
#include "base/TextHelpers.h"

#include <QFile>

uint8_t TIndexStream::GetByteIDX(uint16_t index) const
{
    if (index > m_buffer.size())
        throw TorvaneError(QStringLiteral("TIndexStream: GetByteIdx: Index>Size"));
    if (index == m_buffer.size())
        return 0; // nothing is stored there yet
    return static_cast<uint8_t>(m_buffer[index]);
}

void TIndexStream::SetByteIDX(uint16_t index, uint8_t val)
{
    if (index > m_buffer.size())
        throw TorvaneError(QStringLiteral("TIndexStream: SetByteIdx: Index > Size "));
    if (index == m_buffer.size())
        m_buffer.append(static_cast<char>(val)); // copying loops fill an empty buffer this way
    else
        m_buffer[index] = static_cast<char>(val);
}

void TIndexStream::SetBit(uint32_t bit, bool on)
{
    const uint32_t byteIndex = bit / 8;
    if (byteIndex > 0xFFFF)
        throw TorvaneError(QStringLiteral("TIndexStream: SetByteIdx: Index > Size "));
    const auto idx = static_cast<uint16_t>(byteIndex);
    const uint8_t mask = static_cast<uint8_t>(0x80u >> (bit % 8));
    const uint8_t b = GetByteIDX(idx);
    SetByteIDX(idx, on ? uint8_t(b | mask) : uint8_t(b & ~mask));
}

void TIndexStream::ClearBits(uint32_t FromBit, uint32_t BitCount)
{
    for (uint64_t bit = FromBit; bit < uint64_t(FromBit) + BitCount; ++bit)
        SetBit(static_cast<uint32_t>(bit), false);
}

uint32_t TIndexStream::BitsToValue(uint32_t FromBit, uint32_t BitCount) const
{
    if (BitCount > 32)
        throw TorvaneError(QStringLiteral("error, BitsToValue"));
    if (BitCount == 0)
        return 0;
    const uint64_t lastBit = uint64_t(FromBit) + BitCount - 1;
    const uint64_t first = FromBit / 8;
    const uint64_t last = lastBit / 8;
    if (last > 0xFFFF)
        throw TorvaneError(QStringLiteral("TIndexStream: GetByteIdx: Index>Size"));
    // Callers keep fields within four bytes; a 64-bit accumulator keeps a wider one from
    // losing its high bits silently before the shift.
    uint64_t acc = 0;
    for (uint64_t i = first; i <= last; ++i)
        acc = (acc << 8) | GetByteIDX(static_cast<uint16_t>(i));
    acc >>= (7 - (lastBit % 8));
    if (BitCount < 32)
        acc &= (uint64_t(1) << BitCount) - 1;
    return static_cast<uint32_t>(acc);
}

void TIndexStream::ValueToBits(uint32_t Val, uint32_t FromBit, uint32_t BitCount)
{
    ClearBits(FromBit, BitCount);
    if (BitCount == 0)
        return;
    const uint32_t kept = BitCount >= 32 ? Val : (Val & ((1u << BitCount) - 1));
    const uint64_t lastBit = uint64_t(FromBit) + BitCount - 1;
    for (uint64_t p = lastBit + 1; p-- > FromBit;) {
        const uint64_t valueBit = lastBit - p;
        if (valueBit < 32 && ((kept >> valueBit) & 1u))
            SetBit(static_cast<uint32_t>(p), true);
    }
}

QString TIndexStream::GetAsString() const
{
    if (FUseSize >= 0x4000)
        throw TorvaneError(QStringLiteral("IDXSTREAM --> TIndexStream.GetAsString: Size Error ") + QString::number(FUseSize));
    if (FUseSize <= 0)
        return {};
    QString text;
    text.reserve(FUseSize * 2 + 6);
    uint32_t sum = 0;
    for (int32_t i = 0; i < FUseSize; ++i) {
        const uint8_t b = GetByteIDX(static_cast<uint16_t>(i));
        text += IntToHex(b, 2);
        sum += b;
    }
    text += u'-';
    text += IntToHex(sum, 4);
    return text;
}

namespace {
bool isUpperHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}
} // namespace

void TIndexStream::SetAsString(const QString &value)
{
    if (value.isEmpty())
        return;
    const QString text = StripBlanks(value.toUpper());
    const qsizetype p = text.indexOf(u'-') + 1; // 1-based, 0 when absent
    const qsizetype dataChars = qsizetype(FUseSize) * 2;
    if (p - 1 != dataChars)
        throw TorvaneError(QStringLiteral("wrong number of characters in data string ( %1 instead of %2)")
                               .arg(p - 1)
                               .arg(dataChars));
    for (qsizetype i = 0; i < dataChars; ++i)
        if (!isUpperHex(text[i]))
            throw TorvaneError(QStringLiteral("wrong character in data string"));
    const QString checksum = ExtractField(text, u'-', 2);
    if (checksum.size() != 4)
        throw TorvaneError(QStringLiteral("checksum has wrong size"));
    for (QChar c : checksum)
        if (!isUpperHex(c))
            throw TorvaneError(QStringLiteral("checksum contains at least one wrong character"));
    QByteArray bytes(FUseSize, Qt::Uninitialized);
    uint32_t sum = 0;
    for (int32_t i = 0; i < FUseSize; ++i) {
        const uint8_t b = HexPairToByte(text[2 * i], text[2 * i + 1]);
        bytes[i] = static_cast<char>(b);
        sum += b;
    }
    if (sum != HexStrToInt(checksum))
        throw TorvaneError(QStringLiteral("checksumme is invalid"));
    for (int32_t i = 0; i < FUseSize; ++i)
        SetByteIDX(static_cast<uint16_t>(i), static_cast<uint8_t>(bytes[i]));
}

void TIndexStream::LoadFromfile(const QString &FileName)
{
    QFile f(FileName);
    if (!f.open(QIODevice::ReadOnly))
        throw TorvaneError(QStringLiteral("Cannot open file \"%1\". %2").arg(FileName, f.errorString()));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw TorvaneError(QStringLiteral("Cannot read file \"%1\". %2").arg(FileName, f.errorString()));
    m_buffer = bytes;
    FUseSize = static_cast<int32_t>(bytes.size());
}

void TIndexStream::SetSize(qsizetype size)
{
    const qsizetype old = m_buffer.size();
    m_buffer.resize(size);
    if (size > old)
        std::fill(m_buffer.begin() + old, m_buffer.end(), '\0');
}

void TIndexStream::WriteAt(qsizetype offset, const QByteArray &bytes)
{
    if (offset + bytes.size() > m_buffer.size())
        SetSize(offset + bytes.size());
    std::copy(bytes.cbegin(), bytes.cend(), m_buffer.begin() + offset);
}

#pragma once

#include "model/Events.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

// A growable byte buffer with a separate used length (UseSize), bound-checked byte access,
// bit fields numbered across byte borders from the most significant bit of byte 0, and the
// verified hexadecimal text form of the used part ("0102FF-0102").
class TIndexStream : public TObject
{
public:
    TIndexStream() = default;
    explicit TIndexStream(qsizetype size) { SetSize(size); }

    // Used length of the configuration, independent of the buffer size.
    int32_t FUseSize = 0;
    int32_t UseSize() const { return FUseSize; }
    void SetUseSize(int32_t n) { FUseSize = n; }

    uint8_t GetByteIDX(uint16_t index) const;
    void SetByteIDX(uint16_t index, uint8_t val);

    uint32_t BitsToValue(uint32_t FromBit, uint32_t BitCount) const;
    void ValueToBits(uint32_t Val, uint32_t FromBit, uint32_t BitCount);
    void ClearBits(uint32_t FromBit, uint32_t BitCount);

    QString GetAsString() const;
    void SetAsString(const QString &text);

    // Replaces the buffer by the file's content; UseSize becomes the file length.
    void LoadFromfile(const QString &FileName);

    // The stream operations the image needs.
    qsizetype Size() const { return m_buffer.size(); }
    // New bytes are zero: a fresh image must not show whatever the allocator left there.
    void SetSize(qsizetype size);
    const QByteArray &Buffer() const { return m_buffer; }
    void Assign(const QByteArray &bytes) { m_buffer = bytes; }
    // Writes bytes at offset, growing the buffer when they run past its end.
    void WriteAt(qsizetype offset, const QByteArray &bytes);
    // Bytes 0 .. UseSize-1 (fewer when the buffer is shorter).
    QByteArray UsedBytes() const { return m_buffer.left(qMax<qsizetype>(0, FUseSize)); }

private:
    void SetBit(uint32_t bit, bool on);
    QByteArray m_buffer;
};

#pragma once

#include "base/GeneralError.h"
#include "model/IndexStream.h"
#include "model/Item.h"

#include <QString>

// A description line may place a parameter anywhere (Position up to 65535, a text length up
// to 2^31): every byte access of a format goes through this check first, so a line that
// points past the image gets an error naming the parameter instead of reading nothing or
// silently growing the buffer (writing at index == size appends), and nothing is written
// before the whole range is known to fit.
inline void RequireItemBytes(const TItem &item, qint64 offset, qint64 count)
{
    const qint64 size = item.FData ? qint64(item.FData->Size()) : 0;
    if (count <= 0)
        return;
    if (offset < 0 || offset + count > size)
        throw TorvaneError(QStringLiteral("Parameter \"%1\" addresses bytes %2 to %3, beyond the image of %4 bytes")
                               .arg(item.Identifier())
                               .arg(offset)
                               .arg(offset + count - 1)
                               .arg(size));
}

#pragma once

// A one-line description bound through the image, so the factory and each format's Load
// run exactly as in the program.

#include "ErrorOf.h"
#include "model/BaseEEROM.h"
#include "base/GeneralError.h"
#include "base/IniFile.h"
#include "model/Item.h"

#include <QByteArray>
#include <QString>
#include <functional>

struct BoundItem {
    IniFile ini;
    TBaseEEROM img;
    TItem *item = nullptr;

    // Binds `line` (one description line) as the only parameter of device 0x1F. The
    // buffer gets `bufferSize` bytes, UseSize `useSize` (the buffer size when negative).
    explicit BoundItem(const QString &line, qsizetype bufferSize = TBaseEEROM::kImageBufferSize,
                       int32_t useSize = -1, const QString &extraIni = QString())
    {
        ini.parseText(QStringLiteral("[Names]\n0x1F=Dev\n[Devices]\n0x1F=0x10\n[Dev]\n") + line + u'\n' + extraIni);
        img.SetSourceDatei(&ini);
        img.SetSize(bufferSize);
        img.SetByteIDX(1, 0x1F);
        img.FUseSize = useSize < 0 ? int32_t(bufferSize) : useSize;
        img.laden();
        item = img.ItemList.Count() > 0 ? img.ItemList[0] : nullptr;
    }

    // Puts bytes into the image from offset on.
    void put(qsizetype offset, const QByteArray &bytes)
    {
        for (qsizetype i = 0; i < bytes.size(); ++i)
            img.SetByteIDX(static_cast<uint16_t>(offset + i), static_cast<uint8_t>(bytes[i]));
    }
    QByteArray bytes(qsizetype offset, qsizetype count) const { return img.Buffer().mid(offset, count); }
};


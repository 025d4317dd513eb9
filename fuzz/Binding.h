#pragma once

// Binds an image to a description exactly as opening a configuration file does, and walks
// every parameter the way the grid and the printout read them.

#include "FuzzSupport.h"
#include "model/BaseEEROM.h"
#include "model/Item.h"
#include "model/PrintSink.h"

namespace fuzz {

inline bool bind(TBaseEEROM &image, const IniFile &description, const QByteArray &bytes)
{
    image.SetSourceDatei(&description);
    try {
        image.WriteAt(0, bytes.left(TBaseEEROM::kMaxFileSize));
        image.FUseSize = int32_t(qMin<qsizetype>(bytes.size(), TBaseEEROM::kMaxFileSize));
        image.laden();
        return true;
    } catch (const TorvaneError &) {
        return false;
    }
}

inline void readAll(TBaseEEROM &image)
{
    PlainTextPrintSink sink;
    for (int i = 0; i < image.ItemList.Count(); ++i) {
        TItem *item = image.ItemList[i];
        try {
            item->GetText();
            item->GetIntegerValue();
            item->GetVisualRule();
            item->DoPrint(sink);
        } catch (const TorvaneError &) {
        }
    }
}

} // namespace fuzz

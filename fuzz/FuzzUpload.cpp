// The upload decoder: whatever the line brings after the request, byte by byte. The image
// may only change when the transfer completed with a matching checksum.
#include "Binding.h"

#include "link/EEROM.h"

#include <cstdlib>

TORVANE_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QByteArray image = fuzz::readData(QStringLiteral("examples/gw110.gwc"));
    TEEROM eerom;
    fuzz::bind(eerom, fuzz::exampleDescription(), image);
    const QByteArray before = eerom.Buffer();
    bool ok = false;
    eerom.FOnCharOut = [](char) {};
    eerom.FOnOKUpload = [&ok](TObject *) { ok = true; };
    try {
        eerom.Upload();
        for (size_t i = 0; i < size && eerom.UploadRunning(); ++i)
            eerom.CharacterIn(QChar(data[i]));
        eerom.CancelUpload();
    } catch (const TorvaneError &) {
    }
    if (!ok && eerom.Buffer() != before)
        std::abort();
    return 0;
}

// The image: hostile configuration-file bytes bound to the example description, and the
// image's text form (first byte 'T'), which must read back as what it was set from.
#include "Binding.h"

#include <cstdlib>

TORVANE_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 0 && data[0] == 'T') {
        TIndexStream stream(64);
        const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
        try {
            stream.SetAsString(text);
        } catch (const TorvaneError &) {
            return 0;
        }
        // What was accepted must survive its own text form.
        TIndexStream again(64);
        again.SetAsString(stream.GetAsString());
        if (again.UsedBytes() != stream.UsedBytes())
            std::abort();
        return 0;
    }
    TBaseEEROM eerom;
    if (fuzz::bind(eerom, fuzz::exampleDescription(), fuzz::bytes(data, size)))
        fuzz::readAll(eerom);
    return 0;
}

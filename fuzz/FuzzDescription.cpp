// The description file: read as INI text, then bound to each example image, every
// parameter read and printed.
#include "Binding.h"

TORVANE_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    IniFile description;
    description.parse(fuzz::bytes(data, size));
    for (const char *name : {"examples/gw110.gwc", "examples/gw210.gwc", "examples/gw164x.gwc"}) {
        static QHash<QString, QByteArray> images;
        QByteArray &image = images[QString::fromLatin1(name)];
        if (image.isEmpty())
            image = fuzz::readData(QString::fromLatin1(name));
        TBaseEEROM eerom;
        if (fuzz::bind(eerom, description, image))
            fuzz::readAll(eerom);
    }
    return 0;
}

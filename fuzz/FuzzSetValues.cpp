// Values given to parameters (what `set` and the editor hand to SetText): the first byte
// picks the example image, the second the parameter, the rest is the value text. After a
// change every parameter must still read.
#include "Binding.h"

TORVANE_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static const QByteArray images[] = {fuzz::readData(QStringLiteral("examples/gw110.gwc")),
                                        fuzz::readData(QStringLiteral("examples/gw210.gwc")),
                                        fuzz::readData(QStringLiteral("examples/gw164x.gwc")),
                                        fuzz::readData(QStringLiteral("examples/gw110-ethernet.gwc"))};
    TBaseEEROM eerom;
    if (!fuzz::bind(eerom, fuzz::exampleDescription(), images[data[0] % 4]) || eerom.ItemList.Count() == 0)
        return 0;
    TItem *item = eerom.ItemList[data[1] % eerom.ItemList.Count()];
    const QString value = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    try {
        item->SetText(value);
    } catch (const TorvaneError &) {
    }
    fuzz::readAll(eerom);
    return 0;
}

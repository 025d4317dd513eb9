// Templates of generated description files, filled from the example image.
#include "Binding.h"

#include "generators/EdsGenerate.h"

#include <QDateTime>

TORVANE_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QByteArray image = fuzz::readData(QStringLiteral("examples/gw110.gwc"));
    TBaseEEROM eerom;
    if (!fuzz::bind(eerom, fuzz::exampleDescription(), image))
        return 0;
    TEdsGenerate generator(&eerom);
    generator.FNow = [] { return QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)); };
    try {
        generator.generateFromText(fuzz::bytes(data, size));
    } catch (const TorvaneError &) {
    }
    return 0;
}

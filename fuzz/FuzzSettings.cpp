// The settings file (the registry store on Linux): every key and value of a hostile file is
// listed and read with every type.
#include "FuzzSupport.h"

#include "platform/RegistryStore.h"

TORVANE_FUZZ_INIT

namespace {
void walk(const RegistryStore &store, const QString &key, int depth)
{
    if (depth > 8)
        return;
    for (const QString &name : store.valueNames(key)) {
        store.valueType(key, name);
        store.readString(key, name);
        store.readDWord(key, name);
        store.readBinary(key, name);
    }
    for (const QString &sub : store.subKeys(key).mid(0, 32))
        walk(store, key + u'\\' + sub, depth + 1);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const RegistryStore store(fuzz::writeScratch(QStringLiteral("settings.reg"), data, size));
    walk(store, QString(), 0);
    walk(store, QStringLiteral("\\software\\Kellerbrand\\Torvane"), 0);
    return 0;
}

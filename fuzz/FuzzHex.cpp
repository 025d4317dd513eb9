// HEX files of firmware extensions, read as the extension command reads them.
#include "FuzzSupport.h"

#include "generators/ExtensionWriter.h"

TORVANE_FUZZ_INIT

namespace {
struct NoView final : TExtensionView {
    void SetFileLabel(const QString &) override {}
    void AddProgressLine(const QString &) override {}
    void SetWriteEnabled(bool) override {}
    void SetCloseEnabled(bool) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static TCOM com(nullptr, nullptr); // never opened: reading needs no port
    NoView view;
    TExtensionWriter writer(com, view);
    if (writer.LoadHexFile(fuzz::writeScratch(QStringLiteral("cust0001.hex"), data, size))) {
        // A loaded file must describe a transfer that fits the 64 KiB space.
        if (writer.TransferBytes().size() != qsizetype(writer.TransferLength()) || writer.fFlashMem.size() != 0x10000)
            std::abort();
        writer.TransferChecksum();
    }
    return 0;
}

#include "model/ItemTool.h"

#include "localisation/LanguageSelect.h"
#include "model/GeneralError.h"
#include "model/TextHelpers.h"

// Format classes, one header per group.
// (Included below as they exist.)

namespace {

const char *const kFormatNames[kFormatCount] = {
    "Serial Number", "Word", "Byte", "HexASCII", "Liste", "Char", "HexByte", "HexWord",
    "HexLong", "Version", "Flag", "COPBMap", "String", "Restricted Byte", "IP Address",
    "Ethernet Hardware Address", "ByteTuple", "32 Bit Value", "WordTuple", "HTML Source",
    "Password", "P-Byte",
};

template <class T>
std::unique_ptr<TItem> make(TItemlist *p, TIndexStream *d, const IniFile *f, TFormat fm)
{
    return std::make_unique<T>(p, d, f, fm);
}

} // namespace

QString TItemTool::FormatToStr(int F)
{
    if (F < 0 || F >= kFormatCount)
        return {};
    return QString::fromLatin1(kFormatNames[F]);
}

int TItemTool::FormatFromStr(const QString &s)
{
    for (int i = 0; i < kFormatCount; ++i)
        if (s == QLatin1String(kFormatNames[i]))
            return i;
    return -1;
}

std::unique_ptr<TItem> TItemTool::GenerateItem(TItemlist *iParent, int Format, TIndexStream *Data) const
{
    auto tr = [this](const char *key) {
        const QString k = QString::fromLatin1(key);
        return Flanguage ? Flanguage->translate(k) : k;
    };
    if (!FConfigFile)
        throw TorvaneError(FormatText(tr("exceptionGWEintragNoFileOrInsufficientRights"),
                                      {QStringLiteral("TItemTool"), QStringLiteral("GenerateItem")}));
    const auto fm = static_cast<TFormat>(Format);
    std::unique_ptr<TItem> item;
    switch (Format) {
    default:
        break;
    }
    if (!item)
        throw TorvaneError(tr("exceptionGWEintragUnregisteredType"));
    (void)fm;
    return item;
}

#include "model/ItemTool.h"

#include "localisation/LanguageSelect.h"
#include "base/GeneralError.h"
#include "base/TextHelpers.h"

// Format classes, one header per group.
// (Included below as they exist.)
#include "model/FlagItem.h"
#include "model/ListItem.h"
#include "model/TextItem.h"
#include "model/AddressItems.h"
#include "model/NumericItems.h"
#include "model/ProfilMapItem.h"

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
    case fmSerialNumber: item = make<TSerialNumberItem>(iParent, Data, FConfigFile, fm); break;
    case fmWord: item = make<TWordItem>(iParent, Data, FConfigFile, fm); break;
    case fmByte: item = make<TByteItem>(iParent, Data, FConfigFile, fm); break;
    case fmHexASCII: item = make<THexAsciiItem>(iParent, Data, FConfigFile, fm); break;
    case fmChar: item = make<TCharItem>(iParent, Data, FConfigFile, fm); break;
    case fmHexByte: item = make<THexByteItem>(iParent, Data, FConfigFile, fm); break;
    case fmHexWord: item = make<THexWordItem>(iParent, Data, FConfigFile, fm); break;
    case fmHexLong: item = make<THexLongItem>(iParent, Data, FConfigFile, fm); break;
    case fmVersion: item = make<TVersionItem>(iParent, Data, FConfigFile, fm); break;
    case fmRestrictedByte: item = make<TRestrictedByteItem>(iParent, Data, FConfigFile, fm); break;
    case fmIPAddress: item = make<TIPAddressItem>(iParent, Data, FConfigFile, fm); break;
    case fmEthernetHardwareAddress: item = make<TEthernetHardwareAddressItem>(iParent, Data, FConfigFile, fm); break;
    case fmByteTuple: item = make<TByteTupleItem>(iParent, Data, FConfigFile, fm); break;
    case fm32Bit: item = make<T32BitItem>(iParent, Data, FConfigFile, fm); break;
    case fmWordTuple: item = make<TWordTupleItem>(iParent, Data, FConfigFile, fm); break;
    case fmHTMLSource: item = make<THTMLSourceItem>(iParent, Data, FConfigFile, fm); break;
    case fmPByte: item = make<TPByteItem>(iParent, Data, FConfigFile, fm); break;
    case fmList: item = make<TListItem>(iParent, Data, FConfigFile, fm); break;
    case fmFlag: item = make<TFlagItem>(iParent, Data, FConfigFile, fm); break;
    case fmString: item = make<TTextItem>(iParent, Data, FConfigFile, fm); break;
    case fmPassword: item = make<TPasswordItem>(iParent, Data, FConfigFile, fm); break;
    case fmProfilMap: item = make<TProfilMapItem>(iParent, Data, FConfigFile, fm); static_cast<TProfilMapItem &>(*item).FProfilMapTool = FProfilMapTool; break;
    default:
        break;
    }
    if (!item)
        throw TorvaneError(tr("exceptionGWEintragUnregisteredType"));
    (void)fm;
    return item;
}

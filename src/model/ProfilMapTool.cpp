#include "model/ProfilMapTool.h"

#include "localisation/LanguageSelect.h"
#include "base/GeneralError.h"
#include "base/IniFile.h"
#include "base/TextHelpers.h"
#include "platform/UserPrompts.h"

namespace {

// Value of the first line of key (letter case ignored); empty when there is none.
QString valueOf(const QStringList &lines, const QString &key, bool *found = nullptr)
{
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            if (found)
                *found = true;
            return line.mid(eq + 1).trimmed();
        }
    }
    if (found)
        *found = false;
    return {};
}

// Decimal description fields keep their low bits; a missing or malformed one reads as 0.
uint32_t low32(const QString &field)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(DecStrToInt64(field)) & 0xFFFFFFFFu);
}

// The two flags read as "yes" unless they are an explicit 0.
bool flagOf(const QString &field)
{
    return DecStrToInt64(field) != 0;
}

} // namespace

TProfilMapTool::TProfilMapTool(const IniFile *Datei, LanguageSelect *Language) : FDatei(Datei), FLanguage(Language) {}

void TProfilMapTool::SetDatei(const IniFile *Datei)
{
    FDatei = Datei;
    ClearCaches();
}

void TProfilMapTool::ClearCaches()
{
    LDevices.clear();
    LNames.clear();
    LClasses.clear();
    LSections.clear();
    LSectionValues.clear();
    FDevicesRead = FNamesRead = FClassesRead = false;
}

QString TProfilMapTool::DeviceText(uint16_t DeviceType)
{
    return QStringLiteral("0x") + IntToHex(DeviceType, DeviceType < 256 ? 2 : 4);
}

QString TProfilMapTool::RevisionText(uint8_t Revision)
{
    return QStringLiteral("0x") + IntToHex(Revision, 2);
}

QString TProfilMapTool::tr(const QString &key, const QString &fallback) const
{
    return FLanguage ? FLanguage->translate(key) : fallback;
}

void TProfilMapTool::Show(const QString &text) const
{
    UserPrompts::instance().showMessage(text, QString(), PromptIcon::Warning);
}

bool TProfilMapTool::HaveFile(const QString &operation)
{
    if (FDatei)
        return true;
    Show(FormatText(tr(QStringLiteral("exceptionGWProfilNofile"), QStringLiteral("GW_Profil:%s.%s: No File")),
                    {ClassName(), operation}));
    return false;
}

const QStringList &TProfilMapTool::Cached(QStringList &cache, bool &read, const QString &section)
{
    if (!read && FDatei) {
        cache = FDatei->sectionLines(section);
        read = true;
    }
    return cache;
}

const QStringList *TProfilMapTool::Section(const QString &name, const QString &operation)
{
    if (!HaveFile(operation))
        return nullptr;
    const QString folded = name.toCaseFolded();
    auto it = LSections.constFind(folded);
    if (it == LSections.cend()) {
        if (!FDatei->sectionExists(name)) {
            Show(FormatText(tr(QStringLiteral("exceptionGWProfilNoSection"),
                               QStringLiteral("GW_Profil:%s.%s: Section \"%s\" does not exist")),
                            {ClassName(), operation, name}));
            return nullptr;
        }
        it = LSections.insert(folded, FDatei->sectionLines(name));
    }
    LSectionValues = *it;
    return &*it;
}

bool TProfilMapTool::GetSectionValues(const QString &SectionName)
{
    return Section(SectionName, QStringLiteral("GetSectionValues")) != nullptr;
}

QString TProfilMapTool::GetDeviceName(uint16_t Identifier)
{
    return valueOf(Cached(LNames, FNamesRead, QStringLiteral("Names")), DeviceText(Identifier));
}

QString TProfilMapTool::GetClassName(uint8_t Identifier)
{
    return valueOf(Cached(LClasses, FClassesRead, QStringLiteral("Classes")), QStringLiteral("0x") + IntToHex(Identifier, 2));
}

QString TProfilMapTool::GetEditTypeName(int EditType)
{
    if (!FDatei)
        return {};
    return FDatei->readString(QStringLiteral("EditTypeNames"), QStringLiteral("0x") + IntToHex(uint8_t(EditType), 2));
}

uint8_t TProfilMapTool::GetSuppSWRev(uint16_t DeviceType, uint8_t FromRevision)
{
    const QString revisions = valueOf(Cached(LDevices, FDevicesRead, QStringLiteral("Devices")), DeviceText(DeviceType));
    for (int n = 1;; ++n) {
        const QString token = ExtractField(revisions, u';', n);
        if (token.isEmpty())
            break;
        const uint32_t v = HexStrToInt(token.trimmed());
        if (v <= FromRevision)
            return static_cast<uint8_t>(v);
    }
    return 255;
}

QString TProfilMapTool::GetSuppMapTypeString(uint16_t DeviceType, uint8_t FromRevision)
{
    const QString operation = QStringLiteral("GetSuppMapTypeString");
    // A missing section is an empty one here: the lines of the section asked for before
    // belong to something else and must not answer this look-up.
    const QStringList *lines = Section(GetDeviceName(DeviceType) + QStringLiteral(":SUPPORTEDMAPTYPES"), operation);
    if (lines) {
        // Each step goes to an older revision, so the walk ends.
        for (uint8_t r = FromRevision;;) {
            const uint8_t v = GetSuppSWRev(DeviceType, r);
            const QString types = valueOf(*lines, RevisionText(v));
            if (!types.isEmpty())
                return types;
            if (v == 0 || v == 255)
                break;
            r = static_cast<uint8_t>(v - 1);
        }
    }
    Show(FormatText(tr(QStringLiteral("exceptionGWProfilNoTypes"), QStringLiteral("GW_Profil:%s.%s: No Types supported")),
                    {ClassName(), operation}));
    return {};
}

void TProfilMapTool::GetSuppMapTypeText(uint16_t DeviceType, const QString &MapTypeString, bool createableOnly,
                                        QStringList &List)
{
    List.clear();
    const QStringList *lines = Section(GetDeviceName(DeviceType) + QStringLiteral(":MapTypes"), QStringLiteral("GetSuppMapTypeText"));
    if (!lines)
        return;
    for (int n = 1;; ++n) {
        const QString token = ExtractField(MapTypeString, u';', n);
        if (token.isEmpty())
            break;
        bool found = false;
        const QString value = valueOf(*lines, token.trimmed(), &found);
        if (!found)
            continue;
        if (createableOnly && !flagOf(ExtractField(value, u';', 4)))
            continue;
        List.append(ExtractField(value, u';', 1));
    }
}

uint8_t TProfilMapTool::IDFromName(uint16_t DeviceType, const QString &Name)
{
    const QStringList *lines = Section(GetDeviceName(DeviceType) + QStringLiteral(":MapTypes"), QStringLiteral("IDFromName"));
    if (!lines)
        return 0;
    for (const QString &line : *lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (ExtractField(line.mid(eq + 1).trimmed(), u';', 1).compare(Name, Qt::CaseInsensitive) == 0)
            return static_cast<uint8_t>(HexStrToInt(line.left(eq).trimmed()));
    }
    return 0;
}

QString TProfilMapTool::GetSectionIdentifier(uint16_t device_Code, uint8_t SW_Rev_Code, const QString &xsect)
{
    if (!FDatei || xsect.isEmpty())
        return {};
    const QString name = GetDeviceName(device_Code);
    for (uint8_t r = SW_Rev_Code;;) {
        const uint8_t v = GetSuppSWRev(device_Code, r);
        if (v == 255)
            break;
        const QString candidate = name + u':' + RevisionText(v) + u':' + xsect;
        if (FDatei->sectionExists(candidate))
            return candidate;
        if (v == 0)
            break;
        r = static_cast<uint8_t>(v - 1);
    }
    const QString plain = name + u':' + xsect;
    return FDatei->sectionExists(plain) ? plain : QString();
}

std::unique_ptr<TMapItem> TProfilMapTool::MakeMapItem(uint8_t ItemID, TMapping *AParent)
{
    auto item = std::make_unique<TMapItem>(AParent, ItemID);
    const uint16_t device = AParent ? AParent->FDeviceType : 0;
    const uint8_t revision = AParent ? AParent->FSoftwareRevision : 0;

    const QString typeSection = GetSectionIdentifier(device, revision, QStringLiteral("MapTypes"));
    const QString line = typeSection.isEmpty()
                             ? QString()
                             : FDatei->readString(typeSection, QStringLiteral("0x") + IntToHex(ItemID, 2));
    item->FCaption = ExtractField(line, u';', 1);
    item->FSize = static_cast<uint8_t>(low32(ExtractField(line, u';', 2)));
    item->HelpContext = low32(ExtractField(line, u';', 3));
    item->FCanCreate = flagOf(ExtractField(line, u';', 4));
    item->FCanDisplay = flagOf(ExtractField(line, u';', 5));
    const QString classField = ExtractField(line, u';', 6).trimmed();
    item->FMapClass = static_cast<uint8_t>(classField.isEmpty() ? 0 : HexStrToInt(classField));

    const QString valueSection = GetSectionIdentifier(device, revision, item->FCaption);
    if (valueSection.isEmpty())
        return item;
    const QList<IniFile::Entry> *entries = FDatei->entries(valueSection);
    if (!entries)
        return item;
    for (const IniFile::Entry &e : *entries) {
        if (!e.hasEquals)
            continue;
        auto v = std::make_unique<TMapValue>(item.get());
        v->FCaption = e.key;
        v->FFromBit = static_cast<uint16_t>(low32(ExtractField(e.value, u';', 1)));
        v->FBitLength = static_cast<uint8_t>(low32(ExtractField(e.value, u';', 2)));
        const uint32_t type = low32(ExtractField(e.value, u';', 3));
        v->FDisplayType = type <= uint32_t(dtListe) ? static_cast<TMapValueDisplayType>(type) : dtunknown;
        v->HelpContext = low32(ExtractField(e.value, u';', 4));
        v->FMinValue = low32(ExtractField(e.value, u';', 5));
        v->FMaxValue = low32(ExtractField(e.value, u';', 6));
        v->SectionName = valueSection;
        if (v->FDisplayType == dtListe) {
            v->ListSectionName = GetSectionIdentifier(device, revision, v->FCaption);
            if (v->ListSectionName.isEmpty())
                throw TorvaneError(FormatText(tr(QStringLiteral("exceptionGWProfilNoSection"),
                                                 QStringLiteral("GW_Profil:%s.%s: Section \"%s\" does not exist")),
                                              {ClassName(), QStringLiteral("MakeMapItem"),
                                               GetDeviceName(device) + u':' + v->FCaption}));
            v->FListValues = FDatei->sectionLines(v->ListSectionName);
        }
        item->AddValue(std::move(v));
    }
    return item;
}

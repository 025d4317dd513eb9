#include "model/BaseEEROM.h"

#include "base/FileReplace.h"
#include "base/GeneralError.h"
#include "base/IniFile.h"
#include "base/TextHelpers.h"

#include <QFile>

TBaseEEROM::TBaseEEROM()
{
    SetSize(kImageBufferSize);
    FUseSize = 0;
}

TBaseEEROM::~TBaseEEROM() = default;

void TBaseEEROM::SetSourceDatei(const IniFile *file)
{
    FDatei = file;
    m_itemTool.SetConfigFile(file);
}

void TBaseEEROM::Clear()
{
    empty = true;
    Assign(QByteArray(Size(), '\0')); // every byte 0, the buffer keeps its size
    FError = 0;
    FUserChanged = false;
    ItemList.Clear();
    fire(OnShowRuleChange);
}

QString TBaseEEROM::DeviceIdFromHeader(uint8_t code, uint8_t flags)
{
    const uint8_t f = flags & 0x1B;
    if (f != 0 && code >= 100)
        return QStringLiteral("0x") + IntToHex(uint32_t(f) * 256u + code, 4);
    return QStringLiteral("0x") + IntToHex(code, 2);
}

QString TBaseEEROM::ResolveSection()
{
    if (Size() < 2)
        FError = -11;
    deviceId = DeviceIdFromHeader(GetByteIDX(1), GetByteIDX(4));
    if (!FDatei) {
        FError = -1;
        return {};
    }
    const QString name = FDatei->readString(QStringLiteral("Names"), deviceId);

    FSupportedSWRevs.clear();
    const QString revisions = FDatei->readString(QStringLiteral("Devices"), deviceId);
    const uint8_t revision = GetByteIDX(0);
    for (int n = 1;; ++n) {
        const QString token = ExtractField(revisions, u';', n);
        if (token.isEmpty())
            break;
        if (HexStrToInt(token) <= revision)
            FSupportedSWRevs.append(token);
    }

    QString result;
    for (const QString &t : std::as_const(FSupportedSWRevs)) {
        const QString candidate = name + u':' + t;
        if (FDatei->sectionExists(candidate)) {
            result = candidate;
            break;
        }
    }
    if (result.isEmpty())
        result = name;

    if (ReadBaseSection)
        return QStringLiteral("Base");
    if (!FDatei->sectionExists(result))
        return QStringLiteral("default");
    return result;
}

std::unique_ptr<TItem> TBaseEEROM::CreateItemFromLine(const QString &devicename, const QString &line)
{
    const QString identifier = ExtractField(line, u'=', 1);

    QString sectionId;
    for (const QString &t : std::as_const(FSupportedSWRevs)) {
        const QString id = devicename + u':' + t;
        if (FDatei->sectionExists(id + u':' + identifier)) {
            sectionId = id;
            break;
        }
    }
    if (sectionId.isEmpty() && FDatei->sectionExists(devicename + u':' + identifier))
        sectionId = devicename;
    if (sectionId.isEmpty() && FDatei->sectionExists(QStringLiteral("Default:") + identifier))
        sectionId = QStringLiteral("Default");
    if (sectionId.isEmpty())
        sectionId = devicename;

    const int format = StrToInt(ExtractField(ExtractField(line, u'=', 2), u';', 2));
    m_itemTool.SetConfigFile(FDatei);
    m_itemTool.Flanguage = language;
    std::unique_ptr<TItem> item = m_itemTool.GenerateItem(&ItemList, format, this);
    item->language = language;
    item->SectionID = sectionId;
    item->DeviceName = devicename;
    item->SetASCIILine(line);
    item->Load();
    return item;
}

void TBaseEEROM::laden()
{
    try {
        if (!FDatei)
            throw TorvaneError(QStringLiteral("TEEROM.Laden: IniDatei existiert nicht"));
        const QString section = ResolveSection();
        const QString devicename = ExtractField(section, u':', 1);
        ItemList.Clear();
        if (FDatei->sectionExists(section)) {
            for (const QString &line : FDatei->sectionLines(section)) {
                std::unique_ptr<TItem> item = CreateItemFromLine(devicename, line);
                item->OnChange = [this](TObject *sender) { ItemChanged(sender); };
                ItemList.Add(std::move(item));
            }
            fire(OnShowRuleChange);
        }
        empty = false;
    } catch (const TorvaneError &e) {
        throw TorvaneError(QStringLiteral("EEROM laden ") + e.message());
    }
}

void TBaseEEROM::ReadImageFile(const QString &filename)
{
    FFileName = filename;
    QFile f(filename);
    if (!f.open(QIODevice::ReadOnly))
        throw TorvaneError(QStringLiteral("Cannot open file \"%1\". %2").arg(filename, f.errorString()));
    if (f.size() > kMaxFileSize)
        throw TorvaneError(QStringLiteral("Cannot open file \"%1\". The file has %2 bytes; a configuration has at most %3.")
                               .arg(filename)
                               .arg(f.size())
                               .arg(kMaxFileSize));
    const QByteArray bytes = f.read(kMaxFileSize + 1);
    if (f.error() != QFileDevice::NoError || bytes.size() > kMaxFileSize)
        throw TorvaneError(QStringLiteral("Cannot read file \"%1\". %2").arg(filename, f.errorString()));
    WriteAt(0, bytes);
    FUseSize = static_cast<int32_t>(bytes.size());
    FUserChanged = false;
}

void TBaseEEROM::openfile(const QString &filename)
{
    ReadImageFile(filename);
    laden();
}

void TBaseEEROM::SaveFile()
{
    // The old file stays until the new content is completely on disk.
    const QString error = replaceFileContents(FFileName, UsedBytes());
    if (!error.isEmpty())
        throw TorvaneError(error);
    FUserChanged = false;
}

uint16_t TBaseEEROM::ChecksumOf(const QByteArray &bytes, qsizetype useSize)
{
    uint32_t sum = 0;
    const qsizetype end = qMin(useSize, bytes.size());
    for (qsizetype i = 4; i < end; ++i)
        sum += static_cast<uint8_t>(bytes[i]);
    return static_cast<uint16_t>(sum & 0xFFFF);
}

QByteArray TBaseEEROM::WithChecksum(QByteArray bytes)
{
    if (bytes.size() < 4)
        return bytes;
    const uint16_t sum = ChecksumOf(bytes, bytes.size());
    bytes[2] = static_cast<char>(sum >> 8);
    bytes[3] = static_cast<char>(sum & 0xFF);
    return bytes;
}

uint16_t TBaseEEROM::ComputeChecksum() const
{
    return ChecksumOf(Buffer(), FUseSize);
}

uint16_t TBaseEEROM::StoredChecksum() const
{
    return static_cast<uint16_t>((GetByteIDX(2) << 8) | GetByteIDX(3));
}

void TBaseEEROM::UpdateChecksum()
{
    if (Size() == 0)
        return;
    const uint16_t sum = ComputeChecksum();
    SetByteIDX(2, static_cast<uint8_t>(sum >> 8));
    SetByteIDX(3, static_cast<uint8_t>(sum & 0xFF));
}

TItem *TBaseEEROM::GetEintrag(const QString &Name) const
{
    return ItemList.GetByName(Name);
}

bool TBaseEEROM::EintragExistiert(const QString &Name) const
{
    return GetEintrag(Name) != nullptr;
}

QString TBaseEEROM::GetParameter(const QString &Name) const
{
    TItem *e = GetEintrag(Name);
    if (!e)
        throw TorvaneError(QStringLiteral("e ist leer"));
    return e->GetText();
}

void TBaseEEROM::SetParameter(const QString &Name, const QString &Param)
{
    if (TItem *e = GetEintrag(Name))
        UserEdit([e, &Param] { e->SetText(Param); });
}

void TBaseEEROM::UserEdit(const std::function<void()> &edit)
{
    // Compared rather than assumed: an editor closed with OK on the same value, or a
    // cancelled one, leaves the image as unchanged as it was.
    struct Mark {
        TBaseEEROM &image;
        const QByteArray bytes;
        const int32_t useSize;
        ~Mark()
        {
            if (image.Buffer() != bytes || image.FUseSize != useSize)
                image.FUserChanged = true;
        }
    } mark{*this, Buffer(), FUseSize};
    edit();
}

void TBaseEEROM::ItemChanged(TObject *)
{
    fire(OnEditRuleChange);
    fire(OnShowRuleChange);
}

#pragma once

#include "model/IndexStream.h"
#include "model/Item.h"
#include "model/ItemTool.h"

#include <QStringList>
#include <functional>

class IniFile;
class LanguageSelect;

// Receives characters that arrive outside a transfer (the main window's character display).
using TKeyPressEvent = std::function<void(TObject *Sender, QChar &Key)>;

// The configuration image bound to the description file: header bytes, device identifier,
// section resolution, the parameter list, checksum and the .gwc file.
//
// Header: byte 0 software revision, byte 1 device code, bytes 2-3 checksum (big-endian,
// sum of bytes 4 .. UseSize-1 mod 65536), byte 4 flag bits (mask 0x1B extends codes >= 100).
class TBaseEEROM : public TIndexStream
{
public:
    static constexpr int kImageBufferSize = 8192;
    // Larger files cannot be addressed by parameter positions and are refused on open.
    static constexpr qsizetype kMaxFileSize = 65536;

    TBaseEEROM();
    ~TBaseEEROM() override;

    void Clear();
    void laden();
    QString ResolveSection();
    void openfile(const QString &filename);
    // The first step of openfile: FileName, then the file's bytes from offset 0 and UseSize,
    // without binding. Raises before changing anything but FileName.
    void ReadImageFile(const QString &filename);
    void SaveFile();
    void UpdateChecksum();
    // The checksum the header bytes should hold for the current bytes.
    uint16_t ComputeChecksum() const;
    // The header checksum of raw image bytes (bytes 4 .. useSize-1), and the bytes with it
    // stored in bytes 2 and 3.
    static uint16_t ChecksumOf(const QByteArray &bytes, qsizetype useSize);
    static QByteArray WithChecksum(QByteArray bytes);
    uint16_t StoredChecksum() const;

    TItem *GetEintrag(const QString &Name) const;
    TItem *Eintrag(const QString &Name) const { return GetEintrag(Name); }
    bool EintragExistiert(const QString &Name) const;
    QString GetParameter(const QString &Name) const;
    void SetParameter(const QString &Name, const QString &Param);

    void ItemChanged(TObject *Sender);

    // Whether the user changed the bytes since they were loaded, uploaded or saved; a fresh
    // empty image is unchanged. Front ends ask before they drop such changes.
    bool UserChanged() const { return FUserChanged; }
    void SetUserChanged(bool changed) { FUserChanged = changed; }
    // Runs one edit of the user (the parameter editor, the mapping editor, a set command) and
    // marks the image changed when the edit changed its bytes, also when the edit raises.
    void UserEdit(const std::function<void()> &edit);

    // Device identifier text from header bytes 1 and 4 ("0x1F", "0x0164").
    static QString DeviceIdFromHeader(uint8_t code, uint8_t flags);

    const QString &FileName() const { return FFileName; }
    void SetFileName(const QString &name) { FFileName = name; }
    const IniFile *SourceDatei() const { return FDatei; }
    void SetSourceDatei(const IniFile *file);
    int32_t Error() const { return FError; }
    const QStringList &SupportedSWRevs() const { return FSupportedSWRevs; }
    TItemTool &ItemTool() { return m_itemTool; }

    bool FEmittingCharacters = true;
    TKeyPressEvent FEmitCharacter;
    QString FFileName;
    const IniFile *FDatei = nullptr;
    int32_t FError = 0;
    QStringList FSupportedSWRevs;
    TNotifyEvent OnShowRuleChange;
    TNotifyEvent OnEditRuleChange;
    bool empty = true;
    TItemlist ItemList;
    QString deviceId;
    LanguageSelect *language = nullptr;
    bool ReadBaseSection = false;
    bool dotfound = false; // set whenever a "." arrives; the download paces on it
    bool FUserChanged = false;

protected:
    std::unique_ptr<TItem> CreateItemFromLine(const QString &devicename, const QString &line);

private:
    void fire(const TNotifyEvent &event) { if (event) event(this); }
    TItemTool m_itemTool;
};

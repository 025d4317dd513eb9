#pragma once

#include "link/SerialSession.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class LanguageSelect;

// What the extension dialog shows; the writer reports through it, so the logic runs without a
// window (the dialog, the command line and the tests each implement it).
class TExtensionView
{
public:
    virtual ~TExtensionView() = default;
    virtual void SetFileLabel(const QString &text) = 0;    // LabelFilename
    virtual void AddProgressLine(const QString &line) = 0; // a line of Memo1
    virtual void SetWriteEnabled(bool enabled) = 0;        // ExtensionDlgButtonWriteExtension
    virtual void SetCloseEnabled(bool enabled) = 0;        // buttonClose
    // doWrite(false) has ended: the dialog closes itself.
    virtual void CloseRequested() {}
    // Bytes of the extension the device has accepted so far, of total: 0 before the first
    // block, then after every block answered with ".".
    virtual void WriteProgress(qint64 done, qint64 total) { Q_UNUSED(done) Q_UNUSED(total) }
};

// Reads a firmware extension from an Intel HEX file and writes it into the device's extension
// area (0x1000 to 0x1FFF) over the open serial session: a header (0x05, extension number,
// start address, length), blocks of at most 128 bytes each answered with ".", and a 16-bit
// checksum answered with the device's verdict.
//
// The HEX reader goes by the record types: data records (00) store their bytes, extended
// segment and linear address records (02, 04) shift the addresses of the records after them,
// start-address records (03, 05) are ignored, and the end-of-file record (01) ends the data.
// Blank lines are skipped wherever they are; any other text after the end-of-file record, a
// line without a record, odd digit counts, byte counts that disagree with the record, data
// beyond address 0xFFFF and unknown record types are refused with the line's number.
class TExtensionWriter
{
public:
    static constexpr uint32_t kAreaStart = 0x1000;
    static constexpr uint32_t kAreaEnd = 0x2000; // one past the area
    static constexpr uint32_t kAddressSpace = 0x10000;
    static constexpr int kBlockSize = 128;
    static constexpr int kHeaderWaitMs = 150;
    static constexpr int kBlockWaitPerByteMs = 32;
    static constexpr int kFinalWaitMs = 3000;
    // Far above any file for the 64 KiB address space, even one written with 1-byte records.
    static constexpr qint64 kMaxFileSize = 2 * 1024 * 1024;

    TExtensionWriter(TCOM &com, TExtensionView &view, LanguageSelect *language = nullptr);

    // Reads and checks the file; on success the write button is enabled. Every failure adds
    // its message as a progress line and leaves nothing to write. Returns whether it loaded.
    bool LoadHexFile(const QString &FileName);
    // Reads the record of the line that starts at Position in the joined file text, checks
    // it, stores its data and moves Position to the end of the line. Returns false when the
    // record's checksum is wrong; a record that is no valid record raises TorvaneError.
    bool CheckHexFileLine(qsizetype &Position, int LineNumber);
    // Writes the loaded extension. True only when the device stored it ("O"). A refused or
    // timed-out header raises TorvaneError. The port's receive handler is taken over for the
    // write and put back on every way out; the Close button is enabled again at the end.
    bool doWrite(bool doShowMessage);
    // The writer's receive handler: every byte becomes fReturnChar; anything but "."
    // discards the output still waiting to be sent.
    void ReplyHandler(int Count);

    // Characters 5 to 8 of the file name (without directory) as a hexadecimal number.
    static std::optional<uint16_t> ExtensionNumberFromFileName(const QString &fileName);

    bool Loaded() const { return m_loaded; }
    // L: the data span D, or D + 1 when D is not a multiple of 128.
    uint32_t TransferLength() const;
    // The L bytes from fMinFlashAddress on, and their 16-bit sum.
    QByteArray TransferBytes() const;
    uint16_t TransferChecksum() const;
    // Whether the transfer stays inside the extension area.
    bool InValidRange() const;

    QByteArray fFlashMem;            // the device's 64 KiB address space, 0xFF where no data
    uint16_t fCommand = 0;           // extension number
    QStringList FSourceFile;         // the lines of the HEX file
    uint16_t fMinFlashAddress = 0xFFFF;
    uint32_t fMaxFlashAddress = 0;   // one past the last data byte; may be 0x10000
    char fReturnChar = 0;            // last reply; 0: none since it was last cleared
    QString resultMessage;
    LanguageSelect *language = nullptr;
    // How long the device may take for its verdict after the checksum.
    int finalWaitMs = kFinalWaitMs;

private:
    QString tr(const QString &key) const;
    QString lineError(const QString &key, int lineNumber) const;
    void ResetImage();

    TCOM &m_com;
    TExtensionView &m_view;
    QString FSourceText;  // the lines joined with line feeds
    uint32_t m_base = 0;  // from the last extended address record
    bool m_endSeen = false;
    bool m_loaded = false;
};

#include "generators/ExtensionWriter.h"

#include "link/LinkWait.h"
#include "localisation/LanguageSelect.h"
#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "platform/StatusTrace.h"
#include "platform/UserPrompts.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString HighLow(uint32_t value)
{
    return QString::number((value >> 8) & 0xFF) + u' ' + QString::number(value & 0xFF);
}

QString ReplyText(char c)
{
    return c ? QString(QChar(uchar(c))) : QString();
}

// Runs a piece of clean-up on every way out of a scope.
template <typename F>
struct AtExit {
    F f;
    ~AtExit() { f(); }
};
template <typename F>
AtExit(F) -> AtExit<F>;

} // namespace

TExtensionWriter::TExtensionWriter(TCOM &com, TExtensionView &view, LanguageSelect *lang)
    : language(lang), m_com(com), m_view(view)
{
    ResetImage();
}

QString TExtensionWriter::tr(const QString &key) const
{
    return language ? language->translate(key) : key;
}

QString TExtensionWriter::lineError(const QString &key, int lineNumber) const
{
    return FormatText(tr(key), {lineNumber});
}

void TExtensionWriter::ResetImage()
{
    fFlashMem = QByteArray(int(kAddressSpace), char(0xFF));
    fMinFlashAddress = 0xFFFF;
    fMaxFlashAddress = 0;
    m_base = 0;
    m_endSeen = false;
}

std::optional<uint16_t> TExtensionWriter::ExtensionNumberFromFileName(const QString &fileName)
{
    const QString digits = QFileInfo(fileName).fileName().mid(4, 4);
    if (digits.isEmpty())
        return std::nullopt;
    uint16_t value = 0;
    for (const QChar c : digits) {
        const int d = TryHexDigitValue(c);
        if (d < 0)
            return std::nullopt;
        value = uint16_t(value * 16 + d);
    }
    return value;
}

bool TExtensionWriter::LoadHexFile(const QString &FileName)
{
    m_loaded = false;
    m_view.SetWriteEnabled(false);
    try {
        QFile file(FileName);
        if (!QFileInfo(FileName).isFile() || !file.open(QIODevice::ReadOnly))
            throw TorvaneError(FormatText(tr(QStringLiteral("ExtensionDlgHexFileNotReadable")), {FileName}));
        if (file.size() > kMaxFileSize)
            throw TorvaneError(FormatText(tr(QStringLiteral("ExtensionDlgHexFileTooLarge")), {FileName}));
        const QByteArray bytes = file.read(kMaxFileSize + 1);
        if (file.error() != QFileDevice::NoError)
            throw TorvaneError(FormatText(tr(QStringLiteral("ExtensionDlgHexFileNotReadable")), {FileName}));
        // Lines may end in CR LF, LF or CR alone.
        static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
        FSourceFile = QString::fromLatin1(bytes).split(lineEnd);
        // A final line break ends the last line; it does not start another one.
        if (FSourceFile.size() > 1 && FSourceFile.last().isEmpty())
            FSourceFile.removeLast();
        FSourceText = FSourceFile.join(u'\n');
        m_view.SetFileLabel(QStringLiteral("Read file \n\"") + FileName + QStringLiteral("\"."));

        const auto number = ExtensionNumberFromFileName(FileName);
        if (!number)
            throw TorvaneError(tr(QStringLiteral("ExtensionDlgMessageWrongFileName")));
        fCommand = *number;
        m_view.AddProgressLine(tr(QStringLiteral("ExtensionDlgReadFile")) + QStringLiteral(" \n\"") + FileName
                               + QStringLiteral("\"."));
        m_view.AddProgressLine(FormatText(tr(QStringLiteral("ExtensionDlgCommandExtensionNumber")), {int(fCommand)}));

        ResetImage();
        qsizetype position = 0;
        for (int i = 0; i < FSourceFile.size(); ++i) {
            const QString &line = FSourceFile[i];
            const qsizetype next = position + line.size() + 1;
            if (!line.trimmed().isEmpty()) {
                if (m_endSeen)
                    throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileRecordAfterEnd"), i));
                if (!CheckHexFileLine(position, i))
                    throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileChecksumErrorLine"), i));
            }
            position = next;
        }
        if (fMaxFlashAddress == 0)
            throw TorvaneError(tr(QStringLiteral("ExtensionDlgHexFileNoData")));
        // The header carries the length in 16 bits, and the transfer must stay inside the
        // address space: a file that fills it to its very end cannot be sent at all.
        if (fMinFlashAddress + TransferLength() > kAddressSpace || TransferLength() > 0xFFFF)
            throw TorvaneError(tr(QStringLiteral("ExtensionDlgMessageExtensionExceedsValidRange")));
        if (!InValidRange())
            UserPrompts::instance().showMessage(tr(QStringLiteral("ExtensionDlgMessageExtensionExceedsValidRange")),
                                                QString(), PromptIcon::Warning);
        m_view.AddProgressLine(FormatText(tr(QStringLiteral("ExtensionDlgCommandExtensionStart")),
                                          {int(fMinFlashAddress), int(fMaxFlashAddress - fMinFlashAddress)}));
        m_view.AddProgressLine(tr(QStringLiteral("ExtensionDlgFileReadWithoutErrors")));
        m_loaded = true;
        m_view.SetWriteEnabled(true);
    } catch (const TorvaneError &e) {
        ResetImage();
        m_view.AddProgressLine(e.message());
    }
    return m_loaded;
}

bool TExtensionWriter::CheckHexFileLine(qsizetype &Position, int LineNumber)
{
    const QString &text = FSourceText;
    qsizetype lineEnd = text.indexOf(u'\n', Position);
    if (lineEnd < 0)
        lineEnd = text.size();
    // Whatever precedes the ":" on the line is skipped; the record ends with the line.
    const qsizetype colon = text.indexOf(u':', Position);
    Position = lineEnd;
    if (colon < 0 || colon >= lineEnd)
        throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileNoRecordLine"), LineNumber));

    qsizetype p = colon + 1;
    while (p < lineEnd && TryHexDigitValue(text[p]) >= 0)
        ++p;
    const qsizetype digits = p - colon - 1;
    for (qsizetype q = p; q < lineEnd; ++q)
        if (!IsBlank(text[q]))
            throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileFormatErrorLine"), LineNumber));
    if (digits % 2 != 0)
        throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileOddDigitsLine"), LineNumber));
    if (digits < 10)
        throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileFormatErrorLine"), LineNumber));

    QByteArray record(digits / 2, '\0');
    for (qsizetype k = 0; k < record.size(); ++k)
        record[k] = char(TryHexDigitValue(text[colon + 1 + 2 * k]) * 16 + TryHexDigitValue(text[colon + 2 + 2 * k]));
    const int count = uchar(record[0]);
    if (record.size() != count + 5)
        throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileByteCountErrorLine"), LineNumber));

    uint8_t sum = 0;
    for (qsizetype k = 0; k + 1 < record.size(); ++k)
        sum = uint8_t(sum + uchar(record[k]));
    if (uint8_t(0x100 - sum) != uchar(record[record.size() - 1]))
        return false;

    const uint32_t offset = (uint32_t(uchar(record[1])) << 8) | uchar(record[2]);
    const int type = uchar(record[3]);
    const auto word = [&] { return (uint32_t(uchar(record[4])) << 8) | uchar(record[5]); };
    switch (type) {
    case 0x00: { // data
        if (count == 0)
            break;
        // In 64 bits: a linear base of 0xFFFF0000 plus the offset plus the count would wrap
        // round in 32 and pass the bound.
        const uint64_t start = uint64_t(m_base) + offset;
        if (start + uint64_t(count) > kAddressSpace)
            throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileAddressErrorLine"), LineNumber));
        const uint32_t address = uint32_t(start);
        for (int k = 0; k < count; ++k)
            fFlashMem[qsizetype(address) + k] = record[4 + k];
        if (address < fMinFlashAddress)
            fMinFlashAddress = uint16_t(address);
        // The end of the data is the highest record end, whatever the order of the records.
        fMaxFlashAddress = qMax(fMaxFlashAddress, address + uint32_t(count));
        break;
    }
    case 0x01: // end of file
        m_endSeen = true;
        break;
    case 0x02: // extended segment address: base = segment * 16
        if (count != 2)
            throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileByteCountErrorLine"), LineNumber));
        m_base = word() << 4;
        break;
    case 0x04: // extended linear address: the upper 16 bits
        if (count != 2)
            throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileByteCountErrorLine"), LineNumber));
        m_base = word() << 16;
        break;
    case 0x03: // start addresses: nothing to store
    case 0x05:
        break;
    default:
        throw TorvaneError(lineError(QStringLiteral("ExtensionDlgHexFileRecordTypeErrorLine"), LineNumber));
    }
    return true;
}

uint32_t TExtensionWriter::TransferLength() const
{
    if (fMaxFlashAddress <= fMinFlashAddress)
        return 0;
    const uint32_t d = fMaxFlashAddress - fMinFlashAddress;
    return d % kBlockSize == 0 ? d : d + 1;
}

QByteArray TExtensionWriter::TransferBytes() const
{
    const qsizetype length = qMin<qsizetype>(TransferLength(), kAddressSpace - fMinFlashAddress);
    return fFlashMem.mid(fMinFlashAddress, length);
}

uint16_t TExtensionWriter::TransferChecksum() const
{
    uint16_t sum = 0;
    for (const char b : TransferBytes())
        sum = uint16_t(sum + uchar(b));
    return sum;
}

bool TExtensionWriter::InValidRange() const
{
    // What the device checks: the start inside the area and the L bytes not past its end.
    return fMinFlashAddress >= kAreaStart && fMinFlashAddress + TransferLength() <= kAreaEnd;
}

void TExtensionWriter::ReplyHandler(int)
{
    char c = 0;
    while (m_com.ReadByte(c)) {
        fReturnChar = c;
        if (c != '.')
            m_com.FlushOutput();
    }
}

bool TExtensionWriter::doWrite(bool doShowMessage)
{
    if (!m_loaded)
        return false;
    m_loaded = false; // one write per load
    m_view.SetWriteEnabled(false);
    m_view.SetCloseEnabled(false);
    // Whatever happens, the user can close the dialog afterwards.
    AtExit reenable{[&] {
        m_view.SetCloseEnabled(true);
        if (!doShowMessage)
            m_view.CloseRequested();
    }};
    resultMessage.clear();
    if (!m_com.IsOpen())
        throw TorvaneError(tr(QStringLiteral("statusBarPanelNoPort")));

    // The replies come to the writer for the whole write; the previous receiver returns on
    // every way out.
    TReceiveHandlerTakeover takeover(m_com, [this](int count) { ReplyHandler(count); });
    StatusTrace &trace = statusTrace();
    const uint32_t length = TransferLength();
    const QByteArray bytes = TransferBytes();

    trace.logStringOnly(QStringLiteral("Init with ^E"));
    m_com.PutChar(0x05);
    trace.logStringOnly(QStringLiteral("Send command ") + HighLow(fCommand));
    m_com.PutChar(char(fCommand >> 8));
    m_com.PutChar(char(fCommand & 0xFF));
    trace.logStringOnly(QStringLiteral("Send addresses ") + HighLow(fMinFlashAddress));
    m_com.PutChar(char(fMinFlashAddress >> 8));
    m_com.PutChar(char(fMinFlashAddress & 0xFF));
    trace.logStringOnly(QStringLiteral("Send len ") + HighLow(length));
    m_com.PutChar(char((length >> 8) & 0xFF));
    m_com.PutChar(char(length & 0xFF));

    fReturnChar = 0;
    ExactDelay(kHeaderWaitMs);
    if (fReturnChar == 'L')
        throw TorvaneError(tr(QStringLiteral("ExtensionDlgMessageLengthNotCorrect")));
    if (fReturnChar == 'T')
        throw TorvaneError(tr(QStringLiteral("ExtensionDlgMessageTimeoutSendingHeader")));

    uint32_t address = fMinFlashAddress;
    m_view.WriteProgress(0, length);
    do {
        fReturnChar = 0;
        const uint32_t blockLength = qMin<uint32_t>(kBlockSize, fMaxFlashAddress - address + 1);
        m_view.AddProgressLine(FormatText(tr(QStringLiteral("ExtensionDlgWriteBytes")), {int(blockLength), int(address)}));
        m_com.PutString(bytes.mid(address - fMinFlashAddress, blockLength));
        LinkWait::waitUntil([this] { return fReturnChar != 0; }, int(blockLength) * kBlockWaitPerByteMs);
        trace.logStringOnly(QStringLiteral("Return after writebloc ") + ReplyText(fReturnChar));
        if (fReturnChar == '.')
            m_view.WriteProgress(qMin<qint64>(address - fMinFlashAddress + blockLength, length), length);
        address += kBlockSize;
    } while (address < fMaxFlashAddress && fReturnChar == '.');

    if (fReturnChar == '.') {
        const uint16_t checksum = TransferChecksum();
        m_view.AddProgressLine(FormatText(tr(QStringLiteral("ExtensionDlgChecksumIs")), {int(checksum)}));
        m_view.AddProgressLine(tr(QStringLiteral("ExtensionDlgWriteChecksum")));
        m_com.PutChar(char(checksum >> 8));
        m_com.PutChar(char(checksum & 0xFF));
    } else {
        m_com.FlushOutput();
    }
    trace.logStringOnly(QStringLiteral("Checksum send "));
    LinkWait::waitUntil([this] {
        return fReturnChar == 'E' || fReturnChar == 'O' || fReturnChar == 'S' || fReturnChar == 'T';
    }, finalWaitMs);
    trace.logStringOnly(QStringLiteral("Return end ") + ReplyText(fReturnChar) + QStringLiteral(" !"));

    switch (fReturnChar) {
    case '.': resultMessage = tr(QStringLiteral("ExtensionDlgNotCompleted")); break;
    case 'E': resultMessage = tr(QStringLiteral("ExtensionDlgMessageChecksumNotCorrect")); break;
    case 'O': resultMessage = tr(QStringLiteral("ExtensionDlgMessageOK")); break;
    case 'S': resultMessage = tr(QStringLiteral("ExtensionDlgMessageStoreError")); break;
    case 'T': resultMessage = tr(QStringLiteral("ExtensionDlgMessageTimeout")); break;
    default: break;
    }
    m_view.AddProgressLine(resultMessage);
    return fReturnChar == 'O';
}

#include "link/UploadEEROM.h"

#include "base/TextHelpers.h"
#include "platform/StatusTrace.h"

namespace {

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
}

bool isLineEnd(QChar c)
{
    return c == QChar(u'\r') || c == QChar(u'\n');
}

// A character for a trace line: printable as itself, the rest as <hex>.
QString traceChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 32 && u < 127)
        return QString(c);
    return QLatin1Char('<') + IntToHex(u, 2) + QLatin1Char('>');
}

} // namespace

TUploadEEROM::TUploadEEROM()
{
    MF.FDuration = kUploadTimeoutMs;
    // Silence reports only: state, counters and buffer stay, so characters that arrive later
    // continue the same transfer.
    MF.FOnEnd = [this](TObject *) { fireEvent(FOnTimeoutUpload); };
}

TUploadEEROM::~TUploadEEROM() = default;

QString TUploadEEROM::modeToString(TUpDownloadMode mode)
{
    switch (mode) {
    case umNone: return QStringLiteral("umNone");
    case umData: return QStringLiteral("umData");
    case umWaitForchecksum: return QStringLiteral("umWaitForchecksum");
    case umChksum: return QStringLiteral("umChksum");
    case umwaitforEnd: return QStringLiteral("umwaitforEnd");
    case umOK: return QStringLiteral("umOK");
    case UMError: return QStringLiteral("UMError");
    case dmNone: return QStringLiteral("dmNone");
    case dmData: return QStringLiteral("dmData");
    case dmError: return QStringLiteral("dmError");
    case dmOK: return QStringLiteral("dmOK");
    }
    return QStringLiteral("unknown");
}

bool TUploadEEROM::UploadRunning() const
{
    return FMode == umData || FMode == umWaitForchecksum || FMode == umChksum || FMode == umwaitforEnd;
}

void TUploadEEROM::SendChar(char c)
{
    statusTrace().logStringOnly(QStringLiteral("out ") + modeToString(FMode) + QLatin1Char(' ') + traceChar(QChar(uchar(c))));
    FOnCharOut(c);
}

void TUploadEEROM::EmitToDisplay(QChar c)
{
    if (FEmittingCharacters && FEmitCharacter)
        FEmitCharacter(this, c);
}

void TUploadEEROM::Upload()
{
    FUploadBuffer = QByteArray();
    FUploadBuffer.reserve(kUploadBufferSize);
    inCount = 0;
    usIncount = 0;
    FInChkSum = 0;
    m_checksumOverflow = false;
    MF.Stop();
    FMode = umData;
    if (FOnCharOut) {
        SendChar(0x15); // the time-out starts with the first data byte, not here
    } else {
        FErrorCode = ecNoReceiveFunction;
        fireEvent(FOnErrorUpload);
        EndUpload();
    }
}

void TUploadEEROM::EndUpload()
{
    MF.Stop();
    FUploadBuffer = QByteArray();
    FMode = umNone;
    fireEvent(FOnEndUpload);
}

void TUploadEEROM::FailUpload(TErrorCode code)
{
    FMode = UMError;
    FErrorCode = code;
    fireEvent(FOnErrorUpload);
    EndUpload();
}

void TUploadEEROM::CancelUpload()
{
    // Only a running upload can be cancelled; the state a download leaves behind is no upload.
    if (!UploadRunning())
        return;
    FMode = umNone;
    FErrorCode = ecCancled;
    fireEvent(FOnErrorUpload);
    EndUpload();
}

void TUploadEEROM::StoreDigit(QChar c)
{
    if (usIncount == 0) {
        ucFirstchar = c;
        usIncount = 1;
        return;
    }
    usIncount = 0;
    if (FUploadBuffer.size() >= kUploadBufferSize) {
        // More than the receive buffer holds: no image is that large.
        statusTrace().logStringOnly(QStringLiteral("upload: more than %1 data bytes, upload abandoned").arg(kUploadBufferSize));
        FailUpload(ecGeneralError);
        return;
    }
    MF.Start();
    FUploadBuffer.append(char(HexPairToByte(ucFirstchar, c)));
    ++inCount;
    if (inCount % 10 == 0)
        fireEvent(FOnProgress);
}

void TUploadEEROM::CompleteUpload()
{
    uint32_t sum = 0;
    for (char b : std::as_const(FUploadBuffer))
        sum += uchar(b);
    sum &= 0xFFFF;
    if (!m_checksumOverflow && sum == FInChkSum) {
        // Only a transfer whose checksum matches replaces the image.
        WriteAt(0, FUploadBuffer);
        FUseSize = inCount;
        FUserChanged = false; // the device's configuration, as the user has not edited it
        FMode = umOK;
        fireEvent(FOnOKUpload);
        EndUpload();
    } else {
        statusTrace().logStringOnly(QStringLiteral("upload: checksum %1 received, %2 computed; image kept")
                                        .arg(IntToHex(FInChkSum, 4), IntToHex(sum, 4)));
        FailUpload(ecChecksummError);
    }
}

void TUploadEEROM::CharacterIn(QChar c)
{
    statusTrace().logStringOnly(QStringLiteral("in ") + modeToString(FMode) + QLatin1Char(' ') + traceChar(c));
    if (c == QChar(u'.'))
        dotfound = true;
    if (inCount == 0 && FMode == umData) {
        FErrorCode = ecNone;
        fireEvent(FOnBeginUpload);
    }

    switch (FMode) {
    case umData:
        if (isLineEnd(c)) {
            // Line ends before the first data digit are no data: they end the device's
            // previous answer ("OK" whose CR LF comes in a later read than the letters).
            if (inCount == 0 && usIncount == 0)
                EmitToDisplay(c);
            else
                FMode = umWaitForchecksum;
        }
        else if (isHexDigit(c))
            StoreDigit(c);
        else
            EmitToDisplay(c);
        break;
    case umWaitForchecksum:
        if (isLineEnd(c)) {
            EmitToDisplay(c);
        } else {
            FMode = umChksum;
            fireEvent(FOnchecksumUpload);
            if (!isHexDigit(c)) {
                // A checksum that does not begin with a digit cannot match: end the upload as
                // a checksum error here rather than raising out of the receiver.
                statusTrace().logStringOnly(QStringLiteral("Invalid hex str containing ") + traceChar(c));
                FailUpload(ecChecksummError);
                break;
            }
            FInChkSum = uint32_t(HexDigitValue(c));
        }
        break;
    case umChksum:
        if (isHexDigit(c)) {
            if (FInChkSum > 0x0FFFFFFFu) {
                // More digits than any 16-bit sum has: it can never match, and an endless run
                // of digits must not keep the transfer alive.
                statusTrace().logStringOnly(QStringLiteral("upload: checksum longer than 8 digits"));
                m_checksumOverflow = true;
                FailUpload(ecChecksummError);
                break;
            }
            MF.Start();
            FInChkSum = FInChkSum * 16u + uint32_t(HexDigitValue(c));
        } else {
            FMode = umwaitforEnd; // the character is consumed
        }
        break;
    case umwaitforEnd:
        CompleteUpload();
        EmitToDisplay(c);
        break;
    case umNone:
    case umOK:
    case UMError:
    case dmNone:
    case dmData:
    case dmError:
    case dmOK:
        EmitToDisplay(c);
        break;
    }
}

#include "link/DownloadEEROM.h"

#include "link/LinkWait.h"
#include "base/TextHelpers.h"
#include "platform/StatusTrace.h"

void TDownloadEEROM::SendHexByte(uint8_t b)
{
    const QString digits = ByteToHexChars(b);
    SendChar(char(digits[0].unicode()));
    SendChar(char(digits[1].unicode()));
}

bool TDownloadEEROM::DrainOutput()
{
    if (!FOutputPending)
        return true;
    qint64 pending = FOutputPending();
    while (pending > 0) {
        const qint64 before = pending;
        LinkWait::waitUntil([&] { pending = FOutputPending(); return pending <= 0 || pending < before; }, StallLimitMs);
        pending = FOutputPending();
        if (pending >= before && pending > 0)
            return false;
    }
    return true;
}

void TDownloadEEROM::Download()
{
    fireEvent(FOnBeginDownload);
    FMode = dmNone;
    if (Size() == 0) {
        FError = kErrorNoBuffer;
        fireEvent(FOnErrorDownload);
        FMode = dmError;
        return;
    }
    FMode = dmData;
    UpdateChecksum();
    if (!FOnCharOut) {
        FError = kErrorNoSend;
        fireEvent(FOnErrorDownload);
        return;
    }

    SendChar(0x04);
    int32_t pause = 256;
    uint16_t sum = 0;
    const int32_t count = qMin<int32_t>(FUseSize, int32_t(qMin<qsizetype>(Size(), 65536)));
    for (int32_t index = 0; index < count; ++index) {
        if (index == pause) {
            dotfound = false;
            if (LinkWait::waitUntil([this] { return dotfound; }, kPauseWaitMs)) {
                LinkWait::handlePendingEvents();
                pause = index + 128;
            }
        }
        const uint8_t b = GetByteIDX(uint16_t(index));
        SendHexByte(b);
        if (index % 16 == 0) {
            inCount = index;
            fireEvent(FOnProgress);
            if (!DrainOutput()) {
                statusTrace().logStringOnly(QStringLiteral("download: the port took no byte for %1 ms, download abandoned").arg(StallLimitMs));
                FError = kErrorOutputStalled;
                FMode = dmError;
                fireEvent(FOnErrorDownload);
                return;
            }
        }
        sum = uint16_t(sum + b);
    }
    SendChar('\n');
    SendHexByte(uint8_t(sum >> 8));
    SendHexByte(uint8_t(sum & 0xFF));
    SendChar('\n');
    FMode = dmOK;
    fireEvent(FOnEndDownload);
}

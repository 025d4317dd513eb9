#pragma once

#include "link/UploadEEROM.h"

// The download (PC to device) sender of the image:
//   0x04; bytes 0 .. UseSize-1 as lower-case hex digit pairs; LF; the 16-bit sum of all data
//   bytes as four lower-case hex digits; LF
// paced by the device's "." (a pause of up to 1000 ms before byte 256, then every 128 bytes
// after each answered pause). Bytes 2 and 3 get the image's own checksum first.
class TDownloadEEROM : public TUploadEEROM
{
public:
    // Error numbers left in FError.
    static constexpr int32_t kErrorNoBuffer = -30;      // the image has no buffer
    static constexpr int32_t kErrorNoSend = -2;         // FOnCharOut not set
    static constexpr int32_t kErrorOutputStalled = -31; // the port took no byte for StallLimitMs

    static constexpr int kPauseWaitMs = 1000;

    TDownloadEEROM() = default;

    virtual void Download();

    TNotifyEvent FOnErrorDownload;
    TNotifyEvent FOnBeginDownload;
    TNotifyEvent FOnEndDownload;
    // How many sent bytes still wait in the port's output buffer; the main window binds it to
    // the session's OutputPending. Unset: nothing to drain.
    std::function<qint64()> FOutputPending;
    // The drain after every 16 bytes gives up when the port's output has not moved for this
    // long (a hung adapter): the download then fails instead of waiting for ever.
    int StallLimitMs = 5000;

private:
    void SendHexByte(uint8_t b);
    bool DrainOutput();
};

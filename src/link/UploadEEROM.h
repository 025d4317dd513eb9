#pragma once

#include "link/Monoflop.h"
#include "model/BaseEEROM.h"

#include <QByteArray>
#include <functional>

// Transfer state of the image; the names are also the texts of the trace lines.
enum TUpDownloadMode {
    umNone,
    umData,
    umWaitForchecksum,
    umChksum,
    umwaitforEnd,
    umOK,
    UMError,
    dmNone,
    dmData,
    dmError,
    dmOK,
};

// Why the last upload failed.
enum TErrorCode { ecNone, ecGeneralError, ecNoReceiveFunction, ecChecksummError, ecCancled };

// How the image sends one character (the main window binds it to the port's put-one-byte).
using TCharOutEvent = std::function<void(char c)>;

// The upload (device to PC) receiver of the image: a character-driven decoder of
//   0x15 request; data as hex digit pairs; CR or LF; checksum hex digits; two closing characters
// that reports progress and outcome through its events. Everything the line brings is
// untrusted: the image changes only when a transfer completes with a matching checksum.
class TUploadEEROM : public TBaseEEROM
{
public:
    // Receive buffer of one upload: 32768 bytes (65536 data digits). A longer answer ends the
    // upload as failed instead of growing anything.
    static constexpr int kUploadBufferSize = 32768;
    static constexpr uint32_t kUploadTimeoutMs = 2000;

    TUploadEEROM();
    ~TUploadEEROM() override;

    virtual void Upload();
    void CharacterIn(QChar c);
    void CancelUpload();
    static QString modeToString(TUpDownloadMode mode);
    // True while an upload runs (from Upload to its end).
    bool UploadRunning() const;

    int32_t inCount = 0;
    uint8_t usIncount = 0;
    QChar ucFirstchar;
    uint32_t FInChkSum = 0;
    TUpDownloadMode FMode = umNone;
    TMonoflop MF;
    QByteArray FUploadBuffer; // allocated for each upload, released at its end
    TErrorCode FErrorCode = ecNone;

    TNotifyEvent FOnProgress;
    TNotifyEvent FOnBeginUpload;
    TNotifyEvent FOnchecksumUpload;
    TNotifyEvent FOnOKUpload;
    TNotifyEvent FOnErrorUpload;
    TNotifyEvent FOnTimeoutUpload;
    TNotifyEvent FOnEndUpload;
    TCharOutEvent FOnCharOut;

protected:
    // Sends one character through FOnCharOut and traces it with the state name.
    void SendChar(char c);
    void fireEvent(const TNotifyEvent &event) { if (event) event(this); }
    void EmitToDisplay(QChar c);

private:
    void EndUpload();
    void FailUpload(TErrorCode code);
    void CompleteUpload();
    void StoreDigit(QChar c);

    bool m_checksumOverflow = false; // more significant digits than 32 bits hold
};

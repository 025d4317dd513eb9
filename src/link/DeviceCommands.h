#pragma once

#include "link/Monoflop.h"
#include "model/Events.h"

#include <QByteArray>
#include <QMetaObject>
#include <QString>

#include <cstdint>

class LanguageSelect;
class TCOM;
class TDeviceReceiver;
class TDownloadEEROM;

// Step of a running write-script or reset sequence (the main window's writeScriptState).
enum TWriteScriptState {
    TSSNone = 0,       // no sequence; plain transfers
    TSSStart = 1,      // the normal write-script command is sending the file
    TSSUploadFirst = 2, // the script is on the device; the first read-back runs
    TSSDownlaod = 3,   // the script identifier changed; the configuration is being written back
    TSSUploadLast = 4, // the final read-back after that download
    TSSRready = 5,     // the sequence is complete
    TSSReset = 6,      // the reset command's read-back runs
};

// The main window's own messages that chain the steps of a sequence; both are delivered
// synchronously to the handler (not queued).
enum TWriteScriptMessage : int {
    WM_WRITESCRIPT_UPLOAD = 0x465,   // wParam 0: look for the universal script first; 1: do not
    WM_WRITESCRIPT_DOWNLOAD = 0x466,
};

// The seven device commands of the menu.
enum TDeviceCommand {
    mainMenuUpload,
    mainMenuDowload,
    mainMenuWriteScript,
    mainMenuResetDevice,
    mainMenuExtensions,
    mainMenuUploadDebug,
    mainMenuDownloadDebug,
};

// Status bar panels.
enum TStatusPanel { panelStatus = 0, panelImageSize = 1, panelPort = 2, panelVersion = 3 };

// What the device commands show. The main window implements it over its status bar, menu,
// connect button, grid and monitor memo; the command line over the terminal. Message boxes,
// questions, the beep and the busy cursor go through the prompt seam (platform/UserPrompts.h).
class TDeviceView
{
public:
    virtual ~TDeviceView() = default;

    virtual void SetPanelText(int panel, const QString &text) = 0;
    virtual QString PanelText(int panel) const = 0;
    virtual void RepaintStatusBar() {}

    virtual QString ConnectCaption() const = 0;
    virtual void SetConnectCaption(const QString &caption) = 0;

    virtual void enableDeviceCommands(bool enable) = 0;
    virtual void EnableCommand(TDeviceCommand command, bool enable) = 0;

    virtual void refreshGrid() = 0;
    virtual void fitColumnWidths() {}
    virtual void EnableGrid(bool enable) = 0;

    // The monitor area (mMonitor): whether it is shown, and text written into it.
    virtual bool MonitorVisible() const = 0;
    virtual void Output(const QString &text) = 0;

    // The state window, shown by a debug download at trace levels above 4.
    virtual void ShowStateWindow() {}

    // Bytes of a running transfer so far, and its total (0 when not known).
    virtual void TransferProgress(qint64 done, qint64 total) {}
};

// The time limits of the device dialogue, in milliseconds. The defaults are the program's;
// tests and the command line may shorten the ones that only decide how long a failure takes.
struct TDeviceTimings {
    // presence query of the transfer and reset commands
    int presenceWait = 5000;
    int presenceRetries = 8;
    // the banner check for the universal script (upload, reset)
    int bannerWait = 1000;
    int bannerInitialWait = 400;
    int bannerLastChange = 100;
    // after a download: "Restart", then the banner
    int downloadRestartText = 10000;
    int downloadBannerWait = 10000;
    int downloadBannerInitialWait = 2000;
    int nextStepDelay = 500; // before the read-back that follows a sequence's download
    // script transfer
    int scriptPresenceWait = 500;
    int scriptPresenceRetries = 2;
    int scriptOffer = 100;
    int scriptOfferEthernet = 4000;
    int scriptFirstPause = 500;
    int scriptPause = 15000;
    int scriptRestartText = 2000;
    int scriptBannerWait = 14000;
    int scriptBannerInitialWait = 400;
    int fastScriptBannerWait = 15000;
    // reset
    int resetBannerWait = 5000;
    int resetBannerInitialWait = 500;
    int resetCtrlVWait = 15000;
    int restoreWait = 5000;
    // debug transfers
    int debugCatchUpload = 20000;
    int debugCatchDownload = 15000;
    int debugCatchStep = 500;
    int debugCollect = 6000;
    int debugClaimDelay = 100;
    int debugReplyStep = 500;
    int debugReplyLimit = 10000;
    int debugOffer = 50;
    int debugPause32 = 550;
    int debugPauseLast = 1550;
    int debugVerdict = 2000;
    // the port took no byte for this long: the transfer fails instead of waiting for ever
    int outputStall = 5000;
};

// The main window's side of the device link: the transfer commands, the image's event
// handlers, the character display, the connect button, the write-script and reset
// sequences and the debug transfers. It owns the device state of the main window and shows
// everything through a TDeviceView; the window, the command line and the tests drive it alike.
// One class in three source files, one per group: DeviceCommands.cpp (transfers, display,
// connection), DeviceScriptCommands.cpp (write script and reset), DeviceDebugCommands.cpp.
//
// The session, the image and the receiver are not owned. The receiver must be installed on
// the session and fed to this image; BindEvents binds the image's events and the session's
// notifications to the handlers here.
class TDeviceCommands
{
public:
    static constexpr int kMaxCapture = 2 + 65535 + 256; // a debug reply and a little surplus
    static constexpr qint64 kMaxScriptFile = 4 * 1024 * 1024;

    TDeviceCommands(TCOM &com, TDownloadEEROM &image, TDeviceReceiver &receiver, TDeviceView &view,
                    LanguageSelect *language = nullptr);
    ~TDeviceCommands();
    TDeviceCommands(const TDeviceCommands &) = delete;
    TDeviceCommands &operator=(const TDeviceCommands &) = delete;

    void BindEvents();

    // --- device state of the main window ---------------------------------------------------
    bool uploadOkReceived = false;
    bool universal = false;
    QString universalscriptname;
    TWriteScriptState writeScriptState = TSSNone;
    bool AutomaticDownloadOK = false;
    int32_t waitingForCom = 0;
    bool waitfornull = false;
    bool w_gesendet = false;
    bool varnel_stopped = true;
    bool downloading = false;
    QByteArray download_ok;
    int32_t logLevel = 0;
    QString ScriptFileName; // the file name of OpenScriptFileDlg
    TDeviceTimings Timings;

    // Outcomes the unattended callers read (the window shows them as status texts only).
    bool UploadBound = false;      // the last good upload was bound without an error
    bool ScriptSent = false;       // the last SendScriptFile succeeded
    bool DebugTransferOK = false;  // the last debug transfer delivered or was accepted
    // Why the last command (or a step of its sequence) failed: the text it showed for that
    // failure. Emptied when a command starts; progress texts never land here.
    QString FailureReason;

    // --- transfer commands -------------------------------------------------------------------
    void doUpload(bool useStatusText, bool checkForUniversalScript);
    void doDownLoad(bool useStatusText);
    void mainMenuUploadClick();
    void mainMenuDowloadClick();

    void UploadStart(TObject *Sender);
    void OnUploadProgress(TObject *Sender);
    void UploadOK(TObject *Sender);
    void UploadError(TObject *Sender);
    void Timeoutonupload(TObject *Sender);
    void UploadEnde(TObject *Sender);
    void DownloadStart(TObject *Sender);
    void DownloadEnd(TObject *Sender);
    void DownloadError(TObject *Sender);
    void DisplayChar(TObject *Sender, QChar &Key);

    void BitBtnConnectDisconnectClick();
    void ShowConnectState();
    void showImageSize(uint16_t value);
    void StatusText(const QString &text); // status panel 0

    // WM_COMSTATE from the session.
    void WMComState(int wParam, int lParam);

    // --- write script and reset --------------------------------------------------------------
    bool SendScriptFile();
    void mainMenuWriteScriptClick();
    void mainMenuWriteScriptFastClick();
    void mainMenuResetDeviceClick();
    void RestoreScript();
    // WM_WRITESCRIPT_UPLOAD and WM_WRITESCRIPT_DOWNLOAD.
    void WMWriteScriptUpload(intptr_t wParam);
    void WMWriteScriptDownload();
    // Delivers one of the two messages above; false for any other number.
    bool handleMessage(int message, intptr_t wParam, intptr_t lParam);

    // --- debug transfers ---------------------------------------------------------------------
    void mainMenuUploadDebugClick();
    void mainMenuDownloadDebugClick();
    void DebugDownload();
    void CalcChecksum();

    // --- for callers without a message loop of their own ----------------------------------------
    // True while a requested upload has not ended, or while a transfer end handler still runs
    // (a sequence goes on from there).
    bool Busy() const;
    // Runs the event loop until Busy() is false. An upload that timed out (the image's own
    // time-out, or the guard of the phase before the first data byte) is abandoned, and so is
    // one whose port went away. False when overallMs passed first.
    bool waitUntilIdle(int overallMs);
    // The upload that was asked for ended in a time-out (or was abandoned for silence).
    bool UploadTimedOut() const { return m_uploadTimedOut; }

private:
    QString tr(const QString &key) const;
    void normalCursor();
    void hourglass();
    bool CatchDevice(bool forUpload);
    bool drainOutput();
    bool waitForCollected(const QString &text, int ms);
    void abandonUpload(const QString &reason);
    void showAndStatus(const QString &key);
    void noteFailure(const QString &text) { FailureReason = text; }
    // The port went away during a wait: shows and notes "port lost"; true when it did.
    bool portLost();
    // Sends Ctrl-V and waits for the device's start banner (collected into the receiver's
    // CollectString). On silence the reason is noted and shown, unless the port went away.
    bool awaitRestartBanner();
    void startCommand() { FailureReason.clear(); }
    void uploadGuardEnded();

    TCOM &m_com;
    TDownloadEEROM &m_image;
    TDeviceReceiver &m_receiver;
    TDeviceView &m_view;
    LanguageSelect *m_language;
    QMetaObject::Connection m_comStateConnection;

    bool m_scriptIdChanged = false;
    bool m_uploadPending = false;
    bool m_uploadTimedOut = false;
    bool m_quietCancel = false;
    // The image's own time-out starts with the first complete data byte; this one watches the
    // phase before it, so a device that answers the request with anything but data (a stray
    // character, a line end, one digit) and then stays quiet ends the upload as timed out.
    TMonoflop m_uploadGuard;
    int m_handlerDepth = 0;
};

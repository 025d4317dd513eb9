// The device commands of the main window: set-up, shared helpers, the transfer commands
// (upload, download), the image's event handlers, the character display, the connect
// button and the wait for callers without a message loop. The write-script and reset
// sequences are in DeviceScriptCommands.cpp, the debug transfers in DeviceDebugCommands.cpp.
#include "link/DeviceCommands.h"

#include "link/DeviceCommandsShared.h"
#include "link/DeviceHandshake.h"
#include "link/DownloadEEROM.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "localisation/LanguageSelect.h"
#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "platform/StatusTrace.h"
#include "platform/UserPrompts.h"

using namespace DeviceCommandsShared;

TDeviceCommands::TDeviceCommands(TCOM &com, TDownloadEEROM &image, TDeviceReceiver &receiver, TDeviceView &view,
                                 LanguageSelect *language)
    : m_com(com), m_image(image), m_receiver(receiver), m_view(view), m_language(language)
{
    m_uploadGuard.FOnEnd = [this](TObject *) { uploadGuardEnded(); };
}

TDeviceCommands::~TDeviceCommands()
{
    // The image and the session may outlive this object: leave no handler that points here.
    QObject::disconnect(m_comStateConnection);
    if (m_comStateConnection)
        m_com.FOnStateChanged = nullptr;
    m_image.FOnBeginUpload = nullptr;
    m_image.FOnProgress = nullptr;
    m_image.FOnOKUpload = nullptr;
    m_image.FOnErrorUpload = nullptr;
    m_image.FOnTimeoutUpload = nullptr;
    m_image.FOnEndUpload = nullptr;
    m_image.FOnBeginDownload = nullptr;
    m_image.FOnEndDownload = nullptr;
    m_image.FOnErrorDownload = nullptr;
    m_image.FEmitCharacter = nullptr;
}

void TDeviceCommands::BindEvents()
{
    m_image.FOnBeginUpload = [this](TObject *s) { UploadStart(s); };
    m_image.FOnProgress = [this](TObject *s) { OnUploadProgress(s); };
    m_image.FOnOKUpload = [this](TObject *s) { UploadOK(s); };
    m_image.FOnErrorUpload = [this](TObject *s) { UploadError(s); };
    m_image.FOnTimeoutUpload = [this](TObject *s) { Timeoutonupload(s); };
    m_image.FOnEndUpload = [this](TObject *s) { UploadEnde(s); };
    m_image.FOnBeginDownload = [this](TObject *s) { DownloadStart(s); };
    m_image.FOnEndDownload = [this](TObject *s) { DownloadEnd(s); };
    m_image.FOnErrorDownload = [this](TObject *s) { DownloadError(s); };
    m_image.FOnchecksumUpload = nullptr;
    m_image.FEmitCharacter = [this](TObject *s, QChar &c) { DisplayChar(s, c); };
    m_image.FOnCharOut = [this](char c) { m_com.PutChar(c); };
    m_image.FOutputPending = [this] { return m_com.OutputPending(); };
    m_image.StallLimitMs = Timings.outputStall;

    m_com.FOnStateChanged = [this](TCOM *sender) { StatusText(sender->State); };
    QObject::disconnect(m_comStateConnection);
    m_comStateConnection = QObject::connect(&m_com, &TCOM::comState, [this](int w, int l) { WMComState(w, l); });
}

QString TDeviceCommands::tr(const QString &key) const
{
    return m_language ? m_language->translate(key) : key;
}

void TDeviceCommands::normalCursor() { UserPrompts::instance().setBusy(false); }
void TDeviceCommands::hourglass() { UserPrompts::instance().setBusy(true); }

void TDeviceCommands::StatusText(const QString &text) { m_view.SetPanelText(panelStatus, text); }

void TDeviceCommands::showAndStatus(const QString &text)
{
    UserPrompts::instance().showMessage(text);
    StatusText(text);
}

bool TDeviceCommands::waitForCollected(const QString &text, int ms)
{
    // A port that went away brings nothing more: the wait ends at once.
    return LinkWait::waitUntil([&] { return m_receiver.CollectString.contains(text) || !m_com.IsOpen(); }, ms)
           && m_receiver.CollectString.contains(text);
}

bool TDeviceCommands::portLost()
{
    if (m_com.IsOpen())
        return false;
    const QString text = tr(QStringLiteral("statusBarPanelPortLost"));
    StatusText(text);
    noteFailure(text);
    return true;
}

bool TDeviceCommands::awaitRestartBanner()
{
    if (m_receiver.SendCtrlVAndwaitForEinschaltmeldung(Timings.bannerWait, Timings.bannerInitialWait,
                                                        Timings.bannerLastChange))
        return true;
    m_receiver.CollectCharacters = false;
    if (!portLost()) {
        noteFailure(tr(QStringLiteral("TCOM_errorSettingVarnleDoesNotRespond")));
        UserPrompts::instance().showMessage(FailureReason);
    }
    return false;
}

bool TDeviceCommands::drainOutput()
{
    qint64 pending = m_com.OutputPending();
    while (pending > 0) {
        const qint64 before = pending;
        LinkWait::waitUntil([&] { pending = m_com.OutputPending(); return pending < before; }, Timings.outputStall);
        pending = m_com.OutputPending();
        if (pending >= before && pending > 0)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// transfer commands

void TDeviceCommands::doUpload(bool useStatusText, bool checkForUniversalScript)
{
    m_view.EnableCommand(mainMenuUpload, false);
    uploadOkReceived = false;
    UploadBound = false;
    if (!m_com.IsOpen()) {
        noteFailure(tr(QStringLiteral("statusBarPanelNoPort")));
        if (useStatusText)
            StatusText(FailureReason);
        m_view.EnableCommand(mainMenuUpload, true);
        return;
    }
    if (useStatusText)
        StatusText(tr(QStringLiteral("statusBarPanelSearchGateway")));
    if (!m_receiver.CheckdeviceConnected(Timings.presenceWait, Timings.presenceRetries)) {
        if (!portLost()) {
            noteFailure(tr(QStringLiteral("statusBarPanelNoGatewayFound")));
            if (useStatusText)
                StatusText(FailureReason);
        }
        normalCursor();
        m_view.EnableCommand(mainMenuDownloadDebug, true);
        m_view.EnableCommand(mainMenuUploadDebug, true);
        m_view.EnableCommand(mainMenuUpload, true);
        return;
    }
    if (checkForUniversalScript) {
        universal = false;
        if (!universalscriptname.isEmpty()) {
            m_receiver.CollectCharacters = true;
            m_receiver.CollectString.clear();
            if (!awaitRestartBanner()) {
                m_view.EnableCommand(mainMenuUpload, true);
                return;
            }
            if (m_receiver.CollectString.contains(universalscriptname))
                universal = true;
        }
    }
    m_receiver.CollectCharacters = false;
    m_uploadPending = true;
    m_uploadTimedOut = false;
    m_image.Upload();
    if (m_image.UploadRunning()) {
        m_uploadGuard.FDuration = m_image.MF.FDuration;
        m_uploadGuard.Start();
    }
    m_view.EnableCommand(mainMenuUpload, true);
}

void TDeviceCommands::doDownLoad(bool useStatusText)
{
    m_view.EnableCommand(mainMenuDowload, false);
    AutomaticDownloadOK = false;
    if (m_image.empty) {
        noteFailure(tr(QStringLiteral("statusBarPanelNoFileToDownload")));
        StatusText(FailureReason);
        return;
    }
    if (!m_com.IsOpen()) {
        noteFailure(tr(QStringLiteral("statusBarPanelNoPort")));
        if (useStatusText)
            StatusText(FailureReason);
        return;
    }
    if (useStatusText)
        StatusText(tr(QStringLiteral("statusBarPanelSearchGateway")));
    if (m_receiver.CheckdeviceConnected(Timings.presenceWait, Timings.presenceRetries)) {
        m_image.StallLimitMs = Timings.outputStall;
        m_image.Download();
    } else {
        if (!portLost()) {
            noteFailure(tr(QStringLiteral("statusBarPanelNoGatewayFound")));
            if (useStatusText)
                StatusText(FailureReason);
        }
        normalCursor();
    }
}

void TDeviceCommands::mainMenuUploadClick()
{
    startCommand();
    writeScriptState = TSSNone;
    doUpload(true, true);
}

void TDeviceCommands::mainMenuDowloadClick()
{
    startCommand();
    writeScriptState = TSSNone;
    doDownLoad(true);
}

void TDeviceCommands::UploadStart(TObject *)
{
    StatusText(tr(QStringLiteral("statusBarPanelStartUpload")));
    hourglass();
}

void TDeviceCommands::OnUploadProgress(TObject *)
{
    // The image raises the same event while it sends; then the total is known.
    const bool sending = m_image.FMode == dmData;
    m_view.TransferProgress(m_image.inCount, sending ? m_image.FUseSize : 0);
    showImageSize(uint16_t(qBound(0, m_image.inCount, 0xFFFF)));
}

void TDeviceCommands::showImageSize(uint16_t value)
{
    m_view.SetPanelText(panelImageSize, FormatText(tr(QStringLiteral("selAttributesBytes")), {int(value)}));
    m_view.RepaintStatusBar();
    LinkWait::handlePendingEvents();
}

void TDeviceCommands::UploadOK(TObject *)
{
    uploadOkReceived = true;
}

void TDeviceCommands::Timeoutonupload(TObject *)
{
    m_uploadTimedOut = true;
    m_uploadGuard.Stop();
    noteFailure(tr(QStringLiteral("statusBarPanelUploadTimeout")));
    StatusText(FailureReason);
    normalCursor();
}

void TDeviceCommands::uploadGuardEnded()
{
    if (!m_uploadPending || m_uploadTimedOut || !m_image.UploadRunning())
        return;
    if (m_image.MF.Running())
        return; // data came: the image's own time-out watches from here on
    statusTrace().logStringOnly(QStringLiteral("upload: no data byte after the request"));
    Timeoutonupload(nullptr);
}

void TDeviceCommands::UploadError(TObject *)
{
    if (m_quietCancel)
        return;
    UserPrompts::instance().beep();
    switch (m_image.FErrorCode) {
    case ecGeneralError:
    case ecNoReceiveFunction:
    case ecCancled:
        noteFailure(tr(QStringLiteral("statusBarPanelUploadError")));
        StatusText(FailureReason);
        break;
    case ecChecksummError:
        noteFailure(tr(QStringLiteral("statusBarPanelUploadChecksumError")));
        StatusText(FailureReason);
        break;
    case ecNone:
        break;
    }
    normalCursor();
}

void TDeviceCommands::UploadEnde(TObject *)
{
    DepthGuard depth(m_handlerDepth);
    m_uploadPending = false;
    m_uploadGuard.Stop();
    normalCursor();
    if (!uploadOkReceived)
        return;
    try {
        showImageSize(uint16_t(qBound(0, m_image.FUseSize, 0xFFFF)));
        const uint8_t kept = m_image.GetByteIDX(kKeptBytePos);

        m_scriptIdChanged = false;
        const uint8_t id = m_image.GetByteIDX(kScriptIdPos);
        if (universal && id != kUniversalScriptId) {
            m_image.SetByteIDX(kScriptIdPos, kUniversalScriptId);
            m_scriptIdChanged = true;
            statusTrace().logStringOnly(QStringLiteral("######## scriptKennungChanged 5A -> 5C"));
        } else if (!universal && id == kUniversalScriptId) {
            m_image.SetByteIDX(kScriptIdPos, kUserScriptId);
            m_scriptIdChanged = true;
            statusTrace().logStringOnly(QStringLiteral("######## scriptKennungChanged 5C -> 5A"));
        }

        m_image.laden();
        m_image.SetByteIDX(kKeptBytePos, kept);
        m_view.fitColumnWidths();
        UploadBound = true;

        // The running sequence goes on from here.
        switch (writeScriptState) {
        case TSSUploadFirst:
        case TSSReset:
            if (m_scriptIdChanged) {
                writeScriptState = TSSDownlaod;
                WMWriteScriptDownload();
            } else if (writeScriptState == TSSUploadFirst) {
                writeScriptState = TSSRready;
                showAndStatus(tr(QStringLiteral("statusBarPanelScriptInstallFinished")));
            } else {
                writeScriptState = TSSRready;
                if (m_receiver.waitForEinschaltmeldung(Timings.resetBannerWait, Timings.resetBannerInitialWait)) {
                    LinkWait::handlePendingEvents();
                    showAndStatus(tr(QStringLiteral("statusBarPanelResetDeviceFinished")));
                } else {
                    statusTrace().logStringOnly(QStringLiteral("!!!!!!!!!!!!!!!!Neustart nicht erkannt"));
                }
            }
            break;
        case TSSUploadLast:
            normalCursor();
            writeScriptState = TSSRready;
            showAndStatus(tr(QStringLiteral("statusBarPanelScriptInstallFinished")));
            break;
        default:
            break;
        }
        StatusText(tr(QStringLiteral("statusBarPanelUploadFinished")));
    } catch (const TorvaneError &e) {
        noteFailure(e.message());
        UserPrompts::instance().showMessage(e.message());
    }
}

void TDeviceCommands::DownloadStart(TObject *)
{
    AutomaticDownloadOK = false;
    StatusText(tr(QStringLiteral("statusBarPanelStartDownload")));
    hourglass();
}

void TDeviceCommands::DownloadEnd(TObject *)
{
    DepthGuard depth(m_handlerDepth);
    m_view.TransferProgress(m_image.FUseSize, m_image.FUseSize);
    m_receiver.CollectCharacters = true;
    bool restarted = false;
    // A line that went away during the download brings no banner: no use waiting for one.
    if (m_com.IsOpen()) {
        // A device that restarts at once sends its banner in the same read as "Restart": the
        // banner wait starts from what followed "Restart" instead of throwing it away.
        const bool announced = m_receiver.WaitForRestartText(Timings.downloadRestartText);
        restarted = m_receiver.waitForEinschaltmeldung(Timings.downloadBannerWait, Timings.downloadBannerInitialWait,
                                                       announced);
    } else {
        m_receiver.CollectCharacters = false;
        statusTrace().logStringOnly(QStringLiteral("download: the port closed during the transfer"));
    }
    if (restarted) {
        StatusText(tr(QStringLiteral("statusBarPanelDownloadFinished")));
        normalCursor();
        showImageSize(uint16_t(qBound(0, m_image.FUseSize, 0xFFFF)));
        AutomaticDownloadOK = true;
        if (writeScriptState != TSSNone) {
            writeScriptState = TSSUploadLast;
            ExactDelay(Timings.nextStepDelay);
            WMWriteScriptUpload(0);
        }
    } else {
        if (!portLost()) {
            noteFailure(tr(QStringLiteral("statusBarPanelsDownloadTimeout")));
            StatusText(FailureReason);
        }
        normalCursor();
    }
    m_view.EnableCommand(mainMenuDowload, true);
}

void TDeviceCommands::DownloadError(TObject *)
{
    noteFailure(tr(QStringLiteral("statusBarPanelDownloadError")));
    StatusText(FailureReason);
    normalCursor();
    AutomaticDownloadOK = false;
    writeScriptState = TSSNone;
}

void TDeviceCommands::DisplayChar(TObject *, QChar &Key)
{
    const char16_t c = Key.unicode();
    if (waitfornull) {
        if (!w_gesendet && c == 0) {
            ExactDelay(Timings.debugClaimDelay);
            m_com.PutChar('W');
            w_gesendet = true;
        }
        if (c == u'N')
            StatusText(tr(QStringLiteral("statusBarPanelsDeviceStartetInTorvaneMode")));
        if (c == u'I') {
            waitfornull = false;
            StatusText(tr(QStringLiteral("statusBarPanelsDeviceStartetInTorvaneMode")));
        }
    }
    if (downloading) {
        if (download_ok.size() < kMaxCapture)
            download_ok.append(char(c & 0xFF));
        return;
    }
    if (varnel_stopped && c == 0) {
        m_com.PutChar('W');
        waitfornull = false;
        StatusText(tr(QStringLiteral("statusBarPanelsDeviceStartetInTorvaneMode")));
    }
    if (m_view.MonitorVisible() && varnel_stopped)
        m_view.Output(QString(Key));
}

void TDeviceCommands::BitBtnConnectDisconnectClick()
{
    const QString connected = tr(QStringLiteral("BitBtnConnect"));
    if (m_view.ConnectCaption() != connected) {
        m_com.openCOM();
    } else {
        m_com.closeCOM();
        m_com.reOpenCom(1); // forget doComOpen
    }
    if (m_com.IsOpen()) {
        m_view.SetConnectCaption(connected);
        m_view.SetPanelText(panelPort, m_com.Settings.PortNumber.Text);
    } else {
        m_view.SetConnectCaption(tr(QStringLiteral("BitBtnDisconnect")));
        m_view.enableDeviceCommands(false);
        m_view.SetPanelText(panelPort, m_com.Settings.PortNumber.Text);
    }
    if (m_view.ConnectCaption() != connected)
        m_view.SetPanelText(panelPort, QString());
    LinkWait::handlePendingEvents();
}

void TDeviceCommands::ShowConnectState()
{
    if (m_com.IsOpen()) {
        m_view.SetConnectCaption(tr(QStringLiteral("BitBtnConnect")));
        m_view.enableDeviceCommands(true);
    } else {
        m_view.SetConnectCaption(tr(QStringLiteral("BitBtnDisConnect")));
        m_view.enableDeviceCommands(false);
    }
    LinkWait::handlePendingEvents();
}

void TDeviceCommands::WMComState(int wParam, int lParam)
{
    waitingForCom = wParam;
    m_view.SetConnectCaption(lParam != 0 ? tr(QStringLiteral("BitBtnDisconnect")) : tr(QStringLiteral("BitBtnConnect")));
    StatusText(QString());
    if (lParam >= comStateInUse) {
        m_view.enableDeviceCommands(false);
        m_view.SetPanelText(panelPort, QStringLiteral("offline"));
    }
    if (lParam == comStateInUse) {
        noteFailure(QStringLiteral("Port COM%1 is in use by another application").arg(m_com.ComNumber()));
        UserPrompts::instance().showMessage(FailureReason);
    }
    if (lParam == comStateNoPermission) {
        noteFailure(m_com.PermissionDeniedText());
        UserPrompts::instance().showMessage(FailureReason);
    }
    m_view.RepaintStatusBar();
}

// ---------------------------------------------------------------------------------------------
// callers without a message loop of their own

bool TDeviceCommands::Busy() const
{
    return m_uploadPending || m_handlerDepth > 0;
}

void TDeviceCommands::abandonUpload(const QString &reason)
{
    m_quietCancel = true;
    m_image.CancelUpload();
    m_quietCancel = false;
    m_uploadPending = false;
    m_uploadTimedOut = true;
    m_uploadGuard.Stop();
    noteFailure(reason);
    StatusText(reason);
    normalCursor();
}

bool TDeviceCommands::waitUntilIdle(int overallMs)
{
    const uint32_t start = GetTickCount();
    for (;;) {
        if (m_handlerDepth == 0 && m_uploadPending) {
            // The caller gives up on this read: the port is gone, or the upload made no
            // progress within its limit.
            if (!m_com.IsOpen()) {
                abandonUpload(tr(QStringLiteral("statusBarPanelPortLost")));
                return true;
            }
            if (m_uploadTimedOut) {
                abandonUpload(tr(QStringLiteral("statusBarPanelUploadTimeout")));
                return true;
            }
        }
        if (!Busy())
            return true;
        if (elapsedAtLeast(start, overallMs))
            return false;
        const int wake = overallMs - int(uint32_t(GetTickCount() - start));
        LinkWait::waitUntil([this] { return !Busy() || m_uploadTimedOut || !m_com.IsOpen(); }, qMax(1, wake));
    }
}

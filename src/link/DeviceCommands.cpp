#include "link/DeviceCommands.h"

#include "link/DeviceHandshake.h"
#include "link/DownloadEEROM.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "localisation/LanguageSelect.h"
#include "base/GeneralError.h"
#include "model/IndexStream.h"
#include "base/TextHelpers.h"
#include "platform/StatusTrace.h"
#include "platform/UserPrompts.h"

#include <QFileInfo>

namespace {

constexpr char kCtrlP = 0x10; // a script follows
constexpr char kEsc = 0x1B;
constexpr uint16_t kScriptIdPos = 5;
constexpr uint16_t kKeptBytePos = 36; // binding must not change it
constexpr uint8_t kUniversalScriptId = 0x5C;
constexpr uint8_t kUserScriptId = 0x5A;

struct DepthGuard {
    int &depth;
    explicit DepthGuard(int &d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
};

bool elapsedAtLeast(uint32_t since, int ms)
{
    return uint32_t(GetTickCount() - since) >= uint32_t(qMax(0, ms));
}

} // namespace

TDeviceCommands::TDeviceCommands(TCOM &com, TDownloadEEROM &image, TDeviceReceiver &receiver, TDeviceView &view,
                                 LanguageSelect *language)
    : m_com(com), m_image(image), m_receiver(receiver), m_view(view), m_language(language)
{
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
    return LinkWait::waitUntil([&] { return m_receiver.CollectString.contains(text); }, ms);
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
        if (useStatusText)
            StatusText(tr(QStringLiteral("statusBarPanelNoPort")));
        m_view.EnableCommand(mainMenuUpload, true);
        return;
    }
    if (useStatusText)
        StatusText(tr(QStringLiteral("statusBarPanelSearchGateway")));
    if (!m_receiver.CheckdeviceConnected(Timings.presenceWait, Timings.presenceRetries)) {
        if (useStatusText)
            StatusText(tr(QStringLiteral("statusBarPanelNoGatewayFound")));
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
            if (!m_receiver.SendCtrlVAndwaitForEinschaltmeldung(Timings.bannerWait, Timings.bannerInitialWait,
                                                                 Timings.bannerLastChange)) {
                m_receiver.CollectCharacters = false;
                UserPrompts::instance().showMessage(tr(QStringLiteral("TCOM_errorSettingVarnleDoesNotRespond")));
                m_view.EnableCommand(mainMenuUpload, true);
                return;
            }
            if (m_receiver.CollectString.contains(universalscriptname))
                universal = true;
        }
    }
    m_receiver.CollectCharacters = false;
    m_uploadPending = true;
    m_uploadBegun = false;
    m_uploadTimedOut = false;
    m_uploadRequestTick = GetTickCount();
    m_image.Upload();
    m_view.EnableCommand(mainMenuUpload, true);
}

void TDeviceCommands::doDownLoad(bool useStatusText)
{
    m_view.EnableCommand(mainMenuDowload, false);
    if (m_image.empty) {
        StatusText(tr(QStringLiteral("statusBarPanelNoFileToDownload")));
        return;
    }
    if (!m_com.IsOpen()) {
        if (useStatusText)
            StatusText(tr(QStringLiteral("statusBarPanelNoPort")));
        return;
    }
    if (useStatusText)
        StatusText(tr(QStringLiteral("statusBarPanelSearchGateway")));
    if (m_receiver.CheckdeviceConnected(Timings.presenceWait, Timings.presenceRetries)) {
        m_image.StallLimitMs = Timings.outputStall;
        m_image.Download();
    } else {
        if (useStatusText)
            StatusText(tr(QStringLiteral("statusBarPanelNoGatewayFound")));
        normalCursor();
    }
}

void TDeviceCommands::mainMenuUploadClick()
{
    writeScriptState = TSSNone;
    doUpload(true, true);
}

void TDeviceCommands::mainMenuDowloadClick()
{
    writeScriptState = TSSNone;
    doDownLoad(true);
}

void TDeviceCommands::UploadStart(TObject *)
{
    m_uploadBegun = true;
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
    StatusText(tr(QStringLiteral("statusBarPanelUploadTimeout")));
    normalCursor();
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
        StatusText(tr(QStringLiteral("statusBarPanelUploadError")));
        break;
    case ecChecksummError:
        StatusText(tr(QStringLiteral("statusBarPanelUploadChecksumError")));
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
        m_receiver.WaitForRestartText(Timings.downloadRestartText);
        restarted = m_receiver.waitForEinschaltmeldung(Timings.downloadBannerWait, Timings.downloadBannerInitialWait);
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
        StatusText(tr(QStringLiteral("statusBarPanelsDownloadTimeout")));
        normalCursor();
    }
    m_view.EnableCommand(mainMenuDowload, true);
}

void TDeviceCommands::DownloadError(TObject *)
{
    StatusText(tr(QStringLiteral("statusBarPanelDownloadError")));
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
    if (lParam == comStateInUse)
        UserPrompts::instance().showMessage(QStringLiteral("Port COM%1 is in use by another application").arg(m_com.ComNumber()));
    m_view.RepaintStatusBar();
}

// ---------------------------------------------------------------------------------------------
// write script and reset

bool TDeviceCommands::SendScriptFile()
{
    ScriptSent = false;
    StatusText(tr(QStringLiteral("statusBarPanelOpenFileText")));
    ScriptFileName = UserPrompts::instance().openFile(
        QStringLiteral("Load script file"), QString(),
        QStringLiteral("Kellerbrand compiled script file|*.kcs|Old configuration file|*.tcf"));
    if (ScriptFileName.isEmpty()) {
        StatusText(QString());
        normalCursor();
        LinkWait::handlePendingEvents();
        return false;
    }

    // Read before the device is disturbed: a file that cannot be read is told by name.
    TIndexStream script;
    try {
        const QFileInfo info(ScriptFileName);
        if (info.isFile() && info.size() > kMaxScriptFile)
            throw TorvaneError(QStringLiteral("Cannot send file \"%1\". The file has %2 bytes; a script has at most %3.")
                                   .arg(ScriptFileName).arg(info.size()).arg(kMaxScriptFile));
        if (info.exists() && !info.isFile())
            throw TorvaneError(QStringLiteral("Cannot open file \"%1\". It is not a file.").arg(ScriptFileName));
        script.LoadFromfile(ScriptFileName);
    } catch (const TorvaneError &e) {
        StatusText(QString());
        normalCursor();
        UserPrompts::instance().showMessage(e.message());
        return false;
    }

    if (!m_receiver.CheckdeviceConnected(Timings.scriptPresenceWait, Timings.scriptPresenceRetries)) {
        StatusText(QString());
        normalCursor();
        LinkWait::handlePendingEvents();
        UserPrompts::instance().showMessage(tr(QStringLiteral("statusBarPanelsDeviceNotFound")));
        return false;
    }
    StatusText(tr(QStringLiteral("statusBarPanelLoadFileText")));

    m_com.PutChar(kCtrlP);
    m_view.Output(QStringLiteral("\r\n"));
    m_receiver.CollectCharacters = true;
    m_receiver.CollectString.clear();
    const bool ethernet = m_com.Settings.PortNumber.Text == QLatin1String("Ethernet");
    const bool handshake = waitForCollected(QStringLiteral("."), ethernet ? Timings.scriptOfferEthernet : Timings.scriptOffer);
    if (handshake)
        m_view.Output(QChar(0x08) + tr(QStringLiteral("messageMonitorWithHandshake")) + QLatin1Char(' '));
    else
        m_view.Output(tr(QStringLiteral("messageMonitorWithoutHandshake")) + QLatin1Char(' '));

    const QByteArray &bytes = script.Buffer();
    const qsizetype count = bytes.size();
    int counter = 32;
    uint16_t sum = 0;
    bool firstPauseDone = false;
    const auto stopped = [this] {
        m_view.Output(tr(QStringLiteral("Error_Writing_Script")));
        return false;
    };
    for (qsizetype index = 0; index < count; ++index) {
        const uint8_t b = uint8_t(bytes[index]);
        m_com.PutString(IntToHex(b, 2).toLatin1());
        ++counter;
        if (index % 16 == 0) {
            m_view.TransferProgress(index, count);
            if (!drainOutput())
                return stopped();
        }
        if (handshake) {
            if (counter > 95 && !firstPauseDone) {
                m_receiver.CollectCharacters = true;
                m_receiver.CollectString.clear();
                if (waitForCollected(QStringLiteral("."), Timings.scriptFirstPause))
                    counter = 0;
                firstPauseDone = true;
            }
            if (counter > 127) {
                m_receiver.CollectCharacters = true;
                m_receiver.CollectString.clear();
                const bool acknowledged = waitForCollected(QStringLiteral("."), Timings.scriptPause);
                counter = 0;
                if (!acknowledged)
                    return stopped();
            }
        } else if (counter > 127) {
            counter = 0;
            m_view.Output(QStringLiteral("."));
        }
        sum = uint16_t(sum + b);
    }
    m_com.PutChar('\n');
    m_com.PutString(IntToHex(sum, 4).toLatin1());
    m_com.PutChar('\n');
    m_view.TransferProgress(count, count);
    ScriptSent = true;
    return true;
}

void TDeviceCommands::mainMenuWriteScriptClick()
{
    hourglass();
    ScriptFileName.clear();
    writeScriptState = TSSStart;
    if (!SendScriptFile())
        return;
    if (ScriptFileName.isEmpty())
        return;
    m_receiver.CollectString.clear();
    m_receiver.WaitForRestartText(Timings.scriptRestartText);
    m_receiver.waitForEinschaltmeldung(Timings.scriptBannerWait, Timings.scriptBannerInitialWait);
    writeScriptState = TSSUploadFirst;
    StatusText(tr(QStringLiteral("statusBarPanelPleaseWait")));
    WMWriteScriptUpload(0);
}

void TDeviceCommands::mainMenuWriteScriptFastClick()
{
    hourglass();
    ScriptFileName.clear();
    if (!SendScriptFile()) {
        // The failure has been told (message box or monitor); nothing was installed.
        normalCursor();
        return;
    }
    if (ScriptFileName.isEmpty())
        return;
    m_receiver.CollectString.clear();
    m_receiver.WaitForRestartText(Timings.scriptRestartText);
    m_receiver.waitForEinschaltmeldung(Timings.fastScriptBannerWait, Timings.scriptBannerInitialWait);
    StatusText(tr(QStringLiteral("statusBarPanelScriptInstallFinished")));
    normalCursor();
}

void TDeviceCommands::mainMenuResetDeviceClick()
{
    if (!m_com.IsOpen()) {
        StatusText(tr(QStringLiteral("statusBarPanelNoPort")));
        return;
    }
    StatusText(tr(QStringLiteral("statusBarPanelSearchGateway")));
    if (!m_receiver.CheckdeviceConnected(Timings.presenceWait, Timings.presenceRetries)) {
        StatusText(tr(QStringLiteral("statusBarPanelNoGatewayFound")));
        normalCursor();
    } else if (UserPrompts::instance().message(tr(QStringLiteral("messageCaptionWarning")), tr(QStringLiteral("messageRestart")),
                                               PromptIcon::Warning, {PromptButton::Yes, PromptButton::No}, PromptButton::No)
               == PromptButton::Yes) {
        m_receiver.CollectCharacters = true;
        LinkWait::handlePendingEvents();
        if (!m_receiver.SendCtrlVAndwaitForEinschaltmeldung(Timings.bannerWait, Timings.bannerInitialWait,
                                                             Timings.bannerLastChange)) {
            m_receiver.CollectCharacters = false;
            UserPrompts::instance().showMessage(tr(QStringLiteral("TCOM_errorSettingVarnleDoesNotRespond")));
            return;
        }
        // An empty name disables the check (it would be found in any banner).
        if (!universalscriptname.isEmpty() && m_receiver.CollectString.contains(universalscriptname))
            universal = true;
        m_receiver.CollectCharacters = false;

        if (!m_com.ResetDevice()) {
            normalCursor();
            UserPrompts::instance().showMessage(tr(QStringLiteral("exceptionResetError")));
        } else {
            try {
                m_receiver.CollectString.clear();
                StatusText(tr(QStringLiteral("statusBarPanelWaitCTRLV")));
                const bool banner = m_receiver.SendCtrlVAndwaitForEinschaltmeldung(Timings.resetCtrlVWait, 0, 0);
                statusTrace().logStringOnly(QStringLiteral("reset: banner after the reset %1").arg(BoolToText(banner)));
                if (universal) {
                    RestoreScript();
                    m_receiver.CollectString.clear();
                    StatusText(tr(QStringLiteral("statusBarPanelWaitAfterRestore")));
                }
                m_image.FEmittingCharacters = true;
                StatusText(tr(QStringLiteral("statusBarPanelPleaseWait")));
                writeScriptState = TSSReset;
                WMWriteScriptUpload(1);
            } catch (const TorvaneError &e) {
                normalCursor();
                UserPrompts::instance().showMessage(e.message());
            }
            m_receiver.CollectCharacters = false;
        }
    }
    m_com.PutChar(kEsc);
}

void TDeviceCommands::RestoreScript()
{
    // The two-byte restore script 0x08 0x17 with its sum 0x001F; no presence query, no pacing.
    m_com.PutChar(kCtrlP);
    m_com.PutString(QByteArray("0817\n001F\n"));
    const bool collecting = m_receiver.CollectCharacters;
    m_receiver.CollectCharacters = true;
    m_receiver.CollectString.clear();
    const bool confirmed = LinkWait::waitUntil([this] {
        const QString &s = m_receiver.CollectString;
        return s.contains(QStringLiteral("Store data"), Qt::CaseInsensitive)
               || s.contains(QStringLiteral("Data stored"), Qt::CaseInsensitive);
    }, Timings.restoreWait);
    universal = true;
    statusTrace().logStringOnly(QStringLiteral("RestoreScript: ") + m_receiver.CollectString);
    m_receiver.CollectCharacters = collecting;
    if (!confirmed) {
        normalCursor();
        throw TorvaneError(tr(QStringLiteral("exceptionUniversalScriptNotRestored")));
    }
}

void TDeviceCommands::WMWriteScriptUpload(intptr_t wParam)
{
    doUpload(false, wParam == 0);
}

void TDeviceCommands::WMWriteScriptDownload()
{
    m_view.Output(tr(QStringLiteral("statusBarPanelPleaseWaitForNextStep")));
    doDownLoad(false);
}

bool TDeviceCommands::handleMessage(int message, intptr_t wParam, intptr_t)
{
    switch (message) {
    case WM_WRITESCRIPT_UPLOAD:
        WMWriteScriptUpload(wParam);
        return true;
    case WM_WRITESCRIPT_DOWNLOAD:
        WMWriteScriptDownload();
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// debug transfers

bool TDeviceCommands::CatchDevice(bool forUpload)
{
    // A read that timed out would take the device's raw reply for hex digits.
    if (m_image.UploadRunning()) {
        m_quietCancel = true;
        m_image.CancelUpload();
        m_quietCancel = false;
        m_uploadPending = false;
    }
    varnel_stopped = false;
    waitfornull = true;
    w_gesendet = false;
    m_receiver.CollectString.clear();
    m_receiver.CollectCharacters = true;

    StatusText(tr(QStringLiteral("statusBarPanelsWaitingForDevice")));
    UserPrompts::instance().showMessage(tr(QStringLiteral("messageRestartInRunMode")));
    hourglass();
    m_view.EnableGrid(false);

    const int limit = forUpload ? Timings.debugCatchUpload : Timings.debugCatchDownload;
    const uint32_t start = GetTickCount();
    while (waitfornull && !elapsedAtLeast(start, limit))
        ExactDelay(Timings.debugCatchStep);
    varnel_stopped = true;
    if (forUpload)
        ExactDelay(Timings.debugCollect);

    if (waitfornull) {
        // Back to the idle display, so the next start-up is answered once, as usual.
        waitfornull = false;
        w_gesendet = false;
        const QString notFound = tr(QStringLiteral("statusBarPanelsDeviceNotFound"));
        StatusText(notFound);
        UserPrompts::instance().showMessage(notFound + QLatin1Char('\n') + tr(QStringLiteral("messagePleaseRetry")));
        m_view.EnableGrid(true);
        normalCursor();
        return false;
    }
    if (forUpload && !universalscriptname.isEmpty() && m_receiver.CollectString.contains(universalscriptname))
        universal = true;
    if (m_receiver.CollectString.contains(QStringLiteral("ICC"))) {
        UserPrompts::instance().showMessage(tr(QStringLiteral("messageUploadNotPossible")));
        varnel_stopped = false;
        normalCursor();
        m_view.EnableGrid(true);
        return false;
    }
    return true;
}

void TDeviceCommands::mainMenuUploadDebugClick()
{
    DebugTransferOK = false;
    if (!CatchDevice(true))
        return;
    m_receiver.CollectCharacters = false;
    downloading = true;
    download_ok.clear();
    m_com.PutChar('U');
    StatusText(tr(QStringLiteral("statusBarPanelsUploading")));

    // The reply carries no end mark: it is complete when it stops growing.
    qsizetype previous = download_ok.size();
    for (int waited = 0; waited < Timings.debugReplyLimit; waited += Timings.debugReplyStep) {
        ExactDelay(Timings.debugReplyStep);
        const qsizetype now = download_ok.size();
        if (now == previous && now != 0) {
            StatusText(tr(QStringLiteral("statusBarPanelsUploadFinised")));
            m_view.EnableGrid(true);
            break;
        }
        previous = now;
        m_view.TransferProgress(now, now >= 2 ? 2 + (uint8_t(download_ok[0]) << 8 | uint8_t(download_ok[1])) : 0);
    }

    const auto endCapture = [this] {
        normalCursor();
        downloading = false;
        m_view.EnableGrid(true);
    };
    if (download_ok.isEmpty()) {
        const QString text = tr(QStringLiteral("messageNoDataReceivedFromDevice"));
        StatusText(text);
        UserPrompts::instance().showMessage(text);
        endCapture();
        return;
    }
    const int length = download_ok.size() >= 2 ? (uint8_t(download_ok[0]) << 8 | uint8_t(download_ok[1])) : -1;
    if (length < 0 || download_ok.size() < 2 + length) {
        // Never a byte beyond the reply, and no short image taken for a whole one.
        const QString text = FormatText(tr(QStringLiteral("messageIncompleteDataFromDevice")),
                                        {int(qMax<qsizetype>(0, download_ok.size() - 2)), qMax(0, length)});
        StatusText(text);
        UserPrompts::instance().showMessage(text);
        endCapture();
        m_com.PutChar('V');
        return;
    }

    m_image.WriteAt(0, download_ok.mid(2, length));
    uint8_t kept = m_image.GetByteIDX(kKeptBytePos);
    if (universal) {
        m_image.SetByteIDX(kScriptIdPos, kUniversalScriptId);
    } else if (m_image.GetByteIDX(kScriptIdPos) == kUniversalScriptId) {
        kept = m_image.GetByteIDX(kKeptBytePos);
        m_image.SetByteIDX(kScriptIdPos, kUserScriptId);
    }
    m_image.FUseSize = length;
    bool bound = true;
    try {
        m_image.laden();
    } catch (const TorvaneError &e) {
        bound = false;
        UserPrompts::instance().showMessage(e.message());
    }
    m_view.refreshGrid();
    endCapture();
    m_com.PutChar('V');
    m_image.SetByteIDX(kKeptBytePos, kept);
    DebugTransferOK = bound;
}

void TDeviceCommands::mainMenuDownloadDebugClick()
{
    DebugTransferOK = false;
    if (m_image.empty) {
        StatusText(tr(QStringLiteral("statusBarPanelNoFileToDownload")));
        return;
    }
    if (!CatchDevice(false))
        return;
    m_receiver.CollectCharacters = false;
    StatusText(tr(QStringLiteral("statusBarPanelsDownloading")));
    DebugDownload();
    m_view.EnableGrid(true);
    m_com.PutChar('V');
    normalCursor();
    StatusText(tr(QStringLiteral("statusBarPanelsDownloadFinised")));
}

void TDeviceCommands::CalcChecksum()
{
    m_image.UpdateChecksum();
}

void TDeviceCommands::DebugDownload()
{
    download_ok.clear();
    m_com.FlushInput();
    bool remembered = false;
    QString panelBefore;
    const auto restorePanel = [&] { m_view.SetPanelText(panelImageSize, remembered ? panelBefore : QString()); };
    if (m_image.Size() == 0) {
        UserPrompts::instance().showMessage(QStringLiteral("Size 0"));
        restorePanel();
        return;
    }
    m_receiver.CollectCharacters = true;
    CalcChecksum();
    downloading = true;
    m_com.PutChar('C');

    const int n = int(qMin<qsizetype>(qMax(0, m_image.FUseSize), m_image.Size()) & 0xFFFF);
    if (logLevel > 4)
        m_view.ShowStateWindow();
    m_com.PutChar(char(n >> 8));
    m_com.PutChar(char(n & 0xFF));
    const auto communicationError = [this] {
        UserPrompts::instance().showMessage(tr(QStringLiteral("messageCommunicationError")));
        downloading = false;
    };
    if (!drainOutput())
        return communicationError();

    m_receiver.CollectString.clear();
    LinkWait::waitUntil([this] { return !m_receiver.CollectString.isEmpty(); }, Timings.debugOffer);
    const bool handshake = m_receiver.CollectString.contains(QLatin1Char('.'));
    if (handshake) {
        panelBefore = m_view.PanelText(panelImageSize);
        remembered = true;
        m_view.SetPanelText(panelImageSize, panelBefore + QStringLiteral(" H"));
    }
    m_receiver.CollectString.clear();

    const QByteArray &bytes = m_image.Buffer();
    uint16_t sum = 0;
    for (int index = 0; index < n; ++index) {
        const uint8_t b = uint8_t(bytes[index]);
        m_com.PutChar(char(b));
        if (index % 16 == 0) {
            m_view.TransferProgress(index, n);
            if (!drainOutput())
                return communicationError();
        }
        if (handshake && index == 31) {
            if (!waitForCollected(QStringLiteral("."), Timings.debugPause32))
                return communicationError(); // no checksum; panel 1 keeps its " H"
            m_receiver.CollectString.clear();
        }
        sum = uint16_t(sum + b);
    }
    if (handshake) {
        m_receiver.CollectString.clear();
        const bool lastDot = waitForCollected(QStringLiteral("."), Timings.debugPauseLast);
        statusTrace().logStringOnly(QStringLiteral("DebugDownload: acknowledgement after the last byte %1").arg(BoolToText(lastDot)));
        m_receiver.CollectString.clear();
    }
    m_view.TransferProgress(n, n);

    m_com.PutChar(char(sum >> 8));
    m_com.PutChar(char(sum & 0xFF));
    drainOutput();

    LinkWait::waitUntil([this] {
        const QString &s = m_receiver.CollectString;
        for (const char *v : {"O", "T", "S", "V", "E", "L"})
            if (s.contains(QLatin1String(v)))
                return true;
        return false;
    }, Timings.debugVerdict);

    if (download_ok.contains('O')) {
        StatusText(tr(QStringLiteral("statusBarPanelsDownloadFinised")));
        DebugTransferOK = true;
    } else {
        QString key = QStringLiteral("statusBarPanelsDownloadFailed");
        if (download_ok.contains('L'))
            key = QStringLiteral("statusBarPanelsDownloadLengthError");
        else if (download_ok.contains('T'))
            key = QStringLiteral("statusBarPanelsDownloadTimeout");
        const QString text = tr(key);
        StatusText(text);
        UserPrompts::instance().showMessage(text);
    }
    downloading = false;
    normalCursor();
    restorePanel();
}

// ---------------------------------------------------------------------------------------------
// callers without a message loop of their own

bool TDeviceCommands::Busy() const
{
    return m_uploadPending || m_handlerDepth > 0;
}

void TDeviceCommands::abandonUpload()
{
    m_quietCancel = true;
    m_image.CancelUpload();
    m_quietCancel = false;
    m_uploadPending = false;
    m_uploadTimedOut = true;
    StatusText(tr(QStringLiteral("statusBarPanelUploadTimeout")));
    normalCursor();
}

bool TDeviceCommands::waitUntilIdle(int silenceMs, int overallMs)
{
    const uint32_t start = GetTickCount();
    for (;;) {
        if (m_handlerDepth == 0 && m_uploadPending && m_uploadTimedOut) {
            abandonUpload(); // the image reported silence; the caller gives up on this read
            return true;
        }
        if (!Busy())
            return true;
        if (elapsedAtLeast(start, overallMs))
            return false;
        const bool waitingForFirst = m_uploadPending && !m_uploadBegun && m_handlerDepth == 0;
        if (waitingForFirst && elapsedAtLeast(m_uploadRequestTick, silenceMs)) {
            abandonUpload();
            return true;
        }
        int wake = overallMs - int(uint32_t(GetTickCount() - start));
        if (waitingForFirst)
            wake = qMin(wake, silenceMs - int(uint32_t(GetTickCount() - m_uploadRequestTick)));
        LinkWait::waitUntil([this] { return !Busy() || m_uploadTimedOut; }, qMax(1, wake));
    }
}

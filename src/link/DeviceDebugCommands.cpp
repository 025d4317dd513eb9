// The debug transfers of the device commands (TDeviceCommands): raw image transfers with a
// device caught at its start-up.
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
    while (waitfornull && !elapsedAtLeast(start, limit) && m_com.IsOpen())
        ExactDelay(Timings.debugCatchStep);
    varnel_stopped = true;
    if (forUpload && m_com.IsOpen())
        ExactDelay(Timings.debugCollect);

    if (waitfornull) {
        // Back to the idle display, so the next start-up is answered once, as usual.
        waitfornull = false;
        w_gesendet = false;
        const QString notFound = tr(QStringLiteral("statusBarPanelsDeviceNotFound"));
        StatusText(notFound);
        if (!portLost())
            noteFailure(notFound);
        UserPrompts::instance().showMessage(notFound + QLatin1Char('\n') + tr(QStringLiteral("messagePleaseRetry")));
        m_view.EnableGrid(true);
        normalCursor();
        return false;
    }
    if (forUpload && !universalscriptname.isEmpty() && m_receiver.CollectString.contains(universalscriptname))
        universal = true;
    if (m_receiver.CollectString.contains(QStringLiteral("ICC"))) {
        noteFailure(tr(QStringLiteral("messageUploadNotPossible")));
        UserPrompts::instance().showMessage(FailureReason);
        varnel_stopped = false;
        normalCursor();
        m_view.EnableGrid(true);
        return false;
    }
    return true;
}

void TDeviceCommands::mainMenuUploadDebugClick()
{
    startCommand();
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
    for (int waited = 0; waited < Timings.debugReplyLimit && m_com.IsOpen(); waited += Timings.debugReplyStep) {
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
        if (!portLost())
            noteFailure(text);
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
        noteFailure(text);
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
    m_image.SetUserChanged(false); // the device's bytes replaced the user's
    bool bound = true;
    try {
        m_image.laden();
    } catch (const TorvaneError &e) {
        bound = false;
        noteFailure(e.message());
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
    startCommand();
    DebugTransferOK = false;
    if (m_image.empty) {
        noteFailure(tr(QStringLiteral("statusBarPanelNoFileToDownload")));
        StatusText(FailureReason);
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
        noteFailure(QStringLiteral("Size 0"));
        UserPrompts::instance().showMessage(FailureReason);
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
        if (!portLost())
            noteFailure(tr(QStringLiteral("messageCommunicationError")));
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
        if (!portLost())
            noteFailure(text);
        UserPrompts::instance().showMessage(text);
    }
    downloading = false;
    normalCursor();
    restorePanel();
}

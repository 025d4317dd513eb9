// The write-script and reset sequences of the device commands (TDeviceCommands).
#include "link/DeviceCommands.h"

#include "link/DeviceCommandsShared.h"
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

using namespace DeviceCommandsShared;

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
        noteFailure(e.message());
        UserPrompts::instance().showMessage(e.message());
        return false;
    }

    if (!m_receiver.CheckdeviceConnected(Timings.scriptPresenceWait, Timings.scriptPresenceRetries)) {
        StatusText(QString());
        normalCursor();
        LinkWait::handlePendingEvents();
        if (!portLost()) {
            noteFailure(tr(QStringLiteral("statusBarPanelsDeviceNotFound")));
            UserPrompts::instance().showMessage(FailureReason);
        }
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
        if (!portLost())
            noteFailure(tr(QStringLiteral("Error_Writing_Script")));
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
    if (portLost())
        return false;
    ScriptSent = true;
    return true;
}

void TDeviceCommands::mainMenuWriteScriptClick()
{
    startCommand();
    hourglass();
    ScriptFileName.clear();
    writeScriptState = TSSStart;
    if (!SendScriptFile())
        return;
    if (ScriptFileName.isEmpty())
        return;
    m_receiver.CollectString.clear();
    const bool announced = m_receiver.WaitForRestartText(Timings.scriptRestartText);
    m_receiver.waitForEinschaltmeldung(Timings.scriptBannerWait, Timings.scriptBannerInitialWait, announced);
    writeScriptState = TSSUploadFirst;
    StatusText(tr(QStringLiteral("statusBarPanelPleaseWait")));
    WMWriteScriptUpload(0);
}

void TDeviceCommands::mainMenuWriteScriptFastClick()
{
    startCommand();
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
    const bool announced = m_receiver.WaitForRestartText(Timings.scriptRestartText);
    m_receiver.waitForEinschaltmeldung(Timings.fastScriptBannerWait, Timings.scriptBannerInitialWait, announced);
    StatusText(tr(QStringLiteral("statusBarPanelScriptInstallFinished")));
    normalCursor();
}

void TDeviceCommands::mainMenuResetDeviceClick()
{
    startCommand();
    if (!m_com.IsOpen()) {
        noteFailure(tr(QStringLiteral("statusBarPanelNoPort")));
        StatusText(FailureReason);
        return;
    }
    StatusText(tr(QStringLiteral("statusBarPanelSearchGateway")));
    if (!m_receiver.CheckdeviceConnected(Timings.presenceWait, Timings.presenceRetries)) {
        if (!portLost()) {
            noteFailure(tr(QStringLiteral("statusBarPanelNoGatewayFound")));
            StatusText(FailureReason);
        }
        normalCursor();
    } else if (UserPrompts::instance().message(tr(QStringLiteral("messageCaptionWarning")), tr(QStringLiteral("messageRestart")),
                                               PromptIcon::Warning, {PromptButton::Yes, PromptButton::No}, PromptButton::No)
               == PromptButton::Yes) {
        m_receiver.CollectCharacters = true;
        LinkWait::handlePendingEvents();
        if (!awaitRestartBanner())
            return;
        // An empty name disables the check (it would be found in any banner).
        if (!universalscriptname.isEmpty() && m_receiver.CollectString.contains(universalscriptname))
            universal = true;
        m_receiver.CollectCharacters = false;

        if (!m_com.ResetDevice()) {
            normalCursor();
            // The session's state names the step that failed (no password prompt, no echo, ...).
            const QString error = tr(QStringLiteral("exceptionResetError"));
            if (!portLost())
                noteFailure(m_com.State.isEmpty() || m_com.State == error ? error : error + QStringLiteral(": ") + m_com.State);
            UserPrompts::instance().showMessage(error);
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
                noteFailure(e.message());
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

// The device commands of the main window against the simulator: upload, download, write
// script, reset, debug transfers, the character display, the connection state, and the
// unattended runs.
#include "DeviceRig.h"

#include "link/UnattendedRuns.h"
#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "platform/StatusTrace.h"

#include "model/BaseEEROM.h"

#include <QTimer>

namespace {

const QString kUniversal = QStringLiteral("Universalscript Kellerbrand");

QByteArray withByte(QByteArray b, int pos, int value)
{
    b[pos] = char(value);
    return b;
}

QByteArray scriptBytes(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 37 + 11) & 0xFF);
    return b;
}

QByteArray scriptWire(const QByteArray &script)
{
    quint16 sum = 0;
    for (char c : script)
        sum = quint16(sum + quint8(c));
    return QByteArray("\x10") + script.toHex().toUpper() + '\n' + QByteArray::number(sum, 16).toUpper().rightJustified(4, '0') + '\n';
}

bool inOrder(const QStringList &list, const QStringList &wanted)
{
    qsizetype at = 0;
    for (const QString &w : wanted) {
        at = list.indexOf(w, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

} // namespace

class TestDeviceCommands : public QObject
{
    Q_OBJECT

private slots:
    void init() { statusTrace().clear(); }

    // --- upload ---------------------------------------------------------------------------------

    void upload_data()
    {
        QTest::addColumn<bool>("deviceUniversal");
        QTest::addColumn<QString>("scriptName");
        QTest::addColumn<int>("deviceByte5");
        QTest::addColumn<int>("shownByte5"); // -1: no upload
        QTest::addColumn<QByteArray>("banner");
        QTest::newRow("no name: no Ctrl+V, 5C becomes 5A") << false << QString() << 0x5C << 0x5A << QByteArray();
        QTest::newRow("universal device") << true << kUniversal << 0x00 << 0x5C << QByteArray();
        QTest::newRow("plain device") << false << kUniversal << 0x00 << 0x00 << QByteArray();
        QTest::newRow("banner without signature") << false << kUniversal << 0x00 << -1 << QByteArray("Gateway V1.00\r\n");
    }
    void upload()
    {
        QFETCH(bool, deviceUniversal);
        QFETCH(QString, scriptName);
        QFETCH(int, deviceByte5);
        QFETCH(int, shownByte5);
        QFETCH(QByteArray, banner);
        DeviceRig rig;
        GatewaySimulator::Options opt;
        if (deviceUniversal)
            opt.universalName = kUniversal.toLatin1();
        if (!banner.isEmpty())
            opt.banner = banner;
        const QByteArray device = withByte(exampleImage(), 5, deviceByte5);
        QVERIFY(rig.start(opt, device));
        rig.cmd.universalscriptname = scriptName;

        rig.cmd.mainMenuUploadClick();
        QVERIFY(rig.idle());

        QCOMPARE(rig.sim->received().count('\x16'), scriptName.isEmpty() ? 0 : 1);
        QVERIFY(rig.view.commands.value(mainMenuUpload));
        if (shownByte5 < 0) {
            QVERIFY(rig.prompts.sawText(rig.T("TCOM_errorSettingVarnleDoesNotRespond")));
            QCOMPARE(rig.count("upload"), 0);
            QVERIFY(!rig.cmd.uploadOkReceived);
            return;
        }
        QVERIFY(rig.cmd.uploadOkReceived && rig.cmd.UploadBound);
        QCOMPARE(rig.cmd.universal, deviceUniversal);
        QCOMPARE(rig.image.UsedBytes(), withByte(device, 5, shownByte5));
        QVERIFY(rig.image.GetEintrag("Serial Number"));
        QCOMPARE(rig.view.panels[panelImageSize], QString("300 bytes"));
        QVERIFY(inOrder(rig.view.statuses, {rig.T("statusBarPanelSearchGateway"), rig.T("statusBarPanelStartUpload"),
                                            rig.T("statusBarPanelUploadFinished")}));
        QCOMPARE(rig.count("download"), 0); // a plain upload writes nothing back
        QCOMPARE(rig.prompts.records.size(), 0);
    }

    void uploadFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("status");
        QTest::newRow("port not open") << "closed" << "statusBarPanelNoPort";
        QTest::newRow("no answer") << "silent" << "statusBarPanelNoGatewayFound";
        QTest::newRow("wrong checksum") << "checksum" << "statusBarPanelUploadChecksumError";
        QTest::newRow("line dropped in the reply") << "drop200" << "statusBarPanelPortLost";
        QTest::newRow("line dropped before the reply") << "drop0" << "statusBarPanelPortLost";
    }
    void uploadFailures()
    {
        QFETCH(QString, fault);
        QFETCH(QString, status);
        DeviceRig rig;
        GatewaySimulator::Options opt;
        opt.silent = fault == "silent";
        opt.wrongUploadChecksum = fault == "checksum";
        if (fault.startsWith("drop")) {
            opt.dropAfterBytes = fault.mid(4).toInt();
            opt.replugAfterMs = 300;
        }
        opt.restartDelayMs = 200;
        QVERIFY(rig.startSim(opt, exampleImage()));
        if (fault != "closed")
            QVERIFY(rig.open());
        rig.cmd.Timings.presenceWait = 200;
        rig.cmd.Timings.presenceRetries = 2;
        const QByteArray before = rig.image.Buffer();

        rig.cmd.mainMenuUploadClick();
        QVERIFY(rig.idle());

        QCOMPARE(rig.view.statuses.last(), rig.T(status));
        QCOMPARE(rig.cmd.FailureReason, rig.T(status));
        QVERIFY(!rig.cmd.UploadBound);
        QCOMPARE(rig.image.Buffer(), before);
        QVERIFY(rig.image.ItemList.Count() == 0);
        QCOMPARE(rig.prompts.records.count(), fault == "checksum" ? 1 : 0); // the beep
        QCOMPARE(rig.view.commands.value(mainMenuUploadDebug), fault == "silent");
        QVERIFY(!rig.image.UploadRunning());

        if (fault.startsWith("drop")) {
            // The session finds the port again; the next upload is a sound one.
            QVERIFY(LinkWait::waitUntil([&] { return rig.com.IsOpen(); }, 5000));
            rig.sim->options().dropAfterBytes = -1;
            rig.cmd.mainMenuUploadClick();
            QVERIFY(rig.idle());
            QVERIFY(rig.cmd.UploadBound);
            QCOMPARE(rig.image.UsedBytes(), exampleImage());
        }
    }

    // A device that answers the upload request with anything but a complete data byte and then
    // stays quiet: the upload ends with the time-out status within the image's own limit, for
    // the plain upload and for the read-back of a sequence alike.
    void uploadWithoutProgress_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("readBack");
        QTest::newRow("one stray character") << QByteArray("X") << false;
        QTest::newRow("bare line end") << QByteArray("\r\n") << false;
        QTest::newRow("one hex digit") << QByteArray("A") << false;
        QTest::newRow("burst without a pair") << QByteArray(" ~*#!\r\nG7\r\n") << false;
        QTest::newRow("read-back of a reset") << QByteArray("X") << true;
    }
    void uploadWithoutProgress()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, readBack);
        DeviceRig rig;
        GatewaySimulator::Options opt;
        opt.uploadAnswer = answer;
        if (readBack)
            opt.restartDelayMs = 1200; // the session's restart wait listens from 1000 ms on
        QVERIFY(rig.start(opt));
        const QByteArray before = rig.image.Buffer();

        if (readBack) {
            rig.prompts.answer(PromptButton::Yes);
            rig.cmd.mainMenuResetDeviceClick();
        } else {
            rig.cmd.mainMenuUploadClick();
        }
        QVERIFY(rig.idle(10000)); // not the overall limit: the upload ended by itself

        QCOMPARE(rig.count("upload"), 1);
        QCOMPARE(rig.cmd.FailureReason, rig.T("statusBarPanelUploadTimeout"));
        QVERIFY(!rig.cmd.UploadBound);
        QVERIFY(!rig.image.UploadRunning());
        QCOMPARE(rig.image.Buffer(), before);
        QCOMPARE(rig.cmd.writeScriptState, readBack ? TSSReset : TSSNone);
    }

    // "OK" whose CR LF comes 20 ms later, with no banner step between the presence query and
    // the request (no universal script name): the late line end is no end of the data.
    void uploadAfterLateLineEnd()
    {
        DeviceRig rig;
        GatewaySimulator::Options opt;
        opt.okLineEndDelayMs = 20;
        QVERIFY(rig.start(opt));
        rig.cmd.universalscriptname.clear();

        rig.cmd.mainMenuUploadClick();
        QVERIFY(rig.idle());

        QVERIFY2(rig.cmd.UploadBound, qPrintable(rig.view.statuses.join(" | ")));
        QCOMPARE(rig.image.UsedBytes(), exampleImage());
        QCOMPARE(rig.view.statuses.last(), rig.T("statusBarPanelUploadFinished"));
    }

    // --- download -------------------------------------------------------------------------------

    void download_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("good") << "" << "statusBarPanelDownloadFinished" << true;
        QTest::newRow("restart without signature") << "banner" << "statusBarPanelsDownloadTimeout" << false;
        QTest::newRow("nothing loaded") << "empty" << "statusBarPanelNoFileToDownload" << false;
        QTest::newRow("line dropped") << "drop" << "statusBarPanelsDownloadTimeout" << false;
        // "Restart" and the banner in one read: the banner is not thrown away with "Restart".
        QTest::newRow("restarts at once") << "atonce" << "statusBarPanelDownloadFinished" << true;
    }
    void download()
    {
        QFETCH(QString, fault);
        QFETCH(QString, status);
        QFETCH(bool, confirmed);
        DeviceRig rig;
        GatewaySimulator::Options opt;
        if (fault == "banner")
            opt.banner = "Gateway V1.00\r\n";
        opt.restartAtOnce = fault == "atonce";
        if (fault == "drop") {
            opt.dropAfterBytes = 100;
            opt.replugAfterMs = 300;
            // the rest of the image goes to the plugged-in line, and no restart follows
            rig.cmd.Timings.downloadRestartText = 300;
            rig.cmd.Timings.downloadBannerWait = 300;
        }
        QVERIFY(rig.start(opt));
        const QByteArray changed = withByte(exampleImage(), 6, 0x42); // another node address
        if (fault != "empty")
            rig.load(changed);

        rig.cmd.mainMenuDowloadClick();
        QVERIFY(!rig.cmd.Busy());

        QCOMPARE(rig.view.statuses.last(), rig.T(status));
        QCOMPARE(rig.cmd.AutomaticDownloadOK, confirmed);
        QCOMPARE(rig.cmd.writeScriptState, TSSNone);
        if (fault == "empty") {
            QVERIFY(rig.sim->received().isEmpty());
            return;
        }
        QCOMPARE(rig.sim->image(), fault == "drop" ? exampleImage() : TBaseEEROM::WithChecksum(changed));
        if (fault == "drop") {
            QVERIFY(LinkWait::waitUntil([&] { return rig.com.IsOpen(); }, 5000));
            rig.sim->options().dropAfterBytes = -1;
            rig.cmd.mainMenuDowloadClick();

            QVERIFY(rig.cmd.AutomaticDownloadOK);
            QCOMPARE(rig.sim->image(), TBaseEEROM::WithChecksum(changed));
        } else {
            QVERIFY(rig.view.commands.value(mainMenuDowload));
        }
    }

    void automaticDownload_data()
    {
        QTest::addColumn<bool>("withSignature");
        QTest::newRow("confirmed") << true;
        QTest::newRow("not confirmed") << false;
    }
    void automaticDownload()
    {
        QFETCH(bool, withSignature);
        DeviceRig rig;
        GatewaySimulator::Options opt;
        if (!withSignature)
            opt.banner = "Gateway V1.00\r\n";
        QVERIFY(rig.start(opt));
        rig.load(exampleImage());
        QCOMPARE(RunAutomaticDownload(rig.cmd, &rig.language, {300, 0}), withSignature);
        QCOMPARE(rig.prompts.sawText(rig.T("messageAutomaticDownloadFailed")), !withSignature);
        QVERIFY(statusTrace().lines().contains(withSignature ? "auto ok yes" : "auto ok no"));
    }

    // --- write script ---------------------------------------------------------------------------

    void writeScript_data()
    {
        QTest::addColumn<bool>("fast");
        QTest::addColumn<bool>("pacing");
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("deviceByte5");
        QTest::addColumn<int>("ackBlocks");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("downloads");
        QTest::addColumn<int>("uploads");
        QTest::newRow("paced") << false << true << scriptBytes(200) << 0x00 << -1 << int(TSSRready) << 0 << 1;
        QTest::newRow("unpaced") << false << false << scriptBytes(300) << 0x00 << -1 << int(TSSRready) << 0 << 1;
        QTest::newRow("identifier changes") << false << true << scriptBytes(200) << 0x5C << -1 << int(TSSRready) << 1 << 2;
        QTest::newRow("device stops acknowledging") << false << true << scriptBytes(400) << 0x00 << 1 << int(TSSStart) << 0 << 0;
        QTest::newRow("fast") << true << true << scriptBytes(200) << 0x00 << -1 << int(TSSNone) << 0 << 0;
        QTest::newRow("fast, three bytes") << true << false << QByteArray("\x01\x02\xFF", 3) << 0x00 << -1 << int(TSSNone) << 0 << 0;
    }
    void writeScript()
    {
        QFETCH(bool, fast);
        QFETCH(bool, pacing);
        QFETCH(QByteArray, script);
        QFETCH(int, deviceByte5);
        QFETCH(int, ackBlocks);
        QFETCH(int, state);
        QFETCH(int, downloads);
        QFETCH(int, uploads);
        DeviceRig rig;
        GatewaySimulator::Options opt;
        opt.scriptPacing = pacing;
        opt.scriptAckBlocks = ackBlocks;
        opt.storeToImageFile = false;
        QVERIFY(rig.start(opt, withByte(exampleImage(), 5, deviceByte5)));
        rig.cmd.universalscriptname = kUniversal;
        const QString file = rig.dir.filePath("user.kcs");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(script);
        }
        rig.prompts.answer(file);

        if (fast)
            rig.cmd.mainMenuWriteScriptFastClick();
        else
            rig.cmd.mainMenuWriteScriptClick();
        QVERIFY(rig.idle());

        QCOMPARE(int(rig.cmd.writeScriptState), state);
        QCOMPARE(rig.count("download"), downloads);
        QCOMPARE(rig.count("upload"), uploads);
        const QString finished = rig.T("statusBarPanelScriptInstallFinished");
        const bool acknowledged = ackBlocks < 0;
        QCOMPARE(rig.cmd.ScriptSent, acknowledged);
        if (acknowledged) {
            QVERIFY(rig.sim->received().contains(scriptWire(script)));
            QCOMPARE(rig.lastExchange("script").result, QString("ok"));
            QCOMPARE(rig.lastExchange("script").data, script);
        } else {
            QVERIFY(rig.view.monitor.endsWith(rig.T("Error_Writing_Script")));
            QVERIFY(!rig.view.statuses.contains(finished));
        }
        // the device's offer "." shows in the monitor, and the backspace takes it back
        const QString offer = pacing ? QStringLiteral(".\b") + rig.T("messageMonitorWithHandshake") : rig.T("messageMonitorWithoutHandshake");
        QVERIFY2(rig.view.monitor.startsWith("\r\n" + offer + ' '), qPrintable(rig.view.monitor.left(80)));
        if (!pacing) {
            // a progress mark per 128 bytes: after 96, 224, ... bytes
            const QString marks = rig.view.monitor.mid(offer.size() + 3).section(QChar('R'), 0, 0);
            QCOMPARE(int(marks.count('.')), script.size() >= 96 ? 1 + (int(script.size()) - 96) / 128 : 0);
        }
        if (fast) {
            QCOMPARE(rig.view.statuses.last(), finished);
            QVERIFY(rig.prompts.records.size() == 1); // the file dialog only
        } else if (state == TSSRready) {
            // shown once as a message box, then as status, then the last upload's status
            QCOMPARE(rig.prompts.texts().count(finished), 1);
            QCOMPARE(rig.view.statuses.mid(rig.view.statuses.size() - 2),
                     QStringList({finished, rig.T("statusBarPanelUploadFinished")}));
        }
        if (downloads) {
            QCOMPARE(quint8(rig.lastExchange("download").data.at(5)), quint8(0x5A));
            QVERIFY(rig.view.monitor.contains(rig.T("statusBarPanelPleaseWaitForNextStep")));
            QCOMPARE(rig.image.GetByteIDX(5), uint8_t(0x5A));
        }
    }

    void writeScriptFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("missing file") << "missing";
        QTest::newRow("cancelled") << "cancel";
        QTest::newRow("no device") << "silent";
    }
    void writeScriptFailures()
    {
        QFETCH(QString, fault);
        DeviceRig rig;
        GatewaySimulator::Options opt;
        opt.silent = fault == "silent";
        QVERIFY(rig.start(opt));
        const QString file = rig.dir.filePath(fault == "missing" ? "absent.kcs" : "user.kcs");
        if (fault != "missing") {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(scriptBytes(10));
        }
        rig.prompts.answer(fault == "cancel" ? QString() : file);
        rig.cmd.mainMenuWriteScriptFastClick();

        QVERIFY(!rig.cmd.ScriptSent);
        QVERIFY(!rig.sim->received().contains('\x10'));
        QVERIFY(!rig.view.statuses.contains(rig.T("statusBarPanelScriptInstallFinished")));
        QCOMPARE(rig.sim->received().contains('\x14'), fault == "silent");
        const QStringList texts = rig.prompts.texts();
        if (fault == "missing")
            QVERIFY(texts.last().contains(file));
        if (fault == "silent")
            QCOMPARE(texts.last(), rig.T("statusBarPanelsDeviceNotFound"));
        QCOMPARE(rig.prompts.busyChanges.last(), false);
    }

    // --- reset ----------------------------------------------------------------------------------

    void reset_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("proto");
        QTest::addColumn<bool>("universal");
        QTest::newRow("Warmstart") << true << false << false;
        QTest::newRow("Proto") << true << true << false;
        QTest::newRow("universal script restored") << true << false << true;
        QTest::newRow("answered No") << false << false << false;
    }
    void reset()
    {
        QFETCH(bool, yes);
        QFETCH(bool, proto);
        QFETCH(bool, universal);
        DeviceRig rig;
        GatewaySimulator::Options opt;
        opt.answerProto = proto;
        opt.restartDelayMs = 1200; // the session's restart wait listens from 1000 ms on
        if (universal)
            opt.universalName = kUniversal.toLatin1();
        QVERIFY(rig.start(opt));
        rig.cmd.universalscriptname = kUniversal;
        rig.prompts.answer(yes ? PromptButton::Yes : PromptButton::No);

        rig.cmd.mainMenuResetDeviceClick();
        QVERIFY(rig.idle());

        const auto &question = rig.prompts.records.first();
        QCOMPARE(question.text, rig.T("messageRestart"));
        QCOMPARE(question.caption, rig.T("messageCaptionWarning"));
        QCOMPARE(question.icon, PromptIcon::Warning);
        if (!yes) {
            LinkWait::waitUntil([&] { return rig.sim->received().size() >= 2; }, 1000);
            QCOMPARE(rig.sim->received(), QByteArray("\x14\x1b"));
            QCOMPARE(rig.cmd.writeScriptState, TSSNone);
            return;
        }
        QCOMPARE(rig.lastExchange("reset").result, QString("ok"));
        QCOMPARE(rig.lastExchange("reset").data, proto ? QByteArray("0") : QByteArray());
        QCOMPARE(rig.cmd.writeScriptState, TSSRready);
        QVERIFY(rig.cmd.UploadBound);
        QVERIFY(rig.sim->received().contains("\x15\x1b")); // ESC right after the upload request
        if (universal) {
            QCOMPARE(rig.lastExchange("script").data, QByteArray("\x08\x17", 2));
            QVERIFY(rig.view.statuses.contains(rig.T("statusBarPanelWaitAfterRestore")));
            // the identifier follows the restored script: written back and read again
            QCOMPARE(rig.count("download"), 1);
            QCOMPARE(quint8(rig.sim->image().at(5)), quint8(0x5C));
            QVERIFY(rig.prompts.sawText(rig.T("statusBarPanelScriptInstallFinished")));
        } else {
            QCOMPARE(rig.count("script"), 0);
            QCOMPARE(rig.count("download"), 0);
            // no further banner after the read-back: traced only
            QVERIFY(statusTrace().lines().contains("!!!!!!!!!!!!!!!!Neustart nicht erkannt"));
        }
    }

    // --- debug transfers ------------------------------------------------------------------------

    void debugUpload_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message"); // key of the message box; empty: none
        QTest::newRow("whole reply") << "" << "";
        QTest::newRow("universal banner") << "universal" << "";
        QTest::newRow("short reply") << "short" << "messageIncompleteDataFromDevice";
        QTest::newRow("one byte") << "one" << "messageIncompleteDataFromDevice";
        QTest::newRow("no reply") << "none" << "messageNoDataReceivedFromDevice";
        QTest::newRow("ICC") << "icc" << "messageUploadNotPossible";
        QTest::newRow("no restart") << "norestart" << "statusBarPanelsDeviceNotFound";
    }
    void debugUpload()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        DeviceRig rig;
        GatewaySimulator::Options opt;
        opt.refuseDebug = fault == "icc";
        if (fault == "universal")
            opt.universalName = kUniversal.toLatin1();
        opt.debugReplyBytes = fault == "short" ? 100 : fault == "one" ? 1 : fault == "none" ? 0 : -1;
        const QByteArray device = withByte(exampleImage(), 36, 0x77);
        QVERIFY(rig.start(opt, device));
        rig.cmd.universalscriptname = kUniversal;
        if (fault == "norestart")
            rig.cmd.Timings.debugCatchUpload = 600;
        else
            QTimer::singleShot(100, rig.sim.get(), [&] { rig.sim->restart(); });
        const QByteArray before = rig.image.Buffer();

        rig.cmd.mainMenuUploadDebugClick();

        QCOMPARE(rig.prompts.records.first().text, rig.T("messageRestartInRunMode"));
        QVERIFY(!rig.cmd.downloading);
        QCOMPARE(rig.view.gridEnabling.first(), false);
        QCOMPARE(rig.view.gridEnabling.last(), true);
        QCOMPARE(rig.prompts.busyChanges.last(), false);
        if (!message.isEmpty()) {
            QVERIFY(rig.prompts.records.size() == 2);
            QVERIFY2(rig.prompts.records.last().text.startsWith(rig.T(message).section('%', 0, 0)),
                     qPrintable(rig.prompts.records.last().text));
            QCOMPARE(rig.image.Buffer(), before);
            QVERIFY(!rig.cmd.DebugTransferOK);
            if (fault == "short")
                QCOMPARE(rig.prompts.records.last().text, FormatText(rig.T(message), {98, 300}));
            QCOMPARE(rig.sim->received().contains('U'), fault != "icc" && fault != "norestart");
            return;
        }
        QVERIFY(rig.cmd.DebugTransferOK);
        QCOMPARE(rig.lastExchange("restart").result, QString("claimed"));
        QCOMPARE(rig.image.UseSize(), 300);
        QCOMPARE(rig.image.UsedBytes(), withByte(device, 5, fault == "universal" ? 0x5C : 0x00));
        QCOMPARE(rig.image.GetByteIDX(36), uint8_t(0x77));
        QVERIFY(rig.image.GetEintrag("Serial Number"));
        QCOMPARE(rig.view.gridRefreshes, 1);
        QVERIFY(rig.view.statuses.contains(rig.T("statusBarPanelsUploadFinised")));
        QVERIFY(rig.waitExchange("debug-end"));
    }

    void debugDownload_data()
    {
        QTest::addColumn<bool>("pacing");
        QTest::addColumn<QByteArray>("verdict"); // empty: the simulator's own
        QTest::addColumn<QString>("outcome");    // status after the verdict
        QTest::newRow("paced, accepted") << true << QByteArray() << "statusBarPanelsDownloadFinised";
        QTest::newRow("unpaced, accepted") << false << QByteArray() << "statusBarPanelsDownloadFinised";
        QTest::newRow("TO counts as accepted") << true << QByteArray("TO") << "statusBarPanelsDownloadFinised";
        QTest::newRow("L") << true << QByteArray("L") << "statusBarPanelsDownloadLengthError";
        QTest::newRow("T") << true << QByteArray("T") << "statusBarPanelsDownloadTimeout";
        QTest::newRow("S") << true << QByteArray("S") << "statusBarPanelsDownloadFailed";
        QTest::newRow("V") << false << QByteArray("V") << "statusBarPanelsDownloadFailed";
        QTest::newRow("E") << true << QByteArray("E") << "statusBarPanelsDownloadFailed";
        QTest::newRow("line dropped before byte 32") << true << QByteArray("drop") << "messageCommunicationError";
    }
    void debugDownload()
    {
        QFETCH(bool, pacing);
        QFETCH(QByteArray, verdict);
        QFETCH(QString, outcome);
        DeviceRig rig;
        GatewaySimulator::Options opt;
        opt.debugPacing = pacing;
        if (verdict == "drop")
            opt.dropAfterBytes = 20;
        else
            opt.debugVerdict = verdict;
        QVERIFY(rig.start(opt));
        const QByteArray changed = withByte(exampleImage(), 6, 0x42);
        rig.load(changed);
        rig.view.panels[panelImageSize] = "300 bytes";
        QTimer::singleShot(100, rig.sim.get(), [&] { rig.sim->restart(); });
        rig.cmd.mainMenuDownloadDebugClick();

        const bool accepted = outcome == "statusBarPanelsDownloadFinised";
        QCOMPARE(rig.cmd.DebugTransferOK, accepted);
        QVERIFY(!rig.cmd.downloading);
        QCOMPARE(rig.view.statuses.last(), rig.T("statusBarPanelsDownloadFinised"));
        if (verdict == "drop") {
            QCOMPARE(rig.prompts.records.last().text, rig.T(outcome));
            QCOMPARE(rig.view.panels[panelImageSize], QString("300 bytes H")); // ended at once
            return;
        }
        QVERIFY(rig.view.statuses.contains(rig.T(outcome)));
        QCOMPARE(rig.prompts.records.size(), accepted ? 1 : 2);
        if (!accepted)
            QCOMPARE(rig.prompts.records.last().text, rig.T(outcome));
        const auto e = rig.lastExchange("debug-download");
        QCOMPARE(e.header, QByteArray("\x01\x2c", 2));
        QCOMPARE(e.data, TBaseEEROM::WithChecksum(changed));
        if (verdict.isEmpty())
            QCOMPARE(rig.sim->image(), TBaseEEROM::WithChecksum(changed));
        QVERIFY(!rig.view.sizePanelAtProgress.isEmpty());
        QCOMPARE(rig.view.sizePanelAtProgress.first(), pacing ? QString("300 bytes H") : QString("300 bytes"));
        QCOMPARE(rig.view.panels[panelImageSize], pacing ? QString("300 bytes") : QString());
        QVERIFY(rig.waitExchange("debug-end"));
    }

    void debugDownloadNeedsImage()
    {
        DeviceRig rig;
        QVERIFY(rig.start());
        rig.cmd.mainMenuDownloadDebugClick();
        QCOMPARE(rig.view.statuses, QStringList{rig.T("statusBarPanelNoFileToDownload")});
        QVERIFY(rig.prompts.records.isEmpty());
        QVERIFY(rig.sim->received().isEmpty());
    }

    // --- character display and connection -----------------------------------------------------

    void idleDisplay_data()
    {
        QTest::addColumn<bool>("monitor");
        QTest::newRow("monitor shown") << true;
        QTest::newRow("monitor hidden") << false;
    }
    void idleDisplay()
    {
        QFETCH(bool, monitor);
        DeviceRig rig;
        QVERIFY(rig.start());
        rig.view.monitorVisible = monitor;
        rig.sim->restart();
        QVERIFY(rig.waitExchange("restart"));
        QVERIFY(LinkWait::waitUntil([&] { return rig.view.monitor.contains("2026\r\n") || !monitor; }, 2000));
        // a freshly started device is claimed at once
        QCOMPARE(rig.lastExchange("restart").result, QString("claimed"));
        QCOMPARE(rig.view.statuses.last(), rig.T("statusBarPanelsDeviceStartetInTorvaneMode"));
        QCOMPARE(rig.view.monitor.contains("(c)kB"), monitor);
    }

    void comState_data()
    {
        QTest::addColumn<int>("wParam");
        QTest::addColumn<int>("lParam");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("message");
        QTest::newRow("online") << 0 << 0 << "BitBtnConnect" << "COM5" << "";
        QTest::newRow("closed") << 0 << 10 << "BitBtnDisconnect" << "COM5" << "";
        QTest::newRow("other copy waits") << 2 << 60 << "BitBtnDisconnect" << "offline" << "";
        QTest::newRow("in use") << 2 << 50 << "BitBtnDisconnect" << "offline"
                                << "Port COM5 is in use by another application";
        QTest::newRow("no permission") << 2 << 55 << "BitBtnDisconnect" << "offline" << "Permission denied on ";
    }
    void comState()
    {
        QFETCH(int, wParam);
        QFETCH(int, lParam);
        QFETCH(QString, caption);
        QFETCH(QString, port);
        QFETCH(QString, message);
        DeviceRig rig;
        QVERIFY(rig.start());
        rig.view.panels[panelPort] = "COM5";
        rig.view.panels[panelStatus] = "something";
        rig.cmd.WMComState(wParam, lParam);
        QCOMPARE(rig.cmd.waitingForCom, wParam);
        QCOMPARE(rig.view.caption, rig.T(caption));
        QCOMPARE(rig.view.panels[panelStatus], QString());
        QCOMPARE(rig.view.panels[panelPort], port);
        QCOMPARE(rig.view.groupEnabling, lParam >= 50 ? QList<bool>{false} : QList<bool>{});
        if (lParam == comStateNoPermission) {
            // names the device file and the group that may open it, and is the failure reason
            QCOMPARE(rig.prompts.texts().size(), 1);
            QVERIFY(rig.prompts.texts().first().startsWith(message + rig.com.DevicePath() + " (COM5)"));
            QVERIFY(rig.prompts.texts().first().contains("usermod -aG"));
            QCOMPARE(rig.cmd.FailureReason, rig.prompts.texts().first());
        } else {
            QCOMPARE(rig.prompts.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        }
    }

    void connectButton()
    {
        DeviceRig rig;
        QVERIFY(rig.start());
        rig.cmd.ShowConnectState();
        QCOMPARE(rig.view.caption, rig.T("BitBtnConnect"));
        QCOMPARE(rig.view.groupEnabling, QList<bool>{true});

        rig.cmd.BitBtnConnectDisconnectClick(); // connected: disconnect
        QVERIFY(!rig.com.IsOpen());
        QCOMPARE(rig.view.caption, rig.T("BitBtnDisconnect"));
        QCOMPARE(rig.view.panels[panelPort], QString());
        QCOMPARE(rig.view.groupEnabling.last(), false);

        rig.cmd.BitBtnConnectDisconnectClick(); // and connect again
        QVERIFY(rig.com.IsOpen());
        QCOMPARE(rig.view.caption, rig.T("BitBtnConnect"));
        QCOMPARE(rig.view.panels[panelPort], QString("COM5"));
    }

    // --- serial-number generation ---------------------------------------------------------------

    void serialConfigurations_data()
    {
        QTest::addColumn<QString>("line"); // the "Serial Number" parameter line; empty: none
        QTest::addColumn<QByteArray>("serialBytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArray>("lastBytes"); // bytes 12..15 of the last file
        QTest::addColumn<QString>("error");
        const QByteArray s12345("\x00\x01\x23\x45", 4);
        QTest::newRow("three numbers") << "12;0;80" << s12345 << 3
                                       << QStringList{"AutoKonfig_00012346.gwc", "AutoKonfig_00012347.gwc", "AutoKonfig_00012348.gwc"}
                                       << QByteArray("\x00\x01\x23\x48", 4) << "";
        // the incremented number keeps eight digits: "10" would be stored as 10 00 00 00
        QTest::newRow("carry keeps the width") << "12;0;80" << QByteArray("\x00\x00\x00\x09", 4) << 1
                                               << QStringList{"AutoKonfig_00000010.gwc"} << QByteArray("\x00\x00\x00\x10", 4) << "";
        QTest::newRow("word serial in decimal") << "12;1;80" << QByteArray("\x00\x29\x00\x00", 4) << 1
                                                << QStringList{"AutoKonfig_42.gwc"} << QByteArray("\x00\x2a\x00\x00", 4) << "";
        QTest::newRow("no serial number") << "" << s12345 << 1 << QStringList() << QByteArray() << "exceptionSerialNumberMissing";
        QTest::newRow("not decimal") << "12;0;80" << QByteArray("\x00\x00\xAB\xCD", 4) << 1 << QStringList() << QByteArray()
                                     << "not a valid integer";
        QTest::newRow("beyond eight digits") << "12;0;80" << QByteArray("\x99\x99\x99\x98", 4) << 2 << QStringList() << QByteArray()
                                             << "exceptionSerialNumberRange";
    }
    void serialConfigurations()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, serialBytes);
        QFETCH(int, count);
        QFETCH(QStringList, files);
        QFETCH(QByteArray, lastBytes);
        QFETCH(QString, error);
        QTemporaryDir dir;
        IniFile ini;
        QString text = "[Names]\n0x1F=Dev\n[Devices]\n0x1F=0x10\n[Dev]\nStore Serial Number=16;12;1;;;3\n";
        if (!line.isEmpty())
            text += "Serial Number=" + line + "\n";
        ini.parseText(text);
        QByteArray bytes(32, '\0');
        bytes[1] = 0x1F;
        bytes.replace(12, 4, serialBytes);
        const QString source = dir.filePath("plant.gwc");
        {
            QFile f(source);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        TBaseEEROM image;
        image.SetSourceDatei(&ini);

        QStringList written;
        QString raised;
        try {
            written = generateSerialConfigurations(image, source, count);
        } catch (const TorvaneError &e) {
            raised = e.message();
        }
        QVERIFY2(error.isEmpty() ? raised.isEmpty() : raised.contains(error), qPrintable(raised));
        QStringList names;
        for (const QString &w : written)
            names << QFileInfo(w).fileName();
        QCOMPARE(names, files);
        QCOMPARE(QDir(dir.path()).entryList({"AutoKonfig_*"}), files); // nothing else on disk
        if (!files.isEmpty()) {
            QFile last(dir.filePath(files.last()));
            QVERIFY(last.open(QIODevice::ReadOnly));
            const QByteArray content = last.readAll();
            QCOMPARE(content.size(), 32);
            QCOMPARE(content.mid(12, 4), lastBytes);
            QCOMPARE(content.mid(16, 3), QByteArray("YES"));
        }
    }
};

QTEST_GUILESS_MAIN(TestDeviceCommands)
#include "TestDeviceCommands.moc"

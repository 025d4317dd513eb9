// torvane-devsim: a simulated gateway on a pseudo-terminal, reachable as a COM port.
#include "GatewaySimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int signo)
{
    const char c = char(signo);
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

bool parseInt(const QCommandLineParser &p, const QString &name, int &out, QString *error)
{
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < 0) {
        *error = QStringLiteral("--%1 needs a number of 0 or more, not \"%2\"").arg(name, p.value(name));
        return false;
    }
    out = v;
    return true;
}

bool parseLetter(const QCommandLineParser &p, const QString &name, const QString &allowed, char &out, QString *error)
{
    if (!p.isSet(name))
        return true;
    const QString v = p.value(name);
    if (v.size() != 1 || !allowed.contains(v)) {
        *error = QStringLiteral("--%1 takes one of %2, not \"%3\"").arg(name, allowed, v);
        return false;
    }
    out = v[0].toLatin1();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("torvane-devsim"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulated gateway on a pseudo-terminal. SIGUSR1 restarts the device (power cycle);\n"
        "SIGTERM or SIGINT ends the simulator and removes the port link."));
    p.addHelpOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("image"), QStringLiteral("Configuration image served and stored (.gwc)."), QStringLiteral("file")},
        {QStringLiteral("port"), QStringLiteral("Port name the PC uses (default COM9)."), QStringLiteral("COMn"), QStringLiteral("COM9")},
        {QStringLiteral("record-dir"), QStringLiteral("Directory for the records of what was received."), QStringLiteral("dir")},
        {QStringLiteral("store"), QStringLiteral("A downloaded image replaces the image file.")},
        {QStringLiteral("banner"), QStringLiteral("Power-on banner line (CR LF is appended)."), QStringLiteral("text")},
        {QStringLiteral("universal"), QStringLiteral("The device runs the universal script of this name."), QStringLiteral("name")},
        {QStringLiteral("restart-delay"), QStringLiteral("Restart time in ms (default 1500)."), QStringLiteral("ms")},
        {QStringLiteral("claim-answer"), QStringLiteral("Answer to the start-up claim: I or N."), QStringLiteral("letter")},
        {QStringLiteral("receive-timeout"), QStringLiteral("Silence in ms that ends a half-received transfer."), QStringLiteral("ms")},
        {QStringLiteral("silent"), QStringLiteral("Answer nothing.")},
        {QStringLiteral("late"), QStringLiteral("Delay every answer by this many ms."), QStringLiteral("ms")},
        {QStringLiteral("wrong-checksum"), QStringLiteral("Send a wrong upload checksum.")},
        {QStringLiteral("no-pacing"), QStringLiteral("No \".\" during downloads.")},
        {QStringLiteral("no-script-pacing"), QStringLiteral("No \".\" during script transfers.")},
        {QStringLiteral("script-ack-blocks"), QStringLiteral("Acknowledge only this many script blocks."), QStringLiteral("n")},
        {QStringLiteral("no-debug-pacing"), QStringLiteral("No \".\" during debug downloads.")},
        {QStringLiteral("debug-verdict"), QStringLiteral("Answer debug downloads with this text instead of O or E."), QStringLiteral("text")},
        {QStringLiteral("debug-reply-bytes"), QStringLiteral("Cut the upload-debug reply to this many bytes."), QStringLiteral("n")},
        {QStringLiteral("noise"), QStringLiteral("Stray characters between the bytes of an upload.")},
        {QStringLiteral("refuse-debug"), QStringLiteral("Refuse debug transfers (\"ICC\").")},
        {QStringLiteral("proto"), QStringLiteral("Service prompt answers \"Proto\" instead of \"Warmstart\".")},
        {QStringLiteral("lowercase-ok"), QStringLiteral("Answer the presence query with \"ok\".")},
        {QStringLiteral("drop-after"), QStringLiteral("Pull the cable after this many bytes of a transfer."), QStringLiteral("n")},
        {QStringLiteral("replug-after"), QStringLiteral("Plug the cable back in after this many ms."), QStringLiteral("ms")},
        {QStringLiteral("ext-header"), QStringLiteral("Refuse extension headers with L or T."), QStringLiteral("letter")},
        {QStringLiteral("ext-final"), QStringLiteral("Final extension verdict: O, E, S, T, or - for none."), QStringLiteral("letter")},
        {QStringLiteral("ext-ack-blocks"), QStringLiteral("Acknowledge only this many extension blocks."), QStringLiteral("n")},
        {QStringLiteral("upload-answer"), QStringLiteral("Answer the upload request with this text only, then stay quiet\n"
                                                         "(\\r and \\n stand for CR and LF)."), QStringLiteral("text")},
        {QStringLiteral("ok-line-end-delay"), QStringLiteral("Send the CR LF after \"OK\" this many ms later."), QStringLiteral("ms")},
        {QStringLiteral("restart-at-once"), QStringLiteral("Send \"Restart\" and the banner in one write.")},
    };
    p.addOptions(options);
    p.process(app);

    GatewaySimulator::Options opt;
    QString error;
    opt.imagePath = p.value(QStringLiteral("image"));
    opt.recordDir = p.value(QStringLiteral("record-dir"));
    opt.storeToImageFile = p.isSet(QStringLiteral("store"));
    if (p.isSet(QStringLiteral("banner")))
        opt.banner = p.value(QStringLiteral("banner")).toLatin1() + "\r\n";
    opt.universalName = p.value(QStringLiteral("universal")).toLatin1();
    opt.silent = p.isSet(QStringLiteral("silent"));
    opt.wrongUploadChecksum = p.isSet(QStringLiteral("wrong-checksum"));
    opt.downloadPacing = !p.isSet(QStringLiteral("no-pacing"));
    opt.scriptPacing = !p.isSet(QStringLiteral("no-script-pacing"));
    opt.debugPacing = !p.isSet(QStringLiteral("no-debug-pacing"));
    opt.debugVerdict = p.value(QStringLiteral("debug-verdict")).toLatin1();
    opt.noise = p.isSet(QStringLiteral("noise"));
    opt.refuseDebug = p.isSet(QStringLiteral("refuse-debug"));
    opt.answerProto = p.isSet(QStringLiteral("proto"));
    opt.lowerCaseOk = p.isSet(QStringLiteral("lowercase-ok"));
    opt.uploadAnswer = p.value(QStringLiteral("upload-answer")).toLatin1().replace("\\r", "\r").replace("\\n", "\n");
    opt.restartAtOnce = p.isSet(QStringLiteral("restart-at-once"));
    char finalVerdict = 0;
    bool ok = parseInt(p, QStringLiteral("restart-delay"), opt.restartDelayMs, &error)
              && parseInt(p, QStringLiteral("receive-timeout"), opt.receiveTimeoutMs, &error)
              && parseInt(p, QStringLiteral("late"), opt.replyDelayMs, &error)
              && parseInt(p, QStringLiteral("drop-after"), opt.dropAfterBytes, &error)
              && parseInt(p, QStringLiteral("replug-after"), opt.replugAfterMs, &error)
              && parseInt(p, QStringLiteral("ext-ack-blocks"), opt.extAckBlocks, &error)
              && parseInt(p, QStringLiteral("script-ack-blocks"), opt.scriptAckBlocks, &error)
              && parseInt(p, QStringLiteral("debug-reply-bytes"), opt.debugReplyBytes, &error)
              && parseInt(p, QStringLiteral("ok-line-end-delay"), opt.okLineEndDelayMs, &error)
              && parseLetter(p, QStringLiteral("claim-answer"), QStringLiteral("IN"), opt.claimAnswer, &error)
              && parseLetter(p, QStringLiteral("ext-header"), QStringLiteral("LT"), opt.extHeaderVerdict, &error)
              && parseLetter(p, QStringLiteral("ext-final"), QStringLiteral("OEST-"), finalVerdict, &error);
    if (finalVerdict)
        opt.extFinalVerdict = finalVerdict == '-' ? 0 : finalVerdict;
    if (!ok) {
        std::fprintf(stderr, "torvane-devsim: %s\n", qPrintable(error));
        return 2;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        std::perror("torvane-devsim: socketpair");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : {SIGTERM, SIGINT, SIGUSR1})
        ::sigaction(s, &sa, nullptr);

    GatewaySimulator sim(opt);
    if (!sim.start(&error) || !sim.linkAsPort(p.value(QStringLiteral("port")), &error)) {
        std::fprintf(stderr, "torvane-devsim: %s\n", qPrintable(error));
        sim.stop();
        return 1;
    }

    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char c = 0;
        if (::read(g_signalPipe[0], &c, 1) != 1)
            return;
        if (c == SIGUSR1)
            sim.restart();
        else
            app.quit();
    });

    std::printf("%s\nready\n", qPrintable(sim.slavePath()));
    std::fflush(stdout);
    const int rc = app.exec();
    sim.stop();
    return rc;
}

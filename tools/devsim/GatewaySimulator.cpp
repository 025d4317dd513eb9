#include "GatewaySimulator.h"

#include "PseudoTerminal.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int kMaxImageBytes = 8192;      // the device's configuration memory
constexpr int kMaxScriptBytes = 65536;
constexpr int kServiceStepMs = 300;       // from the password echo to "Warmstart"/"Proto"
constexpr int kDropGraceMs = 1000;        // longest wait for the PC to read before the drop
constexpr char kNoise[] = " ~*#!";        // never a digit, a line end or a "."
const QByteArray kPassword = "KQRZVT";
const QByteArray kRestoreScript("\x08\x17", 2);

int hexValue(quint8 c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

quint16 sum16(const QByteArray &bytes)
{
    quint16 sum = 0;
    for (char b : bytes)
        sum = quint16(sum + quint8(b));
    return sum;
}

QByteArray hex4(quint16 v) { return QByteArray::number(v, 16).toUpper().rightJustified(4, '0'); }

QByteArray be16(quint16 v)
{
    QByteArray b(2, '\0');
    b[0] = char(v >> 8);
    b[1] = char(v & 0xFF);
    return b;
}

quint16 readBe16(const QByteArray &b, int at) { return quint16(quint8(b[at]) << 8 | quint8(b[at + 1])); }

} // namespace

GatewaySimulator::GatewaySimulator(const Options &options, QObject *parent)
    : QObject(parent), m_opt(options)
{
    m_receiveTimer.setSingleShot(true);
    connect(&m_receiveTimer, &QTimer::timeout, this, &GatewaySimulator::receiveTimedOut);
    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, [this] {
        auto action = std::move(m_stepAction);
        m_stepAction = nullptr;
        if (action)
            action();
    });
    m_delayTimer.setSingleShot(true);
    m_delayTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_delayTimer, &QTimer::timeout, this, &GatewaySimulator::releaseDelayed);
    m_dropPoll.setInterval(10);
    connect(&m_dropPoll, &QTimer::timeout, this, [this] {
        if (!m_pty || m_pty->unreadOutput() == 0 || m_clock.elapsed() > m_dropDeadline) {
            m_dropPoll.stop();
            dropLine();
        }
    });
    m_clock.start();
}

GatewaySimulator::~GatewaySimulator() { stop(); }

bool GatewaySimulator::start(QString *error)
{
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    m_image.clear();
    if (!m_opt.imagePath.isEmpty()) {
        QFile f(m_opt.imagePath);
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read image %1: %2").arg(m_opt.imagePath, f.errorString()));
        if (f.size() > kMaxImageBytes)
            return fail(QStringLiteral("image %1 is larger than %2 bytes").arg(m_opt.imagePath).arg(kMaxImageBytes));
        m_image = f.readAll();
    }
    if (!m_opt.recordDir.isEmpty()) {
        if (!QDir().mkpath(m_opt.recordDir))
            return fail(QStringLiteral("cannot create record directory %1").arg(m_opt.recordDir));
        for (const char *log : {"received.bin", "sent.bin", "exchanges.txt"})
            QFile::remove(QDir(m_opt.recordDir).filePath(QLatin1String(log)));
    }
    m_runsUniversal = !m_opt.universalName.isEmpty();
    QString ptyError;
    m_pty = std::make_unique<PseudoTerminal>();
    if (!m_pty->open(&ptyError)) {
        m_pty.reset();
        return fail(QStringLiteral("cannot create pseudo-terminal: %1").arg(ptyError));
    }
    connect(m_pty.get(), &PseudoTerminal::received, this, &GatewaySimulator::onReceived);
    m_freshRestart = false;
    m_claimed = false;
    enter(Mode::Running);
    return true;
}

void GatewaySimulator::stop()
{
    if (!m_linkPath.isEmpty() && QFileInfo(m_linkPath).isSymLink())
        QFile::remove(m_linkPath);
    m_linkPath.clear();
    m_stepTimer.stop();
    m_delayTimer.stop();
    m_dropPoll.stop();
    m_delayed.clear();
    m_pty.reset();
    enter(Mode::Stopped);
}

QString GatewaySimulator::slavePath() const { return m_pty ? m_pty->slavePath() : QString(); }

bool GatewaySimulator::isLineUp() const { return m_pty && m_pty->isOpen(); }

QString GatewaySimulator::portLinkPath(const QString &comName)
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Kellerbrand/Torvane/ports/") + comName;
}

bool GatewaySimulator::linkAsPort(const QString &comName, QString *error)
{
    const QString path = portLinkPath(comName);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    const QFileInfo old(path);
    if (old.isSymLink() || old.exists())
        QFile::remove(path);
    if (::symlink(QFile::encodeName(slavePath()).constData(), QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = QStringLiteral("cannot link %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_linkPath = path;
    return true;
}

void GatewaySimulator::dropLine()
{
    if (!isLineUp())
        return;
    m_pty->close();
    m_delayed.clear();
    m_delayTimer.stop();
    m_dropPoll.stop();
    m_stepTimer.stop();
    m_claimed = false;
    // A pulled cable leaves the port name without a device. Pointing the link at a path that
    // never exists keeps it that way: the closed pty's number is free again and the next
    // pseudo-terminal opened on this machine (another test, another program) would get it.
    if (!m_linkPath.isEmpty()) {
        const QString unplugged = QFileInfo(m_linkPath).absolutePath() + QStringLiteral("/.unplugged-")
                                  + QFileInfo(m_linkPath).fileName();
        QFile::remove(m_linkPath);
        if (::symlink(QFile::encodeName(unplugged).constData(), QFile::encodeName(m_linkPath).constData()) != 0)
            QFile::remove(m_linkPath);
    }
    enter(Mode::Dropped);
    finish(QStringLiteral("line-dropped"), QStringLiteral("dropped"));
    if (m_opt.replugAfterMs >= 0)
        scheduleStep(m_opt.replugAfterMs, [this] { reconnect(); });
}

bool GatewaySimulator::reconnect(QString *error)
{
    if (m_mode != Mode::Dropped || !m_pty)
        return isLineUp();
    if (!m_pty->open(error))
        return false;
    if (!m_linkPath.isEmpty()) {
        const QString com = QFileInfo(m_linkPath).fileName();
        if (!linkAsPort(com, error))
            return false;
    }
    m_freshRestart = false;
    enter(Mode::Running);
    finish(QStringLiteral("replug"), QStringLiteral("ok"));
    return true;
}

void GatewaySimulator::restart()
{
    if (m_mode == Mode::Dropped || m_mode == Mode::Stopped)
        return;
    m_claimed = false;
    m_freshRestart = false;
    enter(Mode::Restarting);
    // Answers still on their way leave first; the start-up output follows them.
    scheduleStep(m_opt.restartDelayMs + qMax(0, m_opt.replyDelayMs), [this] {
        sendNow(QByteArray(1, '\0'));
        enter(Mode::ClaimWindow);
        scheduleStep(m_opt.claimWindowMs, [this] { finishStartup(false); });
    });
}

void GatewaySimulator::finishStartup(bool claimed)
{
    m_stepTimer.stop();
    QByteArray out;
    if (claimed) {
        // The refusal must precede the claim answer: the PC checks for it as soon as
        // the answer has ended its wait.
        if (m_opt.refuseDebug)
            out += "ICC\r\n";
        out += m_opt.claimAnswer;
        m_claimed = m_opt.claimAnswer == 'I' && !m_opt.refuseDebug;
    }
    out += bannerText();
    enter(Mode::Running);
    m_freshRestart = true;
    sendNow(out);
    finish(QStringLiteral("restart"), claimed ? QStringLiteral("claimed") : QStringLiteral("unclaimed"));
}

QByteArray GatewaySimulator::bannerText() const
{
    QByteArray text = m_opt.banner;
    if (m_runsUniversal)
        text += m_opt.universalName + "\r\n";
    return text;
}

void GatewaySimulator::onReceived(const QByteArray &bytes)
{
    m_received += bytes;
    appendRecord(QStringLiteral("received.bin"), bytes);
    for (char c : bytes) {
        if (m_mode == Mode::Dropped || m_mode == Mode::Stopped)
            break;
        if (m_opt.silent)
            continue;
        handleByte(quint8(c));
    }
}

void GatewaySimulator::handleByte(quint8 c)
{
    switch (m_mode) {
    case Mode::Running:
        dispatch(c);
        break;
    case Mode::Restarting:
    case Mode::ServiceWait:
    case Mode::Dropped:
    case Mode::Stopped:
        break;
    case Mode::ClaimWindow:
        if (c == 'W') {
            finishStartup(true);
        } else {
            finishStartup(false);
            dispatch(c);
        }
        break;
    case Mode::Password:
        passwordByte(c);
        break;
    case Mode::ProtoChoice:
        if (c != '\r' && c != '\n') {
            finish(QStringLiteral("reset"), QStringLiteral("ok"), {}, QByteArray(1, char(c)));
            restart();
        }
        break;
    case Mode::Download:
    case Mode::Script:
        if (!countTransferByte())
            hexByte(c);
        break;
    case Mode::DebugLength:
    case Mode::DebugData:
    case Mode::DebugChecksum:
        if (!countTransferByte())
            debugByte(c);
        break;
    case Mode::ExtHeader:
    case Mode::ExtData:
    case Mode::ExtQuiet:
    case Mode::ExtChecksum:
        if (!countTransferByte())
            extensionByte(c);
        break;
    }
    if (inTransfer())
        m_receiveTimer.start(m_opt.receiveTimeoutMs);
}

void GatewaySimulator::dispatch(quint8 c)
{
    if (c == 0x14) {
        // A freshly restarted device answers without a line end, so that two answers
        // read "OKOK" to the PC's restart wait.
        const QByteArray ok = m_opt.lowerCaseOk ? "ok" : "OK";
        if (m_freshRestart) {
            reply(ok);
        } else if (m_opt.okLineEndDelayMs > 0) {
            // The line end reaches the PC in a later read than the letters, and before any
            // answer that follows (it was on its way first).
            reply(ok);
            m_delayed.append({m_clock.elapsed() + m_opt.okLineEndDelayMs, QByteArray("\r\n"), false});
            if (!m_delayTimer.isActive())
                m_delayTimer.start(int(qMax<qint64>(0, m_delayed.first().due - m_clock.elapsed())));
        } else {
            reply(ok + "\r\n");
        }
        finish(QStringLiteral("presence"), QStringLiteral("ok"));
        return;
    }
    const bool claimedCommand = m_claimed && (c == 'U' || c == 'C' || c == 'V');
    const bool known = c == 0x16 || c == 0x15 || c == 0x04 || c == 0x10 || c == 0x09 || c == 0x05 || claimedCommand;
    if (!known)
        return; // anything else (ESC, stray characters) is not a command
    m_freshRestart = false;
    switch (c) {
    case 0x16:
        reply(bannerText());
        finish(QStringLiteral("banner"), QStringLiteral("ok"));
        break;
    case 0x15: {
        if (!m_opt.uploadAnswer.isEmpty()) {
            reply(m_opt.uploadAnswer);
            finish(QStringLiteral("upload"), QStringLiteral("garbled"));
            break;
        }
        QByteArray out;
        out.reserve(m_image.size() * 3 + 12);
        for (int i = 0; i < m_image.size(); ++i) {
            if (m_opt.noise && i > 0)
                out += kNoise[i % (sizeof kNoise - 1)];
            out += QByteArray(1, m_image[i]).toHex().toUpper();
        }
        quint16 sum = sum16(m_image);
        if (m_opt.wrongUploadChecksum)
            sum = quint16(sum + 1);
        out += "\r\n" + hex4(sum) + "\r\n";
        const bool drop = m_opt.dropAfterBytes >= 0 && out.size() >= m_opt.dropAfterBytes;
        if (drop)
            out.truncate(m_opt.dropAfterBytes);
        reply(out, drop);
        finish(QStringLiteral("upload"), drop ? QStringLiteral("dropped") : QStringLiteral("ok"), {}, m_image);
        break;
    }
    case 0x04:
        beginHexTransfer(Mode::Download);
        break;
    case 0x10:
        beginHexTransfer(Mode::Script);
        if (m_opt.scriptPacing)
            reply("."); // offers pacing
        break;
    case 0x09:
        m_password.clear();
        reply("Password:");
        enter(Mode::Password);
        break;
    case 0x05:
        m_header.clear();
        m_data.clear();
        m_tail.clear();
        m_transferBytes = 0;
        enter(Mode::ExtHeader);
        break;
    case 'U': {
        QByteArray out = be16(quint16(m_image.size())) + m_image;
        if (m_opt.debugReplyBytes >= 0)
            out.truncate(m_opt.debugReplyBytes);
        reply(out);
        finish(QStringLiteral("debug-upload"), QStringLiteral("ok"), {}, m_image);
        break;
    }
    case 'C':
        m_header.clear();
        m_data.clear();
        m_tail.clear();
        m_failure.clear();
        m_transferBytes = 0;
        enter(Mode::DebugLength);
        break;
    case 'V':
        m_claimed = false;
        finish(QStringLiteral("debug-end"), QStringLiteral("ok"));
        break;
    }
}

void GatewaySimulator::beginHexTransfer(Mode mode)
{
    m_data.clear();
    m_tail.clear();
    m_failure.clear();
    m_inChecksum = false;
    m_heldDigit = -1;
    m_transferBytes = 0;
    m_blocksAcked = 0;
    enter(mode);
}

bool GatewaySimulator::countTransferByte()
{
    ++m_transferBytes;
    if (m_opt.dropAfterBytes >= 0 && m_transferBytes >= m_opt.dropAfterBytes) {
        dropLine();
        return true;
    }
    return false;
}

void GatewaySimulator::hexByte(quint8 c)
{
    if (c == '\r')
        return;
    if (m_inChecksum) {
        if (c == '\n')
            finishHexTransfer();
        else if (m_tail.size() < 16)
            m_tail += char(c);
        else
            m_failure = QStringLiteral("format-error");
        return;
    }
    if (c == '\n') {
        if (m_heldDigit >= 0 && m_failure.isEmpty())
            m_failure = QStringLiteral("format-error"); // odd number of digits
        m_inChecksum = true;
        return;
    }
    const int v = hexValue(c);
    if (v < 0) {
        if (m_failure.isEmpty())
            m_failure = QStringLiteral("format-error");
        return;
    }
    if (m_heldDigit < 0) {
        m_heldDigit = v;
        return;
    }
    const char byte = char(m_heldDigit << 4 | v);
    m_heldDigit = -1;
    const int limit = m_mode == Mode::Download ? kMaxImageBytes : kMaxScriptBytes;
    if (m_data.size() >= limit) {
        if (m_failure.isEmpty())
            m_failure = QStringLiteral("too-long");
        return;
    }
    m_data += byte;
    const qsizetype n = m_data.size();
    if (m_mode == Mode::Download) {
        // A block is stored before byte 256 and then every 128 bytes.
        if (m_opt.downloadPacing && n >= 256 && (n - 256) % 128 == 0)
            reply(".");
    } else if (m_opt.scriptPacing && n >= 64 && (n - 64) % 128 == 0) {
        // first block of 64 bytes, then 128 each
        if (m_opt.scriptAckBlocks < 0 || m_blocksAcked < m_opt.scriptAckBlocks) {
            ++m_blocksAcked;
            reply(".");
        }
    }
}

void GatewaySimulator::finishHexTransfer()
{
    const bool download = m_mode == Mode::Download;
    enter(Mode::Running);
    const QString kind = download ? QStringLiteral("download") : QStringLiteral("script");
    QString result = m_failure;
    if (result.isEmpty() && m_data.isEmpty())
        result = QStringLiteral("length-error");
    if (result.isEmpty()) {
        bool sound = m_tail.size() == 4;
        for (char ch : m_tail)
            sound = sound && hexValue(quint8(ch)) >= 0;
        if (!sound)
            result = QStringLiteral("format-error");
        else if (m_tail.toUShort(nullptr, 16) != sum16(m_data))
            result = QStringLiteral("checksum-error");
    }
    if (!result.isEmpty()) {
        reply("Error\r\n");
        finish(kind, result, {}, m_data);
        return;
    }
    if (download) {
        storeImage(m_data);
    } else if (m_data == kRestoreScript) {
        // Puts the universal script back; confirmed, no restart.
        m_runsUniversal = !m_opt.universalName.isEmpty();
        reply("Data stored\r\n");
        finish(kind, QStringLiteral("ok"), {}, m_data);
        return;
    } else {
        m_runsUniversal = false; // a user script replaces the universal one
    }
    if (m_opt.restartAtOnce) {
        // Restarts so fast that the banner leaves together with the announcement.
        m_claimed = false;
        m_freshRestart = true;
        reply("Restart\r\n" + bannerText());
        finish(kind, QStringLiteral("ok"), {}, m_data);
        finish(QStringLiteral("restart"), QStringLiteral("unclaimed"));
        return;
    }
    reply("Restart\r\n");
    finish(kind, QStringLiteral("ok"), {}, m_data);
    restart();
}

void GatewaySimulator::passwordByte(quint8 c)
{
    if (c == '\n')
        return;
    if (c != '\r') {
        if (m_password.size() < 32)
            m_password += char(c);
        return;
    }
    if (m_password == kPassword) {
        serviceAccepted();
        return;
    }
    enter(Mode::Running);
    reply("\r\nWrong password\r\n");
    finish(QStringLiteral("reset"), QStringLiteral("wrong-password"), {}, m_password);
}

void GatewaySimulator::serviceAccepted()
{
    reply("......");
    enter(Mode::ServiceWait);
    scheduleStep(kServiceStepMs, [this] {
        if (m_opt.answerProto) {
            reply("\r\nProtocol (0/1):");
            enter(Mode::ProtoChoice);
            return;
        }
        reply("\r\nWarmstart\r\n");
        finish(QStringLiteral("reset"), QStringLiteral("ok"));
        restart();
    });
}

void GatewaySimulator::debugByte(quint8 c)
{
    switch (m_mode) {
    case Mode::DebugLength:
        m_header += char(c);
        if (m_header.size() == 2) {
            m_expected = readBe16(m_header, 0);
            if (m_expected == 0 || m_expected > kMaxImageBytes)
                m_failure = QStringLiteral("length-error");
            else if (m_opt.debugPacing)
                reply("."); // offers pacing
            enter(m_expected == 0 ? Mode::DebugChecksum : Mode::DebugData);
        }
        break;
    case Mode::DebugData: {
        m_data += char(c);
        const qsizetype n = m_data.size();
        if (m_opt.debugPacing && m_failure.isEmpty()) {
            if (n == 32)
                reply(".");
            if (n == m_expected)
                reply(".");
        }
        if (n == m_expected)
            enter(Mode::DebugChecksum);
        break;
    }
    case Mode::DebugChecksum:
        m_tail += char(c);
        if (m_tail.size() == 2) {
            enter(Mode::Running);
            QString result = m_failure;
            char verdict = 'L';
            if (result.isEmpty()) {
                const bool match = readBe16(m_tail, 0) == sum16(m_data);
                result = match ? QStringLiteral("ok") : QStringLiteral("checksum-error");
                verdict = match ? 'O' : 'E';
                if (match)
                    storeImage(m_data);
            }
            reply(m_opt.debugVerdict.isEmpty() ? QByteArray(1, verdict) : m_opt.debugVerdict);
            finish(QStringLiteral("debug-download"), result, m_header, m_data);
        }
        break;
    default:
        break;
    }
}

void GatewaySimulator::extensionByte(quint8 c)
{
    switch (m_mode) {
    case Mode::ExtHeader: {
        m_header += char(c);
        if (m_header.size() < 6)
            return;
        enter(Mode::Running);
        if (m_opt.extHeaderVerdict) {
            reply(QByteArray(1, m_opt.extHeaderVerdict));
            finish(QStringLiteral("extension"), QStringLiteral("refused"), m_header);
            return;
        }
        const int start = readBe16(m_header, 2);
        const int length = readBe16(m_header, 4);
        // The extension area is 0x1000 to 0x1FFF.
        if (length == 0 || start < 0x1000 || start + length > 0x2000) {
            reply("L");
            finish(QStringLiteral("extension"), QStringLiteral("length-error"), m_header);
            return;
        }
        m_expected = length;
        m_blocksAcked = 0;
        enter(Mode::ExtData);
        break;
    }
    case Mode::ExtData: {
        m_data += char(c);
        const qsizetype n = m_data.size();
        if (n % 128 != 0 && n != m_expected)
            return;
        if (m_opt.extAckBlocks >= 0 && m_blocksAcked >= m_opt.extAckBlocks) {
            enter(Mode::ExtQuiet); // stops acknowledging; the silence ends in "T"
            return;
        }
        ++m_blocksAcked;
        reply(".");
        if (n == m_expected)
            enter(Mode::ExtChecksum);
        break;
    }
    case Mode::ExtChecksum:
        m_tail += char(c);
        if (m_tail.size() == 2) {
            enter(Mode::Running);
            const bool match = readBe16(m_tail, 0) == sum16(m_data);
            int verdict = m_opt.extFinalVerdict;
            if (verdict < 0)
                verdict = match ? 'O' : 'E';
            if (verdict > 0)
                reply(QByteArray(1, char(verdict)));
            finish(QStringLiteral("extension"), match ? QStringLiteral("ok") : QStringLiteral("checksum-error"),
                   m_header, m_data);
        }
        break;
    default:
        break; // ExtQuiet: no longer listening
    }
}

void GatewaySimulator::receiveTimedOut()
{
    const Mode was = m_mode;
    if (!inTransfer())
        return;
    enter(Mode::Running);
    const QString timeout = QStringLiteral("timeout");
    switch (was) {
    case Mode::Download:
        finish(QStringLiteral("download"), timeout, {}, m_data);
        break;
    case Mode::Script:
        finish(QStringLiteral("script"), timeout, {}, m_data);
        break;
    case Mode::Password:
    case Mode::ProtoChoice:
        finish(QStringLiteral("reset"), timeout);
        break;
    case Mode::DebugLength:
    case Mode::DebugData:
    case Mode::DebugChecksum:
        reply("T");
        finish(QStringLiteral("debug-download"), timeout, m_header, m_data);
        break;
    default:
        reply("T");
        finish(QStringLiteral("extension"), timeout, m_header, m_data);
        break;
    }
}

bool GatewaySimulator::inTransfer() const
{
    switch (m_mode) {
    case Mode::Password: case Mode::ProtoChoice: case Mode::Download: case Mode::Script:
    case Mode::DebugLength: case Mode::DebugData: case Mode::DebugChecksum:
    case Mode::ExtHeader: case Mode::ExtData: case Mode::ExtQuiet: case Mode::ExtChecksum:
        return true;
    default:
        return false;
    }
}

void GatewaySimulator::enter(Mode mode)
{
    m_mode = mode;
    if (inTransfer())
        m_receiveTimer.start(m_opt.receiveTimeoutMs);
    else
        m_receiveTimer.stop();
}

void GatewaySimulator::scheduleStep(int ms, std::function<void()> action)
{
    m_stepAction = std::move(action);
    m_stepTimer.start(qMax(0, ms));
}

void GatewaySimulator::reply(const QByteArray &bytes, bool dropAfter)
{
    if (m_opt.silent || !isLineUp())
        return;
    if (m_opt.replyDelayMs <= 0 && m_delayed.isEmpty()) {
        sendNow(bytes);
        if (dropAfter)
            dropWhenRead();
        return;
    }
    m_delayed.append({m_clock.elapsed() + qMax(0, m_opt.replyDelayMs), bytes, dropAfter});
    if (!m_delayTimer.isActive())
        m_delayTimer.start(int(qMax<qint64>(0, m_delayed.first().due - m_clock.elapsed())));
}

void GatewaySimulator::releaseDelayed()
{
    while (!m_delayed.isEmpty() && m_delayed.first().due <= m_clock.elapsed()) {
        const Pending p = m_delayed.takeFirst();
        sendNow(p.bytes);
        if (p.dropAfter)
            dropWhenRead();
    }
    if (!m_delayed.isEmpty())
        m_delayTimer.start(int(qMax<qint64>(0, m_delayed.first().due - m_clock.elapsed())));
}

void GatewaySimulator::sendNow(const QByteArray &bytes)
{
    if (m_opt.silent || !isLineUp() || bytes.isEmpty())
        return;
    m_sent += bytes;
    appendRecord(QStringLiteral("sent.bin"), bytes);
    m_pty->write(bytes);
    // The device's own (late) answers are no silence of the PC.
    if (inTransfer())
        m_receiveTimer.start(m_opt.receiveTimeoutMs);
}

void GatewaySimulator::dropWhenRead()
{
    // Pulling the cable loses what the PC has not read yet: let the bytes that
    // were "on the wire" arrive first.
    m_dropDeadline = m_clock.elapsed() + kDropGraceMs;
    m_dropPoll.start();
}

void GatewaySimulator::storeImage(const QByteArray &image)
{
    m_image = image;
    if (m_opt.storeToImageFile && !m_opt.imagePath.isEmpty()) {
        QSaveFile f(m_opt.imagePath);
        if (!f.open(QIODevice::WriteOnly) || f.write(image) != image.size() || !f.commit())
            qWarning("devsim: cannot store the image in %s", qPrintable(m_opt.imagePath));
    }
    writeRecordFile(QStringLiteral("image.gwc"), image);
}

void GatewaySimulator::finish(const QString &kind, const QString &result, const QByteArray &header,
                              const QByteArray &data)
{
    Exchange e;
    e.serial = ++m_serial;
    e.kind = kind;
    e.result = result;
    e.header = header;
    e.data = data;
    m_exchanges.append(e);
    const QByteArray line = QStringLiteral("%1 %2 %3 header=%4 size=%5\n")
                                .arg(e.serial)
                                .arg(kind, result,
                                     header.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(header.toHex()))
                                .arg(data.size())
                                .toUtf8();
    appendRecord(QStringLiteral("exchanges.txt"), line);
    const bool received = kind == QLatin1String("download") || kind == QLatin1String("debug-download")
                          || kind == QLatin1String("script") || kind == QLatin1String("extension");
    if (received && !data.isEmpty()) {
        const bool image = kind.contains(QLatin1String("download"));
        writeRecordFile(QStringLiteral("%1-%2.%3")
                            .arg(e.serial, 4, 10, QLatin1Char('0'))
                            .arg(kind, image ? QStringLiteral("gwc") : QStringLiteral("bin")),
                        data);
    }
    emit exchangeFinished(kind);
}

void GatewaySimulator::appendRecord(const QString &name, const QByteArray &bytes)
{
    if (m_opt.recordDir.isEmpty())
        return;
    QFile f(QDir(m_opt.recordDir).filePath(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Append))
        f.write(bytes);
}

void GatewaySimulator::writeRecordFile(const QString &name, const QByteArray &bytes)
{
    if (m_opt.recordDir.isEmpty())
        return;
    QSaveFile f(QDir(m_opt.recordDir).filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        qWarning("devsim: cannot write record %s", qPrintable(name));
}

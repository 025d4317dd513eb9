#include "platform/InstanceBroadcast.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr qsizetype kMaxMessageBytes = 128;

QByteArray messageLine(qint64 sender, int comNumber)
{
    return "Broadcast COM " + QByteArray::number(sender) + ' ' + QByteArray::number(comNumber) + '\n';
}

// "Broadcast COM <sender> <com>"; anything else is not from one of our copies.
bool parseMessage(QByteArray line, qint64 *sender, int *comNumber)
{
    if (line.endsWith('\n'))
        line.chop(1);
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 4 || parts[0] != "Broadcast" || parts[1] != "COM")
        return false;
    bool idOk = false, comOk = false;
    *sender = parts[2].toLongLong(&idOk);
    *comNumber = parts[3].toInt(&comOk);
    return idOk && comOk && *sender > 0 && *comNumber >= 0;
}

// True only when the copy that owned a socket is certainly gone; a copy that is just starting
// has bound its socket a moment before it listens, and must not lose it.
bool processGone(qint64 id)
{
#ifdef Q_OS_UNIX
    if (id <= 0 || id != qint64(pid_t(id)))
        return false;
    return ::kill(pid_t(id), 0) != 0 && errno == ESRCH;
#else
    Q_UNUSED(id);
    return false;
#endif
}

// The folder exists, is a real folder of this user and nobody else can enter it.
bool ensurePrivateDirectory(const QString &path, QString *error)
{
    if (!QDir().mkpath(path)) {
        *error = QStringLiteral("cannot create %1").arg(path);
        return false;
    }
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *error = QStringLiteral("%1 is not a folder").arg(path);
        return false;
    }
    if (info.st_uid != ::getuid()) {
        *error = QStringLiteral("%1 belongs to another user").arg(path);
        return false;
    }
    if ((info.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0) {
        *error = QStringLiteral("cannot make %1 private").arg(path);
        return false;
    }
#endif
    return true;
}

QString fallbackRuntimeDirectory()
{
#ifdef Q_OS_UNIX
    const QString user = QString::number(::getuid());
#else
    const QString user = qEnvironmentVariable("USERNAME");
#endif
    return QDir(QDir::tempPath()).filePath(QStringLiteral("torvane-runtime-") + user);
}

QString runtimeDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() || QDir::isRelativePath(runtime) ? fallbackRuntimeDirectory() : runtime;
}

} // namespace

LocalInstanceBroadcast::LocalInstanceBroadcast(QObject *parent)
    : LocalInstanceBroadcast(defaultDirectory(), QCoreApplication::applicationPid(), parent)
{
    m_privateParent = runtimeDirectory() == fallbackRuntimeDirectory();
}

LocalInstanceBroadcast::LocalInstanceBroadcast(const QString &directory, qint64 id, QObject *parent)
    : InstanceBroadcast(parent), m_directory(directory), m_id(id)
{
}

LocalInstanceBroadcast::~LocalInstanceBroadcast()
{
    if (m_server)
        m_server->close(); // removes our socket file
}

QString LocalInstanceBroadcast::defaultDirectory()
{
    return QDir(runtimeDirectory()).filePath(QStringLiteral("torvane"));
}

QString LocalInstanceBroadcast::socketPath() const
{
    return QDir(m_directory).filePath(QString::number(m_id) + QStringLiteral(".sock"));
}

bool LocalInstanceBroadcast::isActive() const
{
    return m_server && m_server->isListening();
}

bool LocalInstanceBroadcast::start()
{
    if (isActive())
        return true;
    m_error.clear();
    const QString parentDir = QFileInfo(m_directory).absolutePath();
    if ((m_privateParent && !ensurePrivateDirectory(parentDir, &m_error))
        || !ensurePrivateDirectory(m_directory, &m_error))
        return false;

    // A socket under our own id can only be left over from an earlier copy that had it.
    QLocalServer::removeServer(socketPath());
    auto *server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketPath())) {
        m_error = QStringLiteral("cannot listen at %1: %2").arg(socketPath(), server->errorString());
        delete server;
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, &LocalInstanceBroadcast::acceptConnections);
    m_server = server;
    return true;
}

void LocalInstanceBroadcast::acceptConnections()
{
    while (m_server->hasPendingConnections()) {
        QLocalSocket *socket = m_server->nextPendingConnection();
        // A peer that connects and says nothing does not keep the connection.
        QTimer::singleShot(kPeerTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            readMessage(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            readMessage(socket);
    }
}

void LocalInstanceBroadcast::readMessage(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxMessageBytes) { // no line of ours is this long
            socket->abort();
            socket->deleteLater();
        }
        return;
    }
    const QByteArray line = socket->readLine(kMaxMessageBytes + 1);
    socket->abort();
    socket->deleteLater();
    qint64 sender = 0;
    int comNumber = 0;
    if (parseMessage(line, &sender, &comNumber) && sender != m_id)
        emit comWaitReceived(sender, comNumber);
}

void LocalInstanceBroadcast::broadcastComWait(int comNumber)
{
    struct Batch
    {
        int pending = 0;
        int reached = 0;
        int stale = 0;
    };
    auto batch = std::make_shared<Batch>();

    QStringList peers;
    if (isActive()) {
        static const QRegularExpression socketName(QStringLiteral("^([0-9]{1,18})\\.sock$"));
        const QStringList names =
            QDir(m_directory).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString &name : names) {
            const auto match = socketName.match(name);
            if (match.hasMatch() && match.captured(1).toLongLong() != m_id)
                peers.append(name);
        }
    }
    if (peers.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] { emit broadcastDone(0, 0); }, Qt::QueuedConnection);
        return;
    }

    batch->pending = int(peers.size());
    const QByteArray line = messageLine(m_id, comNumber);
    for (const QString &name : std::as_const(peers)) {
        const QString path = QDir(m_directory).filePath(name);
        const qint64 peerId = name.chopped(5).toLongLong();
        auto *socket = new QLocalSocket(this);
        auto finished = std::make_shared<bool>(false);
        auto finish = [this, batch, socket, finished](bool reached, bool stale) {
            if (*finished)
                return;
            *finished = true;
            batch->reached += reached ? 1 : 0;
            batch->stale += stale ? 1 : 0;
            socket->abort();
            socket->deleteLater();
            // A local connection may succeed or fail inside connectToServer already; the
            // caller still gets the outcome from the event loop, after the call returned.
            if (--batch->pending == 0)
                QMetaObject::invokeMethod(
                    this, [this, batch] { emit broadcastDone(batch->reached, batch->stale); }, Qt::QueuedConnection);
        };
        connect(socket, &QLocalSocket::connected, this, [socket, line, finish] {
            socket->write(line);
            socket->flush();
            // The line is in the peer's receive queue once it left our buffer.
            finish(socket->bytesToWrite() == 0, false);
        });
        connect(socket, &QLocalSocket::errorOccurred, this, [path, peerId, finish](QLocalSocket::LocalSocketError error) {
            // Refused: nobody listens there any more. The socket of a copy that was killed.
            const bool stale = error == QLocalSocket::ConnectionRefusedError && processGone(peerId)
                               && QFile::remove(path);
            finish(false, stale);
        });
        QTimer::singleShot(kPeerTimeoutMs, socket, [finish] { finish(false, false); });
        socket->connectToServer(path, QIODevice::WriteOnly);
    }
}

std::unique_ptr<InstanceBroadcast> createInstanceBroadcast(QObject *parent)
{
    auto broadcast = std::make_unique<LocalInstanceBroadcast>(parent);
    broadcast->start();
    return broadcast;
}

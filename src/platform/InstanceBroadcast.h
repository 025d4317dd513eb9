#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;

// "Broadcast COM": how running copies of the program tell each other that one of them waits
// for a port. A copy that polls for a lost port broadcasts the COM number it waits for; every
// other copy receives it (as the session's broadcast handler) and goes offline when it uses
// that port. The sender is identified by instanceId(), which plays the part of the sending
// session's window handle; a copy never receives its own broadcast.
class InstanceBroadcast : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The identity this copy sends with its broadcasts.
    virtual qint64 instanceId() const = 0;
    // False when this copy could not join (it then neither receives nor reaches anybody).
    virtual bool isActive() const = 0;
    virtual QString errorString() const = 0;

    // Tell every other running copy that this copy waits for port COM<comNumber>. Returns at
    // once; broadcastDone follows on the event loop.
    virtual void broadcastComWait(int comNumber) = 0;

signals:
    // Another copy waits for COM<comNumber>.
    void comWaitReceived(qint64 senderId, int comNumber);
    // One broadcastComWait finished: how many copies it reached and how many leftovers of
    // copies that are gone it cleared away.
    void broadcastDone(int reached, int staleRemoved);
};

// The running copies of this user on this machine, each a QLocalServer at
// <runtime dir>/torvane/<process id>.sock (runtime dir: $XDG_RUNTIME_DIR, else a per-user
// folder in the temp dir; the folders are private to the user, mode 0700). A broadcast
// connects to every other socket there and sends one line "Broadcast COM <sender> <com>".
// Sockets of copies that were killed refuse the connection and are removed.
class LocalInstanceBroadcast final : public InstanceBroadcast
{
    Q_OBJECT
public:
    // directory: the folder of the sockets; id: this copy's identity and socket name.
    explicit LocalInstanceBroadcast(QObject *parent = nullptr);
    LocalInstanceBroadcast(const QString &directory, qint64 id, QObject *parent = nullptr);
    ~LocalInstanceBroadcast() override;

    static QString defaultDirectory();

    // Creates the folder and starts listening; false (see errorString) when that fails.
    bool start();
    QString socketPath() const;
    QString directory() const { return m_directory; }

    qint64 instanceId() const override { return m_id; }
    bool isActive() const override;
    QString errorString() const override { return m_error; }
    void broadcastComWait(int comNumber) override;

    // Longest a peer may take to accept and take the message, and longest an incoming
    // connection may stay without delivering its line.
    static constexpr int kPeerTimeoutMs = 2000;

private:
    void acceptConnections();
    void readMessage(QLocalSocket *socket);

    QString m_directory;
    bool m_privateParent = false; // the parent is our own fallback folder in the temp dir
    qint64 m_id = 0;
    QLocalServer *m_server = nullptr;
    QString m_error;
};

// This copy's broadcast, started; inactive (with the reason in errorString) when the
// runtime folder cannot be used.
std::unique_ptr<InstanceBroadcast> createInstanceBroadcast(QObject *parent = nullptr);

// A second running copy for the platform tests: registry writers racing each other, a
// writer that dies holding the lock, and a peer for the broadcast between copies.
//
//   platform_test_peer registry-writer <file> <prefix> <count>   waits for "go" on stdin
//   platform_test_peer hold-lock <lock file>                      prints "locked", waits
//   platform_test_peer broadcast-peer <folder>                    "send <com>" / "quit" on stdin

#include "platform/InstanceBroadcast.h"
#include "platform/RegistryStore.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QSocketNotifier>

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

void say(const QByteArray &line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

int registryWriter(const QStringList &args)
{
    if (args.size() < 5)
        return 2;
    RegistryStore store(args[2]);
    const QString prefix = args[3];
    const int count = args[4].toInt();
    std::string go;
    std::getline(std::cin, go); // start together with the other writer
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const QString name = prefix + QString::number(i);
        const bool ok = i % 2 ? store.writeDWord(QStringLiteral("\\software\\Kellerbrand\\Torvane\\Race"), name, quint32(i))
                              : store.writeString(QStringLiteral("\\Software\\kellerbrand\\torvane\\race"), name,
                                                  QStringLiteral("value \"%1\"").arg(i));
        if (!ok) {
            ++failures;
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(store.lastError()));
        }
    }
    say("done " + QByteArray::number(failures));
    return failures ? 1 : 0;
}

int holdLock(const QStringList &args)
{
    if (args.size() < 3)
        return 2;
    QLockFile lock(args[2]);
    if (!lock.tryLock(1000))
        return 3;
    say("locked");
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}

int broadcastPeer(QCoreApplication &app, const QStringList &args)
{
    if (args.size() < 3)
        return 2;
    LocalInstanceBroadcast broadcast(args[2], QCoreApplication::applicationPid());
    if (!broadcast.start()) {
        say("error " + broadcast.errorString().toUtf8());
        return 3;
    }
    QObject::connect(&broadcast, &InstanceBroadcast::comWaitReceived, [](qint64 sender, int com) {
        say("got " + QByteArray::number(sender) + ' ' + QByteArray::number(com));
    });
    QObject::connect(&broadcast, &InstanceBroadcast::broadcastDone, [](int reached, int stale) {
        say("done " + QByteArray::number(reached) + ' ' + QByteArray::number(stale));
    });
    QByteArray input;
    QSocketNotifier stdinNotifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&stdinNotifier, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            app.quit();
            return;
        }
        input.append(buffer, n);
        qsizetype end;
        while ((end = input.indexOf('\n')) >= 0) {
            const QByteArray line = input.left(end).trimmed();
            input.remove(0, end + 1);
            if (line.startsWith("send "))
                broadcast.broadcastComWait(line.mid(5).toInt());
            else if (line == "quit")
                app.quit();
        }
    });
    say("ready " + QByteArray::number(QCoreApplication::applicationPid()));
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("registry-writer"))
        return registryWriter(args);
    if (mode == QLatin1String("hold-lock"))
        return holdLock(args);
    if (mode == QLatin1String("broadcast-peer"))
        return broadcastPeer(app, args);
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}

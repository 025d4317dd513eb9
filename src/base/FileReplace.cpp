#include "base/FileReplace.h"

#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace {

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("cannot write \"%1\": %2").arg(path, reason);
}

} // namespace

QString replaceFileContents(const QString &path, const QByteArray &data)
{
    if (path.isEmpty())
        return failure(path, QStringLiteral("no file name"));

    // Unbuffered, so that every write reports its own result: a buffered write that fails
    // later (a full disk) would otherwise only surface in a flush that commit() ignores.
    // QSaveFile writes to a temporary file beside the target, keeps the permissions of an
    // existing target, syncs it and renames it over the target in commit().
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(path, file.errorString());

    qsizetype done = 0;
    while (done < data.size()) {
        const qint64 n = file.write(data.constData() + done, data.size() - done);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return failure(path, reason.isEmpty() ? QStringLiteral("write failed") : reason);
        }
        done += n;
    }
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(path, reason);
    }
#ifdef Q_OS_UNIX
    // commit() syncs too but ignores the result; a failed sync means the bytes may not be
    // on the disk, so the target must not be replaced.
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return failure(path, reason);
    }
#endif
    if (!file.commit())
        return failure(path, file.errorString());
    return {};
}

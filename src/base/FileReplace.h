#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `data` only when every byte reached the disk (written,
// flushed and synced to a temporary file in the same folder, then renamed over the target).
// On any failure the old file stays as it was and the returned text says why, naming the
// path (empty text on success).
QString replaceFileContents(const QString &path, const QByteArray &data);

#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and writes with messages a user can act on.
namespace TextFile {

// Replaces the file whole: written to a temporary file, flushed to disk, then renamed over it,
// so that a crash or a full disk leaves the old content or the new, never a part of either.
void replace(const QString& path, const QByteArray& content);
QByteArray read(const QString& path);

} // namespace TextFile

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;

// Whole-file reads and writes with messages a user can act on.
namespace TextFile {

// Replaces the file whole: written to a temporary file, flushed to disk, then renamed over it,
// so that a crash or a full disk leaves the old content or the new, never a part of either.
void replace(const QString& path, const QByteArray& content);
// Writes all bytes to a file opened unbuffered, continuing writes cut short; false when one
// fails, with the device's errorString() giving the system's reason. Unbuffered, because a
// buffered write that fails would fail only in the flush within a QSaveFile's commit(), which
// Qt 6.4 does not report, and a cut-short file would replace the whole one.
bool writeAll(QFileDevice& file, const char* data, qint64 size);
// Writes a new file in full and flushes it to disk, for a caller that renames it into place
// itself. On failure nothing is left at path and the message names shownName.
void writeDurably(const QString& path, const QByteArray& content, const QString& shownName);
// Flushes a file or a directory (its entries) to disk; false, with errno set, when it failed.
bool syncToDisk(const QString& path);
QByteArray read(const QString& path);
// The text of a file written by hand: UTF-8 when its bytes are valid UTF-8, otherwise the
// single-byte Windows code page 1252 in which older templates and statements were kept.
QString decode(const QByteArray& bytes);

} // namespace TextFile

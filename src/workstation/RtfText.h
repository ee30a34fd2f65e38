// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Plain text in and out of Rich Text Format: paragraphs, escapes, code-page bytes (\'hh) and
// Unicode characters (\uN). Formatting is neither written nor kept on reading.
namespace RtfText {

QByteArray write(const QString& text);
// Reads the text of an RTF document; anything not RTF is returned as it stands.
QString read(const QByteArray& rtf);

} // namespace RtfText

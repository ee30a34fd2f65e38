// SPDX-License-Identifier: GPL-3.0-or-later
#include "RtfText.h"

namespace RtfText {

QByteArray write(const QString& text) {
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                     "{\\fonttbl{\\f0\\fmodern Courier New;}}\n\\f0\\fs20 ";
    for (const QChar c : text) {
        const ushort code = c.unicode();
        if (code == '\n') {
            out += "\\par\n";
        } else if (code == '\r') {
            continue; // a CR LF pair is one paragraph end
        } else if (code == '\t') {
            out += "\\tab ";
        } else if (code == '\\' || code == '{' || code == '}') {
            out += '\\';
            out += static_cast<char>(code);
        } else if (code >= 0x20 && code < 0x80) {
            out += static_cast<char>(code);
        } else {
            // Every other character as its UTF-16 unit, signed as RTF wants it, with "?" for
            // readers that do not know \u.
            out += "\\u" + QByteArray::number(static_cast<short>(code)) + "?";
        }
    }
    out += "\n}\n";
    return out;
}

} // namespace RtfText

// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminalText.h"

#include "workstation/RecordTable.h"

namespace {

bool actsOnTerminal(QChar c) {
    const char16_t u = c.unicode();
    // C0, DEL and C1 steer the terminal; format characters reorder or hide what follows.
    return u < 0x20 || (u >= 0x7f && u < 0xa0) || c.category() == QChar::Other_Format ||
           u == 0x2028 || u == 0x2029;
}

} // namespace

QString terminalText(const QString& text, int longest) {
    const QString kept = limitedText(text, longest);
    QString shown;
    shown.reserve(kept.size());
    for (const QChar c : kept) {
        if (!actsOnTerminal(c))
            shown += c;
        else if (c.unicode() < 0x100)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    if (kept.size() < text.size())
        shown += QStringLiteral("... [cut: %1 characters in all]").arg(text.size());
    return shown;
}

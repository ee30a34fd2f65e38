// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A text from a file or a server, made safe to print on a terminal: a control or formatting
// character (escape sequences, line ends, tabs, direction overrides) is shown as "\xHH" or
// "\uHHHH" instead of acting, and a text longer than longest characters is cut with a mark
// that says how long it was.
QString terminalText(const QString& text, int longest);

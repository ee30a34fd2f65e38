// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace Talvessa {

// A text display seen as a list of lines whose last one is the current line: text without a
// line break continues it, a break starts a new one. Free of any toolkit, so the log buffer can
// be driven without a window.
class LineDisplay {
public:
    virtual ~LineDisplay() = default;
    virtual std::string lastLine() const = 0;
    virtual void appendToCurrentLine(const std::string& text) = 0;
    // The new line becomes the current line.
    virtual void addLine(const std::string& text) = 0;
};

} // namespace Talvessa

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lumo/Logger.h"

#include <sstream>
#include <string>

// Sends the process-wide log into a string for the lifetime of the object.
class LogCapture {
public:
    LogCapture() { Talvessa::setLogStream(buffer_.rdbuf()); }
    std::string text() const { return buffer_.str(); }
    void clear() { buffer_.str(""); }

private:
    std::ostringstream buffer_;
};

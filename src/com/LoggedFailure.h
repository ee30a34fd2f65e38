// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace Talvessa {

// Writes the complete text to the log as one line, then throws it as a runtime error.
[[noreturn]] void logAndThrow(const std::string& text);

// The same for an error the device itself reported in its status answer.
[[noreturn]] void logAndThrowStatus(const std::string& text);

} // namespace Talvessa

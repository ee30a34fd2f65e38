#pragma once

#include <string>

namespace Talvessa {

// Writes the complete text to the log as one line, then throws it as a runtime error.
[[noreturn]] void logAndThrow(const std::string& text);

} // namespace Talvessa

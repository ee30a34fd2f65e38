// SPDX-License-Identifier: GPL-3.0-or-later
#include "Logger.h"

#include <memory>
#include <stdexcept>

namespace Talvessa {

namespace {
std::unique_ptr<std::ostream>& currentStream() {
    static std::unique_ptr<std::ostream> stream;
    return stream;
}
} // namespace

std::ostream& getLogStream() {
    auto& stream = currentStream();
    if (!stream)
        throw std::runtime_error("Logstream not initialized!");
    // A transfer that failed once (a display that would not take the text) must not
    // silence every later line.
    stream->clear();
    return *stream;
}

void setLogStream(std::streambuf* buffer) {
    auto& stream = currentStream();
    stream.reset();
    stream = std::make_unique<std::ostream>(buffer);
}

} // namespace Talvessa

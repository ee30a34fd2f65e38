// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramDirectory.h"

#include <cstdlib>
#include <limits.h>
#include <unistd.h>

namespace Talvessa {

namespace {
std::string& overridden() {
    static std::string directory;
    return directory;
}

std::string executableDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    const std::string text(path, static_cast<std::size_t>(n));
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? "." : text.substr(0, slash);
}
} // namespace

std::string getProgramDirectory() {
    if (!overridden().empty())
        return overridden();
    if (const char* fromEnvironment = std::getenv("NEPHODAR_PROGRAM_DIR");
        fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    return executableDirectory();
}

void setProgramDirectory(const std::string& directory) {
    overridden() = directory;
}

} // namespace Talvessa

// SPDX-License-Identifier: GPL-3.0-or-later
#include "SocketDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace Talvessa {

namespace {

const char* nonEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

} // namespace

std::string simulatorSocketDirectory() {
    if (const char* chosen = nonEmpty("NEPHODAR_PIPE_DIR"))
        return chosen;
    if (const char* runtime = nonEmpty("XDG_RUNTIME_DIR"))
        return std::string(runtime) + "/nephodar";
    return "/tmp/nephodar-" + std::to_string(getuid());
}

void prepareSimulatorSocketDirectory(const std::string& directory) {
    if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error("Can't make the socket directory " + directory + ": " +
                                 std::strerror(errno));
    // A directory chosen with NEPHODAR_PIPE_DIR is the user's own business.
    if (nonEmpty("NEPHODAR_PIPE_DIR"))
        return;
    struct stat status {};
    if (lstat(directory.c_str(), &status) != 0)
        throw std::runtime_error("Can't use the socket directory " + directory + ": " +
                                 std::strerror(errno));
    if (!S_ISDIR(status.st_mode) || status.st_uid != getuid() || (status.st_mode & 077) != 0)
        throw std::runtime_error("The socket directory " + directory +
                                 " is not a directory of yours that only you may enter; remove "
                                 "it, or choose another with NEPHODAR_PIPE_DIR.");
}

} // namespace Talvessa

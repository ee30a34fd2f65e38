// SPDX-License-Identifier: GPL-3.0-or-later
#include "PtyPort.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace q7sim {

namespace {
[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}
std::string linkTarget(const std::string& path) {
    char target[4096];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

bool linkToTerminal(const std::string& path) {
    return linkTarget(path).rfind("/dev/pts/", 0) == 0;
}

} // namespace

PtyPort::PtyPort(std::string linkPath) : linkPath_(std::move(linkPath)) {}

PtyPort::~PtyPort() {
    hangUp();
}

void PtyPort::open() {
    hangUp();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        fail("cannot create a pseudo-terminal");
    const char* name = ptsname(master_);
    if (name == nullptr)
        fail("cannot name the pseudo-terminal");
    slave_ = name;
    slaveKeeper_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeeper_ < 0)
        fail("cannot open " + slave_);
    // Raw from the start, so that nothing is echoed before the client sets the line up.
    termios line{};
    if (tcgetattr(slaveKeeper_, &line) == 0) {
        cfmakeraw(&line);
        tcsetattr(slaveKeeper_, TCSANOW, &line);
    }
    if (!linkPath_.empty()) {
        // Only a link to a terminal (ours, or one left by an earlier run) may be replaced:
        // the path given might name a file of the user's.
        struct stat existing {};
        if (lstat(linkPath_.c_str(), &existing) == 0 && !linkToTerminal(linkPath_)) {
            errno = EEXIST;
            fail("will not replace " + linkPath_ + ", which is not a link to a terminal");
        }
        const std::string temporary = linkPath_ + ".new";
        if (lstat(temporary.c_str(), &existing) == 0 && !linkToTerminal(temporary)) {
            errno = EEXIST;
            fail("will not replace " + temporary + ", which is not a link to a terminal");
        }
        unlink(temporary.c_str());
        if (symlink(slave_.c_str(), temporary.c_str()) != 0 ||
            rename(temporary.c_str(), linkPath_.c_str()) != 0)
            fail("cannot link " + linkPath_);
        linked_ = true;
    }
}

void PtyPort::hangUp() {
    // Removed only while it is still the link made here.
    if (linked_ && linkTarget(linkPath_) == slave_)
        unlink(linkPath_.c_str());
    linked_ = false;
    if (slaveKeeper_ >= 0)
        close(slaveKeeper_);
    if (master_ >= 0)
        close(master_);
    slaveKeeper_ = master_ = -1;
}

} // namespace q7sim

#include "PtyPort.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace q7sim {

namespace {
[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}
} // namespace

PtyPort::PtyPort(std::string linkPath) : linkPath(std::move(linkPath)) {}

PtyPort::~PtyPort() { hangUp(); }

void PtyPort::open() {
    hangUp();
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        fail("cannot create a pseudo-terminal");
    const char* name = ptsname(master);
    if (name == nullptr)
        fail("cannot name the pseudo-terminal");
    slave = name;
    slaveKeeper = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeeper < 0)
        fail("cannot open " + slave);
    // Raw from the start, so that nothing is echoed before the client sets the line up.
    termios line{};
    if (tcgetattr(slaveKeeper, &line) == 0) {
        cfmakeraw(&line);
        tcsetattr(slaveKeeper, TCSANOW, &line);
    }
    if (!linkPath.empty()) {
        const std::string temporary = linkPath + ".new";
        unlink(temporary.c_str());
        if (symlink(slave.c_str(), temporary.c_str()) != 0 ||
            rename(temporary.c_str(), linkPath.c_str()) != 0)
            fail("cannot link " + linkPath);
    }
}

void PtyPort::hangUp() {
    if (!linkPath.empty())
        unlink(linkPath.c_str());
    if (slaveKeeper >= 0)
        close(slaveKeeper);
    if (master >= 0)
        close(master);
    slaveKeeper = master = -1;
}

} // namespace q7sim

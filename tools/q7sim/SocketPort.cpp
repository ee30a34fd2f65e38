// SPDX-License-Identifier: GPL-3.0-or-later
#include "SocketPort.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace q7sim {

SocketPort::SocketPort(std::string path) : path(std::move(path)) {}

SocketPort::~SocketPort() {
    hangUp();
}

void SocketPort::open() {
    hangUp();
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        mkdir(path.substr(0, slash).c_str(), 0755); // the shared socket directory
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    unlink(path.c_str()); // a socket left behind by an earlier run
    listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0 ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0)
        throw std::runtime_error("cannot listen on " + path + ": " + std::strerror(errno));
}

void SocketPort::hangUp() {
    clientGone();
    if (listener >= 0) {
        close(listener);
        unlink(path.c_str());
    }
    listener = -1;
}

bool SocketPort::waitForClient(int timeoutMilliseconds) {
    if (client >= 0)
        return true;
    pollfd entry{listener, POLLIN, 0};
    if (poll(&entry, 1, timeoutMilliseconds) <= 0)
        return false;
    client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    return client >= 0;
}

void SocketPort::clientGone() {
    if (client >= 0)
        close(client);
    client = -1;
}

} // namespace q7sim

// SPDX-License-Identifier: GPL-3.0-or-later
#include "SocketPort.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace q7sim {

SocketPort::SocketPort(std::string path) : path_(std::move(path)) {}

SocketPort::~SocketPort() {
    hangUp();
}

void SocketPort::open() {
    hangUp();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + path_);
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    unlink(path_.c_str()); // a socket left behind by an earlier run
    listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0 ||
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 1) != 0)
        throw std::runtime_error("cannot listen on " + path_ + ": " + std::strerror(errno));
}

void SocketPort::hangUp() {
    clientGone();
    if (listener_ >= 0) {
        close(listener_);
        unlink(path_.c_str());
    }
    listener_ = -1;
}

bool SocketPort::waitForClient(int timeoutMilliseconds) {
    if (client_ >= 0)
        return true;
    pollfd entry{listener_, POLLIN, 0};
    if (poll(&entry, 1, timeoutMilliseconds) <= 0)
        return false;
    client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
}

void SocketPort::clientGone() {
    if (client_ >= 0)
        close(client_);
    client_ = -1;
}

} // namespace q7sim

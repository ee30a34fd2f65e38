// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace q7sim {

// The device's end of a local stream socket: one client at a time, offered again when the
// client hangs up.
class SocketPort {
public:
    explicit SocketPort(std::string path);
    ~SocketPort();
    SocketPort(const SocketPort&) = delete;
    SocketPort& operator=(const SocketPort&) = delete;

    void open();   // listen on the path
    void hangUp(); // drop the client and stop listening, as if the simulator went away

    // Accepts a client when none is connected; false when none came within the time.
    bool waitForClient(int timeoutMilliseconds);
    void clientGone();

    int fd() const { return client_; }
    const std::string& announcedPath() const { return path_; }

private:
    std::string path_;
    int listener_ = -1;
    int client_ = -1;
};

} // namespace q7sim

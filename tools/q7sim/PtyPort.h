// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace q7sim {

// The device's end of a pseudo-terminal. The program under test opens the slave path
// like any serial port; an optional symbolic link gives it a path that survives a re-plug.
class PtyPort {
public:
    explicit PtyPort(std::string linkPath);
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    void open();   // a fresh terminal pair; repoints the link
    void hangUp(); // the cable is pulled: both ends closed, the link removed

    // The terminal is always there; these keep it interchangeable with the socket.
    bool waitForClient(int) { return true; }
    void clientGone() {}

    int fd() const { return master_; }
    const std::string& announcedPath() const { return slave_; }

private:
    std::string linkPath_;
    std::string slave_;
    int master_ = -1;
    int slaveKeeper_ = -1; // keeps the line alive while no client has it open
    bool linked_ = false;  // the link at linkPath is ours to remove
};

} // namespace q7sim

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ConnectionInterface.h"
#include "RS232Connection.h"

namespace Talvessa {

// A device simulator reached through a local stream socket named after the connection type
// (simulatorSocketDirectory() + "/Sim1"). It speaks the photometer protocol; reads
// keep the serial line's time-outs, so a silent simulator cannot hold the program.
class PipeConnection : public ConnectionInterface {
public:
    explicit PipeConnection(const std::string& type,
                            __lumo::Sleeper& sleeper = __lumo::systemSleeper());
    ~PipeConnection() override;

    void connect(bool reconnecting) override;
    void disconnect() override;
    void checkConnection() override;
    void send(UCharContainer& container) override;
    void receive(UCharContainer& container) override;
    std::uint32_t bytesInBuffer(bool input) override;

    static std::string pipeDirectory();

    // The longest a connect may wait: the read time-out of the longest answer (the 7-byte
    // identification), so connecting is bounded like every exchange.
    int connectBound() const { return timeouts.totalConstant + timeouts.totalPerByte * 7; }

private:
    int handle = -1;
    SerialReadTimeouts timeouts;
};

} // namespace Talvessa

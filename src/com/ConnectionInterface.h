// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lumo/Sleeper.h"
#include "lumo/UCharContainer.h"

#include <cstdint>
#include <string>

namespace Talvessa {

// Byte pipe to a photometer. Every transfer first tests the medium and, when the test fails,
// reopens it once before giving up.
class ConnectionInterface {
public:
    ConnectionInterface(const std::string& typeName, std::int32_t delayMilliseconds,
                        __lumo::Sleeper& sleeper = __lumo::systemSleeper());
    virtual ~ConnectionInterface() = default;
    ConnectionInterface(const ConnectionInterface&) = delete;
    ConnectionInterface& operator=(const ConnectionInterface&) = delete;

    virtual void connect(bool reconnecting) = 0;
    virtual void disconnect() = 0;
    virtual void reconnect();
    virtual void checkAndReconnect();
    virtual void checkConnection() = 0;
    virtual void send(UCharContainer& container) = 0;
    virtual void receive(UCharContainer& container) = 0;
    virtual std::uint32_t bytesInBuffer(bool input) = 0;
    virtual ConnectionInterface& sendByte(unsigned char byte);
    virtual ConnectionInterface& receiveByte();
    virtual ConnectionInterface& operator<<(UCharContainer& container);
    virtual ConnectionInterface& operator>>(UCharContainer& container);

    const std::string& getName() const { return name; }

protected:
    // Runs the check-and-reconnect before a transfer; its failure is logged and thrown
    // behind the transfer's own message prefix.
    void checkBeforeTransfer(const std::string& message);

    const std::string name;
    const std::int32_t reconnectDelay;
    UCharContainer byteBuffer;
    __lumo::Sleeper& sleeper_;
};

} // namespace Talvessa

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConnectionInterface.h"

#include "LoggedFailure.h"

namespace Talvessa {

ConnectionInterface::ConnectionInterface(const std::string& typeName,
                                         std::int32_t delayMilliseconds, __lumo::Sleeper& sleeper)
    : name(typeName), reconnectDelay(delayMilliseconds), byteBuffer(1), sleeper_(sleeper) {}

void ConnectionInterface::reconnect() {
    disconnect();
    sleeper_.sleepMilliseconds(static_cast<unsigned long>(reconnectDelay));
    connect(true);
}

void ConnectionInterface::checkAndReconnect() {
    try {
        checkConnection();
        return;
    } catch (...) {
    }
    reconnect();
    checkConnection();
}

void ConnectionInterface::checkBeforeTransfer(const std::string& message) {
    try {
        checkAndReconnect();
    } catch (const std::exception& e) {
        logAndThrow(message + e.what());
    } catch (...) {
        logAndThrow(message + "unknown exception!");
    }
}

// A short read may have shrunk the buffer; it is made whole again before each use.
ConnectionInterface& ConnectionInterface::sendByte(unsigned char byte) {
    byteBuffer.resize(1);
    byteBuffer.at(0) = byte;
    send(byteBuffer);
    return *this;
}

ConnectionInterface& ConnectionInterface::receiveByte() {
    byteBuffer.resize(1);
    byteBuffer.at(0) = 0;
    receive(byteBuffer);
    return *this;
}

ConnectionInterface& ConnectionInterface::operator<<(UCharContainer& container) {
    send(container);
    return *this;
}

ConnectionInterface& ConnectionInterface::operator>>(UCharContainer& container) {
    receive(container);
    return *this;
}

} // namespace Talvessa

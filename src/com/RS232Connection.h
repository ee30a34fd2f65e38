// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ConnectionInterface.h"

#include <array>

namespace Talvessa {

// Read time-outs of the serial line, in milliseconds. A read of n bytes gives up after
// totalConstant + totalPerByte * n, or once interval passes without a byte after data started.
struct SerialReadTimeouts {
    int interval = 10;
    int totalPerByte = 50;
    int totalConstant = 50;
};

// The photometer on a serial port: 9600 baud, 8 data bits, no parity, 1 stop bit, raw,
// no flow control, opened exclusively.
class RS232Connection : public ConnectionInterface {
public:
    explicit RS232Connection(const std::string& type,
                             __lumo::Sleeper& sleeper = __lumo::systemSleeper());
    ~RS232Connection() override;

    void connect(bool reconnecting) override;
    void disconnect() override;
    void checkConnection() override;
    void send(UCharContainer& container) override;
    void receive(UCharContainer& container) override;
    std::uint32_t bytesInBuffer(bool input) override;

    // The text for a line-error word, as the status check reports it.
    static const char* lineErrorText(unsigned int errorWord);

    // The device file the last connect opened or tried (/dev/ttyS0, the profile's [Ports]).
    const std::string& devicePath() const { return devicePath_; }

    // What a user can do when the device file could not be opened for the reason given (an
    // errno value): an empty text where there is nothing to advise, else a text that starts
    // with a line break.
    static std::string openAdvice(const std::string& type, const std::string& path, int reason);

private:
    void discardLateInput();
    unsigned int readLineErrors(bool& countersAvailable);

    int handle = -1;
    SerialReadTimeouts timeouts;
    std::array<int, 5> lastLineCounts_{};
    std::string devicePath_;
};

// Reads up to size bytes within the read time-outs; returns the count, or -1 with errno set.
int readWithTimeouts(int fd, unsigned char* buffer, int size, const SerialReadTimeouts& timeouts);

} // namespace Talvessa

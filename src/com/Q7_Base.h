// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ConnectionInterface.h"
#include "ODSourceInterface.h"
#include "lumo/Sleeper.h"
#include "lumo/UCharContainer.h"

namespace Talvessa {

// The photometer protocol: short byte commands, a status answer after each, 16-bit raw
// readings high byte first, and the conversion of a reading into OD. The variants judge the
// status answer.
class Q7_Base : public ODSourceInterface {
public:
    Q7_Base(ConnectionInterface& port, std::int32_t channelNumber, std::int32_t statusBytes,
            __lumo::Sleeper& sleeper = __lumo::systemSleeper());

    double value() override;
    CalibrationResult calibrate() override;
    void setLedBrightness(std::int32_t brightness) override;
    bool hasPendingStatus() override;
    virtual void readData();
    virtual double calculateODValue();

    std::uint32_t getRawValue() const { return rawValue; }
    double getReference() const { return reference; }
    double getDark() const { return dark; }

protected:
    // The device answers a command only after this pause.
    static constexpr unsigned long statusDelayMilliseconds = 20;

    // True when the last exchange ended as the protocol says: its answer complete and nothing
    // after it. Bytes waiting while it is false are what an abandoned or overlong answer left
    // behind, not a status the device sent unasked; the next command drops them.
    bool lineInStep_ = true;
    // Whether bytes wait on the line; false when the line cannot tell.
    bool inputWaiting();

    ConnectionInterface& connection;
    std::int32_t channel;
    UCharContainer readCommand;
    UCharContainer ledCommand;
    std::uint32_t rawValue = 0;
    std::int32_t statusLength;
    double reference = 0.0;
    double dark = 0.0;
    __lumo::Sleeper& sleeper_;
};

} // namespace Talvessa

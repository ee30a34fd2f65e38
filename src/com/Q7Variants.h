// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Q7_Base.h"

namespace Talvessa {

// The 82 protocol: 6 status bytes, the first one a coded error.
class Q7_82 : public Q7_Base {
public:
    Q7_82(ConnectionInterface& port, std::int32_t channelNumber,
          __lumo::Sleeper& sleeper = __lumo::systemSleeper());
    void checkErrorState() override;
};

// The old protocol: 1 status byte, any value but 0 an error.
class Q7_Old : public Q7_Base {
public:
    Q7_Old(ConnectionInterface& port, std::int32_t channelNumber,
           __lumo::Sleeper& sleeper = __lumo::systemSleeper());
    void checkErrorState() override;
};

} // namespace Talvessa

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace __lumo {

// The fixed waits of the program go through a sleeper, so that tests can stand in a fake one.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMilliseconds(unsigned long milliseconds) = 0;
};

// Sleeps for real; shared by everything that is not given a sleeper of its own.
Sleeper& systemSleeper();

} // namespace __lumo

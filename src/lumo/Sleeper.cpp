// SPDX-License-Identifier: GPL-3.0-or-later
#include "Sleeper.h"

#include <chrono>
#include <thread>

namespace __lumo {

namespace {
class SystemSleeper final : public Sleeper {
public:
    void sleepMilliseconds(unsigned long milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};
} // namespace

Sleeper& systemSleeper() {
    static SystemSleeper sleeper;
    return sleeper;
}

} // namespace __lumo

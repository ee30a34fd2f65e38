// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lumo/Sleeper.h"

#include <functional>
#include <vector>

// Records the waits instead of sleeping; an optional hook runs on every wait.
class FakeSleeper : public __lumo::Sleeper {
public:
    void sleepMilliseconds(unsigned long milliseconds) override {
        sleeps.push_back(milliseconds);
        if (onSleep)
            onSleep(milliseconds);
    }
    unsigned long total() const {
        unsigned long sum = 0;
        for (auto s : sleeps)
            sum += s;
        return sum;
    }

    std::vector<unsigned long> sleeps;
    std::function<void(unsigned long)> onSleep;
};

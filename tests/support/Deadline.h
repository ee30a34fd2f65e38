// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

// What is left of a wait in milliseconds, for poll(); never negative.
inline int millisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    return left > 0 ? static_cast<int>(left) : 0;
}

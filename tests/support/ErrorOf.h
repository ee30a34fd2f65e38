// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

// The text of the runtime error an action throws, or "no error".
inline std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

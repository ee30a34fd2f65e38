// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace Talvessa {

// Text of the calling thread's last operating-system error (errno), which is reset to 0.
// Must be called right after the failing call, before anything else can change errno.
std::string getLastErrorText();

// Lowers the calling thread's scheduling priority below the program's main thread, for work
// beside the sampling cycle (serving pages, talking to a broker) that must never delay a
// sample on a busy machine. Threads it starts afterwards inherit the lower priority.
void runBelowSamplingPriority();

} // namespace Talvessa

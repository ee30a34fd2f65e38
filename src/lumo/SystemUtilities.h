// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace Talvessa {

// Text of the calling thread's last operating-system error (errno), which is reset to 0.
// Must be called right after the failing call, before anything else can change errno.
std::string getLastErrorText();

} // namespace Talvessa

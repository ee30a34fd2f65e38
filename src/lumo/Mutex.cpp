// SPDX-License-Identifier: GPL-3.0-or-later
#include "Mutex.h"

namespace __lumo {

const std::string unknownOwner = "unknown";
const std::string unlockedOwner = "unlocked";

} // namespace __lumo

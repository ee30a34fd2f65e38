// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace Talvessa {

// Maps a connection type such as "Com3" to a device path: the lookup set here first (it answers
// an empty string when it knows no path), then the open profile's section "Ports"
// (Com3=/dev/ttyUSB0), and otherwise "ComN" means /dev/ttyS<N-1>.
using SerialPortLookup = std::function<std::string(const std::string& type)>;

void setSerialPortLookup(SerialPortLookup lookup);
std::string resolveSerialDevice(const std::string& type);

} // namespace Talvessa

// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialPortResolver.h"

#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <cctype>
#include <utility>

namespace Talvessa {

namespace {
SerialPortLookup& currentLookup() {
    static SerialPortLookup lookup;
    return lookup;
}

// "Com3" -> 3; 0 when the text after "Com" is not a plain positive number.
unsigned long portNumber(const std::string& type) {
    if (type.size() <= 3 || type.size() > 12 || type.compare(0, 3, "Com") != 0)
        return 0;
    unsigned long number = 0;
    for (std::size_t i = 3; i < type.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(type[i])))
            return 0;
        number = number * 10 + static_cast<unsigned long>(type[i] - '0');
    }
    return number;
}
} // namespace

void setSerialPortLookup(SerialPortLookup lookup) {
    currentLookup() = std::move(lookup);
}

std::string resolveSerialDevice(const std::string& type) {
    if (const auto& lookup = currentLookup()) {
        std::string path = lookup(type);
        if (!path.empty())
            return path;
    }
    if (IniFile::hasIniFile()) {
        std::string path = IniFile::getIniFile().readString(IniFile::portsSection, type, "");
        if (!path.empty())
            return path;
    }
    if (const unsigned long number = portNumber(type))
        return "/dev/ttyS" + std::to_string(number - 1);
    // No numbered port: the open fails with the system's own reason instead of guessing.
    return "/dev/" + type;
}

} // namespace Talvessa

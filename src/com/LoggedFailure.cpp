// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoggedFailure.h"

#include "ODSourceInterface.h"
#include "lumo/Logger.h"

#include <stdexcept>

namespace Talvessa {

void logAndThrow(const std::string& text) {
    getLogStream() << text << std::endl;
    throw std::runtime_error(text);
}

void logAndThrowStatus(const std::string& text) {
    getLogStream() << text << std::endl;
    throw DeviceStatusError(text);
}

} // namespace Talvessa

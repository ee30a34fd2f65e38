// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemUtilities.h"

#include <cerrno>
#include <cstring>
#include <sstream>

namespace Talvessa {

std::string getLastErrorText() {
    const int code = errno;
    // strerrordesc_np gives no text for codes the system does not know, unlike strerror,
    // which would invent "Unknown error N".
    const char* text = strerrordesc_np(code);
    std::ostringstream result;
    if (text != nullptr)
        result << "System reported: \n" << text;
    else
        result << "Can't find error message no.\n" << code;
    errno = 0;
    return result.str();
}

} // namespace Talvessa

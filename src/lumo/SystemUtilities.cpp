// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemUtilities.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

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

void runBelowSamplingPriority() {
    constexpr int steps = 10; // of the 40 nice steps
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    const int saved = errno;
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, thread);
    // Not being able to lower it is no reason to serve nothing.
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, std::min(current + steps, 19));
    errno = saved;
}

} // namespace Talvessa

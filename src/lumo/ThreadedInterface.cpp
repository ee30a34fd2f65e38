// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThreadedInterface.h"

#include "SystemUtilities.h"

#include <cerrno>
#include <stdexcept>

namespace Talvessa {

ThreadedInterface::~ThreadedInterface() = default;

int ThreadedInterface::endThread() {
    if (!threadHandle)
        return ESRCH;
    return pthread_cancel(*threadHandle);
}

void ThreadedInterface::terminate() {
    if (state == TERMINATED)
        return;
    const int failure = endThread();
    if (failure != 0) {
        // The pthread calls report their error as a result, not in errno.
        errno = failure;
        throw std::runtime_error("Trying to terminate thread '" + threadName + "' failed\n" +
                                 getLastErrorText());
    }
    state = TERMINATED;
    if (changeListener != nullptr) {
        unsigned int id = threadId;
        changeListener->fireEvent(id);
    }
}

} // namespace Talvessa

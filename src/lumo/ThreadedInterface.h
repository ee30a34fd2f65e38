// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EventCaller.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <pthread.h>
#include <string>

namespace Talvessa {

// An object that runs its own thread and reports the thread's end to its listener, so that a
// registry can drop it.
class ThreadedInterface {
public:
    // Its events carry the id of the thread that changed.
    class ThreadChangeListener : public __lumo::EventCaller<unsigned int> {};

    enum ThreadState : std::uint8_t {
        WAITING = 0,
        RUNNING = 1,
        SUSPENDED = 2,
        STOPPING = 3,
        TERMINATED = 4,
        UNKNOWN = 5
    };

    ThreadedInterface() = default;
    virtual ~ThreadedInterface();
    ThreadedInterface(const ThreadedInterface&) = delete;
    ThreadedInterface& operator=(const ThreadedInterface&) = delete;

    ThreadState getState() const { return state; }

    // Ends the thread at once, unless it has already ended. Throws when the system refuses;
    // the state stays as it was then.
    void terminate();

    ThreadChangeListener* changeListener = nullptr;
    std::uint32_t threadId = 0;
    std::string threadName;
    // Empty while no thread has been started for this object.
    std::optional<pthread_t> threadHandle;
    // Shared with the object's own thread, which polls them: atomic, so that neither side
    // reads a value the compiler has kept from an earlier look.
    std::atomic<ThreadState> state{WAITING};
    std::atomic<bool> stopRequested{false};
    bool autoDestroy = false;

protected:
    // Asks the system to end the thread; 0 or the system's error number. The thread is
    // cancelled, so it ends at its next cancellation point with PTHREAD_CANCELED (-1) as its
    // result; ending it asynchronously could leave locks of the C++ runtime held for good.
    virtual int endThread();
};

} // namespace Talvessa

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EventCaller.h"
#include "Mutex.h"
#include "Sleeper.h"
#include "ThreadedInterface.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace Talvessa {

// Registry of threaded objects by thread id: asks them to stop, terminates them, and drops
// terminated auto-destroy objects when they report their end. The objects are not owned.
class ThreadManager : public ThreadedInterface::ThreadChangeListener,
                      public __lumo::MutexTemplate<unsigned long> {
public:
    // The manager's first listener: removes an object that has ended and asked for it.
    class AutoDestroy : public __lumo::EventListenerInterface<unsigned int> {
    public:
        explicit AutoDestroy(ThreadManager* manager) : manager_(manager) {}
        void eventOccurred(unsigned int& threadId) override;

    private:
        ThreadManager* manager_;
    };

    // A new manager, kept in the process-wide list; the caller keeps the pointer.
    static ThreadManager* create(__lumo::Sleeper& sleeper = __lumo::systemSleeper());
    // The managers made by create() that still exist, oldest first.
    static std::vector<ThreadManager*> createdManagers();

    explicit ThreadManager(__lumo::Sleeper& sleeper = __lumo::systemSleeper());
    // Removes every registered object as removeThread(id, 0) would; swallows failures.
    ~ThreadManager() override;
    ThreadManager(const ThreadManager&) = delete;
    ThreadManager& operator=(const ThreadManager&) = delete;

    // Registers the object under its threadId and becomes its change listener; false, and
    // nothing changed, when that id is already taken.
    bool registerThread(ThreadedInterface* object);
    ThreadedInterface* getThread(std::uint32_t threadId);
    // Requests a stop and waits once, or twice while the object is stopping; true when it has
    // terminated. Otherwise the request is withdrawn.
    bool stopThread(std::uint32_t threadId, unsigned long waitMilliseconds);
    void terminateThread(std::uint32_t threadId);
    // Stops the object, or terminates it when it does not stop, and forgets it.
    void removeThread(std::uint32_t threadId, unsigned long waitMilliseconds);

private:
    ThreadedInterface* registered(std::uint32_t threadId, const char* notFoundText);

    __lumo::Sleeper& waits_;
    std::map<std::uint32_t, ThreadedInterface*> threads;
    std::unique_ptr<AutoDestroy> autoDestroyer;
};

} // namespace Talvessa

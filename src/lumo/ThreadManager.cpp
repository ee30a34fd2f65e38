// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThreadManager.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>

namespace Talvessa {

namespace {

struct ManagerList {
    std::mutex guard;
    std::vector<ThreadManager*> managers;
};

ManagerList& managerList() {
    static ManagerList list;
    return list;
}

} // namespace

void ThreadManager::AutoDestroy::eventOccurred(unsigned int& threadId) {
    ThreadedInterface* object = manager_->getThread(threadId);
    if (object->autoDestroy && object->getState() == ThreadedInterface::TERMINATED)
        manager_->removeThread(threadId, 0);
}

ThreadManager* ThreadManager::create(__lumo::Sleeper& sleeper) {
    auto manager = std::make_unique<ThreadManager>(sleeper);
    ManagerList& list = managerList();
    const std::lock_guard<std::mutex> hold(list.guard);
    list.managers.push_back(manager.get());
    return manager.release();
}

std::vector<ThreadManager*> ThreadManager::createdManagers() {
    ManagerList& list = managerList();
    const std::lock_guard<std::mutex> hold(list.guard);
    return list.managers;
}

ThreadManager::ThreadManager(__lumo::Sleeper& sleeper)
    : __lumo::MutexTemplate<unsigned long>(sleeper), waits_(sleeper),
      autoDestroyer(std::make_unique<AutoDestroy>(this)) {
    addListener(autoDestroyer.get());
}

ThreadManager::~ThreadManager() {
    // A copy first: removing one object may erase others through the auto-destroyer.
    const auto registry = threads;
    for (const auto& [id, object] : registry) {
        try {
            if (threads.count(id) != 0)
                removeThread(id, 0);
        } catch (...) {
            // One object that cannot be ended must not keep the others registered.
        }
    }
    // An object that outlives its manager must not report its end into freed memory.
    for (const auto& entry : registry)
        if (entry.second->changeListener == this)
            entry.second->changeListener = nullptr;
    removeAllListeners();
    autoDestroyer.reset();
    threads.clear();

    // A deleted manager must not stay listed as a dangling pointer.
    ManagerList& list = managerList();
    const std::lock_guard<std::mutex> hold(list.guard);
    list.managers.erase(std::remove(list.managers.begin(), list.managers.end(), this),
                        list.managers.end());
}

bool ThreadManager::registerThread(ThreadedInterface* object) {
    if (!threads.emplace(object->threadId, object).second)
        return false;
    object->changeListener = this;
    return true;
}

ThreadedInterface* ThreadManager::registered(std::uint32_t threadId, const char* notFoundText) {
    const auto found = threads.find(threadId);
    if (found == threads.end())
        throw std::runtime_error(notFoundText);
    return found->second;
}

ThreadedInterface* ThreadManager::getThread(std::uint32_t threadId) {
    return registered(threadId, "Object not found!");
}

bool ThreadManager::stopThread(std::uint32_t threadId, unsigned long waitMilliseconds) {
    ThreadedInterface* object = registered(threadId, "Thread not found!");
    object->stopRequested = true;
    waits_.sleepMilliseconds(waitMilliseconds);
    if (object->getState() == ThreadedInterface::STOPPING)
        waits_.sleepMilliseconds(waitMilliseconds);
    if (object->getState() == ThreadedInterface::TERMINATED)
        return true;
    object->stopRequested = false;
    return false;
}

void ThreadManager::terminateThread(std::uint32_t threadId) {
    registered(threadId, "Thread not found!")->terminate();
}

void ThreadManager::removeThread(std::uint32_t threadId, unsigned long waitMilliseconds) {
    if (!stopThread(threadId, waitMilliseconds))
        terminateThread(threadId);
    threads.erase(threadId);
}

} // namespace Talvessa

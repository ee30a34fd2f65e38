// SPDX-License-Identifier: GPL-3.0-or-later
#include "lumo/ThreadManager.h"
#include "ErrorOf.h"
#include "FakeSleeper.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <pthread.h>
#include <unistd.h>
#include <vector>

using Talvessa::ThreadedInterface;
using Talvessa::ThreadManager;

namespace {

// A threaded object without a thread: the test plays its body, ending the thread is counted.
class TestThread : public ThreadedInterface {
public:
    TestThread(std::uint32_t id, const std::string& name) {
        threadId = id;
        threadName = name;
        state = RUNNING;
    }
    int endCalls = 0;
    int endResult = 0;

protected:
    int endThread() override {
        ++endCalls;
        return endResult;
    }
};

class RecordingListener : public __lumo::EventListenerInterface<unsigned int> {
public:
    void eventOccurred(unsigned int& threadId) override {
        ids.push_back(threadId);
        if (onEvent)
            onEvent(threadId);
    }
    std::vector<unsigned int> ids;
    std::function<void(unsigned int)> onEvent;
};

} // namespace

TEST(ThreadManager, StopWaitsOnceOrTwiceAndWithdrawsAFailedRequest) {
    using S = ThreadedInterface::ThreadState;
    struct Case {
        const char* name;
        std::vector<S> stateAfterWait; // what the body has done by the end of each wait
        bool stopped;
        std::size_t waits;
    };
    const Case cases[] = {
        {"ends within the wait", {S::TERMINATED}, true, 1},
        {"stopping, then ends in the second wait", {S::STOPPING, S::TERMINATED}, true, 2},
        {"still stopping after the second wait", {S::STOPPING, S::STOPPING}, false, 2},
        {"ignores the request", {S::RUNNING}, false, 1},
    };
    for (const Case& c : cases) {
        FakeSleeper sleeper;
        TestThread object(7, "reader"); // outlives the manager, whose end still reaches it
        ThreadManager manager(sleeper);
        ASSERT_TRUE(manager.registerThread(&object));
        sleeper.onSleep = [&](unsigned long) {
            ASSERT_TRUE(object.stopRequested) << c.name;
            object.state = c.stateAfterWait.at(sleeper.sleeps.size() - 1);
        };

        EXPECT_EQ(manager.stopThread(7, 250), c.stopped) << c.name;
        EXPECT_EQ(sleeper.sleeps, std::vector<unsigned long>(c.waits, 250)) << c.name;
        EXPECT_EQ(object.stopRequested, c.stopped) << c.name;
        EXPECT_EQ(object.endCalls, 0) << c.name;
        EXPECT_EQ(manager.getThread(7), &object) << c.name;
    }
}

TEST(ThreadManager, UnknownIdsFail) {
    FakeSleeper sleeper;
    TestThread object(1, "known");
    ThreadManager manager(sleeper);
    manager.registerThread(&object);
    unsigned int unknown = 2;

    EXPECT_EQ(errorOf([&] { manager.getThread(2); }), "Object not found!");
    EXPECT_EQ(errorOf([&] { manager.stopThread(2, 10); }), "Thread not found!");
    EXPECT_EQ(errorOf([&] { manager.terminateThread(2); }), "Thread not found!");
    EXPECT_EQ(errorOf([&] { manager.removeThread(2, 10); }), "Thread not found!");
    // An event for an id nobody registered reaches the auto-destroyer.
    EXPECT_EQ(errorOf([&] { manager.fireEvent(unknown); }), "Object not found!");

    TestThread twin(1, "twin");
    EXPECT_FALSE(manager.registerThread(&twin));
    EXPECT_EQ(manager.getThread(1), &object);
    EXPECT_EQ(twin.changeListener, nullptr);
    EXPECT_TRUE(sleeper.sleeps.empty());
}

TEST(ThreadedInterface, TerminateEndsOnceReportsAndKeepsStateOnFailure) {
    FakeSleeper sleeper;
    RecordingListener events;
    TestThread object(5, "reader");
    ThreadManager manager(sleeper);
    manager.addListener(&events);
    manager.registerThread(&object);

    object.endResult = EPERM;
    EXPECT_EQ(errorOf([&] { object.terminate(); }),
              "Trying to terminate thread 'reader' failed\nSystem reported: \n"
              "Operation not permitted");
    EXPECT_EQ(object.getState(), ThreadedInterface::RUNNING);
    EXPECT_TRUE(events.ids.empty());
    EXPECT_EQ(errno, 0);

    object.endResult = 0;
    manager.terminateThread(5);
    EXPECT_EQ(object.getState(), ThreadedInterface::TERMINATED);
    EXPECT_EQ(events.ids, std::vector<unsigned int>{5});
    EXPECT_EQ(manager.getThread(5), &object) << "not auto-destroy: stays registered";

    object.terminate(); // already ended: no system call, no event
    EXPECT_EQ(object.endCalls, 2);
    EXPECT_EQ(events.ids.size(), 1u);

    // An object that never got a thread cannot be ended.
    ThreadedInterface idle;
    idle.threadName = "idle";
    EXPECT_EQ(errorOf([&] { idle.terminate(); }),
              "Trying to terminate thread 'idle' failed\nSystem reported: \nNo such process");
    EXPECT_EQ(idle.getState(), ThreadedInterface::WAITING);
}

TEST(ThreadedInterface, TerminateCancelsARealThread) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    // The body blocks in read(), a cancellation point, until it is cancelled.
    auto body = [](void* end) -> void* {
        char byte;
        while (read(*static_cast<int*>(end), &byte, 1) != 0) {
        }
        return nullptr;
    };
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, nullptr, body, &pipeEnds[0]), 0);

    ThreadedInterface object;
    object.threadName = "blocked";
    object.threadHandle = thread;
    object.state = ThreadedInterface::RUNNING;
    object.terminate();
    EXPECT_EQ(object.getState(), ThreadedInterface::TERMINATED);

    void* result = nullptr;
    ASSERT_EQ(pthread_join(thread, &result), 0);
    EXPECT_EQ(result, PTHREAD_CANCELED);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

TEST(ThreadManager, RemoveStopsOrTerminatesThenForgets) {
    FakeSleeper sleeper;
    TestThread stops(1, "stops"), ignores(2, "ignores"), stuck(3, "stuck");
    ThreadManager manager(sleeper);
    for (TestThread* object : {&stops, &ignores, &stuck})
        manager.registerThread(object);
    sleeper.onSleep = [&](unsigned long) {
        if (stops.stopRequested)
            stops.state = ThreadedInterface::TERMINATED;
    };

    manager.removeThread(1, 100);
    EXPECT_EQ(stops.endCalls, 0);
    manager.removeThread(2, 100);
    EXPECT_EQ(ignores.endCalls, 1);
    EXPECT_EQ(ignores.getState(), ThreadedInterface::TERMINATED);
    for (std::uint32_t id : {1u, 2u})
        EXPECT_EQ(errorOf([&] { manager.getThread(id); }), "Object not found!");

    // The system refuses: the object stays registered.
    stuck.endResult = EPERM;
    EXPECT_NE(errorOf([&] { manager.removeThread(3, 100); }), "no error");
    EXPECT_EQ(manager.getThread(3), &stuck);
}

TEST(ThreadManager, AutoDestroyDropsTerminatedObjectsFirst) {
    FakeSleeper sleeper;
    RecordingListener events;
    std::vector<bool> registeredAtEvent;
    TestThread dropped(1, "dropped"), kept(2, "kept");
    ThreadManager manager(sleeper);
    manager.addListener(&events);
    events.onEvent = [&](unsigned int id) {
        registeredAtEvent.push_back(errorOf([&] { manager.getThread(id); }) == "no error");
    };
    dropped.autoDestroy = true;
    manager.registerThread(&dropped);
    manager.registerThread(&kept);

    manager.terminateThread(1);
    manager.terminateThread(2);
    EXPECT_EQ(events.ids, (std::vector<unsigned int>{1, 2}));
    EXPECT_EQ(registeredAtEvent, (std::vector<bool>{false, true}));
    EXPECT_EQ(sleeper.sleeps, std::vector<unsigned long>{0}) << "removal without a wait";
    EXPECT_EQ(manager.getThread(2), &kept);
}

TEST(ThreadManager, DestructionRemovesEveryObjectAfterAStopRequestWithoutWaiting) {
    FakeSleeper sleeper;
    TestThread ignores(1, "ignores"), stops(2, "stops"), autoDropped(3, "auto"),
        refused(4, "refused");
    autoDropped.autoDestroy = true;
    refused.endResult = EPERM;
    std::vector<TestThread*> objects{&ignores, &stops, &autoDropped, &refused};
    std::vector<std::vector<std::uint32_t>> requestedAtWait;
    sleeper.onSleep = [&](unsigned long) {
        requestedAtWait.emplace_back();
        for (TestThread* object : objects)
            if (object->stopRequested)
                requestedAtWait.back().push_back(object->threadId);
        if (stops.stopRequested)
            stops.state = ThreadedInterface::TERMINATED;
    };
    {
        ThreadManager manager(sleeper);
        for (TestThread* object : objects)
            manager.registerThread(object);
    } // the refused one must not stop the walk nor escape the destructor

    EXPECT_EQ(sleeper.sleeps, std::vector<unsigned long>(5, 0));
    // A stop that succeeded stays requested; the auto-destroy object is stopped once more
    // when its end is reported.
    EXPECT_EQ(requestedAtWait,
              (std::vector<std::vector<std::uint32_t>>{{1}, {2}, {2, 3}, {2, 3}, {2, 3, 4}}));
    EXPECT_EQ(ignores.endCalls, 1);
    EXPECT_EQ(stops.endCalls, 0);
    EXPECT_EQ(autoDropped.endCalls, 1);
    EXPECT_EQ(refused.endCalls, 1);
    for (TestThread* object : objects)
        EXPECT_EQ(object->changeListener, nullptr) << object->threadName;
    refused.endResult = 0;
    refused.terminate(); // reports to no manager any more
    EXPECT_EQ(refused.getState(), ThreadedInterface::TERMINATED);
}

TEST(ThreadManager, CreateKeepsTheManagersInTheProcessWideList) {
    ThreadManager* first = ThreadManager::create();
    ThreadManager* second = ThreadManager::create();
    EXPECT_EQ(ThreadManager::createdManagers(), (std::vector<ThreadManager*>{first, second}));
    EXPECT_EQ(first->getOwner(), "unlocked");
    EXPECT_FALSE(first->isLocked());

    delete first;
    EXPECT_EQ(ThreadManager::createdManagers(), std::vector<ThreadManager*>{second});
    delete second;
}

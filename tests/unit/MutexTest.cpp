// SPDX-License-Identifier: GPL-3.0-or-later
#include "lumo/Mutex.h"
#include "FakeSleeper.h"

#include <gtest/gtest.h>

using Mutex = __lumo::MutexTemplate<unsigned long>;

TEST(Mutex, HeldLockTimesOutAfterWholeStepsAndKeepsOwner) {
    FakeSleeper sleeper;
    Mutex mutex(sleeper);
    unsigned long step = 10, timeout = 5000;
    mutex.lock(step, timeout, "A");
    EXPECT_TRUE(sleeper.sleeps.empty());
    EXPECT_EQ(mutex.getOwner(), "A");

    try {
        mutex.lock(step, timeout, "B");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "object locked by A");
        EXPECT_NE(dynamic_cast<const __lumo::ObjectLockedException*>(&e), nullptr);
    }
    EXPECT_EQ(sleeper.sleeps.size(), 500u);
    EXPECT_EQ(sleeper.total(), 5000u);
    EXPECT_EQ(mutex.getOwner(), "A");

    sleeper.sleeps.clear();
    unsigned long oddTimeout = 25;
    EXPECT_THROW(mutex.lock(step, oddTimeout, "C"), __lumo::ObjectLockedException);
    EXPECT_EQ(sleeper.sleeps.size(), 3u) << "a partial step still waits a whole step";
}

TEST(Mutex, WaitEndsWhenHolderLetsGo) {
    FakeSleeper sleeper;
    Mutex mutex(sleeper);
    unsigned long step = 10, timeout = 5000;
    mutex.lock(step, timeout, "A");
    sleeper.onSleep = [&](unsigned long) {
        if (sleeper.sleeps.size() == 3)
            mutex.unlock();
    };
    mutex.lock(step, timeout, "B");
    EXPECT_EQ(sleeper.sleeps.size(), 3u);
    EXPECT_EQ(mutex.getOwner(), "B");
}

TEST(Mutex, TryLockAndUnlock) {
    FakeSleeper sleeper;
    Mutex mutex(sleeper);
    EXPECT_EQ(mutex.getOwner(), "unlocked");
    EXPECT_TRUE(mutex.tryLock("A"));
    EXPECT_FALSE(mutex.tryLock("B"));
    EXPECT_EQ(mutex.getOwner(), "A");
    mutex.unlock();
    EXPECT_EQ(mutex.getOwner(), "unlocked");
    EXPECT_FALSE(mutex.isLocked());
    mutex.unlock(); // harmless on a free lock
    EXPECT_TRUE(sleeper.sleeps.empty());
}

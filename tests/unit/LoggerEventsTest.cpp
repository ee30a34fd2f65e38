// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogCapture.h"
#include "lumo/Progress.h"

#include <gtest/gtest.h>
#include <vector>

using __lumo::ProgressInfoType;

namespace {

struct RecordingListener : __lumo::EventListenerInterface<ProgressInfoType> {
    void eventOccurred(ProgressInfoType& info) override {
        seen.push_back({info.current, info.total});
    }
    std::vector<std::pair<int, unsigned>> seen;
};

} // namespace

// Runs first in its own process (see CMake): nothing has installed a stream yet.
TEST(LoggerBeforeInstall, WritingFails) {
    try {
        Talvessa::getLogStream();
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Logstream not initialized!");
    }
}

TEST(Logger, ReplacingTheStreamKeepsTheOldBuffer) {
    std::ostringstream first, second;
    Talvessa::setLogStream(first.rdbuf());
    Talvessa::getLogStream() << "a" << std::endl;
    Talvessa::setLogStream(second.rdbuf());
    Talvessa::getLogStream() << "b" << 1.5 << std::endl;
    EXPECT_EQ(first.str(), "a\n");
    EXPECT_EQ(second.str(), "b1.5\n");
}

TEST(EventCaller, ListenersInOrderDuplicatesAndRemoval) {
    __lumo::EventCaller<ProgressInfoType> caller;
    RecordingListener a, b;
    ProgressInfoType info{1, 2};
    caller.fireEvent(info); // nobody listening: nothing happens

    caller.addListener(&a);
    caller.addListener(&b);
    caller.addListener(&a);
    caller.fireEvent(info);
    EXPECT_EQ(a.seen.size(), 2u);
    EXPECT_EQ(b.seen.size(), 1u);

    caller.removeListener(&a);
    caller.fireEvent(info);
    EXPECT_EQ(a.seen.size(), 2u);
    EXPECT_EQ(b.seen.size(), 2u);

    caller.removeAllListeners();
    caller.fireEvent(info);
    EXPECT_EQ(b.seen.size(), 2u);
}

TEST(ProgressEventCaller, RelaysScaledByFactor) {
    for (int factor : {1, 2}) {
        __lumo::ProgressEventCaller relay;
        relay.factor = factor;
        RecordingListener listener;
        relay.addListener(&listener);
        __lumo::EventCaller<ProgressInfoType> source;
        source.addListener(&relay);

        ProgressInfoType info{3, 16};
        source.fireEvent(info);
        ASSERT_EQ(listener.seen.size(), 1u);
        EXPECT_EQ(listener.seen[0], std::make_pair(3, 16u * factor));
        EXPECT_EQ(info.total, 16u * factor) << "the caller's record changes as well";
    }
}

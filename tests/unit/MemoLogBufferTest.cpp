// SPDX-License-Identifier: GPL-3.0-or-later
#include "lumo/MemoLogBuffer.h"
#include "FakeSleeper.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;

namespace {

// Lines as the log window would show them; records the pieces appended to the current line.
class FakeDisplay : public Talvessa::LineDisplay {
public:
    std::string lastLine() const override { return lines.back(); }
    void appendToCurrentLine(const std::string& text) override {
        if (failNextAppend) {
            failNextAppend = false;
            throw std::runtime_error("display gone");
        }
        appended.push_back(text);
        lines.back() += text;
    }
    void addLine(const std::string& text) override {
        lines.push_back(text);
        if (onAddLine)
            onAddLine();
    }

    Lines lines;
    Lines appended;
    bool failNextAppend = false;
    std::function<void()> onAddLine;
};

// The buffer over a fake display with the window's 1024-byte array, and a stream over it.
struct LogFixture {
    explicit LogFixture(std::streamsize arraySize = 1024, bool withArray = true)
        : array(new char[1024]), buffer(display, sleeper), stream(&buffer) {
        buffer.pubsetbuf(withArray ? array.get() : nullptr, arraySize);
    }
    FakeDisplay display;
    FakeSleeper sleeper;
    std::unique_ptr<char[]> array;
    Talvessa::MemoLogBuffer buffer;
    std::ostream stream;
};

} // namespace

TEST(MemoLogBuffer, FlushTurnsTextIntoLines) {
    struct Case {
        const char* name;
        std::function<void(std::ostream&)> write;
        Lines expected;
    };
    const Case cases[] = {
        {"line with endl", [](std::ostream& s) { s << "a" << std::endl; }, {"a", ""}},
        {"open line completed by the next writer",
         [](std::ostream& s) { s << "a" << std::flush << "b" << std::endl; },
         {"ab", ""}},
        {"two lines in one flush",
         [](std::ostream& s) { s << "x\ny\n"
                                 << std::flush; },
         {"x", "y", ""}},
        {"CR LF is one break, no break at the end",
         [](std::ostream& s) { s << "a\r\nb" << std::flush; },
         {"a", "b"}},
        {"lone CR is a break",
         [](std::ostream& s) { s << "a\rb\r" << std::flush; },
         {"a", "b", ""}},
        {"empty lines kept", [](std::ostream& s) { s << "\n\n"
                                                     << std::flush; }, {"", "", ""}},
        {"flush with nothing buffered", [](std::ostream& s) { s << std::flush; }, {""}},
        {"numbers in default format",
         [](std::ostream& s) { s << "Q7_Base::calibrate\t" << 12 << " / " << 3456.5 << std::endl; },
         {"Q7_Base::calibrate\t12 / 3456.5", ""}},
    };
    for (const Case& c : cases) {
        LogFixture log;
        c.write(log.stream);
        EXPECT_EQ(log.display.lines, c.expected) << c.name;
        EXPECT_TRUE(log.stream.good()) << c.name;
    }
}

TEST(MemoLogBuffer, NothingReachesTheDisplayBeforeAFlush) {
    LogFixture log;
    log.stream << "Q7_Base::readData\t" << 42;
    EXPECT_EQ(log.display.lines, Lines{""});
    log.stream << " more" << std::endl;
    EXPECT_EQ(log.display.lines, (Lines{"Q7_Base::readData\t42 more", ""}));
}

TEST(MemoLogBuffer, LongTextArrivesInFullArraysAndInOrder) {
    LogFixture log;
    std::string text;
    for (int i = 0; i < 2500; ++i)
        text += static_cast<char>('a' + i % 26);

    log.stream << text;
    // Each full array goes over together with the character that did not fit.
    EXPECT_EQ(log.display.appended, (Lines{text.substr(0, 1024), text.substr(1024, 1024)}));
    log.stream << std::endl;
    EXPECT_EQ(log.display.appended.back(), text.substr(2048));
    EXPECT_EQ(log.display.lines, (Lines{text, ""}));

    // One character at a time through the standard put area fills the array the same way.
    LogFixture single;
    for (char c : text)
        single.stream.put(c);
    EXPECT_EQ(single.display.appended.size(), 2u);
    single.stream << std::endl;
    EXPECT_EQ(single.display.lines, (Lines{text, ""}));
}

TEST(MemoLogBuffer, ArraySizeDecidesWhenTextMoves) {
    struct Case {
        const char* name;
        std::streamsize size;
        bool withArray;
        Lines beforeFlush;
    };
    const Case cases[] = {
        {"no array: every character at once", 1024, false, {"abcd", "efghij"}},
        {"array of one byte has no room", 1, true, {"abcd", "efghij"}},
        {"array of zero bytes has no room", 0, true, {"abcd", "efghij"}},
        {"room for three", 4, true, {"abcd", "efg"}},
    };
    for (const Case& c : cases) {
        LogFixture log(c.size, c.withArray);
        log.stream << "abcd\nefghij";
        EXPECT_EQ(log.display.lines, c.beforeFlush) << c.name;
        log.stream << std::flush;
        EXPECT_EQ(log.display.lines, (Lines{"abcd", "efghij"})) << c.name;
    }
}

TEST(MemoLogBuffer, NewArrayDoesNotLoseBufferedText) {
    LogFixture log;
    log.stream << "pending";
    char other[16];
    log.buffer.pubsetbuf(other, sizeof other);
    EXPECT_EQ(log.display.lines, Lines{"pending"});
    log.stream << " next" << std::endl;
    EXPECT_EQ(log.display.lines, (Lines{"pending next", ""}));
}

TEST(MemoLogBuffer, TransferUnderWayMakesASecondOneFailAfterTheTimeout) {
    LogFixture log;
    std::string error;
    // A display that logs while it is being updated: the second transfer finds the lock taken.
    log.display.onAddLine = [&] {
        log.display.onAddLine = nullptr;
        log.stream << "b";
        try {
            log.buffer.pubsync();
        } catch (const __lumo::ObjectLockedException& e) {
            error = e.what();
        }
    };
    log.stream << "a" << std::endl;

    EXPECT_EQ(error, "object locked by unknown");
    EXPECT_EQ(log.sleeper.sleeps, std::vector<unsigned long>(500, 10));
    EXPECT_EQ(log.display.lines, (Lines{"a", ""}));
    // The refused text stayed buffered and goes with the next flush, without waiting.
    log.sleeper.sleeps.clear();
    log.stream << std::flush;
    EXPECT_EQ(log.display.lines, (Lines{"a", "b"}));
    EXPECT_TRUE(log.sleeper.sleeps.empty());
}

TEST(MemoLogBuffer, FailingDisplayDoesNotKeepTheLock) {
    LogFixture next;
    next.display.failNextAppend = true;
    next.stream.exceptions(std::ios::badbit);
    EXPECT_THROW(next.stream << "lost" << std::endl, std::runtime_error);
    next.stream.clear();
    next.stream << "kept" << std::endl;
    EXPECT_EQ(next.display.lines, (Lines{"kept", ""}));
    EXPECT_TRUE(next.sleeper.sleeps.empty()) << "no wait for a lock left taken";
}

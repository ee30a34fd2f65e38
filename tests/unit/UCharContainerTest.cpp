// SPDX-License-Identifier: GPL-3.0-or-later
#include "lumo/UCharContainer.h"
#include "ErrorOf.h"

#include <functional>
#include <gtest/gtest.h>
#include <sstream>

using Talvessa::UCharContainer;

namespace {

UCharContainer bytes(std::initializer_list<unsigned char> list) {
    UCharContainer c(static_cast<std::int32_t>(list.size()));
    int i = 0;
    for (auto b : list)
        c.at(i++) = b;
    return c;
}

std::string text(const UCharContainer& c) {
    std::ostringstream out;
    out << c;
    return out.str();
}

} // namespace

TEST(UCharContainer, EmptyContainer) {
    UCharContainer c(0);
    EXPECT_EQ(c.getSize(), 0);
    EXPECT_EQ(c.getData(), nullptr);
    EXPECT_EQ(text(c), "0[]");
    EXPECT_EQ(c.toUnsigned(), 0u);
    c.zeroFill();
    EXPECT_EQ(errorOf([&] { c.at(0); }), "UCharContainer has zero length!");
    EXPECT_EQ(errorOf([&] { c.swapBytes(0, 0); }), "UCharContainer has zero length!");
}

TEST(UCharContainer, ErrorTexts) {
    UCharContainer two(2), one(1), five(5);
    const UCharContainer source = bytes({0x30, 0x12, 0x34});
    const struct {
        std::function<void()> action;
        const char* expected;
    } cases[] = {
        {[] { UCharContainer c(-1); },
         "Size of the requested UCharContainer has to be greater than or equal to zero!(given "
         "size= -1)"},
        {[] { UCharContainer c(-3, nullptr); },
         "Size of the requested UCharContainer\nhas to be greater than or equal to zero!(given "
         "size= -3)"},
        {[&] { two.resize(-2); },
         "Size of the requested UCharContainer\nhas to be greater than  or equal to zero!(given "
         "size= -2)"},
        {[&] { two.at(2); },
         "UCharContainer\nGiven position is out of bounds!\ngiven: 2\nbounds 0 / 1"},
        {[&] { one.at(-1); },
         "UCharContainer\nGiven position is out of bounds!\ngiven: -1\nbounds 0 / 0"},
        {[&] { two.swapBytes(0, 5); },
         "UCharContainer\nGiven position is out of bounds!\ngiven: 5\nbounds 0 / 1"},
        {[&] { UCharContainer c(source, 3, 0); }, "start index behind the end of data!"},
        {[&] { UCharContainer c(source, 1, 3); },
         "requested length behind the end of data! actual: 3[ 30 12 34] request: start/length 1 "
         "/ 3"},
        {[&] { UCharContainer c(source, 1, 2147483647); },
         "requested length behind the end of data! actual: 3[ 30 12 34] request: start/length 1 "
         "/ 2147483647"},
        {[&] { UCharContainer c(source, -1, 1); },
         "UCharContainer\nGiven position is out of bounds!\ngiven: -1\nbounds 0 / 2"},
        {[&] { UCharContainer c(source, 1, -1); },
         "Size of the requested UCharContainer\nhas to be greater than or equal to zero!(given "
         "size= -1)"},
        {[&] { five.toUnsigned(); }, "UCharContainer too large to convert to unsigned int!"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf(c.action), c.expected);
    EXPECT_EQ(two.getSize(), 2) << "a refused resize leaves the content alone";
}

TEST(UCharContainer, TextForm) {
    EXPECT_EQ(text(bytes({0x32, 0x06})), "2[ 32 06]");
    EXPECT_EQ(text(bytes({0x0A, 0xFF})), "2[ 0A FF]");
    std::ostringstream out;
    out << 17 << " " << bytes({0xAB}) << " " << 17;
    EXPECT_EQ(out.str(), "17 1[ AB] 17") << "the stream's own number format is left alone";
}

TEST(UCharContainer, UnsignedConversions) {
    auto c = bytes({0x34, 0x12});
    EXPECT_EQ(c.toUnsigned(), 0x1234u);
    EXPECT_EQ(c.swapBytes(0, 1).toUnsigned(), 0x3412u);
    EXPECT_EQ(bytes({0xFF, 0xFF, 0xFF, 0xFF}).toUnsigned(), 4294967295u);

    UCharContainer d(1);
    d.fromUnsigned(16909060);
    EXPECT_EQ(text(d), "4[ 04 03 02 01]");
    EXPECT_EQ(text(d.resize(2)), "2[ 04 03]");
}

TEST(UCharContainer, ResizeAndAppend) {
    auto c = bytes({0x01, 0x02, 0x03});
    EXPECT_EQ(text(c.resize(1)), "1[ 01]");
    EXPECT_EQ(text(c.resize(3)), "3[ 01 00 00]");
    c.resize(0);
    EXPECT_EQ(c.getSize(), 0);
    EXPECT_EQ(c.getData(), nullptr);

    auto head = bytes({0x30});
    EXPECT_EQ(text(head.append(UCharContainer(0))), "1[ 30]");
    EXPECT_EQ(text(head.append(bytes({0x12, 0x34}))), "3[ 30 12 34]");
    EXPECT_EQ(text(head.append(head)), "6[ 30 12 34 30 12 34]");
}

TEST(UCharContainer, SubRanges) {
    const auto source = bytes({0x30, 0x12, 0x34});
    EXPECT_EQ(text(UCharContainer(source, 1, 0)), "2[ 12 34]");
    EXPECT_EQ(text(UCharContainer(source, 1, 2)), "2[ 12 34]");
    EXPECT_EQ(text(UCharContainer(source, 0, 1)), "1[ 30]");
}

TEST(UCharContainer, CopiesOwnTheirBytes) {
    auto original = bytes({0x01, 0x02});
    UCharContainer copy(original);
    copy.at(0) = 0x09;
    EXPECT_EQ(text(original), "2[ 01 02]");
    UCharContainer moved(std::move(copy));
    EXPECT_EQ(text(moved), "2[ 09 02]");
}

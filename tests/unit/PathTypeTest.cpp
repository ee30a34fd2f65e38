// SPDX-License-Identifier: GPL-3.0-or-later
#include "lumo/PathType.h"

#include <gtest/gtest.h>

using __lumo::PathType;

TEST(PathType, JoinParentLastComponent) {
    const std::string sep(1, PathType::separator);
    EXPECT_EQ(PathType::joined("C:", "Data"), "C:" + sep + "Data");
    EXPECT_EQ(PathType::joined("a" + sep, std::string(sep + "b")), "a" + sep + sep + sep + "b")
        << "separators already present are never merged";
    PathType empty;
    EXPECT_EQ(empty.appendComponent("x"), sep + "x");

    const struct {
        std::string path, parent, last;
    } cases[] = {
        {"name", "", "name"},
        {"a" + sep + "b" + sep + "c", "a" + sep + "b", "c"},
        {"a" + sep + "b" + sep, "a" + sep + "b", ""},
        {sep + "root", "", "root"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathType(c.path).getParent(), c.parent) << c.path;
        EXPECT_EQ(PathType(c.path).getLastComponent(), c.last) << c.path;
    }
}

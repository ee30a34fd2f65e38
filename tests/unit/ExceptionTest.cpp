// SPDX-License-Identifier: GPL-3.0-or-later
#include "lumo/Exception.h"
#include "lumo/SystemUtilities.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <memory>

using __lumo::Exception;

TEST(Exception, TextWithoutCause) {
    Exception e("abc");
    EXPECT_STREQ(e.what(), "abc");
    EXPECT_EQ(e.getFullText(), "abc");
    EXPECT_EQ(e.getCause(), nullptr);
}

TEST(Exception, CauseIsAPrivateCopy) {
    auto inner = std::make_unique<Exception>("inner");
    Exception outer("outer", inner.get());
    inner.reset();
    EXPECT_EQ(outer.getFullText(), "outerinner");
    ASSERT_NE(outer.getCause(), nullptr);
    EXPECT_STREQ(outer.getCause()->what(), "inner");
}

TEST(Exception, CopyAndCloneMakeIndependentChains) {
    Exception third("3");
    Exception second("2", &third);
    auto first = std::make_unique<Exception>("1", &second);

    Exception copy(*first);
    std::unique_ptr<Exception> clone(first->clone());
    const Exception* originalCause = first->getCause();
    first.reset();

    for (const Exception* e :
         {static_cast<const Exception*>(&copy), static_cast<const Exception*>(clone.get())}) {
        EXPECT_EQ(e->getFullText(), "123");
        ASSERT_NE(e->getCause(), nullptr);
        EXPECT_NE(e->getCause(), originalCause);
        ASSERT_NE(e->getCause()->getCause(), nullptr);
        EXPECT_EQ(e->getCause()->getCause()->getCause(), nullptr);
    }
}

TEST(Exception, ObjectLockedIsARuntimeErrorAndClonesAsException) {
    try {
        throw __lumo::ObjectLockedException("object locked by A");
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "object locked by A");
        const auto& locked = dynamic_cast<const Exception&>(e);
        std::unique_ptr<Exception> clone(locked.clone());
        EXPECT_EQ(clone->getFullText(), "object locked by A");
        EXPECT_EQ(dynamic_cast<__lumo::ObjectLockedException*>(clone.get()), nullptr);
    }
}

TEST(LastErrorText, KnownAndUnknownCodesResetErrno) {
    errno = ENOENT;
    EXPECT_EQ(Talvessa::getLastErrorText(), "System reported: \nNo such file or directory");
    EXPECT_EQ(errno, 0);

    errno = 98765;
    EXPECT_EQ(Talvessa::getLastErrorText(), "Can't find error message no.\n98765");
    EXPECT_EQ(errno, 0);
}

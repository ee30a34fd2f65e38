// SPDX-License-Identifier: GPL-3.0-or-later
// Test main for code that needs a Qt application object (timers, signals).
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

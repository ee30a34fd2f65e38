// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtTonePlayer.h"
#include "QtUserPrompts.h"

#include <gtest/gtest.h>

TEST(QtUserPrompts, FiltersInTheDialogsForm) {
    EXPECT_EQ(QtUserPrompts::dialogFilter("RichTextFiles|*.rtf"), "RichTextFiles (*.rtf)");
    EXPECT_EQ(QtUserPrompts::dialogFilter("A|*.a|B|*.b"), "A (*.a);;B (*.b)");
    EXPECT_EQ(QtUserPrompts::dialogFilter("*.nph"), "*.nph");
}

TEST(QtTonePlayer, SineSamplesAndSilenceWithoutADevice) {
    const QByteArray samples = QtTonePlayer::sineSamples(1500, 50, 22050);
    EXPECT_EQ(samples.size(), 1102 * 2);
    QtTonePlayer player;
    player.playTone(1500, 50); // no output device here: nothing happens, nothing fails
}

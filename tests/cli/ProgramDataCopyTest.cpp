// SPDX-License-Identifier: GPL-3.0-or-later
// The build's copy of the shipped files into the program directory: what a lab changed there
// stays, what it left alone follows the shipped files.
#include "Subprocess.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

namespace {

int copyProgramData(const TempDirectory& temp) {
    Subprocess copy(CMAKE_COMMAND_PATH,
                    {"-DSOURCE=" + temp.path("data"), "-DDESTINATION=" + temp.path("program"),
                     "-DSHIPPED=" + temp.path("shipped"), "-P",
                     NEPHODAR_SOURCE_DIR "/scripts/copy-program-data.cmake"});
    return copy.wait(20000);
}

} // namespace

TEST(ProgramDataCopy, NeverOverwritesWhatTheLabChanged) {
    TempDirectory temp;
    TempDirectory::writeFile(temp.path("data/Templates/Template.txt"), "Shipped 1\n");
    TempDirectory::writeFile(temp.path("data/Nephodar.html"), "<p>help 1</p>\n");
    // A file the lab had before this copy was ever run is theirs; one found as shipped
    // follows the shipped one from then on.
    TempDirectory::writeFile(temp.path("program/Templates/Old.txt"), "Lab's own\n");
    TempDirectory::writeFile(temp.path("data/Templates/Old.txt"), "Shipped old\n");
    TempDirectory::writeFile(temp.path("program/Templates/Found.txt"), "Found 1\n");
    TempDirectory::writeFile(temp.path("data/Templates/Found.txt"), "Found 1\n");
    ASSERT_EQ(copyProgramData(temp), 0);
    EXPECT_EQ(TempDirectory::readFile(temp.path("program/Templates/Template.txt")), "Shipped 1\n");
    EXPECT_EQ(TempDirectory::readFile(temp.path("program/Templates/Old.txt")), "Lab's own\n");

    // The lab saves its own template; the next release changes both shipped files.
    TempDirectory::writeFile(temp.path("program/Templates/Template.txt"), "Our lab\n");
    TempDirectory::writeFile(temp.path("data/Templates/Template.txt"), "Shipped 2\n");
    TempDirectory::writeFile(temp.path("data/Nephodar.html"), "<p>help 2</p>\n");
    TempDirectory::writeFile(temp.path("data/Templates/Found.txt"), "Found 2\n");
    ASSERT_EQ(copyProgramData(temp), 0);
    EXPECT_EQ(TempDirectory::readFile(temp.path("program/Templates/Template.txt")), "Our lab\n");
    EXPECT_EQ(TempDirectory::readFile(temp.path("program/Templates/Old.txt")), "Lab's own\n");
    EXPECT_EQ(TempDirectory::readFile(temp.path("program/Templates/Found.txt")), "Found 2\n");
    EXPECT_EQ(TempDirectory::readFile(temp.path("program/Nephodar.html")), "<p>help 2</p>\n");

    // A file deleted by hand comes back.
    std::filesystem::remove(temp.path("program/Nephodar.html"));
    ASSERT_EQ(copyProgramData(temp), 0);
    EXPECT_EQ(TempDirectory::readFile(temp.path("program/Nephodar.html")), "<p>help 2</p>\n");
}

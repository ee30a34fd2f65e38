// SPDX-License-Identifier: GPL-3.0-or-later
// The workstation opened on a saved measurement from the command line, as the README's
// picture is taken: a real process on the offscreen platform.
#include "ProfileStoreFixture.h"
#include "Subprocess.h"

#include <QImage>
#include <QSet>

namespace {

struct WorkstationViewOption : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
        copyProgramFolders({"Objects", "buttons"});
        openDefault();
    }
};

} // namespace

TEST_F(WorkstationViewOption, OpensTheFileInTheViewerAndPicturesIt) {
    Subprocess measure(NEPHODAR_PROGRAM_DIR "/nephodar-cli",
                       {"measure", "--program-dir", temp_.path("program"), "--device", "Sim0",
                        "--samples", "5", "--interval", "0.1", "--title", "Viewed run", "--save",
                        temp_.path("viewed.nph")});
    while (!measure.nextLine(20000).empty() || !measure.outputEnded()) {
    }
    ASSERT_EQ(measure.wait(20000), 0) << measure.errorOutput();

    const std::string picture = temp_.path("viewer.png");
    Subprocess workstation(NEPHODAR_PROGRAM_DIR "/Nephodar",
                           {"--program-dir", temp_.path("program"), "--view",
                            temp_.path("viewed.nph"), "--screenshot", picture},
                           {{"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_EQ(workstation.wait(40000), 0) << workstation.errorOutput();
    const QImage image(QString::fromStdString(picture));
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 800);
    // The viewer's chart has a curve and its axes: far more than one or two colours.
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 20);
}

// A file given alone is viewed, as the desktop opens it. Nobody can answer a box while a
// picture is taken: what is wrong is said on standard error and the program ends.
TEST_F(WorkstationViewOption, FileAloneIsViewedAndFailuresEndThePicture) {
    Subprocess measure(NEPHODAR_PROGRAM_DIR "/nephodar-cli",
                       {"measure", "--program-dir", temp_.path("program"), "--device", "Sim0",
                        "--samples", "3", "--interval", "0.1", "--save", temp_.path("run.nph")});
    while (!measure.nextLine(20000).empty() || !measure.outputEnded()) {
    }
    ASSERT_EQ(measure.wait(20000), 0) << measure.errorOutput();
    std::filesystem::remove(temp_.path("run.log"));

    const std::string picture = temp_.path("run.png");
    Subprocess viewed(
        NEPHODAR_PROGRAM_DIR "/Nephodar",
        {"--program-dir", temp_.path("program"), "--screenshot", picture, temp_.path("run.nph")},
        {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(viewed.wait(40000), 0) << viewed.errorOutput();
    EXPECT_FALSE(QImage(QString::fromStdString(picture)).isNull());
    EXPECT_NE(viewed.errorOutput().find("run.log"), std::string::npos) << viewed.errorOutput();

    const std::string missing = temp_.path("missing.nph");
    Subprocess failed(NEPHODAR_PROGRAM_DIR "/Nephodar",
                      {"--program-dir", temp_.path("program"), "--view", missing, "--screenshot",
                       temp_.path("missing.png")},
                      {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(failed.wait(40000), 1) << failed.errorOutput();
    EXPECT_NE(failed.errorOutput().find("Unable to open file!\n" + missing + "\n"),
              std::string::npos)
        << failed.errorOutput();
    EXPECT_FALSE(std::filesystem::exists(temp_.path("missing.png")));
}

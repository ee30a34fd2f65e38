// SPDX-License-Identifier: GPL-3.0-or-later
// The program's windows together, as the program makes and wires them.
#include "WindowSet.h"
#include "EngineFakes.h"
#include "LogCapture.h"
#include "ProfileStoreFixture.h"

#include <QLabel>
#include <QStatusBar>

namespace {

struct WindowSetTest : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        copyProgramFolders({"Objects", "buttons", "Templates"});
        openDefault();
        engine = std::make_unique<MeasurementEngine>(program(), clock, tones, prompts);
        windows = std::make_unique<WindowSet>(*engine, prompts, tones, program(), QStringList{});
    }
    void TearDown() override {
        windows.reset();
        engine.reset();
        ProfileStoreFixture::TearDown();
    }
    QString program() const { return QString::fromStdString(temp_.path("program")); }
    QLabel* statusLine() {
        return windows->mainWindow().statusBar()->findChild<QLabel*>("DeviceStatus");
    }

    LogCapture log;
    FakeClock clock;
    RecordingTones tones;
    ScriptedPrompts prompts;
    std::unique_ptr<MeasurementEngine> engine;
    std::unique_ptr<WindowSet> windows;
};

} // namespace

// The photometer's trouble and return: the port-error window tells it whole, the status line
// its first sentence; neither waits for the user.
TEST_F(WindowSetTest, DeviceTroubleInThePortErrorWindowAndTheStatusLine) {
    const QString trouble = "The photometer on Com3 does not answer (since 10:00:00). Sampling "
                            "goes on; samples taken meanwhile are not stored.";
    const QString back = "The photometer on Com3 answers again (since 10:05:00).";
    TPortErrorForm& portError = windows->portError();
    ASSERT_NE(statusLine(), nullptr);

    windows->showDeviceNotice(trouble, true);
    EXPECT_TRUE(portError.isVisible());
    EXPECT_EQ(portError.notice(), trouble);
    EXPECT_EQ(statusLine()->text(), "The photometer on Com3 does not answer (since 10:00:00).");

    windows->showDeviceNotice(back, false);
    EXPECT_EQ(portError.notice(), trouble + "\n\n" + back) << "what happened stays to be read";
    EXPECT_EQ(statusLine()->text(), back);

    portError.close();
    windows->showDeviceNotice(back, false);
    EXPECT_FALSE(portError.isVisible()) << "a return alone brings no window up";
}

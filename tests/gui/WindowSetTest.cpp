// SPDX-License-Identifier: GPL-3.0-or-later
// The program's windows together, as the program makes and wires them.
#include "WindowSet.h"
#include "AccessibleNames.h"
#include "EngineFakes.h"
#include "LogCapture.h"
#include "ProfileStoreFixture.h"
#include "ui_TWorkForm.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

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

// Auto-save is switched on the Saving tab, which the user sees; the settings dialog, which
// stores the switch as it loaded it, keeps the new state when confirmed afterwards.
TEST_F(WindowSetTest, AutoSaveIsSwitchedOnTheSavingTab) {
    auto& ui = windows->mainWindow().form();
    ASSERT_EQ(ui.CheckBox_AutoS->parentWidget(), ui.TabSheet_Saving);
    EXPECT_TRUE(
        ui.PageControl_Options->isTabVisible(ui.PageControl_Options->indexOf(ui.TabSheet_Saving)));
    auto* settings = windows->mainWindow().findChild<QAction*>("Settings1");
    ASSERT_NE(settings, nullptr);
    settings->trigger(); // loads "AutoSave" = 0
    ui.CheckBox_AutoS->click();
    EXPECT_EQ(IniFile::getIniFile().readInteger("Options", "AutoSave", 0), 1);
    QWidget* dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == "Settings" && w->isVisible())
            dialog = w;
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QToolButton*>("SpeedButton1")->click();
    EXPECT_EQ(IniFile::getIniFile().readInteger("Options", "AutoSave", 0), 1);
}

// Every window of the program names its controls to a screen reader.
TEST_F(WindowSetTest, EveryWindowNamesItsControls) {
    int windowsSeen = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == &windows->mainWindow() || !window->isWindow() ||
            window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip)
            continue;
        const bool wasVisible = window->isVisible();
        window->show();
        ++windowsSeen;
        EXPECT_EQ(unnamedControls(QAccessible::queryAccessibleInterface(window)), QStringList())
            << window->objectName().toStdString();
        if (!wasVisible)
            window->hide();
    }
    EXPECT_GE(windowsSeen, 8);
}

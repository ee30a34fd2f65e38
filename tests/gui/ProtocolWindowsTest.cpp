// SPDX-License-Identifier: GPL-3.0-or-later
#include "../workstation/EngineFixture.h"
#include "ErrorOf.h"
#include "TInfoForm.h"
#include "TInfoForm2.h"
#include "TPortErrorForm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

template <typename T> T& control(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("no control ") + name);
    return *found;
}

class ProtocolWindows : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"),
                                 "Laboratory:\r\nOperator:\r\n");
        TempDirectory::writeFile(temp_.path("program/Templates/Growth.txt"), "Strain:\nMedium:\n");
    }
    QString path(const std::string& relative) const {
        return QString::fromStdString(temp_.path(relative));
    }
    static QString memoText(QWidget& window) {
        return control<QPlainTextEdit>(window, "InfoMemo").toPlainText();
    }
    static QString templateField(QWidget& window) {
        return control<QLineEdit>(window, "Edit1").text();
    }
    static void press(QWidget& window, const char* button) {
        control<QPushButton>(window, button).click();
    }
};

} // namespace

TEST_F(ProtocolWindows, CreatedWithTheStandardTemplateFromAnyCurrentDirectory) {
    const auto before = std::filesystem::current_path();
    std::filesystem::create_directories(temp_.path("elsewhere"));
    std::filesystem::current_path(temp_.path("elsewhere"));
    TInfoForm protocolWindow(*engine_, program(), prompts_);
    TInfoForm2 channelB(*engine_, program(), prompts_);
    std::filesystem::current_path(before);

    EXPECT_EQ(protocolWindow.windowTitle(), "Protocol + Log");
    EXPECT_EQ(channelB.windowTitle(), "Protocol + Log Channel B");
    for (QWidget* window :
         {static_cast<QWidget*>(&protocolWindow), static_cast<QWidget*>(&channelB)}) {
        EXPECT_EQ(memoText(*window), "Laboratory:\nOperator:");
        EXPECT_EQ(templateField(*window), path("program/Templates/Template.txt"));
    }
    EXPECT_EQ(engine_->statement().lines, (QStringList{"Laboratory:", "Operator:"}));
    EXPECT_TRUE(control<QTextEdit>(protocolWindow, "RichEdit1").toPlainText().isEmpty());
    EXPECT_TRUE(control<QTextEdit>(protocolWindow, "RichEdit1").isReadOnly());
    EXPECT_FALSE(control<QCheckBox>(protocolWindow, "CheckBox1").isChecked());
    EXPECT_TRUE(prompts_.messages.isEmpty());
}

TEST_F(ProtocolWindows, MissingStandardTemplateFailsTheCreationWithItsPath) {
    std::filesystem::remove(temp_.path("program/Templates/Template.txt"));
    const std::string expected =
        "Can't load the template '" + temp_.path("program/Templates/Template.txt") + "'.";
    EXPECT_EQ(errorOf([&] { TInfoForm window(*engine_, program(), prompts_); }), expected);
    EXPECT_EQ(errorOf([&] { TInfoForm2 window(*engine_, program(), prompts_); }), expected);
}

TEST_F(ProtocolWindows, LoadTemplate) {
    TInfoForm window(*engine_, program(), prompts_);

    press(window, "SpeedButton1"); // cancelled
    ASSERT_EQ(prompts_.openDialogs.size(), 1);
    EXPECT_TRUE(
        prompts_.openDialogs[0].startsWith("Load Template|" + path("program/Templates") + "|"));
    EXPECT_EQ(templateField(window), path("program/Templates")) << "the directory, not the file";
    EXPECT_EQ(memoText(window), "Laboratory:\nOperator:");

    prompts_.chosenOpenFile = path("program/Templates/Growth.txt");
    press(window, "SpeedButton1");
    EXPECT_EQ(memoText(window), "Strain:\nMedium:");
    EXPECT_EQ(templateField(window), path("program/Templates/Growth.txt"));
    EXPECT_EQ(engine_->statement().lines, (QStringList{"Strain:", "Medium:"}));

    prompts_.chosenOpenFile = path("program/Templates/Gone.txt");
    press(window, "SpeedButton1");
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_TRUE(prompts_.messages[0].contains("Gone.txt")) << prompts_.messages[0].toStdString();
    EXPECT_EQ(memoText(window), "Strain:\nMedium:") << "the memo keeps its content";
    EXPECT_EQ(engine_->statement().lines, (QStringList{"Strain:", "Medium:"}));
}

TEST_F(ProtocolWindows, SaveAsTemplateWritesTheMemoWithCrLf) {
    TInfoForm window(*engine_, program(), prompts_);
    control<QPlainTextEdit>(window, "InfoMemo").setPlainText("Strain: K12\n\nRemarks: fine");
    EXPECT_EQ(engine_->statement().lines, (QStringList{"Strain: K12", "", "Remarks: fine"}))
        << "edits go into the measurement's statement";

    press(window, "SpeedButton2"); // cancelled: nothing written
    ASSERT_EQ(prompts_.saveDialogs.size(), 1);
    EXPECT_EQ(prompts_.saveDialogs[0], "Save as Template|" + path("program/Templates") + "|");

    prompts_.chosenFile = path("program/Templates/Mine.txt");
    press(window, "SpeedButton2");
    EXPECT_EQ(TempDirectory::readFile(temp_.path("program/Templates/Mine.txt")),
              "Strain: K12\r\n\r\nRemarks: fine\r\n");
    EXPECT_EQ(templateField(window), path("program/Templates/Template.txt")) << "not changed";

    prompts_.chosenFile = path("program/no such directory/Mine.txt");
    press(window, "SpeedButton2");
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_TRUE(prompts_.messages[0].startsWith("Can't write the file"));
    EXPECT_EQ(memoText(window), "Strain: K12\n\nRemarks: fine");
}

TEST_F(ProtocolWindows, FollowTheMeasurement) {
    TInfoForm window(*engine_, program(), prompts_);
    TInfoForm2 channelB(*engine_, program(), prompts_);
    auto& display = control<QTextEdit>(window, "RichEdit1");

    window.showProtocol();
    EXPECT_TRUE(window.isVisible());
    control<QPlainTextEdit>(window, "InfoMemo").setPlainText("edited");
    press(window, "SpeedButton4");
    EXPECT_FALSE(window.isVisible());
    window.showProtocol();
    EXPECT_EQ(memoText(window), "edited") << "closing only hides";

    prompts_.chosenOpenFile = path("program/Templates/Growth.txt");
    press(channelB, "SpeedButton1");
    EXPECT_EQ(memoText(channelB), "Strain:\nMedium:");
    EXPECT_EQ(engine_->statement().lines, QStringList{"edited"}) << "channel B has its own memo";
    channelB.protocol().addPlain("OD Error at ", 0);
    channelB.refreshProtocol();

    ASSERT_TRUE(engine_->start());
    EXPECT_TRUE(display.toPlainText().contains("8.12.2007 09:05  started measurement"));
    EXPECT_EQ(memoText(window), "Laboratory:\nOperator:\nUsing no OD-formula: CalcOD = OD");
    EXPECT_EQ(templateField(window), path("program/Templates/Template.txt"));
    EXPECT_EQ(memoText(channelB), "Laboratory:\nOperator:");
    EXPECT_EQ(templateField(channelB), path("program/Templates/Template.txt"));
    EXPECT_TRUE(control<QTextEdit>(channelB, "RichEdit6").toPlainText().isEmpty());
    EXPECT_TRUE(channelB.protocol().getText().isEmpty());

    engine_->setAlarmSwitch(true);
    EXPECT_TRUE(display.toPlainText().startsWith("Turn On OD Alarm at "));

    control<QCheckBox>(window, "CheckBox1").setChecked(true);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.isVisible());
    control<QCheckBox>(window, "CheckBox1").setChecked(false);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(PortErrorWindow, ItsButtonClosesIt) {
    TPortErrorForm window;
    EXPECT_EQ(window.windowTitle(), "Port Error");
    window.show();
    control<QPushButton>(window, "SpeedButton1").click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(control<QPushButton>(window, "SpeedButton1").text(), "Port Error");
}

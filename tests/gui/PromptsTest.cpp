// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopOpener.h"
#include "ProfileStoreFixture.h"
#include "QtTonePlayer.h"
#include "QtUserPrompts.h"
#include "TOptionsForm.h"
#include "TformProfileManager.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
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

// Enter answers No where Yes loses something, Yes elsewhere, and the texts stay as given.
TEST(QtUserPrompts, EnterAnswersNoWhereYesLosesSomething) {
    QtUserPrompts prompts;
    struct Case {
        std::function<bool()> ask;
        bool enterSaysYes;
    };
    const Case cases[] = {
        {[&] { return prompts.askYesNo("Close Program?"); }, true},
        {[&] { return prompts.askWarningYesNo("Go on?"); }, true},
        {[&] { return prompts.askYesNoDefaultNo("Delete it?"); }, false},
        {[&] { return prompts.askWarningYesNoDefaultNo("Not Saved!\nReally Close?"); }, false},
    };
    for (const Case& c : cases) {
        QString shown;
        QTimer::singleShot(0, [&shown] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            shown = box->text();
            QTest::keyClick(box, Qt::Key_Return);
        });
        const bool answer = c.ask();
        EXPECT_FALSE(shown.isEmpty()) << "a box was shown";
        EXPECT_EQ(answer, c.enterSaysYes) << shown.toStdString();
    }
}

// The photometer's trouble never waits for an OK: said through the notice when one is set,
// otherwise in a box that does not hold the caller.
TEST(QtUserPrompts, DeviceTroubleHoldsNothing) {
    QtUserPrompts prompts;
    bool held = false;
    QTimer release; // a box that holds the caller is closed, and that is a failure
    release.setSingleShot(true);
    QObject::connect(&release, &QTimer::timeout, [&held] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            held = true;
            modal->close();
        }
    });
    release.start(1000);
    prompts.showDeviceTrouble("The photometer does not answer.");
    release.stop();
    EXPECT_FALSE(held);
    QMessageBox* shown = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            shown = box;
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(), "The photometer does not answer.");
    shown->close();

    QStringList said;
    prompts.setDeviceNotice([&said](const QString& text, bool trouble) {
        said << (trouble ? "trouble: " : "back: ") + text;
    });
    prompts.showDeviceTrouble("gone");
    prompts.showDeviceBack("here");
    EXPECT_EQ(said, (QStringList{"trouble: gone", "back: here"}));
}

namespace {

struct BoxOwner : ProfileStoreFixture {};

// Once the next box is up: which window it was shown over; it is cancelled at once.
void catchNextBox(QWidget*& owner) {
    QTimer::singleShot(0, [&owner] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            owner = box->parentWidget();
            box->reject();
        }
    });
}

} // namespace

// A box belongs to the window the user works in, so that it does not bring the main window up
// over that window; with none active, to the main window.
TEST_F(BoxOwner, ABoxBelongsToTheWindowTheUserWorksIn) {
    openDefault();
    QWidget main;
    QtUserPrompts prompts(&main);

    TOptionsForm settings(prompts);
    settings.show();
    settings.activateWindow();
    QCoreApplication::processEvents();
    QWidget* owner = nullptr;
    catchNextBox(owner);
    settings.findChild<QToolButton*>("SpeedButton1")->click(); // the first confirmation thanks
    EXPECT_EQ(owner, &settings);

    TformProfileManager manager(prompts);
    owner = nullptr;
    QTimer::singleShot(0, [&] {
        catchNextBox(owner);
        manager.findChild<QPushButton*>("btnNew")->click(); // asks for the name
        manager.reject();
    });
    manager.chooseProfile();
    EXPECT_EQ(owner, &manager);

    settings.hide();
    QCoreApplication::processEvents();
    owner = nullptr;
    catchNextBox(owner);
    prompts.showMessage("Autosave failed");
    EXPECT_EQ(owner, &main);
}

// A workbook the desktop's opener could not give to any program is said once the opener ends;
// an opener that cannot start at all is said at once.
TEST(DesktopOpener, SaysWhenNoProgramTookTheFile) {
    DesktopOpener failing(QStringLiteral("false")), working(QStringLiteral("true")),
        missing(QStringLiteral("/nonexistent/opener"));
    int failures = 0;
    const auto failed = [&failures] { ++failures; };
    ASSERT_TRUE(working.open("run.xlsx", failed));
    ASSERT_TRUE(failing.open("run.xlsx", failed));
    const QDeadlineTimer deadline(5000);
    while (failures == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    EXPECT_EQ(failures, 1);
    EXPECT_FALSE(missing.open("run.xlsx", failed));
}

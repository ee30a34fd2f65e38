// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessibleNames.h"
#include "EngineFakes.h"
#include "FakeSleeper.h"
#include "LiveChart.h"
#include "LogCapture.h"
#include "ProfileStoreFixture.h"
#include "TOptionsForm.h"
#include "TStart.h"
#include "TWorkForm.h"
#include "com/ODSourceSimulated.h"
#include "lumo/Version.h"
#include "ui_TWorkForm.h"

#include <QAccessible>
#include <QAction>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>
#include <sys/stat.h>

namespace {

// The main window over a program directory of its own (with the real pictures), a fresh
// profile store and scripted prompts; no profile is open until the start-up opens one.
struct WorkFormTest : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        const QString source = NEPHODAR_PROGRAM_DIR;
        for (const char* sub : {"Objects", "buttons"})
            std::filesystem::copy((source + "/" + sub).toStdString(),
                                  temp_.path(std::string("program/") + sub));
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
        engine = std::make_unique<MeasurementEngine>(program(), clock, tones, prompts);
        window = std::make_unique<TWorkForm>(*engine, prompts, program(), QStringList{});
        splash = std::make_unique<TStart>(program());
        TWorkForm::Collaborators others;
        others.splash = splash.get();
        others.chooseProfile = [this]() -> std::optional<QString> {
            ++profileManagerShown;
            return chosenProfile;
        };
        window->setCollaborators(others);
    }
    void TearDown() override {
        window.reset();
        splash.reset();
        engine.reset();
        ProfileStoreFixture::TearDown();
    }
    QString program() const { return QString::fromStdString(temp_.path("program")); }
    Ui::TWorkForm& ui() { return window->form(); }

    LogCapture log;
    FakeClock clock;
    FakeSleeper sleeper;
    RecordingTones tones;
    ScriptedPrompts prompts;
    std::unique_ptr<MeasurementEngine> engine;
    std::unique_ptr<TWorkForm> window;
    std::unique_ptr<TStart> splash;
    int profileManagerShown = 0;
    std::optional<QString> chosenProfile;
};

struct ProgressRecorder : __lumo::EventListenerInterface<__lumo::ProgressInfoType> {
    std::vector<int> steps;
    void eventOccurred(__lumo::ProgressInfoType& info) override { steps.push_back(info.current); }
};

} // namespace

TEST_F(WorkFormTest, StartUpInSeventeenPausedSteps) {
    QProgressBar* bar = splash->findChild<QProgressBar*>("ProgressBar1");
    std::vector<int> seen;
    sleeper.onSleep = [&](unsigned long) { seen.push_back(bar->value()); };
    ASSERT_TRUE(window->initialise(sleeper));
    EXPECT_EQ(sleeper.sleeps, std::vector<unsigned long>(17, 500));
    std::vector<int> expected(17);
    for (int k = 0; k < 17; ++k)
        expected[static_cast<std::size_t>(k)] = k + 1;
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(bar->maximum(), 17);
    EXPECT_FALSE(splash->isVisible()) << "hidden at the end";
    EXPECT_EQ(splash->findChild<QLabel*>("Label3")->text(), "User");
    EXPECT_EQ(splash->findChild<QLabel*>("Label2")->text(), "Nephodar v2.0");
    EXPECT_EQ(window->windowTitle(), "Nephodar v2.0");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(store() + "/Default.ini")));
    EXPECT_EQ(profileManagerShown, 0);
    EXPECT_EQ(ui().ComboBox6->count(), 1);
    EXPECT_EQ(ui().ComboBox6->currentText(), "Sim0");
    EXPECT_FALSE(ui().ComboBox6->isEnabled()) << "one entry: nothing to choose";
    EXPECT_TRUE(ui().Panel_Welcome->isVisibleTo(window.get()));
    EXPECT_FALSE(ui().Panel_Top_Normal->isVisibleTo(window.get()));
    EXPECT_FALSE(ui().Measurement2->isEnabled());
    EXPECT_EQ(ui().Label5->text(), "Not connected");
    EXPECT_EQ(ui().Label59->text(), "30 Sec");
    EXPECT_EQ(ui().ComboBox5->currentText(), "30 Sec");
    EXPECT_EQ(ui().ComboBox3->currentText(), "  >");
    EXPECT_TRUE(ui().GroupBox_Chart->isVisibleTo(window.get()));
    EXPECT_FALSE(ui().GroupBox_Options->isVisibleTo(window.get()));
}

// The window stands behind the splash during the start-up: in its start state from the first
// moment, and taking no input until the start-up is done.
TEST_F(WorkFormTest, TheWindowBehindTheSplashIsInItsStartState) {
    int seen = 0;
    const auto startState = [&] {
        ++seen;
        EXPECT_FALSE(ui().Measurement2->isEnabled());
        EXPECT_EQ(ui().ComboBox6->currentText(), "Sim0");
        EXPECT_FALSE(ui().SpeedButton4->isVisibleTo(window.get())) << "no timer to stop";
        EXPECT_EQ(ui().ComboBox3->currentText(), "  >");
        EXPECT_TRUE(ui().GroupBox_Chart->isVisibleTo(window.get()));
        EXPECT_FALSE(ui().ODButton->isEnabled());
    };
    startState();
    sleeper.onSleep = [&](unsigned long) {
        startState();
        EXPECT_FALSE(ui().SpeedButton22->isEnabled()) << "Connect waits for the profile";
        EXPECT_FALSE(window->menuBar()->isEnabled());
    };
    ASSERT_TRUE(window->initialise(sleeper));
    EXPECT_EQ(seen, 18);
    EXPECT_TRUE(ui().SpeedButton22->isEnabled());
    EXPECT_TRUE(window->menuBar()->isEnabled());
}

TEST_F(WorkFormTest, ProfileManagerIsTheFallbackAndAFailureEndsTheStart) {
    // A "Default" that cannot be opened: its store path is a file.
    std::filesystem::create_directories(store());
    std::filesystem::create_directories(store() + "/Default.ini");
    chosenProfile = QString("Lab");
    ASSERT_TRUE(window->initialise(sleeper));
    EXPECT_EQ(profileManagerShown, 1);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(store() + "/Lab.ini")));

    chosenProfile = std::nullopt;
    TWorkForm second(*engine, prompts, program(), QStringList{});
    TWorkForm::Collaborators others;
    others.chooseProfile = [] { return std::optional<QString>(); };
    second.setCollaborators(others);
    EXPECT_FALSE(second.initialise(sleeper));
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().startsWith("Error while open profile ''.\n"));
    EXPECT_EQ(prompts.errors, QStringList{prompts.messages.last()}) << "with the error icon";
}

TEST_F(WorkFormTest, DeviceListTakesThePortsAndTheCommandLine) {
    openDefault();
    IniFile::getIniFile().writeString("Ports", "Com3", "/dev/ttyUSB0");
    IniFile::getIniFile().writeString("Options", "ComPort", "Com3");
    TWorkForm other(*engine, prompts, program(), QStringList{"Sim1", "Com3"});
    ASSERT_TRUE(other.initialise(sleeper));
    QStringList entries;
    for (int i = 0; i < other.form().ComboBox6->count(); ++i)
        entries << other.form().ComboBox6->itemText(i);
    EXPECT_EQ(entries, (QStringList{"Sim0", "Com3", "Sim1"}));
    EXPECT_TRUE(other.form().ComboBox6->isEnabled());
    EXPECT_EQ(other.form().ComboBox6->currentText(), "Com3") << "the profile's port is chosen";
}

TEST_F(WorkFormTest, ConnectingAndAShortMeasurementThroughTheControls) {
    ASSERT_TRUE(window->initialise(sleeper));
    ui().SpeedButton22->click();
    EXPECT_FALSE(ui().Panel_Welcome->isVisibleTo(window.get()));
    EXPECT_TRUE(ui().Panel_Top_Normal->isVisibleTo(window.get()));
    EXPECT_FALSE(ui().Connect1->isEnabled());
    EXPECT_TRUE(ui().Measurement2->isEnabled());
    EXPECT_TRUE(ui().ODButton->isEnabled());
    EXPECT_EQ(ui().Label5->text(), "System Ready");

    const auto row = [this] {
        std::string r;
        r += ui().StartButton->isEnabled() ? "S" : "s";
        r += ui().Start2->isEnabled() ? "S" : "s";
        r += ui().StopButton->isEnabled() ? "P" : "p";
        r += ui().ContinueButton->isVisibleTo(window.get()) ? "C" : "-";
        r += ui().EndButton->isEnabled() ? "E" : "e";
        r += ui().Now1->isEnabled() ? "N" : "n";
        return r + " " + ui().Label28->text().toStdString();
    };
    EXPECT_EQ(row(), "SSp-en ");

    ui().ComboBox5->setCurrentText("1 Sec");
    ui().Edit1->setText("Strain A");
    ui().StartButton->click();
    EXPECT_EQ(row(), "ssP-EN running");
    EXPECT_EQ(ui().Label14->text(), "09:05:03");
    EXPECT_FALSE(ui().Edit9->isEnabled()) << "the formula is frozen";

    TickDriver driver(*engine, clock);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(driver.untilNextSample());
    EXPECT_EQ(window->chart().pointCount(), 3);
    EXPECT_FALSE(ui().Label32->text().isEmpty());
    EXPECT_EQ(engine->table().allRows()[2].title, "Strain A");

    ui().Pause2->trigger();
    EXPECT_EQ(row(), "sspCEn paused");
    EXPECT_FALSE(ui().StartButton->isVisibleTo(window.get()));
    ui().ContinueButton->click();
    EXPECT_EQ(row(), "ssP-EN running");
    prompts.answerYes = false;
    ASSERT_FALSE(ui().Label45->text().isEmpty());
    ui().Stop2->trigger();
    EXPECT_EQ(row(), "SSp-en stopped");
    EXPECT_TRUE(ui().Label45->text().isEmpty()) << "no countdown left";
    EXPECT_EQ(prompts.questions, QStringList{"Save Chart?"});
    EXPECT_TRUE(ui().Edit9->isEnabled());
}

// The caption and the "Saving" tab name the set at once, whether Save As came from the menu or
// from End's question.
TEST_F(WorkFormTest, SaveAsShowsTheNewNamesAtOnce) {
    ASSERT_TRUE(window->initialise(sleeper));
    ui().SpeedButton22->click();
    TickDriver driver(*engine, clock);
    prompts.answerYes = true;
    for (const char* name : {"first", "second"}) {
        SCOPED_TRACE(name);
        ui().StartButton->click();
        ASSERT_TRUE(driver.untilNextSample());
        const QString base = QString::fromStdString(temp_.path(name));
        prompts.chosenFile = base + ".nph";
        if (QString(name) == "first")
            ui().SaveAs->trigger();
        ui().EndButton->click(); // the second run is saved through "Save Chart?"
        EXPECT_TRUE(window->windowTitle().endsWith("  " + base + ".nph"))
            << window->windowTitle().toStdString();
        EXPECT_EQ(ui().Edit4->text(), base + ".nph");
        EXPECT_EQ(ui().Edit2->text(), base + ".log");
        EXPECT_EQ(ui().Edit13->text(), base + ".txt");
    }
    EXPECT_EQ(prompts.saveDialogs.size(), 2);
}

// Each time the title field is left its entry is written, changed or not.
TEST_F(WorkFormTest, LeavingTheTitleFieldIsProtocolledEveryTime) {
    ASSERT_TRUE(window->initialise(sleeper));
    ui().Edit1->setText("Strain A");
    for (int i = 0; i < 2; ++i) {
        QFocusEvent left(QEvent::FocusOut);
        QCoreApplication::sendEvent(ui().Edit1, &left);
    }
    EXPECT_EQ(engine->protocol().getText().count("title changed to: Strain A"), 2);
}

// The threshold is read as the field shows it: unfilled places are blanks that become 0.
TEST_F(WorkFormTest, AlarmThresholdWithUnfilledPlaces) {
    ASSERT_TRUE(window->initialise(sleeper));
    QLineEdit* field = ui().MaskEdit3;
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    field->setCursorPosition(0);
    QTest::keyClicks(field, "1");
    field->setCursorPosition(3);
    QTest::keyClicks(field, "5");
    ASSERT_EQ(field->displayText(), "1. 5 ");
    QFocusEvent left(QEvent::FocusOut);
    QCoreApplication::sendEvent(field, &left);
    engine->countdownTick();
    EXPECT_EQ(engine->alarm().thresholdText, "1.050");
    EXPECT_EQ(field->displayText(), "1.050");
}

// However narrow the window, the alarm threshold shows all of its text.
TEST_F(WorkFormTest, TheThresholdStaysReadableInTheSmallestWindow) {
    window->resize(1, 1); // as small as its layout lets it be
    window->show();
    QCoreApplication::processEvents();
    const QLineEdit* field = ui().MaskEdit3;
    const int room = field->contentsRect().width() - field->textMargins().left() -
                     field->textMargins().right() - 4; // the edit's own margin on each side
    EXPECT_GE(room, field->fontMetrics().horizontalAdvance(field->displayText()));
}

// The countdown ticks on while the user types a threshold: the field keeps what is typed, the
// alarm keeps its last threshold until the typing ends, and then takes the typed one.
TEST_F(WorkFormTest, ThresholdTypedDuringARunIsTakenAsTyped) {
    ASSERT_TRUE(window->initialise(sleeper));
    ui().SpeedButton22->click();
    ui().StartButton->click();
    TickDriver driver(*engine, clock);
    ASSERT_TRUE(driver.untilNextSample());
    QLineEdit* field = ui().MaskEdit3;
    for (const char* typed : {"1.250", "0.500"}) {
        SCOPED_TRACE(typed);
        const QString before = engine->alarm().thresholdText;
        field->setFocus();
        field->selectAll();
        for (const QChar c : QString(typed)) {
            QTest::keyClick(field, c.toLatin1());
            ASSERT_TRUE(driver.tick());
            EXPECT_EQ(engine->alarm().thresholdText, before) << "not armed at half a number";
        }
        EXPECT_EQ(field->displayText(), typed);
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(engine->alarm().thresholdText, typed);
        ASSERT_TRUE(driver.tick());
        EXPECT_EQ(field->displayText(), typed);
    }
    engine->shutDown();
}

// Settings that cannot be kept at the end are said before the program ends.
TEST_F(WorkFormTest, SettingsThatCannotBeStoredAtTheEndAreSaid) {
    ASSERT_TRUE(window->initialise(sleeper));
    window->show();
    ui().Edit9->setText(QString(3000, '1'));
    prompts.answerYes = true;
    window->close();
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].startsWith("The settings could not be stored in the profile"))
        << prompts.errors[0].toStdString();
}

TEST_F(WorkFormTest, CloseQueryTexts) {
    ASSERT_TRUE(window->initialise(sleeper));
    window->show();
    prompts.answerYes = false;
    window->close();
    EXPECT_EQ(prompts.questions, QStringList{"Close Program?"}) << "nothing measured yet";
    EXPECT_TRUE(window->isVisible());

    ui().SpeedButton22->click();
    ui().StartButton->click();
    TickDriver driver(*engine, clock);
    ASSERT_TRUE(driver.untilNextSample());
    engine->shutDown();
    window->close();
    EXPECT_EQ(prompts.warnings, QStringList{"Not Saved!\nReally Close?"});
    EXPECT_EQ(prompts.defaultNo, prompts.warnings) << "Enter keeps the data";
    EXPECT_TRUE(window->isVisible()) << "No keeps everything";
    EXPECT_EQ(engine->table().rowCount(), 1);

    prompts.answerYes = true;
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(engine->table().rowCount(), 0) << "Yes empties the working table";
}

TEST_F(WorkFormTest, PagesCalibrationAndInformationBoxes) {
    ASSERT_TRUE(window->initialise(sleeper));
    ui().Options1->trigger();
    EXPECT_TRUE(ui().GroupBox_Options->isVisibleTo(window.get()));
    EXPECT_FALSE(ui().GroupBox_Chart->isVisibleTo(window.get()));
    EXPECT_TRUE(ui().OptionsSpeedButton->property("pressed").toBool());
    EXPECT_FALSE(ui().ChartSpeedButton->property("pressed").toBool());

    ui().SpeedButton22->click();
    ui().CalibrationSpeedButton->click();
    EXPECT_EQ(ui().Label24->text(), "Last: 4095 units for OD=0");
    static FakeSleeper calibrationSleeper;
    engine->setSource(std::make_unique<Talvessa::ODSourceSimulated>(calibrationSleeper));
    ui().ODButton->click();
    EXPECT_EQ(ui().CalLabel12->text(), "4095 units");
    EXPECT_EQ(ui().Label8->text(), "0 units");
    EXPECT_EQ(ui().Label5->text(), "System Ready");
    EXPECT_EQ(ui().ProgressBar2->value(), 0);

    ui().About1->trigger();
    ASSERT_EQ(prompts.informations.size(), 1);
    EXPECT_TRUE(prompts.informations[0].startsWith("About...|"));
    EXPECT_TRUE(prompts.informations[0].endsWith(
        QStringLiteral(" Ver. Nephodar v2.0\n\n Registered for \n\n User:  User\n Company:  "
                       "Company\n\n Version ") +
        Talvessa::programVersion));
    EXPECT_EQ(window->programInfoText(), "Program Path: \n" + program() + "/\n AutoSavePath:\n" +
                                             program() + "/AutoSave \nOwnAutoSave: \nNothing");
}

// The profile is edited by hand while the workstation runs: calibrating, confirming the
// settings and the formula stored at the end change their own keys and keep the edits.
TEST_F(WorkFormTest, HandEditsOfTheProfileSurviveCalibrationSettingsAndTheEnd) {
    ASSERT_TRUE(window->initialise(sleeper));
    window->show();
    const std::string path = store() + "/Default.ini";
    const std::string ports = "; the adapters of bench 3\n[Ports]\nCom3=/dev/ttyUSB0\n";
    std::string text = TempDirectory::readFile(path);
    text.replace(text.find("User=User"), 9, "User=Alice");
    TempDirectory::writeFile(path, text + ports);
    chmod(path.c_str(), 0600);

    ui().SpeedButton22->click();
    ui().CalibrationSpeedButton->click();
    static FakeSleeper calibrationSleeper;
    engine->setSource(std::make_unique<Talvessa::ODSourceSimulated>(calibrationSleeper));
    ui().ODButton->click();

    ScriptedPrompts settingsPrompts;
    TOptionsForm settings(settingsPrompts);
    settings.show();
    auto* company = settings.findChild<QLineEdit*>("Edit2");
    ASSERT_NE(company, nullptr);
    company->setText("Lab B");
    settings.findChild<QToolButton*>("SpeedButton1")->click();

    prompts.answerYes = true;
    window->close();
    ASSERT_FALSE(window->isVisible());

    const std::string after = TempDirectory::readFile(path);
    EXPECT_NE(after.find(ports), std::string::npos) << after;
    const IniFile::ProfileFile stored(path);
    EXPECT_EQ(stored.readString("Options", "User", ""), "Alice");
    EXPECT_EQ(stored.readString("Options", "Company", ""), "Lab B");
    EXPECT_EQ(stored.readString("CalibrECH", "ODDark", ""), "0");
    struct stat info {};
    stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// A screen reader names every control of the main window, those without a text of their own
// (the title field, the alarm threshold and its arrows, the device list) included, on the
// welcome panel and on each page once connected.
TEST_F(WorkFormTest, EveryControlHasAnAccessibleName) {
    ASSERT_TRUE(window->initialise(sleeper));
    window->show();
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window.get());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(unnamedControls(root), QStringList());
    ui().SpeedButton22->click();
    for (const auto page : {TWorkForm::Page::Chart, TWorkForm::Page::Calibration,
                            TWorkForm::Page::Options, TWorkForm::Page::Viewer}) {
        window->showPage(page);
        EXPECT_EQ(unnamedControls(root), QStringList()) << static_cast<int>(page);
    }
    const auto name = [](QObject* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(ui().Edit1), "Title");
    EXPECT_EQ(name(ui().UpDown4Up), "Raise the alarm threshold");
    EXPECT_EQ(name(ui().UpDown4Down), "Lower the alarm threshold");
}

// Keyboard use: the focus starts on Connect (the device list offers Sim0 alone) and moves to
// Start once connected; F10 opens the first menu; Save, Save As and Open have their keys and
// every menu and menu command its letter.
TEST_F(WorkFormTest, KeyboardReachesTheMenusAndTheFirstControls) {
    ASSERT_TRUE(window->initialise(sleeper));
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), ui().SpeedButton22);
    QTest::keyClick(ui().SpeedButton22, Qt::Key_Space);
    ASSERT_TRUE(ui().Panel_Top_Normal->isVisibleTo(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), ui().StartButton);

    EXPECT_EQ(ui().Save->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(ui().SaveAs->shortcut(), QKeySequence("Ctrl+Shift+S"));
    EXPECT_EQ(ui().Open1->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(ui().Print4->shortcuts(),
              (QList<QKeySequence>{QKeySequence("Ctrl+P"), QKeySequence("Ctrl+L")}));
    for (const QAction* top : window->menuBar()->actions()) {
        QStringList letters;
        const auto letterOf = [&letters](const QAction* action) {
            const QString text = action->text();
            const int at = text.indexOf('&');
            EXPECT_TRUE(at >= 0 && at + 1 < text.size()) << text.toStdString();
            if (at >= 0 && at + 1 < text.size())
                letters << text.mid(at + 1, 1).toLower();
        };
        letterOf(top);
        letters.clear();
        for (const QAction* item : top->menu()->actions())
            if (!item->isSeparator() && item->isVisible())
                letterOf(item);
        EXPECT_EQ(letters.removeDuplicates(), 0) << top->text().toStdString();
    }

    QTest::keyClick(window.get(), Qt::Key_F10);
    EXPECT_TRUE(ui().File1->isVisible());
    EXPECT_EQ(window->menuBar()->activeAction(), ui().File1->menuAction());
    QTest::keyClick(ui().File1, Qt::Key_Escape);
}

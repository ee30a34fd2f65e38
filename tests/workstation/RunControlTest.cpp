// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFixture.h"
#include "FakeSleeper.h"
#include "com/ODSourceSimulated.h"
#include "workstation/MeasurementFiles.h"
#include "workstation/RtfText.h"

#include <QDir>

namespace {

using RunControl = EngineFixture;
using State = MeasurementEngine::RunState;

std::string commandRow(const MeasurementEngine& engine) {
    const auto c = engine.commands();
    std::string row;
    row += c.start ? "S" : "s";
    row += c.startVisible ? "" : "(hidden)";
    row += c.pause ? "P" : "p";
    row += c.continueRun ? "C" : "c";
    row += c.continueVisible ? "" : "(hidden)";
    row += c.end ? "E" : "e";
    row += c.now ? "N" : "n";
    return row + " " + engine.statusText().toStdString();
}

} // namespace

TEST_F(RunControl, CommandsInEveryState) {
    MeasurementEngine unconnected(program(), clock_, tones_, prompts_);
    EXPECT_EQ(commandRow(unconnected), "spc(hidden)en ");
    EXPECT_FALSE(unconnected.commands().measurementMenus);
    EXPECT_EQ(unconnected.calibrationStatus(), "Not connected");

    EXPECT_EQ(commandRow(*engine_), "Spc(hidden)en ");
    EXPECT_EQ(engine_->calibrationStatus(), "System Ready");
    engine_->setInterval(2);
    engine_->start();
    EXPECT_EQ(commandRow(*engine_), "sPc(hidden)EN running");
    EXPECT_TRUE(engine_->statusGreen());
    EXPECT_EQ(engine_->calibrationStatus(), "Function not available during measurements!");
    EXPECT_FALSE(engine_->commands().formulaEditable);
    driver_->untilNextSample();
    engine_->pause();
    EXPECT_EQ(commandRow(*engine_), "s(hidden)pCEn paused");
    engine_->continueRun();
    EXPECT_EQ(commandRow(*engine_), "sPc(hidden)EN running");
    engine_->end();
    EXPECT_EQ(commandRow(*engine_), "Spc(hidden)en stopped");
    EXPECT_TRUE(engine_->commands().formulaEditable);
    EXPECT_EQ(engine_->calibrationStatus(), "System Ready");
}

TEST_F(RunControl, StartBeginsAfreshAndProtocolsTheRun) {
    engine_->setInterval(1);
    engine_->start();
    takeSamples(3);
    ASSERT_TRUE(engine_->attachNote("first", 0.0));
    engine_->end();
    EXPECT_EQ(engine_->noteCounter(), 1);

    clock_.advance(60000);
    engine_->start();
    EXPECT_EQ(engine_->table().rowCount(), 0);
    EXPECT_EQ(engine_->sampleNumber(), 0);
    EXPECT_EQ(engine_->noteCounter(), 0);
    EXPECT_EQ(engine_->protocol().getText(), "8.12.2007 09:06  started measurement\n");
    EXPECT_EQ(source_->brightnesses.back(), 0) << "the configured brightness at every Start";
    EXPECT_TRUE(Talvessa::ODSourceSimulated::restartValueList);
    takeSamples(1);
    EXPECT_EQ(storedNumbers(), std::vector<double>{0});
}

TEST_F(RunControl, EndAsksToSaveOnlyWhatIsNotSaved) {
    engine_->setInterval(0.1);
    engine_->start();
    takeSamples(2);
    prompts_.chosenFile = program() + "/runs/first.nph";
    QDir().mkpath(program() + "/runs");
    ASSERT_TRUE(engine_->saveAs());
    engine_->end();
    EXPECT_TRUE(prompts_.questions.isEmpty()) << "saved after its last sample: nothing asked";
    EXPECT_TRUE(engine_->protocol().getText().startsWith("Stoped Process at 00:00:00"));

    engine_->start();
    takeSamples(1);
    prompts_.answerYes = true;
    prompts_.chosenFile = program() + "/runs/second";
    engine_->end();
    EXPECT_EQ(prompts_.questions, QStringList{"Save Chart?"});
    EXPECT_TRUE(QFile::exists(program() + "/runs/second.nph")) << "no name yet: Save As";
}

TEST_F(RunControl, SaveAsWritesTheWholeSet) {
    engine_->setInterval(1);
    engine_->setTitle("Untitled");
    engine_->start();
    takeSamples(2);
    EXPECT_EQ(engine_->defaultSaveAsName(), "Untitled_8_12_2007_09.05.03.nph");

    prompts_.chosenFile = program() + "/run.nph.nph";
    ASSERT_TRUE(engine_->saveAs());
    EXPECT_EQ(
        prompts_.saveDialogs,
        QStringList{"Save Brevimo Database Channel A|C:Test|Untitled_8_12_2007_09.05.03.nph"});
    const QString base = program() + "/run";
    EXPECT_EQ(engine_->getCurrentFileName(), base + ".nph");
    EXPECT_EQ(engine_->windowCaption(), "Nephodar v2.0  " + base + ".nph");
    EXPECT_EQ(engine_->savedTxtPath(), base + ".txt");
    EXPECT_EQ(engine_->saveReport(), "Database Saved manually");
    EXPECT_EQ(RecordTable::openFile(base + ".nph", true)->rowCount(), 2);
    EXPECT_EQ(TempDirectory::readFile((base + ".txt").toStdString()),
              "Lab:\r\nUsing no OD-formula: CalcOD = OD\r\n");
    EXPECT_FALSE(QFile::exists(base + ".dat"));

    // The saved protocol holds what happened up to the save, not just up to the last sample.
    engine_->changeTitle("Renamed");
    engine_->save();
    const QString savedLog = RtfText::read(
        QByteArray::fromStdString(TempDirectory::readFile((base + ".log").toStdString())));
    EXPECT_TRUE(savedLog.contains("title changed to: Renamed"));
    EXPECT_TRUE(engine_->protocol().getText().startsWith("Saved Channel A at "));
    EXPECT_FALSE(savedLog.contains("Saved Channel A at "));

    prompts_.chosenFile.clear();
    EXPECT_FALSE(engine_->saveAs()) << "cancelled";
}

TEST_F(RunControl, FailedSaveIsReportedAndNotTakenForSaved) {
    engine_->setInterval(1);
    engine_->start();
    takeSamples(1);
    TempDirectory::writeFile(temp_.path("program/blocker"), "a file, not a directory");
    prompts_.chosenFile = program() + "/blocker/run.nph";
    EXPECT_FALSE(engine_->saveAs());
    EXPECT_TRUE(engine_->saveReport().startsWith("Database Saved manually - not written: "));
    EXPECT_FALSE(engine_->isSaved());
    EXPECT_EQ(prompts_.messages.size(), 1);
    EXPECT_TRUE(log_.text().find("save: ") != std::string::npos);
    // Nothing was saved, so nothing says so, and there is no name to Save under again.
    EXPECT_FALSE(engine_->protocol().getText().contains("Saved at "));
    EXPECT_FALSE(engine_->commands().save);
    EXPECT_TRUE(engine_->getCurrentFileName().isEmpty());
    EXPECT_TRUE(engine_->savedNphPath().isEmpty());

    // A Save onto a set that can no longer be written adds no "Saved Channel A at " either.
    prompts_.chosenFile = program() + "/out/run.nph";
    ASSERT_TRUE(engine_->saveAs());
    EXPECT_TRUE(engine_->commands().save);
    QFile::remove(program() + "/out/run.nph");
    QDir(program() + "/out").removeRecursively();
    TempDirectory::writeFile(temp_.path("program/out"), "now a file");
    EXPECT_FALSE(engine_->save());
    EXPECT_EQ(engine_->protocol().getText().count("Saved at "), 1);
    EXPECT_FALSE(engine_->protocol().getText().contains("Saved Channel A at "));
}

// A failing auto-save is said once per failing period, in a message and in the protocol; the
// measurement goes on, and the return of auto-saving is protocolled too.
TEST_F(RunControl, FailingAutoSaveIsSaidOncePerPeriod) {
    IniFile::getIniFile().writeInteger("Options", "AutoSave", 1);
    IniFile::getIniFile().writeInteger("Options", "OwnAutoDir", 1);
    IniFile::getIniFile().writeString("Options", "Dir", temp_.path("auto"));
    TempDirectory::writeFile(temp_.path("auto"), "a file where the directory should be");
    engine_->setInterval(1);
    engine_->start();
    takeSamples(3);
    EXPECT_EQ(engine_->runState(), State::Running);
    EXPECT_EQ(engine_->sampleNumber(), 3);
    ASSERT_EQ(prompts_.messages.size(), 1) << "once, not on each of the three samples";
    EXPECT_TRUE(prompts_.messages[0].startsWith("Autosave failed: ") &&
                prompts_.messages[0].contains(QString::fromStdString(temp_.path("auto"))))
        << prompts_.messages[0].toStdString();
    EXPECT_EQ(engine_->protocol().getText().count("Autosave failed at "), 1);
    EXPECT_EQ(engine_->autoSaveFailureCount(), 3);

    std::filesystem::remove(temp_.path("auto"));
    takeSamples(1);
    EXPECT_FALSE(engine_->autoSaveFailingNow());
    EXPECT_EQ(RecordTable::openFile(QString::fromStdString(temp_.path("auto/8.12. 9 5.nph")), true)
                  ->rowCount(),
              4);
    EXPECT_TRUE(engine_->protocol().getText().contains("Autosave written again at "));

    TempDirectory::writeFile(temp_.path("auto/8.12. 9 5.nph.part/x"), "blocks the staged copy");
    takeSamples(2);
    EXPECT_EQ(prompts_.messages.size(), 2) << "a new failing period is said again";
    EXPECT_EQ(engine_->protocol().getText().count("Autosave failed at "), 2);
}

TEST_F(RunControl, AutoSaveIntoItsDirectoryAfterEverySample) {
    IniFile::getIniFile().writeInteger("Options", "AutoSave", 1);
    engine_->setInterval(0.1);
    engine_->start();
    takeSamples(2);
    const QString base = program() + "/AutoSave/8.12. 9 5";
    EXPECT_EQ(RecordTable::openFile(base + ".nph", true)->rowCount(), 2);
    EXPECT_TRUE(QFile::exists(base + ".log"));
    EXPECT_TRUE(QFile::exists(base + ".txt"));
    EXPECT_EQ(engine_->saveReport(), "Autosave    8.12. 9 5.*     at   00:00:00");
    EXPECT_FALSE(engine_->isSaved()) << "auto-save does not count as saved";

    IniFile::getIniFile().writeInteger("Options", "OwnAutoDir", 1);
    IniFile::getIniFile().writeString("Options", "Dir", temp_.path("own.nph/auto"));
    takeSamples(1);
    EXPECT_EQ(RecordTable::openFile(
                  QString::fromStdString(temp_.path("own.nph/auto/8.12. 9 5.nph")), true)
                  ->rowCount(),
              3)
        << "a folder whose name holds .nph keeps it";
}

TEST(FileSetNames, OnlyTheFileNameLosesItsNph) {
    const struct {
        const char *chosen, *nph, *log, *txt;
    } cases[] = {
        {"/d/run.nph.nph", "/d/run.nph", "/d/run.log", "/d/run.txt"},
        {"/d/runs.nph/run", "/d/runs.nph/run.nph", "/d/runs.nph/run.log", "/d/runs.nph/run.txt"},
        {"/a.nph/b.nph/8.12. 9 5", "/a.nph/b.nph/8.12. 9 5.nph", "/a.nph/b.nph/8.12. 9 5.log",
         "/a.nph/b.nph/8.12. 9 5.txt"},
        {"run", "run.nph", "run.log", "run.txt"},
    };
    for (const auto& c : cases) {
        const FileSet set = FileSet::fromChosenName(c.chosen);
        EXPECT_EQ(set.nph, c.nph);
        EXPECT_EQ(set.log, c.log);
        EXPECT_EQ(set.txt, c.txt);
    }
}

TEST_F(RunControl, CalibrationStoresTheValues) {
    struct : __lumo::EventListenerInterface<__lumo::ProgressInfoType> {
        void eventOccurred(__lumo::ProgressInfoType&) override {}
    } listener;
    const auto outcome = engine_->calibrate(&listener);
    EXPECT_EQ(outcome.newReferenceText, "3456 units");
    EXPECT_EQ(outcome.newDarkText, "12 units");
    EXPECT_EQ(IniFile::getIniFile().readInteger("CalibrECH", "OD1", 0), 3456);
    EXPECT_EQ(IniFile::getIniFile().readInteger("CalibrECH", "ODDark", 0), 12);
    EXPECT_EQ(Calibration::lastReferenceText(), "Last: 3456 units for OD=0");
    EXPECT_EQ(Calibration::lastDarkText(), "Last: 12 units for OD=maximum");
    EXPECT_EQ(engine_->calibrationStatus(), "System Ready");

    engine_->start();
    EXPECT_THROW(engine_->calibrate(&listener), std::runtime_error) << "not during a measurement";
}

TEST_F(RunControl, CalibrationWithTheSimulatedSource) {
    static FakeSleeper sleeper; // outlives the engine's source
    engine_->setSource(std::make_unique<Talvessa::ODSourceSimulated>(sleeper));
    const auto outcome = engine_->calibrate(nullptr);
    EXPECT_EQ(outcome.newReferenceText, "4095 units");
    EXPECT_EQ(outcome.newDarkText, "0 units");
    EXPECT_EQ(IniFile::getIniFile().readString("CalibrECH", "OD1", ""), "4095");
    EXPECT_EQ(IniFile::getIniFile().readString("CalibrECH", "ODDark", ""), "0");
    EXPECT_EQ(sleeper.sleeps.size(), 16u);

    TempDirectory::writeFile(store() + "/Bare.ini", "[Generell]\nlocked=0\n");
    IniFile::openProfile("Bare", "Nephodar", "Talvessa");
    EXPECT_EQ(Calibration::lastReferenceText(), "Last: 1234 units for OD=0");
    EXPECT_EQ(Calibration::lastDarkText(), "Last: 1234 units for OD=maximum");
}

TEST_F(RunControl, NotesNeedARow) {
    engine_->setInterval(1);
    engine_->start();
    EXPECT_EQ(engine_->attachNote("too early", 0.0), std::nullopt);
    EXPECT_EQ(engine_->noteCounter(), 0);
    EXPECT_FALSE(engine_->protocol().getText().contains("note added"));
    takeSamples(2);
    EXPECT_EQ(engine_->attachNote("inoculated", 0.01), 1.0);
    EXPECT_TRUE(
        engine_->protocol().getText().startsWith("8.12.2007 09:05  note added: inoculated\n"));
    EXPECT_EQ(engine_->table().allRows()[1].note, "[1] inoculated");
}

// In the window Sim0 runs on the profile's demonstration clock: its countdown is that many
// times as short and its rows' times run as fast, so the stored times still read like the
// chosen interval. A photometer, and the command-line tool, always run in real time, and only
// a demonstration says so in the protocol.
TEST_F(RunControl, Sim0RunsOnTheDemonstrationClock) {
    static FakeSleeper sleeper; // outlives the engine's source
    const struct {
        const char* setting; // nullptr: not in the profile
        bool simulated, window;
        double rate;
    } cases[] = {{nullptr, true, true, 100}, {"1", true, true, 1},   {"60", true, true, 60},
                 {"60", false, true, 1},     {"60", true, false, 1}, {"0", true, true, 1},
                 {"99999", true, true, 3600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.setting ? c.setting : "default") +
                     (c.simulated ? " Sim0" : " photometer") + (c.window ? " window" : " cli"));
        if (c.setting)
            IniFile::getIniFile().writeString("Options", "Sim0Clock", c.setting);
        if (c.simulated)
            engine_->setSource(std::make_unique<Talvessa::ODSourceSimulated>(sleeper));
        else
            engine_->setSource(std::make_unique<ScriptedSource>());
        engine_->useSim0DemonstrationClock(c.window);
        engine_->setInterval(30);
        const QDateTime realStart = clock_.now();
        ASSERT_TRUE(engine_->start());
        takeSamples(3); // the first at once, two after an interval each
        EXPECT_EQ(engine_->demonstrationRate(), c.rate);
        const qint64 real = realStart.msecsTo(clock_.now());
        EXPECT_NEAR(static_cast<double>(engine_->elapsedMilliseconds()), real * c.rate, c.rate);
        if (c.rate <= 100) {
            EXPECT_NEAR(real, 60000 / c.rate, 30) << "two intervals of real time";
            EXPECT_NEAR(engine_->table().allRows().at(2).minutes, 1.0, 0.05);
        }
        EXPECT_EQ(engine_->protocol().getText().contains(
                      QStringLiteral("demonstration with the simulated source Sim0")),
                  c.rate != 1);
        engine_->end();
    }
}

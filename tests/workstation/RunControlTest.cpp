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
    MeasurementEngine unconnected(program(), clock, tones, prompts);
    EXPECT_EQ(commandRow(unconnected), "spc(hidden)en ");
    EXPECT_FALSE(unconnected.commands().measurementMenus);
    EXPECT_EQ(unconnected.calibrationStatus(), "Not connected");

    EXPECT_EQ(commandRow(*engine), "Spc(hidden)en ");
    EXPECT_EQ(engine->calibrationStatus(), "System Ready");
    engine->setInterval(2);
    engine->start();
    EXPECT_EQ(commandRow(*engine), "sPc(hidden)EN running");
    EXPECT_TRUE(engine->statusGreen());
    EXPECT_EQ(engine->calibrationStatus(), "Function not available during measurements!");
    EXPECT_FALSE(engine->commands().formulaEditable);
    driver->untilNextSample();
    engine->pause();
    EXPECT_EQ(commandRow(*engine), "s(hidden)pCEn paused");
    engine->continueRun();
    EXPECT_EQ(commandRow(*engine), "sPc(hidden)EN running");
    engine->end();
    EXPECT_EQ(commandRow(*engine), "Spc(hidden)en stopped");
    EXPECT_TRUE(engine->commands().formulaEditable);
    EXPECT_EQ(engine->calibrationStatus(), "System Ready");
}

TEST_F(RunControl, StartBeginsAfreshAndProtocolsTheRun) {
    engine->setInterval(1);
    engine->start();
    takeSamples(3);
    ASSERT_TRUE(engine->attachNote("first", 0.0));
    engine->end();
    EXPECT_EQ(engine->noteCounter(), 1);

    clock.advance(60000);
    engine->start();
    EXPECT_EQ(engine->table().rowCount(), 0);
    EXPECT_EQ(engine->sampleNumber(), 0);
    EXPECT_EQ(engine->noteCounter(), 0);
    EXPECT_EQ(engine->protocol().getText(), "8.12.2007 09:06  started measurement\n");
    EXPECT_EQ(source->brightnesses.back(), 0) << "the configured brightness at every Start";
    EXPECT_TRUE(Talvessa::ODSourceSimulated::restartValueList);
    takeSamples(1);
    EXPECT_EQ(storedNumbers(), std::vector<double>{0});
}

TEST_F(RunControl, EndAsksToSaveOnlyWhatIsNotSaved) {
    engine->setInterval(1);
    engine->start();
    takeSamples(2);
    prompts.chosenFile = program() + "/runs/first.nph";
    QDir().mkpath(program() + "/runs");
    ASSERT_TRUE(engine->saveAs());
    engine->end();
    EXPECT_TRUE(prompts.questions.isEmpty()) << "saved after its last sample: nothing asked";
    EXPECT_TRUE(engine->protocol().getText().startsWith("Stoped Process at 00:00:00"));

    engine->start();
    takeSamples(1);
    prompts.answerYes = true;
    prompts.chosenFile = program() + "/runs/second";
    engine->end();
    EXPECT_EQ(prompts.questions, QStringList{"Save Chart?"});
    EXPECT_TRUE(QFile::exists(program() + "/runs/second.nph")) << "no name yet: Save As";
}

TEST_F(RunControl, SaveAsWritesTheWholeSet) {
    engine->setInterval(1);
    engine->setTitle("Untitled");
    engine->start();
    takeSamples(2);
    EXPECT_EQ(engine->defaultSaveAsName(), "Untitled_8_12_2007_09.05.03.nph");

    prompts.chosenFile = program() + "/run.nph.nph";
    ASSERT_TRUE(engine->saveAs());
    EXPECT_EQ(
        prompts.saveDialogs,
        QStringList{"Save Brevimo Database Channel A|C:Test|Untitled_8_12_2007_09.05.03.nph"});
    const QString base = program() + "/run";
    EXPECT_EQ(engine->getCurrentFileName(), base + ".nph");
    EXPECT_EQ(engine->windowCaption(), "Nephodar v2.0  " + base + ".nph");
    EXPECT_EQ(engine->savedTxtPath(), base + ".txt");
    EXPECT_EQ(engine->saveReport(), "Database Saved manually");
    EXPECT_EQ(RecordTable::openFile(base + ".nph", true)->rowCount(), 2);
    EXPECT_EQ(TempDirectory::readFile((base + ".txt").toStdString()),
              "Lab:\r\nUsing no OD-formula: CalcOD = OD\r\n");
    EXPECT_FALSE(QFile::exists(base + ".dat"));

    // The saved protocol holds what happened up to the save, not just up to the last sample.
    engine->changeTitle("Renamed");
    engine->save();
    const QString savedLog = RtfText::read(
        QByteArray::fromStdString(TempDirectory::readFile((base + ".log").toStdString())));
    EXPECT_TRUE(savedLog.contains("title changed to: Renamed"));
    EXPECT_TRUE(engine->protocol().getText().startsWith("Saved Channel A at "));
    EXPECT_FALSE(savedLog.contains("Saved Channel A at "));

    prompts.chosenFile.clear();
    EXPECT_FALSE(engine->saveAs()) << "cancelled";
}

TEST_F(RunControl, FailedSaveIsReportedAndNotTakenForSaved) {
    engine->setInterval(1);
    engine->start();
    takeSamples(1);
    TempDirectory::writeFile(temp.path("program/blocker"), "a file, not a directory");
    prompts.chosenFile = program() + "/blocker/run.nph";
    EXPECT_FALSE(engine->saveAs());
    EXPECT_TRUE(engine->saveReport().startsWith("Database Saved manually - not written: "));
    EXPECT_FALSE(engine->isSaved());
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(log.text().find("save: ") != std::string::npos);
    // Nothing was saved, so nothing says so, and there is no name to Save under again.
    EXPECT_FALSE(engine->protocol().getText().contains("Saved at "));
    EXPECT_FALSE(engine->commands().save);
    EXPECT_TRUE(engine->getCurrentFileName().isEmpty());
    EXPECT_TRUE(engine->savedNphPath().isEmpty());

    // A Save onto a set that can no longer be written adds no "Saved Channel A at " either.
    prompts.chosenFile = program() + "/out/run.nph";
    ASSERT_TRUE(engine->saveAs());
    EXPECT_TRUE(engine->commands().save);
    QFile::remove(program() + "/out/run.nph");
    QDir(program() + "/out").removeRecursively();
    TempDirectory::writeFile(temp.path("program/out"), "now a file");
    EXPECT_FALSE(engine->save());
    EXPECT_EQ(engine->protocol().getText().count("Saved at "), 1);
    EXPECT_FALSE(engine->protocol().getText().contains("Saved Channel A at "));
}

// A failing auto-save is said once per failing period, in a message and in the protocol; the
// measurement goes on, and the return of auto-saving is protocolled too.
TEST_F(RunControl, FailingAutoSaveIsSaidOncePerPeriod) {
    IniFile::getIniFile().writeInteger("Options", "AutoSave", 1);
    IniFile::getIniFile().writeInteger("Options", "OwnAutoDir", 1);
    IniFile::getIniFile().writeString("Options", "Dir", temp.path("auto"));
    TempDirectory::writeFile(temp.path("auto"), "a file where the directory should be");
    engine->setInterval(1);
    engine->start();
    takeSamples(3);
    EXPECT_EQ(engine->runState(), State::Running);
    EXPECT_EQ(engine->sampleNumber(), 3);
    ASSERT_EQ(prompts.messages.size(), 1) << "once, not on each of the three samples";
    EXPECT_TRUE(prompts.messages[0].startsWith("Autosave failed: ") &&
                prompts.messages[0].contains(QString::fromStdString(temp.path("auto"))))
        << prompts.messages[0].toStdString();
    EXPECT_EQ(engine->protocol().getText().count("Autosave failed at "), 1);
    EXPECT_EQ(engine->autoSaveFailureCount(), 3);

    std::filesystem::remove(temp.path("auto"));
    takeSamples(1);
    EXPECT_FALSE(engine->autoSaveFailingNow());
    EXPECT_EQ(RecordTable::openFile(QString::fromStdString(temp.path("auto/8.12. 9 5.nph")), true)
                  ->rowCount(),
              4);
    EXPECT_TRUE(engine->protocol().getText().contains("Autosave written again at "));

    TempDirectory::writeFile(temp.path("auto/8.12. 9 5.nph.part/x"), "blocks the staged copy");
    takeSamples(2);
    EXPECT_EQ(prompts.messages.size(), 2) << "a new failing period is said again";
    EXPECT_EQ(engine->protocol().getText().count("Autosave failed at "), 2);
}

TEST_F(RunControl, AutoSaveIntoItsDirectoryAfterEverySample) {
    IniFile::getIniFile().writeInteger("Options", "AutoSave", 1);
    engine->setInterval(1);
    engine->start();
    takeSamples(2);
    const QString base = program() + "/AutoSave/8.12. 9 5";
    EXPECT_EQ(RecordTable::openFile(base + ".nph", true)->rowCount(), 2);
    EXPECT_TRUE(QFile::exists(base + ".log"));
    EXPECT_TRUE(QFile::exists(base + ".txt"));
    EXPECT_EQ(engine->saveReport(), "Autosave    8.12. 9 5.*     at   00:00:00");
    EXPECT_FALSE(engine->isSaved()) << "auto-save does not count as saved";

    IniFile::getIniFile().writeInteger("Options", "OwnAutoDir", 1);
    IniFile::getIniFile().writeString("Options", "Dir", temp.path("own.nph/auto"));
    takeSamples(1);
    EXPECT_EQ(
        RecordTable::openFile(QString::fromStdString(temp.path("own.nph/auto/8.12. 9 5.nph")), true)
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
    const auto outcome = engine->calibrate(&listener);
    EXPECT_EQ(outcome.newReferenceText, "3456 units");
    EXPECT_EQ(outcome.newDarkText, "12 units");
    EXPECT_EQ(IniFile::getIniFile().readInteger("CalibrECH", "OD1", 0), 3456);
    EXPECT_EQ(IniFile::getIniFile().readInteger("CalibrECH", "ODDark", 0), 12);
    EXPECT_EQ(Calibration::lastReferenceText(), "Last: 3456 units for OD=0");
    EXPECT_EQ(Calibration::lastDarkText(), "Last: 12 units for OD=maximum");
    EXPECT_EQ(engine->calibrationStatus(), "System Ready");

    engine->start();
    EXPECT_THROW(engine->calibrate(&listener), std::runtime_error) << "not during a measurement";
}

TEST_F(RunControl, CalibrationWithTheSimulatedSource) {
    static FakeSleeper sleeper; // outlives the engine's source
    engine->setSource(std::make_unique<Talvessa::ODSourceSimulated>(sleeper));
    const auto outcome = engine->calibrate(nullptr);
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
    engine->setInterval(1);
    engine->start();
    EXPECT_EQ(engine->attachNote("too early", 0.0), std::nullopt);
    EXPECT_EQ(engine->noteCounter(), 0);
    EXPECT_FALSE(engine->protocol().getText().contains("note added"));
    takeSamples(2);
    EXPECT_EQ(engine->attachNote("inoculated", 0.01), 1.0);
    EXPECT_TRUE(
        engine->protocol().getText().startsWith("8.12.2007 09:05  note added: inoculated\n"));
    EXPECT_EQ(engine->table().allRows()[1].note, "[1] inoculated");
}

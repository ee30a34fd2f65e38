// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFixture.h"
#include "workstation/RtfText.h"
#include "workstation/SamplingRules.h"

#include <QDir>
#include <QSignalSpy>

namespace {
using SamplingCycle = EngineFixture;
using State = MeasurementEngine::RunState;
} // namespace

TEST_F(SamplingCycle, CountdownAndSamplingRhythm) {
    engine_->setInterval(30);
    engine_->setQuality(8);
    ASSERT_TRUE(engine_->start());
    ASSERT_TRUE(driver_->untilNextSample());
    EXPECT_EQ(driver_->samplingTicks, 8) << "the first sample follows quality - 1 gauge ticks";
    EXPECT_EQ(driver_->countdownTicks, 0);

    driver_->samplingTicks = driver_->countdownTicks = 0;
    ASSERT_TRUE(driver_->untilNextSample());
    EXPECT_EQ(driver_->countdownTicks, 300) << "30 seconds of 100 ms countdown ticks";
    EXPECT_EQ(driver_->samplingTicks, 8) << "7 gauge ticks and the sampling tick";
    EXPECT_EQ(storedNumbers(), (std::vector<double>{0, 1}));

    const auto rows = engine_->table().allRows();
    EXPECT_EQ(rows[1].allTime, QTime(0, 0, 30));
    EXPECT_DOUBLE_EQ(rows[1].minutes, 0.5);
    EXPECT_EQ(rows[0].startTime, QTime(9, 5, 3));
    EXPECT_EQ(rows[0].startDate, QDate(2007, 12, 8));
    EXPECT_TRUE(log_.text().find("ODValue: 0.5\tcountOD 2\n") != std::string::npos);
}

TEST_F(SamplingCycle, CountdownLabelAndCommandsDuringTheSamplingPhase) {
    engine_->setInterval(2);
    engine_->start();
    takeSamples(1);
    QStringList labels;
    QObject::connect(engine_.get(), &MeasurementEngine::countdownChanged,
                     [&](const QString& text) { labels << text; });
    while (engine_->countdownTimer().isActive()) {
        driver_->tick();
        if (labels.last() == "Now") {
            const auto c = engine_->commands();
            EXPECT_FALSE(c.pause || c.end || c.now) << "no Pause, End or Now() at \"Now\"";
        }
    }
    // Whole seconds left, rounded up, on each 100 ms tick; "Now" when the sample is due.
    QStringList expected;
    for (int tick = 1; tick < 20; ++tick)
        expected << (tick < 10 ? "2" : "1");
    expected << "Now";
    EXPECT_EQ(labels, expected);
    takeSamples(1);
    EXPECT_TRUE(engine_->commands().pause && engine_->commands().end);
}

TEST_F(SamplingCycle, DeviceErrorPeriodStoresNoRowsAndIsEnteredOnce) {
    for (int read : {6, 7, 8})
        source_->faults[read] = ScriptedSource::Fault::Status;
    engine_->setInterval(1);
    engine_->start();
    std::vector<SampleReport> reports;
    QObject::connect(engine_.get(), &MeasurementEngine::sampleTaken,
                     [&](const SampleReport& r) { reports.push_back(r); });
    takeSamples(10);
    EXPECT_EQ(storedNumbers(), (std::vector<double>{0, 1, 2, 3, 4, 8, 9}));
    EXPECT_EQ(engine_->protocol().getText().count("OD Error at "), 1);
    ASSERT_EQ(reports.size(), 10u);
    EXPECT_EQ(reports[5].odText, "n. c.");
    EXPECT_TRUE(reports[5].odRed);
    EXPECT_FALSE(reports[5].stored);
    EXPECT_TRUE(reports[8].stored);
    EXPECT_TRUE(prompts_.messages.isEmpty()) << "a device's error report is no message box";
}

// The value band of the chart's start comes from the first real reading, however many
// device errors come before it, and a device error later does not count as leaving it.
TEST_F(SamplingCycle, DeviceErrorsDoNotSetOrLeaveTheStartWindow) {
    for (int read : {1, 2, 5})
        source_->faults[read] = ScriptedSource::Fault::Status;
    source_->next = [](int read) { return 0.3 + 0.01 * read; };
    engine_->setInterval(1);
    engine_->start();
    std::vector<AxisWindow> windows;
    QObject::connect(engine_.get(), &MeasurementEngine::axisWindowChanged,
                     [&](const AxisWindow& w) { windows.push_back(w); });
    takeSamples(6);
    ASSERT_EQ(windows.size(), 6u);
    EXPECT_DOUBLE_EQ(engine_->windowInput().firstOd, 0.33);
    for (std::size_t i = 2; i < windows.size(); ++i) {
        EXPECT_FALSE(windows[i].leftAutomatic) << "sample " << i;
        EXPECT_DOUBLE_EQ(windows[i].leftMinimum, 0.31) << "sample " << i;
        EXPECT_DOUBLE_EQ(windows[i].leftMaximum, 0.43) << "sample " << i;
    }
}

TEST_F(SamplingCycle, StatusTheDeviceSentUnaskedMarksTheSample) {
    engine_->setInterval(1);
    engine_->start();
    takeSamples(2);
    source_->pendingStatusError = true;
    takeSamples(2);
    EXPECT_EQ(storedNumbers(), (std::vector<double>{0, 1, 3}));
    EXPECT_EQ(source_->reads, 4) << "the reading itself still happens";
}

TEST_F(SamplingCycle, FailedReadsStoreNoStaleValueAndSayItOnce) {
    for (int read : {3, 4})
        source_->faults[read] = ScriptedSource::Fault::Line;
    source_->next = [](int read) { return read * 0.1; };
    engine_->setInterval(1);
    engine_->start();
    std::vector<SampleReport> reports;
    QObject::connect(engine_.get(), &MeasurementEngine::sampleTaken,
                     [&](const SampleReport& r) { reports.push_back(r); });
    takeSamples(6);
    EXPECT_EQ(storedNumbers(), (std::vector<double>{0, 1, 4, 5}));
    // In words a user reads; the line's own words are for the log.
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_TRUE(prompts_.messages[0].startsWith("The photometer does not answer (since 09:05:"))
        << prompts_.messages[0].toStdString();
    EXPECT_FALSE(prompts_.messages[0].contains("line gone"));
    ASSERT_EQ(prompts_.devicesBack.size(), 1);
    EXPECT_TRUE(prompts_.devicesBack[0].startsWith("The photometer answers again (since "));
    EXPECT_EQ(reports[2].odText, "Port Err.");
    EXPECT_EQ(engine_->odReadCount(), 4);
}

// A calibration that gives no scale is the user's to mend, not the cable's: its own label,
// its message once, and the readings come back once it is mended.
TEST_F(SamplingCycle, UnusableCalibrationIsNoPortError) {
    for (int read : {2, 3})
        source_->faults[read] = ScriptedSource::Fault::Calibration;
    engine_->setInterval(1);
    engine_->start();
    std::vector<SampleReport> reports;
    QObject::connect(engine_.get(), &MeasurementEngine::sampleTaken,
                     [&](const SampleReport& r) { reports.push_back(r); });
    takeSamples(4);
    ASSERT_EQ(reports.size(), 4u);
    for (int i : {1, 2}) {
        EXPECT_EQ(reports[i].odText, "Cal. Err.");
        EXPECT_FALSE(reports[i].portError);
        EXPECT_FALSE(reports[i].stored);
    }
    EXPECT_EQ(prompts_.messages, QStringList{"calibrate again"});
    EXPECT_EQ(storedNumbers(), (std::vector<double>{0, 3}));
}

TEST_F(SamplingCycle, ThousandthReadEndsTheRun) {
    engine_->setInterval(1);
    engine_->setQuality(1);
    prompts_.answerYes = false;
    engine_->start();
    for (int i = 0; i < 1000 && engine_->runState() == State::Running; ++i)
        ASSERT_TRUE(driver_->untilNextSample());
    EXPECT_EQ(engine_->odReadCount(), 1000);
    EXPECT_EQ(engine_->runState(), State::Stopped);
    EXPECT_EQ(prompts_.questions, QStringList{"Save Chart?"});
    EXPECT_FALSE(driver_->tick()) << "both timers are off";
    EXPECT_EQ(engine_->table().rowCount(), 1000);
}

TEST_F(SamplingCycle, TenMinutePauseMovesTheTimeAxis) {
    engine_->setInterval(0.1);
    engine_->start();
    takeSamples(2);
    engine_->pause();
    EXPECT_FALSE(driver_->tick());
    clock_.advance(10 * 60 * 1000);
    engine_->continueRun();
    takeSamples(1);
    const auto rows = engine_->table().allRows();
    EXPECT_NEAR(rows[2].minutes - rows[1].minutes, 10.0, 0.1);
    EXPECT_TRUE(engine_->protocol().getText().contains("continued measurement at 00:10:00"));
    EXPECT_TRUE(engine_->protocol().getText().contains("paused measurement"));
}

TEST_F(SamplingCycle, ProtocolFileWrittenAfterEverySample) {
    engine_->setInterval(1);
    engine_->setTitle("Strain 7");
    engine_->start();
    takeSamples(1);
    const QString logFile = QDir(program()).filePath("Temp.log");
    EXPECT_EQ(
        RtfText::read(QByteArray::fromStdString(TempDirectory::readFile(logFile.toStdString()))),
        engine_->protocol().getText());
    EXPECT_TRUE(engine_->protocol().getText().endsWith("8.12.2007 09:05  started measurement\n"));
    EXPECT_EQ(engine_->statement().lines,
              (QStringList{"Lab:", "Using no OD-formula: CalcOD = OD"}));
}

TEST_F(SamplingCycle, ATickThatFailsDoesNotStopTheMeasurement) {
    QDir(program()).mkpath("Temp.log"); // a directory where the protocol file should go
    engine_->setInterval(1);
    engine_->start();
    takeSamples(3);
    EXPECT_EQ(prompts_.messages.size(), 1) << prompts_.messages.join("|").toStdString();
    EXPECT_EQ(engine_->table().rowCount(), 3) << "the rows are stored all the same";
    EXPECT_TRUE(engine_->commands().pause && engine_->commands().end);
    EXPECT_EQ(std::count(prompts_.messages.begin(), prompts_.messages.end(), prompts_.messages[0]),
              1);
    const std::string text = log_.text();
    std::size_t logged = 0;
    for (auto at = text.find("sampling: Can't write the file"); at != std::string::npos;
         at = text.find("sampling: Can't write the file", at + 1))
        ++logged;
    EXPECT_EQ(logged, 3u) << "the log keeps every occurrence";
    engine_->end();
    EXPECT_EQ(engine_->runState(), State::Stopped);
}

TEST_F(SamplingCycle, FormulaAppliedAndRecordingSwitches) {
    ODFormula formula = engine_->formula();
    formula.enabled = true;
    formula.name = "Cells";
    formula.a1 = formula.a2 = "";
    formula.a3 = "2";
    formula.a4 = "0.1";
    ASSERT_TRUE(engine_->setFormula(formula));
    source_->next = [](int) { return 0.123456; };
    engine_->setInterval(1);
    engine_->start();
    EXPECT_EQ(engine_->formula().a1, "0");
    EXPECT_EQ(engine_->statement().lines.last(),
              QString::fromUtf8("Using OD-formula: Cells = 0X³+ 0X²+ 2X+ 0.1"));
    takeSamples(1);
    engine_->setRecordedQuantities(false, true);
    takeSamples(1);
    const auto rows = engine_->table().allRows();
    EXPECT_DOUBLE_EQ(rows[0].od, 0.1234);
    EXPECT_DOUBLE_EQ(rows[0].calcOd, 0.3469);
    EXPECT_DOUBLE_EQ(rows[1].od, 0.0);
    EXPECT_DOUBLE_EQ(rows[1].calcOd, 0.3469);
    EXPECT_DOUBLE_EQ(engine_->od(), 0.1234) << "the display still shows the measured value";
}

TEST_F(SamplingCycle, StartIsRefusedWhatWouldFailLater) {
    ODFormula formula = engine_->formula();
    formula.enabled = true;
    formula.a3 = "1.2.3";
    engine_->setFormula(formula);
    EXPECT_FALSE(engine_->start());
    EXPECT_EQ(prompts_.messages.last(),
              "The coefficient a3 of the OD formula is not a number: '1.2.3'\nThe measurement "
              "was not started.");
    EXPECT_EQ(engine_->runState(), State::Ready);

    formula.a3 = "1";
    engine_->setFormula(formula);
    QFile::remove(QDir(program()).filePath("Templates/Template.txt"));
    EXPECT_FALSE(engine_->start());
    EXPECT_TRUE(prompts_.messages.last().startsWith("Can't load the template"));
    EXPECT_FALSE(driver_->tick());
}

TEST_F(SamplingCycle, QualityBelowOneIsOne) {
    engine_->setQuality(0);
    EXPECT_EQ(engine_->quality(), 1);
    engine_->setInterval(1);
    engine_->start();
    EXPECT_TRUE(driver_->untilNextSample());
}

TEST_F(SamplingCycle, IntervalChoiceInSeconds) {
    const std::pair<const char*, int> entries[] = {
        {"1 Sec", 1},   {"15 Sec", 15},  {"30 Sec", 30},   {"60 Sec", 60}, {"2 Min", 120},
        {"5 Min", 300}, {"10 Min", 600}, {"60 Min", 3600}, {"", 30}};
    for (const auto& [entry, seconds] : entries) {
        engine_->chooseInterval(entry);
        EXPECT_EQ(engine_->interval(), seconds) << entry;
    }
    IniFile::getIniFile().writeInteger("CommandCheck", "Interval", 45);
    engine_->useDefaultInterval();
    EXPECT_EQ(engine_->interval(), 45);

    // The time between two samples is the chosen one, to the countdown's tenth of a second.
    for (const double seconds : {0.0, 0.5, 1.0, 60.0}) {
        engine_->setInterval(seconds);
        ASSERT_TRUE(engine_->start());
        takeSamples(1);
        const auto before = engine_->elapsedMilliseconds();
        driver_->countdownTicks = 0;
        ASSERT_TRUE(driver_->untilNextSample());
        EXPECT_EQ(driver_->countdownTicks, std::max(1, int(seconds * 10))) << seconds;
        EXPECT_NEAR(double(engine_->elapsedMilliseconds() - before),
                    std::max(100.0, seconds * 1000), 10.0)
            << seconds;
        engine_->end();
    }
}

TEST_F(SamplingCycle, NowDuringALongCountdownSamplesAtTheNextTick) {
    engine_->setInterval(3600);
    engine_->start();
    takeSamples(1);
    driver_->tick();
    EXPECT_EQ(engine_->countdownText(), "3600");
    engine_->measureNow();
    driver_->tick();
    EXPECT_EQ(engine_->countdownText(), "Now");
    EXPECT_TRUE(driver_->untilNextSample());
    EXPECT_EQ(engine_->sampleNumber(), 2);
}

TEST(AutoSaveSchedule, EverySampleThenEveryTenthTwentiethThirtieth) {
    SamplingRules::AutoSaveSchedule schedule;
    std::vector<int> saved;
    for (int n = 1; n <= 8100; ++n)
        if (schedule.afterSample(n))
            saved.push_back(n);
    const auto savedAt = [&](int n) { return std::count(saved.begin(), saved.end(), n) == 1; };
    EXPECT_TRUE(savedAt(1) && savedAt(999));
    EXPECT_FALSE(savedAt(1000));
    EXPECT_FALSE(savedAt(1008));
    EXPECT_TRUE(savedAt(1009)) << "the counter reaches 10 after the 1000th";
    EXPECT_TRUE(savedAt(1019));
    EXPECT_FALSE(savedAt(4000));
    EXPECT_EQ(std::count_if(saved.begin(), saved.end(), [](int n) { return n > 8000; }), 3);
}

TEST_F(SamplingCycle, SettersTellTheirChangesAndTheFormulaStaysWhileAMeasurementRuns) {
    QSignalSpy formulaChanges(engine_.get(), &MeasurementEngine::formulaChanged);
    QSignalSpy titleChanges(engine_.get(), &MeasurementEngine::titleChanged);
    QSignalSpy alarmChanges(engine_.get(), &MeasurementEngine::alarmChanged);
    ODFormula doubled = engine_->formula();
    doubled.enabled = true;
    doubled.a3 = "2";
    EXPECT_TRUE(engine_->setFormula(doubled));
    engine_->setTitle("Strain 9");
    engine_->setTitle("Strain 9"); // no change, no signal
    engine_->setAlarmThresholdText("0.800");
    EXPECT_EQ(formulaChanges.count(), 1);
    EXPECT_EQ(titleChanges.count(), 1);
    EXPECT_EQ(alarmChanges.count(), 1);

    engine_->setInterval(1000);
    ASSERT_TRUE(engine_->start());
    ODFormula other = doubled;
    other.a3 = "3";
    EXPECT_FALSE(engine_->setFormula(other)) << "running";
    engine_->pause();
    EXPECT_FALSE(engine_->setFormula(other)) << "paused";
    EXPECT_EQ(engine_->formula().a3, "2");
    engine_->end();
    EXPECT_TRUE(engine_->setFormula(other)) << "after the end";
    EXPECT_EQ(engine_->formula().a3, "3");
}

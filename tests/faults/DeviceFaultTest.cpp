// SPDX-License-Identifier: GPL-3.0-or-later
// A photometer that goes away, freezes or talks nonsense, against the real connections and the
// engine: the simulator runs as its own process on a real pseudo-terminal or local socket, and
// the rows land in a real SQLite file.
#include "EngineFakes.h"
#include "FakeSleeper.h"
#include "LogCapture.h"
#include "ProfileStoreFixture.h"
#include "Q7SimProcess.h"
#include "com/PipeConnection.h"
#include "com/Q7Variants.h"
#include "com/RS232Connection.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <thread>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

// The longest one reading may take with a device that answers nothing: the status pause, then
// the read time-outs of the 6 status bytes and of the 2 value bytes (50 ms + 50 ms per byte).
constexpr long readingTimeoutMs = 20 + (50 + 50 * 6) + (50 + 50 * 2);
// What a busy test machine may add to that.
constexpr long schedulingSlackMs = 150;

long millisecondsSince(SteadyClock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count());
}

// Waits, bounded, for something another process does.
bool eventually(const std::function<bool()>& condition, int timeoutMilliseconds = 5000) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (!condition()) {
        if (SteadyClock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

enum class Line { Socket, Terminal };
enum class Variant { Q82, Old };

std::string lineName(Line line) {
    return line == Line::Socket ? "Socket" : "Terminal";
}

// OD of a raw reading with the calibration every test here uses (dark 1, reference 4095).
double odOf(int raw) {
    return -std::log10((raw - 1.0) / 4094.0);
}

// The raw value the simulator gave each reading, from its trace ("reading 5: raw 2345",
// "reading 4: oversized answer, raw 3001", "reading 6: status 4, raw 2990").
std::map<int, int> rawByReading(const std::string& trace) {
    std::map<int, int> raws;
    static const std::regex entry(R"(reading (\d+): [^\n]*raw (\d+))");
    for (std::sregex_iterator it(trace.begin(), trace.end(), entry), end; it != end; ++it)
        raws[std::stoi((*it)[1])] = std::stoi((*it)[2]);
    return raws;
}

// A profile with a known calibration, a template for the statement and a socket directory of
// the test's own; the simulator is reached as SimN (socket) or ComN (terminal behind a link
// that stays the same when the simulator comes back). Connections live as long as the process,
// so every test takes a number of its own.
struct DeviceFixture : ProfileStoreFixture {
    void SetUp() override {
        static int tests = 0;
        number = std::to_string(++tests);
        ProfileStoreFixture::SetUp();
        setenv("NEPHODAR_PIPE_DIR", temp_.path("pipes").c_str(), 1);
        openDefault();
        auto& profile = IniFile::getIniFile();
        profile.writeInteger("CalibrECH", "OD1", 4095);
        profile.writeInteger("CalibrECH", "ODDark", 1);
        profile.writeString("Ports", "Com" + number, link());
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
    }
    void TearDown() override {
        unsetenv("NEPHODAR_PIPE_DIR");
        ProfileStoreFixture::TearDown();
    }

    std::string link() const { return temp_.path("ttyQ7"); }
    std::string number;
    LogCapture log;
    std::string type(Line line) const { return (line == Line::Socket ? "Sim" : "Com") + number; }

    std::unique_ptr<Q7SimProcess> startSimulator(Line line, std::vector<std::string> arguments) {
        if (line == Line::Socket)
            arguments.insert(arguments.end(), {"--socket", type(line)});
        else
            arguments.insert(arguments.end(), {"--link", link()});
        return std::make_unique<Q7SimProcess>(arguments);
    }
};

// The engine of the workstation on a fake clock, recording what every sample came to.
struct EngineRun {
    EngineRun(const std::string& programDirectory, const std::string& type) {
        engine = std::make_unique<MeasurementEngine>(QString::fromStdString(programDirectory),
                                                     clock, tones, prompts);
        QObject::connect(engine.get(), &MeasurementEngine::sampleTaken,
                         [this](const SampleReport& report) { reports.push_back(report); });
        engine->connectSource(QString::fromStdString(type));
        engine->setInterval(1);
        driver = std::make_unique<TickDriver>(*engine, clock);
    }

    // Takes one sample; returns how long its ticks took in real time.
    long sample() {
        const auto start = SteadyClock::now();
        EXPECT_TRUE(driver->untilNextSample());
        return millisecondsSince(start);
    }

    FakeClock clock;
    RecordingTones tones;
    ScriptedPrompts prompts;
    std::unique_ptr<MeasurementEngine> engine;
    std::unique_ptr<TickDriver> driver;
    std::vector<SampleReport> reports;
};

// ---------------------------------------------------------------------------------------------
// The device goes away mid-run: killed outright, or frozen so that it answers nothing.

enum class Loss { Killed, Frozen };

struct DeviceGone : DeviceFixture, testing::WithParamInterface<std::tuple<Line, Loss>> {};

TEST_P(DeviceGone, SamplesFailWithinTheReadTimeoutsAndResumeWhenItReturns) {
    const auto [line, loss] = GetParam();
    const std::vector<std::string> arguments = {"--value", "3000", "--verbose"};
    auto simulator = startSimulator(line, arguments);
    EngineRun run(temp_.path("program"), type(line));
    ASSERT_TRUE(run.engine->start());

    run.sample();
    run.sample();

    if (loss == Loss::Killed) {
        simulator->signal(SIGKILL);
        simulator->wait();
        unlink(link().c_str()); // the device node of an unplugged adapter goes with it
    } else {
        simulator->signal(SIGSTOP);
    }
    for (int i = 0; i < 3; ++i) {
        const long took = run.sample();
        EXPECT_LT(took, readingTimeoutMs + schedulingSlackMs) << "sample " << i + 2;
    }

    if (loss == Loss::Killed) {
        simulator = startSimulator(line, arguments);
    } else {
        simulator->signal(SIGCONT);
        // The commands sent while it was frozen are answered late; the next exchange must not
        // take those answers for its own.
        ASSERT_TRUE(eventually([&] { return rawByReading(simulator->trace()).count(5) == 1; }))
            << simulator->trace();
    }
    run.sample();
    run.sample();

    ASSERT_EQ(run.reports.size(), 7u);
    for (std::size_t i = 0; i < run.reports.size(); ++i) {
        const bool away = i >= 2 && i <= 4;
        SCOPED_TRACE("sample " + std::to_string(i));
        EXPECT_EQ(run.reports[i].stored, !away);
        EXPECT_EQ(run.reports[i].deviceError, away);
        if (away) {
            EXPECT_EQ(run.reports[i].calcOdText, "n. c.");
        }
    }
    ASSERT_EQ(run.prompts.messages.size(), 1) << "a failing line is said once, not per sample: "
                                              << run.prompts.messages.join("|").toStdString();
    // In words a user reads, naming the port; its return is said too.
    EXPECT_TRUE(run.prompts.messages[0].startsWith(
        QString::fromStdString("The photometer on " + type(line) + " does not answer")))
        << run.prompts.messages[0].toStdString();
    EXPECT_EQ(run.prompts.devicesBack.size(), 1);

    const auto rows = run.engine->table().allRows();
    ASSERT_EQ(rows.size(), 4u);
    const double numbers[] = {0, 1, 5, 6};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].number, numbers[i]);
        EXPECT_NEAR(rows[i].od, odOf(3000), 1e-4) << "row " << i;
    }
    if (loss == Loss::Frozen)
        simulator->signal(SIGCONT);
}

INSTANTIATE_TEST_SUITE_P(Lines, DeviceGone,
                         testing::Combine(testing::Values(Line::Socket, Line::Terminal),
                                          testing::Values(Loss::Killed, Loss::Frozen)),
                         [](const testing::TestParamInfo<DeviceGone::ParamType>& paramInfo) {
                             return lineName(std::get<0>(paramInfo.param)) +
                                    (std::get<1>(paramInfo.param) == Loss::Killed ? "Killed"
                                                                                  : "Frozen");
                         });

// ---------------------------------------------------------------------------------------------
// The device answers, but not as it should.

struct DeviceTalk : DeviceFixture, testing::WithParamInterface<std::tuple<Line, Variant>> {
    std::vector<std::string> simulatorArguments(Variant variant) const {
        return {"--variant", variant == Variant::Q82 ? "82" : "old", "--verbose"};
    }
};

// What the variant says for a status code; empty for the 82 variant's codes that are no error.
std::string statusText(Variant variant, int code) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", code);
    if (variant == Variant::Old)
        return std::string("device returned an old errorcode 1[ ") + hex + "]";
    const std::string prefix = "Q7_82::checkErrorState\t";
    const std::map<int, std::string> named = {
        {1, "interrupt error"}, {2, "unknown code"}, {3, "Q7 error"}, {6, "wrong code"}};
    if (code == 4 || code == 5)
        return "";
    if (named.count(code))
        return prefix + "device returned:\n\"" + named.at(code) + "\"";
    return prefix + "device returned an unknown errorcode\n6[ " + hex + " 00 00 00 00 00]\n";
}

TEST_P(DeviceTalk, EveryStatusCodeIsADeviceErrorAndTheNextReadingIsRight) {
    const auto [line, variant] = GetParam();
    // Readings 2, 4, ..., 510 carry the codes 1 to 255; the odd ones are good.
    auto arguments = simulatorArguments(variant);
    arguments.insert(arguments.end(), {"--value", "3000"});
    for (int code = 1; code <= 255; ++code)
        arguments.insert(arguments.end(),
                         {"--fault", std::to_string(2 * code) + ":status=" + std::to_string(code)});
    auto simulator = startSimulator(line, arguments);

    FakeSleeper sleeper; // the 20 ms status pause is the device's business, not this test's
    std::unique_ptr<Talvessa::ConnectionInterface> connection;
    if (line == Line::Socket)
        connection = std::make_unique<Talvessa::PipeConnection>(type(line));
    else
        connection = std::make_unique<Talvessa::RS232Connection>(type(line));
    std::unique_ptr<Talvessa::Q7_Base> source;
    if (variant == Variant::Q82)
        source = std::make_unique<Talvessa::Q7_82>(*connection, 6, sleeper);
    else
        source = std::make_unique<Talvessa::Q7_Old>(*connection, 6, sleeper);

    for (int code = 1; code <= 255; ++code) {
        SCOPED_TRACE("status " + std::to_string(code));
        source->readData();
        ASSERT_EQ(source->getRawValue(), 3000u) << "the reading before";
        const std::string expected = statusText(variant, code);
        try {
            source->readData();
            EXPECT_EQ(expected, "") << "no error reported";
            EXPECT_EQ(source->getRawValue(), 3000u) << "a status that is no error keeps its value";
        } catch (const Talvessa::DeviceStatusError& e) {
            EXPECT_EQ(e.what(), expected);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not a device error: " << e.what();
        }
    }
    source->readData();
    EXPECT_EQ(source->getRawValue(), 3000u);
    EXPECT_EQ(simulator->trace().find("ignored"), std::string::npos)
        << "every byte we sent was a whole command";
}

// One run of the engine through every kind of bad answer. Each reading of the simulator's
// growth curve has a value of its own, so a reading taken from the wrong answer shows.
TEST_P(DeviceTalk, BadAnswersNeverStoreAWrongValueAndTheLineStaysInStep) {
    const auto [line, variant] = GetParam();
    const std::map<int, std::string> faults = {
        {2, "garbage"},   {4, "oversized"},  {6, "short"},       {8, "silence"},
        {10, "status=1"}, {12, "status=4"},  {14, "status=255"}, {16, "garbage"},
        {17, "garbage"},  {19, "oversized"}, {20, "short"}};
    auto arguments = simulatorArguments(variant);
    arguments.insert(arguments.end(), {"--points", "40"});
    for (const auto& [reading, kind] : faults)
        arguments.insert(arguments.end(), {"--fault", std::to_string(reading) + ":" + kind});
    auto simulator = startSimulator(line, arguments);

    EngineRun run(temp_.path("program"), type(line));
    ASSERT_TRUE(run.engine->start());
    const int samples = 22;
    for (int i = 0; i < samples; ++i) {
        const long took = run.sample();
        EXPECT_LT(took, readingTimeoutMs + schedulingSlackMs) << "sample " << i;
    }

    // Sample n is reading n + 1. What is right for it: stored with its own reading's value,
    // or a device error.
    const auto raws = rawByReading(simulator->trace());
    const auto rows = run.engine->table().allRows();
    std::map<double, double> storedOd;
    for (const auto& row : rows)
        storedOd[row.number] = row.od;
    ASSERT_EQ(run.reports.size(), static_cast<std::size_t>(samples));
    for (int n = 0; n < samples; ++n) {
        const int reading = n + 1;
        const auto fault = faults.find(reading);
        // An oversized answer still holds the right reading, and the 82 variant's status 4 is
        // no error: their values count.
        const bool good = fault == faults.end() || fault->second == "oversized" ||
                          (variant == Variant::Q82 && fault->second == "status=4");
        SCOPED_TRACE("sample " + std::to_string(n) + " (reading " + std::to_string(reading) +
                     (fault == faults.end() ? "" : ", " + fault->second) + ")");
        EXPECT_EQ(run.reports[n].deviceError, !good);
        EXPECT_EQ(storedOd.count(n), good ? 1u : 0u);
        if (good && storedOd.count(n) && raws.count(reading)) {
            EXPECT_NEAR(storedOd[n], odOf(raws.at(reading)), 1e-4);
        } else if (good) {
            ADD_FAILURE() << "no row or no traced value";
        }
    }
    EXPECT_EQ(rows.size(), storedOd.size()) << "one row per good sample, none twice";
}

INSTANTIATE_TEST_SUITE_P(LinesAndVariants, DeviceTalk,
                         testing::Combine(testing::Values(Line::Socket, Line::Terminal),
                                          testing::Values(Variant::Q82, Variant::Old)),
                         [](const testing::TestParamInfo<DeviceTalk::ParamType>& paramInfo) {
                             return lineName(std::get<0>(paramInfo.param)) +
                                    (std::get<1>(paramInfo.param) == Variant::Q82 ? "82" : "Old");
                         });

// The simulator refuses what it does not know, and explains the faults it can inject.
TEST(SimulatorFaultOptions, HelpNamesEveryFaultAndUnknownOnesAreRefused) {
    Subprocess help(Q7SimProcess::executable(), {"--help"});
    std::string text;
    for (std::string line = help.nextLine(); !line.empty() || !help.outputEnded();
         line = help.nextLine())
        text += line + "\n";
    EXPECT_EQ(help.wait(), 0);
    for (const char* fault : {"N:status=C", "N:silence", "N:short", "N:slow=MS", "N:hangup",
                              "N:garbage", "N:oversized"})
        EXPECT_NE(text.find(fault), std::string::npos) << fault;

    Subprocess wrong(Q7SimProcess::executable(), {"--fault", "3:babble"});
    EXPECT_EQ(wrong.wait(), 2);
    EXPECT_NE(wrong.errorOutput().find("unknown fault 'babble'"), std::string::npos);
}

} // namespace

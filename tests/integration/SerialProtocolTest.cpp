// SPDX-License-Identifier: GPL-3.0-or-later
// The serial connection and the photometer protocol against the simulator on a real
// pseudo-terminal.
#include "ErrorOf.h"
#include "LogCapture.h"
#include "Q7SimProcess.h"
#include "Subprocess.h"
#include "TempDirectory.h"
#include "TestVariant.h"
#include "com/RS232Connection.h"
#include "com/SerialPortResolver.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using Talvessa::RS232Connection;
using Talvessa::UCharContainer;

namespace {

using Clock = std::chrono::steady_clock;

std::map<std::string, std::string>& ports() {
    static std::map<std::string, std::string> map;
    return map;
}

long millisecondsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct SerialLine : testing::Test {
    LogCapture log;

    void SetUp() override {
        ports().clear();
        Talvessa::setSerialPortLookup([](const std::string& type) {
            const auto it = ports().find(type);
            return it == ports().end() ? std::string() : it->second;
        });
    }
    void TearDown() override { Talvessa::setSerialPortLookup(nullptr); }
};

} // namespace

TEST_F(SerialLine, ReadingAndBrightnessCommandsOnTheWire) {
    Q7SimProcess sim({"--value", "1000", "--verbose"});
    ports()["Com7"] = sim.devicePath();
    RS232Connection connection("Com7");
    TestVariant source(connection);
    source.setCalibration(1, 4095);

    source.setLedBrightness(300);
    source.setLedBrightness(-1);
    EXPECT_NEAR(source.value(), -std::log10(999.0 / 4094.0), 1e-12);
    EXPECT_EQ(source.getRawValue(), 1000u);
    EXPECT_NE(log.text().find("Q7_Base::readData\t1000 2[ E8 03]\tQ7_Base::calculateODValue\t"),
              std::string::npos);

    sim.stop();
    EXPECT_EQ(sim.trace(), "q7sim: 30 01 2C -> brightness 300\n"
                           "q7sim: 30 FF FF -> brightness 65535\n"
                           "q7sim: 32 06 -> reading 1: raw 1000\n");
}

TEST_F(SerialLine, ODFromDarkAndReferenceReadings) {
    const struct {
        const char* raw;
        double od;
    } cases[] = {
        {"200", 1.0}, {"1100", 0.0}, {"2100", -0.30102999566398}, {"100", -1.0}, {"50", -1.0}};
    for (const auto& c : cases) {
        Q7SimProcess sim({"--value", c.raw});
        ports()["Com1"] = sim.devicePath();
        RS232Connection connection("Com1");
        TestVariant source(connection);
        source.setCalibration(100, 1100);
        EXPECT_NEAR(source.value(), c.od, 1e-12) << c.raw;
    }
}

TEST_F(SerialLine, CalibrationRunsBothSeriesAndRestoresBrightness) {
    Q7SimProcess sim({"--calibration", "20,4000", "--value", "2000", "--verbose"});
    ports()["Com2"] = sim.devicePath();
    RS232Connection connection("Com2");
    TestVariant source(connection);
    source.setLedBrightness(300);

    struct : __lumo::EventListenerInterface<__lumo::ProgressInfoType> {
        std::vector<int> currents;
        void eventOccurred(__lumo::ProgressInfoType& info) override {
            EXPECT_EQ(info.total, 16u);
            currents.push_back(info.current);
        }
    } progress;
    source.progressCaller.addListener(&progress);

    const auto result = source.calibrate();
    EXPECT_DOUBLE_EQ(result.dark, 20.0);
    EXPECT_DOUBLE_EQ(result.reference, 4000.0);
    EXPECT_EQ(progress.currents,
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_NEAR(source.value(), -std::log10(1980.0 / 3980.0), 1e-12);

    sim.stop();
    const std::string trace = sim.trace();
    const std::string first =
        "q7sim: 30 01 2C -> brightness 300\nq7sim: 30 00 00 -> brightness 0\n";
    EXPECT_EQ(trace.substr(0, first.size()), first);
    EXPECT_NE(trace.find("q7sim: 30 01 2C -> brightness 300\nq7sim: 32 06 -> reading 17"),
              std::string::npos)
        << trace;
}

TEST_F(SerialLine, ShortAndMissingAnswersGiveUpWithinTheReadTimeouts) {
    Q7SimProcess sim({"--value", "1000", "--fault", "1:short", "--fault", "2:silence", "--fault",
                      "3:slow=600", "--fault", "4:status=3"});
    ports()["Com3"] = sim.devicePath();
    RS232Connection connection("Com3");
    TestVariant source(connection);
    source.setCalibration(1, 4095);

    auto start = Clock::now();
    std::string text = errorOf([&] { source.value(); });
    EXPECT_TRUE(endsWith(text, "RS232Connection 'Com3' receive\nNumber of bytes read are unequal\n"
                               "to the number of bytes should be read!\nshould: 2\nread: 1"))
        << text;
    EXPECT_LT(millisecondsSince(start), 100) << "10 ms after the last byte, not the full 150";

    start = Clock::now();
    text = errorOf([&] { source.value(); });
    EXPECT_TRUE(endsWith(text, "\nshould: 6\nread: 0")) << text;
    const long silent = millisecondsSince(start);
    EXPECT_GE(silent, 20 + 350);
    EXPECT_LT(silent, 20 + 350 + 100);

    start = Clock::now();
    text = errorOf([&] { source.value(); });
    EXPECT_TRUE(endsWith(text, "\nshould: 6\nread: 0")) << text;
    EXPECT_LT(millisecondsSince(start), 20 + 350 + 100) << "a slow device does not hold us";
    usleep(400 * 1000); // let the late answer arrive; the next exchange must cope with it

    EXPECT_EQ(errorOf([&] { source.value(); }), "status error") << "not the late answer";
    EXPECT_NE(log.text().find("RS232Connection 'Com3' send\tdropped 8 late bytes\n"),
              std::string::npos);
    EXPECT_NE(log.text().find("RS232Connection 'Com3' receive\nNumber of bytes read"),
              std::string::npos)
        << "failures are logged";
}

TEST_F(SerialLine, ShortIdentificationAnswerShrinksTheContainer) {
    Q7SimProcess sim({"--variant", "old"});
    ports()["Com4"] = sim.devicePath();
    RS232Connection connection("Com4");
    connection.sendByte(0);
    UCharContainer answer(7);
    const auto start = Clock::now();
    const std::string text = errorOf([&] { connection >> answer; });
    EXPECT_LT(millisecondsSince(start), 100);
    EXPECT_EQ(text, "RS232Connection 'Com4' receive\nNumber of bytes read are unequal\nto the "
                    "number of bytes should be read!\nshould: 7\nread: 2");
    EXPECT_EQ(answer.getSize(), 2);
    EXPECT_EQ(answer.at(0), 'Q');
}

TEST_F(SerialLine, ReconnectsAfterTheDeviceHangsUpAndReturns) {
    char directory[] = "/tmp/nephodar-pty-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string link = std::string(directory) + "/ttyQ7";
    {
        Q7SimProcess sim(
            {"--value", "1000", "--link", link, "--fault", "2:hangup", "--hangup-ms", "300"});
        ports()["Com5"] = link;
        RS232Connection connection("Com5");
        TestVariant source(connection);
        source.setCalibration(1, 4095);

        source.value();
        EXPECT_NE(errorOf([&] { source.value(); }), "no error") << "the line went away";
        const std::string whileAway = errorOf([&] { source.value(); });
        EXPECT_EQ(whileAway.rfind("RS232Connection 'Com5' send\nError reconnecting port.\n'System "
                                  "reported: \n",
                                  0),
                  0u)
            << whileAway;

        ASSERT_FALSE(sim.nextLine().empty()) << "the simulator offers a new line";
        source.value();
        EXPECT_EQ(source.getRawValue(), 1000u);
    }
    rmdir(directory);
}

TEST_F(SerialLine, PortsThatCannotBeOpened) {
    ports()["Com9"] = "/nonexistent/ttyQ7";
    // The system's reason, then what to do about it.
    const std::string missing =
        "Error connecting port.\n'System reported: \nNo such file or directory'\nThere is no "
        "serial port /nonexistent/ttyQ7 (Com9). Name the photometer's device file in the "
        "profile's section [Ports], as Com9=/dev/ttyUSB0.";
    EXPECT_EQ(errorOf([] { RS232Connection c("Com9"); }), missing);
    EXPECT_EQ(log.text(), missing + "\n");

    Q7SimProcess sim({});
    ports()["Com8"] = sim.devicePath();
    RS232Connection first("Com8");
    EXPECT_EQ(errorOf([] { RS232Connection second("Com8"); }),
              "Error connecting port.\n'System reported: \nDevice or resource busy'\n" +
                  sim.devicePath() +
                  " is in use by another program; end it, or choose another port.");

    char name[] = "/tmp/nephodar-notatty-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    ports()["Com6"] = name;
    EXPECT_EQ(errorOf([] {
                  RS232Connection c("Com6");
              }).rfind("Error SetCommState\nSystem reported: \n", 0),
              0u);
    unlink(name);
}

// The exclusive mode belongs to the line. Left set after closing, it keeps every later open
// by a user without root out while another program still has the line open, as the simulator
// has here. Root is let through regardless, so the flag itself is checked.
TEST_F(SerialLine, ClosingTheConnectionReleasesTheLine) {
    Q7SimProcess sim({"--value", "1000"});
    ports()["Com7"] = sim.devicePath();
    const int watcher = open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(watcher, 0);
    const auto exclusive = [watcher] {
        int flag = -1;
        EXPECT_EQ(ioctl(watcher, TIOCGEXCL, &flag), 0);
        return flag;
    };
    EXPECT_EQ(exclusive(), 0);
    {
        RS232Connection connection("Com7");
        EXPECT_EQ(exclusive(), 1) << "held exclusively while open";
        connection.connect(true); // a reconnect closes and opens again
        EXPECT_EQ(exclusive(), 1);
    }
    EXPECT_EQ(exclusive(), 0);
    close(watcher);
}

// The simulator's own options: unknown ones are named, and --link replaces only a link to a
// terminal (its own, or one an earlier run left) and removes only the link it made.
TEST(Q7SimOptions, UnknownOptionsAndForeignFiles) {
    Subprocess bogus(Q7SimProcess::executable(), {"--bogus"});
    EXPECT_EQ(bogus.wait(), 2);
    EXPECT_NE(bogus.errorOutput().find("unknown option '--bogus'"), std::string::npos)
        << bogus.errorOutput();

    TempDirectory temp;
    const std::string precious = temp.path("notes.txt");
    TempDirectory::writeFile(precious, "precious");
    Subprocess refused(Q7SimProcess::executable(), {"--link", precious});
    EXPECT_EQ(refused.wait(), 1);
    EXPECT_EQ(TempDirectory::readFile(precious), "precious");

    const std::string stale = temp.path("ttyQ7");
    ASSERT_EQ(symlink("/dev/pts/9999", stale.c_str()), 0);
    {
        Q7SimProcess sim({"--link", stale});
        char target[256] = {};
        ASSERT_GT(readlink(stale.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), sim.devicePath());
        sim.stop();
    }
    struct stat gone {};
    EXPECT_NE(lstat(stale.c_str(), &gone), 0) << "the link made is removed at the end";
}

// SPDX-License-Identifier: GPL-3.0-or-later
// What every program answers without a display, and the advice its failures give: real
// processes.
#include "ProfileStoreFixture.h"
#include "Subprocess.h"
#include "lumo/Version.h"

#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string program(const std::string& name) {
    return std::string(NEPHODAR_PROGRAM_DIR) + "/" + name;
}

// No display at all, and no way for Qt to pick another platform by itself.
const std::map<std::string, std::string> noDisplay = {
    {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"}};

// Everything a process said: its standard output, then its standard error.
std::string outputOf(Subprocess& process) {
    std::string text;
    for (std::string line = process.nextLine(20000); !line.empty() || !process.outputEnded();
         line = process.nextLine(20000))
        text += line + "\n";
    return text + process.errorOutput();
}

struct ProgramConventions : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault();
    }
};

} // namespace

TEST_F(ProgramConventions, HelpAndVersionNeedNoDisplay) {
    const std::string version = Talvessa::programVersion;
    const struct {
        const char* program;
        std::vector<std::string> arguments;
        std::string expected;
    } cases[] = {
        {"Nephodar", {"--version"}, "Nephodar " + version + "\n"},
        {"Nephodar", {"-h"}, "Usage: Nephodar"},
        {"Nephodar", {"--help"}, "--version"},
        {"nephodar-cli", {"--version"}, "nephodar-cli " + version + "\n"},
        {"nephodar-cli", {"-h"}, "Usage: nephodar-cli COMMAND"},
        {"nephodar-cli", {"measure", "-h"}, "Usage: nephodar-cli measure"},
        {"nephodar-cli", {"watch", "-h"}, "Usage: nephodar-cli watch"},
        {"q7sim", {"--version"}, "q7sim " + version + "\n"},
        {"q7sim", {"-h"}, "Usage: q7sim"},
    };
    for (const auto& c : cases) {
        Subprocess process(program(c.program), c.arguments, noDisplay);
        const std::string said = outputOf(process);
        EXPECT_EQ(process.wait(20000), 0) << c.program << " " << c.arguments[0] << "\n" << said;
        EXPECT_NE(said.find(c.expected), std::string::npos) << c.program << "\n" << said;
    }
}

TEST_F(ProgramConventions, WorkstationWithoutADisplaySaysSoAndEnds) {
    for (const std::string display : {"", ":987"}) {
        auto environment = noDisplay;
        environment["DISPLAY"] = display;
        Subprocess workstation(program("Nephodar"), {"--program-dir", temp_.path("program")},
                               environment);
        EXPECT_EQ(workstation.wait(20000), 1) << display;
        const std::string said = workstation.errorOutput();
        EXPECT_NE(said.find("Nephodar needs a graphical display; use nephodar-cli"),
                  std::string::npos)
            << said;
        EXPECT_EQ(said.find("Reinstalling"), std::string::npos) << said;
    }
}

// A missing serial device and a missing simulator: what was tried and what to do.
TEST_F(ProgramConventions, ConnectionFailuresSayWhatToDo) {
    const std::string missing = temp_.path("ttyUSB9");
    Subprocess serial(program("nephodar-cli"), {"read", "--device", "Com5", "--port", missing,
                                                "--program-dir", temp_.path("program")});
    EXPECT_EQ(serial.wait(20000), 1);
    const std::string serialText = serial.errorOutput();
    for (const std::string& part : {missing, std::string("[Ports]"),
                                    std::string("Com5=/dev/ttyUSB0"), std::string("--port PATH")})
        EXPECT_NE(serialText.find(part), std::string::npos) << part << "\n" << serialText;

    const std::string pipes = temp_.path("pipes");
    Subprocess simulator(program("nephodar-cli"),
                         {"read", "--device", "Sim7", "--program-dir", temp_.path("program")},
                         {{"NEPHODAR_PIPE_DIR", pipes}});
    EXPECT_EQ(simulator.wait(20000), 1);
    const std::string simulatorText = simulator.errorOutput();
    EXPECT_NE(simulatorText.find("No simulator serves " + pipes +
                                 "/Sim7; start one with:\n"
                                 "  q7sim --socket Sim7"),
              std::string::npos)
        << simulatorText;
    EXPECT_EQ(simulatorText.find("--port"), std::string::npos) << "no serial port involved";
}

TEST_F(ProgramConventions, WatchSaysTheWholeReason) {
    // A port that was free a moment ago: nothing listens there.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    Subprocess watch(program("nephodar-cli"), {"watch", url});
    EXPECT_EQ(watch.wait(20000), 1);
    EXPECT_NE(watch.errorOutput().find("the connection was refused or the host cannot be "
                                       "reached"),
              std::string::npos)
        << watch.errorOutput();
}

// The simulator's socket is the user's own, in the runtime directory, and the programs find
// it there.
TEST_F(ProgramConventions, SimulatorSocketInTheUsersRuntimeDirectory) {
    const std::string runtime = temp_.path("run");
    std::filesystem::create_directories(runtime);
    const std::map<std::string, std::string> environment = {{"XDG_RUNTIME_DIR", runtime},
                                                            {"NEPHODAR_PIPE_DIR", ""}};
    Subprocess simulator(program("q7sim"), {"--socket", "Sim41", "--value", "1000"}, environment);
    EXPECT_EQ(simulator.nextLine(20000), runtime + "/nephodar/Sim41") << simulator.errorOutput();
    struct stat status {};
    ASSERT_EQ(stat((runtime + "/nephodar").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    Subprocess read(
        program("nephodar-cli"),
        {"read", "--device", "Sim41", "--count", "1", "--program-dir", temp_.path("program")},
        environment);
    EXPECT_EQ(read.nextLine(20000).rfind("1\t", 0), 0u) << read.errorOutput();
    EXPECT_EQ(read.wait(20000), 0) << read.errorOutput();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Identification, the connection cache and the socket connection against the simulator,
// on a real pseudo-terminal and a real local socket.
#include "ErrorOf.h"
#include "LogCapture.h"
#include "ProfileStoreFixture.h"
#include "Q7SimProcess.h"
#include "com/ConnectionFactory.h"
#include "com/ODSourceFactory.h"
#include "com/ODSourceSimulated.h"
#include "com/PipeConnection.h"
#include "com/Q7Variants.h"
#include "com/RS232Connection.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using Talvessa::createODSource;
using Talvessa::getConnection;

namespace {

// Each test names its own connection types: the connection cache lives for the process.
struct SourceFactory : ProfileStoreFixture {
    LogCapture log;
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        setenv("NEPHODAR_PIPE_DIR", temp_.path("pipes").c_str(), 1);
        openDefault();
    }
    void TearDown() override {
        unsetenv("NEPHODAR_PIPE_DIR");
        ProfileStoreFixture::TearDown();
    }
    // A simulator on a terminal, reached as a "Com" type through the profile's "Ports".
    std::unique_ptr<Q7SimProcess> serialSim(const std::string& type,
                                            std::vector<std::string> arguments) {
        auto sim = std::make_unique<Q7SimProcess>(arguments);
        IniFile::getIniFile().writeString("Ports", type, sim->devicePath());
        return sim;
    }
    std::unique_ptr<Q7SimProcess> socketSim(const std::string& type,
                                            std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--socket", type});
        return std::make_unique<Q7SimProcess>(arguments);
    }
};

} // namespace

TEST_F(SourceFactory, IdentifiesBothVariantsOnBothLines) {
    auto oldSerial = serialSim("Com11", {"--variant", "old", "--value", "1000"});
    auto newSerial = serialSim("Com12", {"--variant", "82", "--value", "1000"});
    auto oldSocket = socketSim("Sim11", {"--variant", "old", "--value", "1000"});
    auto newSocket = socketSim("Sim12", {"--variant", "82", "--value", "1000"});
    const struct {
        const char* type;
        bool old;
    } cases[] = {{"Com11", true}, {"Com12", false}, {"Sim11", true}, {"Sim12", false}};
    for (const auto& c : cases) {
        auto source = createODSource(c.type, 6);
        if (c.old)
            EXPECT_NE(dynamic_cast<Talvessa::Q7_Old*>(source.get()), nullptr) << c.type;
        else
            EXPECT_NE(dynamic_cast<Talvessa::Q7_82*>(source.get()), nullptr) << c.type;
        EXPECT_NEAR(source->value(), -std::log10(999.0 / 4094.0), 1e-9) << c.type;
    }
}

TEST_F(SourceFactory, UnidentifiableAnswers) {
    auto none = serialSim("Com13", {"--identify", "none"});
    auto three = socketSim("Sim13", {"--identify", "010203"});
    // Nothing came back: which device file was tried and where another is named.
    EXPECT_EQ(errorOf([] { createODSource("Com13", 6); }),
              "Can't identify type of source!\n0[]\nNo answer from " + none->devicePath() +
                  " (Com13). Check that the photometer is switched on and its cable is plugged "
                  "in, or name its device file in the profile's section [Ports], as "
                  "Com13=/dev/ttyUSB0.");
    EXPECT_EQ(errorOf([] { createODSource("Sim13", 6); }),
              "Can't identify type of source!\n3[ 01 02 03]");
}

TEST_F(SourceFactory, SimulatedSourceByItsFirstFourLetters) {
    for (const char* type : {"Sim0", "Sim0x"})
        EXPECT_NE(dynamic_cast<Talvessa::ODSourceSimulated*>(createODSource(type, 6).get()),
                  nullptr);
    EXPECT_EQ(errorOf([] { createODSource("sim0", 6); }), "Can't identify connection type. sim0");
}

TEST_F(SourceFactory, ConnectionCache) {
    auto a = serialSim("Com21", {});
    auto b = serialSim("Com22", {});
    EXPECT_EQ(&getConnection("Com21"), &getConnection("Com21"));
    EXPECT_NE(&getConnection("Com21"), &getConnection("Com22"));

    for (const char* type : {"COM1", "Xyz"}) {
        log.clear();
        const std::string expected = std::string("Can't identify connection type. ") + type;
        EXPECT_EQ(errorOf([&] { getConnection(type); }), expected);
        EXPECT_EQ(log.text(), expected + "\n");
    }

    // Nothing is kept of a failed open; the next request tries again.
    EXPECT_EQ(errorOf([] { getConnection("Sim23"); }).rfind("Error connecting port.\n", 0), 0u);
    auto late = socketSim("Sim23", {});
    auto& connection = getConnection("Sim23");
    EXPECT_EQ(&connection, &getConnection("Sim23"));
}

TEST_F(SourceFactory, SocketConnectionTexts) {
    const std::string path = temp_.path("pipes") + "/Sim31";
    EXPECT_EQ(errorOf([] { Talvessa::PipeConnection c("Sim31"); }),
              "Error connecting port.\nSystem reported: \nNo such file or directory\nNo "
              "simulator serves " +
                  path + "; start one with:\n  q7sim --socket Sim31");

    auto sim = socketSim("Sim31", {"--variant", "old"});
    Talvessa::PipeConnection connection("Sim31");
    EXPECT_EQ(connection.getName(), path);
    connection.sendByte(0);
    usleep(50 * 1000);
    EXPECT_EQ(connection.bytesInBuffer(true), 2u);
    EXPECT_EQ(connection.bytesInBuffer(false), 2u);
    Talvessa::UCharContainer answer(7);
    EXPECT_EQ(errorOf([&] { connection >> answer; }),
              "PipeServerConnection '" + path +
                  "' receive\nNumber of bytes read are unequal\nto the number of bytes should be "
                  "read!\nshould: 7[ 51 37 00 00 00 00 00]\nread: 2");
    EXPECT_EQ(answer.getSize(), 2);
}

// A serial port that cannot be opened says what to do about it after the system's reason.
TEST_F(SourceFactory, SerialOpenFailuresSayWhatToDo) {
    const std::string missing = temp_.path("no-such-tty");
    IniFile::getIniFile().writeString("Ports", "Com14", missing);
    EXPECT_EQ(errorOf([] { getConnection("Com14"); }),
              "Error connecting port.\n'System reported: \nNo such file or directory'\nThere "
              "is no serial port " +
                  missing +
                  " (Com14). Name the photometer's device file in the profile's "
                  "section [Ports], as Com14=/dev/ttyUSB0.");

    // Permission: the device file, its group, and the command that joins it, on lines of
    // their own.
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(Talvessa::RS232Connection::openAdvice("Com1", "/dev/ttyS0-none", EACCES),
              "\nYou may not open /dev/ttyS0-none: it is for the members of the group dialout. "
              "Join the group with the command below, then log out and in again:\n  sudo "
              "adduser " +
                  std::string(user->pw_name) + " dialout");
    if (geteuid() != 0) { // root opens anything
        const std::string closed = temp_.path("closed-tty");
        TempDirectory::writeFile(closed, "");
        chmod(closed.c_str(), 0);
        IniFile::getIniFile().writeString("Ports", "Com15", closed);
        const std::string text = errorOf([] { getConnection("Com15"); });
        EXPECT_EQ(text.rfind("Error connecting port.\n'System reported: \nPermission denied'\n"
                             "You may not open " +
                                 closed,
                             0),
                  0u)
            << text;
        EXPECT_NE(text.find("\n  sudo adduser " + std::string(user->pw_name) + " "),
                  std::string::npos)
            << text;
    }
    EXPECT_EQ(Talvessa::RS232Connection::openAdvice("Com1", "/dev/ttyS0", EIO), "");
}

TEST_F(SourceFactory, SocketReconnectsWhenTheSimulatorComesBack) {
    auto sim = socketSim("Sim32", {"--value", "1000", "--fault", "2:hangup", "--hangup-ms", "300"});
    auto source = createODSource("Sim32", 6);
    source->value();
    EXPECT_NE(errorOf([&] { source->value(); }), "no error");
    EXPECT_NE(errorOf([&] { source->value(); }).find("Error reconnecting port.\n"),
              std::string::npos);
    ASSERT_FALSE(sim->nextLine().empty());
    EXPECT_NEAR(source->value(), -std::log10(999.0 / 4094.0), 1e-9);
}

TEST_F(SourceFactory, SilentSimulatorCannotHoldTheCaller) {
    auto sim = socketSim("Sim33", {"--fault", "1:silence"});
    auto source = createODSource("Sim33", 6);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(errorOf([&] { source->value(); }).find("should: 6[ 00 00 00 00 00 00]\nread: 0"),
              std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

// A socket whose queue is full (its server busy and not accepting) gives an ordinary
// connection failure within the read time-outs, instead of a connect that waits for ever.
TEST_F(SourceFactory, ConnectingToABusySocketIsBounded) {
    const std::string path = temp_.path("pipes") + "/Sim34";
    std::filesystem::create_directories(temp_.path("pipes"));
    const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(server, 0), 0);
    std::vector<int> queued;
    for (;;) {
        const int client = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(client);
            break;
        }
        queued.push_back(client);
        ASSERT_LT(queued.size(), 100u);
    }

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([] { Talvessa::PipeConnection c("Sim34"); }),
              "Error connecting port.\nSystem reported: \nConnection timed out");
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(350));
    EXPECT_LT(waited, std::chrono::milliseconds(1000));

    // Once the server takes the waiting clients, connecting works again.
    for (const int client : queued) {
        close(accept(server, nullptr, nullptr));
        close(client);
    }
    EXPECT_NO_THROW(Talvessa::PipeConnection c("Sim34"));
    close(server);
}

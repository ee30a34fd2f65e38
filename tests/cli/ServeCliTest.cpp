// SPDX-License-Identifier: GPL-3.0-or-later
// measure --serve and watch as real processes: the page's URL, the refusals, and a script
// following a run.
#include "ProfileStoreFixture.h"
#include "Subprocess.h"

#include <arpa/inet.h>
#include <atomic>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::string cli() {
    return NEPHODAR_PROGRAM_DIR "/nephodar-cli";
}

// A loopback port held by a listening socket of the test's own; 0 when none could be had.
struct HeldPort {
    HeldPort() : socket(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(socket, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            listen(socket, 1) == 0 &&
            getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
    }
    ~HeldPort() { ::close(socket); }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;
    int socket;
    int port = 0;
};

struct ServeCli : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
        openDefault();
    }
    std::vector<std::string> measure(std::vector<std::string> arguments) {
        std::vector<std::string> all = {"measure", "--program-dir", temp_.path("program"),
                                        "--device", "Sim0"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return all;
    }
};

TEST_F(ServeCli, RefusesToStartWithoutThePage) {
    HeldPort held;
    ASSERT_NE(held.port, 0);
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"--serve", std::to_string(held.port)}, "already in use"},
        {{"--serve", "0.0.0.0:" + std::to_string(held.port)}, "needs a token"},
        {{"--serve", "70000"}, "--serve takes [ADDRESS:]PORT"},
        {{"--token", "abc"}, "--token is for --serve"},
        {{"--token-file", temp_.path("token")}, "--token-file is for --serve"},
        {{"--serve", std::to_string(held.port), "--token-file", temp_.path("missing")},
         "Can't read the token file"},
        {{"--serve", std::to_string(held.port), "--token-file", temp_.path("empty")},
         "holds no token"},
        {{"--serve", std::to_string(held.port), "--token", "a", "--token-file",
          temp_.path("token")},
         "exclude each other"},
    };
    TempDirectory::writeFile(temp_.path("token"), "t0k\n");
    TempDirectory::writeFile(temp_.path("empty"), "\n");
    for (const auto& c : cases) {
        Subprocess tool(cli(), measure(c.arguments));
        EXPECT_EQ(tool.nextLine(20000), ""); // no sample was taken
        EXPECT_NE(tool.wait(20000), 0);
        EXPECT_NE(tool.errorOutput().find(c.message), std::string::npos) << tool.errorOutput();
    }
}

TEST_F(ServeCli, WatchFollowsAServedRun) {
    HeldPort probe; // a free port: taken, then let go for the tool
    const int port = probe.port;
    ::close(probe.socket);
    probe.socket = -1;
    // Eight samples a second apart: the run outlasts a watcher that starts slowly on a busy
    // machine, which only sees what is served while the run lasts.
    // The token comes from a file, so that the process list does not show it.
    TempDirectory::writeFile(temp_.path("token"), "t0k\n");
    Subprocess run(cli(), measure({"--samples", "8", "--interval", "1", "--serve",
                                   std::to_string(port), "--token-file", temp_.path("token")}));
    ASSERT_EQ(run.nextLine(20000).substr(0, 2), "0\t") << run.errorOutput();
    EXPECT_EQ(run.errorOutput().find("Status page: http://127.0.0.1:" + std::to_string(port) + "/"),
              0U)
        << run.errorOutput();
    Subprocess watch(cli(), {"watch", "http://127.0.0.1:" + std::to_string(port) + "/?token=t0k"});
    std::vector<std::string> numbers;
    for (std::string line = watch.nextLine(20000); !line.empty(); line = watch.nextLine(20000)) {
        numbers.push_back(line.substr(0, line.find('\t')));
        if (numbers.size() == 6)
            break;
    }
    EXPECT_EQ(numbers, (std::vector<std::string>{"0", "1", "2", "3", "4", "5"}));
    Subprocess tokenless(cli(), {"watch", "http://127.0.0.1:" + std::to_string(port) + "/"});
    EXPECT_NE(tokenless.wait(20000), 0);
    EXPECT_NE(tokenless.errorOutput().find("wants a token"), std::string::npos)
        << tokenless.errorOutput();
    EXPECT_EQ(run.wait(20000), 0);

    Subprocess refused(cli(), {"watch", "http://127.0.0.1:" + std::to_string(port) + "/"});
    EXPECT_NE(refused.wait(20000), 0); // nothing serves there any more
}

// The token from the environment is enough to serve to the network.
TEST_F(ServeCli, TheTokenMayComeFromTheEnvironment) {
    HeldPort probe;
    const int port = probe.port;
    ::close(probe.socket);
    probe.socket = -1;
    Subprocess run(cli(),
                   measure({"--samples", "1", "--interval", "0", "--serve",
                            "0.0.0.0:" + std::to_string(port)}),
                   {{"NEPHODAR_WEB_TOKEN", "t0k"}});
    EXPECT_EQ(run.nextLine(20000).substr(0, 2), "0\t") << run.errorOutput();
    EXPECT_EQ(run.wait(20000), 0) << run.errorOutput();
    EXPECT_NE(run.errorOutput().find("Status page: http://"), std::string::npos)
        << run.errorOutput();
}

// A server that sends what no status page would: notes that steer the terminal or fill it,
// then an event stream whose line never ends. watch shows the notes harmlessly and gives up
// on the stream with a message.
TEST_F(ServeCli, WatchShowsHostileNotesHarmlesslyAndGivesUpOnAnEndlessLine) {
    httplib::Server hostile;
    const std::string longNote(300000, 'n');
    hostile.Get("/api/samples", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(
            R"({"samples": [{"number": 0, "minutes": 1.23456, "od": 0.123456, "calcOd": 0.2,)"
            R"( "note": "\u001b]0;owned\u0007\u001b[31mred\ttab\nline\u202e"},)"
            R"( {"number": 1, "minutes": 2, "od": 0.5, "calcOd": 0.5, "note": ")" +
                longNote + R"("}]})",
            "application/json");
    });
    std::atomic<bool> stopping{false};
    hostile.Get("/api/events", [&](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider(
            "text/event-stream", [&](size_t, httplib::DataSink& sink) {
                const std::string endless = "event: sample\ndata: " + std::string(4096, 'x');
                sink.write(endless.data(), endless.size());
                const std::string more(4096, 'x');
                while (!stopping && sink.is_writable())
                    if (!sink.write(more.data(), more.size()))
                        break;
                return false;
            });
    });
    const int port = hostile.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    std::thread serving([&] { hostile.listen_after_bind(); });

    Subprocess watch(cli(), {"watch", "http://127.0.0.1:" + std::to_string(port) + "/"});
    EXPECT_EQ(watch.nextLine(20000),
              "0\t1.235\t0.1235\t0.2000\t\\x1b]0;owned\\x07\\x1b[31mred\\x09tab\\x0aline\\u202e");
    EXPECT_EQ(watch.nextLine(20000), "1\t2.000\t0.5000\t0.5000\t" + std::string(200, 'n') +
                                         "... [cut: 300000 characters in all]");
    const int status = watch.wait(20000);
    stopping = true;
    hostile.stop();
    serving.join();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(watch.errorOutput(), "Can't watch http://127.0.0.1:" + std::to_string(port) +
                                       ": the event stream sent a line longer than 64 KiB "
                                       "without ending it\n");
}

} // namespace

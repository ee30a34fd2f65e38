// SPDX-License-Identifier: GPL-3.0-or-later
// The status server over real sockets: the API, the rules of what it serves, and its bounds.
#include "web/WebServer.h"
#include "ThreadPriorities.h"
#include "web/WebEventHub.h"
#include "web/WebJson.h"
#include "web/WebRequestRules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

RecordRow row(int number, double od, const QString& note = {}) {
    RecordRow r;
    r.number = number;
    r.minutes = number * 10.0;
    r.od = od;
    r.calcOd = od * 2;
    r.note = note;
    r.title = QStringLiteral("Culture A");
    r.timeS = QStringLiteral("0:10");
    return r;
}

QJsonObject json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// A connected socket to the server, for what a plain client would not send.
class RawClient {
public:
    explicit RawClient(int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(socket_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    bool send(const std::string& text) {
        return ::send(socket_, text.data(), text.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(text.size());
    }
    // What comes until the server closes or the time is over.
    std::string receive(std::chrono::milliseconds limit, bool* closed = nullptr) {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd entry{socket_, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0)
                continue;
            char buffer[4096];
            const ssize_t count = ::recv(socket_, buffer, sizeof buffer, 0);
            if (count <= 0) {
                if (closed)
                    *closed = true;
                return text;
            }
            text.append(buffer, static_cast<std::size_t>(count));
        }
        return text;
    }

private:
    int socket_;
    bool connected_ = false;
};

class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WebStatus status;
        status.state = QStringLiteral("running");
        status.title = QStringLiteral("Culture A");
        status.device = QStringLiteral("Sim0");
        status.samples = 2;
        status.od = 0.25;
        status.calcOd = 0.5;
        status.formulaName = QStringLiteral("Dry mass");
        status.elapsedMilliseconds = 3723000;
        status.alarm.odOn = true;
        status.alarm.odThreshold = QStringLiteral("1.500");
        hub.publishStatus(status);
        hub.resetRows({row(1, 0.1), row(2, 0.25, QStringLiteral("glucose added"))});
    }

    void start(WebServerOptions options = {}) {
        options.port = 0;
        options.readTimeout = 400ms;
        options.idleTimeout = 400ms;
        options.writeTimeout = 400ms;
        ASSERT_EQ(server.start(options), std::nullopt);
    }

    httplib::Client client() const {
        httplib::Client c("127.0.0.1", server.port());
        c.set_read_timeout(5);
        return c;
    }

    WebEventHub hub;
    WebServer server{hub};
};

TEST(WebRequestRules, AddressesTokensAndNumbers) {
    using namespace WebRequestRules;
    for (const char* loopback : {"127.0.0.1", "127.1.2.3", "::1", "localhost", "LocalHost"})
        EXPECT_TRUE(isLoopbackAddress(loopback)) << loopback;
    for (const char* open : {"0.0.0.0", "192.168.1.5", "::", "128.0.0.1", "", "127.0.0.1x"})
        EXPECT_FALSE(isLoopbackAddress(open)) << open;
    EXPECT_EQ(bindingRefusal("127.0.0.1", ""), std::nullopt);
    EXPECT_EQ(bindingRefusal("0.0.0.0", "secret"), std::nullopt);
    ASSERT_TRUE(bindingRefusal("0.0.0.0", ""));
    EXPECT_NE(bindingRefusal("0.0.0.0", "")->find("needs a token"), std::string::npos);

    EXPECT_TRUE(tokensEqual("secret", "secret"));
    EXPECT_FALSE(tokensEqual("secreT", "secret"));
    EXPECT_FALSE(tokensEqual("secret", "secret2"));
    EXPECT_FALSE(tokensEqual("", "secret"));
    EXPECT_EQ(bearerToken("Bearer abc"), "abc");
    EXPECT_EQ(bearerToken("bearer  abc "), "abc");
    EXPECT_EQ(bearerToken("Basic abc"), std::nullopt);
    EXPECT_EQ(bearerToken("Bearer "), std::nullopt);

    EXPECT_EQ(sampleNumber(""), 0);
    EXPECT_EQ(sampleNumber("17"), 17);
    EXPECT_EQ(sampleNumber("999999999"), 999999999);
    for (const char* bad : {"-1", "1e3", "1234567890", " 1", "0x10", "1 "})
        EXPECT_EQ(sampleNumber(bad), std::nullopt) << bad;
}

TEST(WebRequestRules, ServeAddresses) {
    using WebRequestRules::parseServeAddress;
    const struct {
        const char* text;
        const char* address; // nullptr: refused
        int port;
    } cases[] = {
        {"8765", "127.0.0.1", 8765}, {"0.0.0.0:80", "0.0.0.0", 80},
        {"[::1]:8000", "::1", 8000}, {"localhost:65535", "localhost", 65535},
        {"0", nullptr, 0},           {"65536", nullptr, 0},
        {":8765", nullptr, 0},       {"::1:8000", nullptr, 0},
        {"host:", nullptr, 0},       {"[::1]8000", nullptr, 0},
        {"8765x", nullptr, 0},       {"", nullptr, 0},
    };
    for (const auto& c : cases) {
        const auto parsed = parseServeAddress(c.text);
        if (!c.address) {
            EXPECT_EQ(parsed.has_value(), false) << c.text;
            continue;
        }
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(parsed->address, c.address);
        EXPECT_EQ(parsed->port, c.port);
    }
    EXPECT_EQ(WebRequestRules::pageUrl("::1", 80), "http://[::1]:80/");
}

TEST(WebEventHub, EventsInOrderAndResetForALaggingStream) {
    WebEventHub hub(3);
    const auto start = hub.lastEventId();
    EXPECT_TRUE(hub.eventsAfter(start, 0ms).empty());
    hub.appendRows({row(1, 0.1), row(2, 0.2)});
    auto events = hub.eventsAfter(start, 0ms);
    ASSERT_EQ(events.size(), 2U);
    EXPECT_EQ(events[0].name, "sample");
    EXPECT_EQ(json(events[1].data).value("number").toInt(), 2);
    hub.appendRows({row(3, 0.3), row(4, 0.4), row(5, 0.5)});
    // Two of the events after start were dropped: the stream must load everything again.
    events = hub.eventsAfter(start, 0ms);
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].name, "reset");
    EXPECT_EQ(hub.rowsFrom(4).size(), 2U);
    hub.setNote(4, QStringLiteral("shaken"));
    EXPECT_EQ(hub.rowsFrom(4).front().note, QStringLiteral("shaken"));
}

TEST(WebJson, NumbersThatAreNotFiniteAreNull) {
    EXPECT_EQ(WebJson::elapsedText(3723999), QStringLiteral("01:02:03"));
    EXPECT_EQ(WebJson::elapsedText(100LL * 3600 * 1000), QStringLiteral("100:00:00"));
    RecordRow broken = row(1, std::numeric_limits<double>::quiet_NaN());
    const QJsonObject event = json(WebJson::sampleEvent(broken));
    EXPECT_TRUE(event.value("od").isNull());
    WebStatus none;
    EXPECT_TRUE(json(WebJson::status(none, {})).value("od").isNull());
}

TEST_F(WebServerTest, StatusAndSamples) {
    start();
    auto c = client();
    const auto status = c.Get("/api/status");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->status, 200);
    EXPECT_EQ(status->get_header_value("Content-Type"), "application/json");
    const QJsonObject s = json(status->body);
    EXPECT_EQ(s.value("state").toString(), "running");
    EXPECT_EQ(s.value("title").toString(), "Culture A");
    EXPECT_EQ(s.value("device").toString(), "Sim0");
    EXPECT_EQ(s.value("samples").toInt(), 2);
    EXPECT_DOUBLE_EQ(s.value("od").toDouble(), 0.25);
    EXPECT_DOUBLE_EQ(s.value("calcOd").toDouble(), 0.5);
    EXPECT_EQ(s.value("formulaName").toString(), "Dry mass");
    EXPECT_EQ(s.value("elapsed").toString(), "01:02:03");
    EXPECT_TRUE(s.value("alarm").toObject().value("od").toObject().value("on").toBool());
    EXPECT_FALSE(s.value("growth").toArray().isEmpty());

    const auto samples = c.Get("/api/samples?since=2");
    ASSERT_TRUE(samples);
    const QJsonArray rows = json(samples->body).value("samples").toArray();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toObject().value("number").toInt(), 2);
    EXPECT_EQ(rows[0].toObject().value("note").toString(), "glucose added");
    EXPECT_EQ(json(c.Get("/api/samples")->body).value("samples").toArray().size(), 2);

    const auto page = c.Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("<script src=\"page.js\">"), std::string::npos);
    EXPECT_EQ(c.Get("/dygraph.min.js")->status, 200);
    const auto tsv = c.Get("/export/table.tsv");
    EXPECT_EQ(tsv->status, 200);
    EXPECT_NE(tsv->body.find("glucose added"), std::string::npos);
    const auto workbook = c.Get("/export/table.xlsx");
    EXPECT_EQ(workbook->status, 200);
    EXPECT_EQ(workbook->body.substr(0, 2), "PK");
}

TEST_F(WebServerTest, OnlyKnownPathsAndReadingMethods) {
    start();
    auto c = client();
    EXPECT_EQ(c.Head("/api/status")->status, 200);
    const struct {
        const char* method;
        const char* path;
        int status;
    } cases[] = {
        {"POST", "/api/status", 405},
        {"PUT", "/", 405},
        {"DELETE", "/api/samples", 405},
        {"PATCH", "/api/status", 405},
        {"GET", "/../../etc/passwd", 404},
        {"GET", "/page.js/../../x", 404},
        {"GET", "/index.html", 404},
        {"GET", "/api/samples?since=-1", 400},
        {"GET", "/api/samples?since=abc", 400},
    };
    for (const auto& t : cases) {
        httplib::Request request;
        request.method = t.method;
        request.path = t.path;
        const auto answer = c.send(request);
        ASSERT_TRUE(answer) << t.method << " " << t.path;
        EXPECT_EQ(answer->status, t.status) << t.method << " " << t.path;
        if (t.status == 405) {
            EXPECT_EQ(answer->get_header_value("Allow"), "GET, HEAD");
        }
    }
}

TEST_F(WebServerTest, TokenRequiredOnEveryRequest) {
    WebServerOptions options;
    options.token = "s3cret";
    start(options);
    auto c = client();
    EXPECT_EQ(c.Get("/api/status")->status, 401);
    EXPECT_EQ(c.Get("/?token=wrong")->status, 401);
    EXPECT_EQ(c.Get("/api/status?token=s3cret")->status, 200);
    EXPECT_EQ(c.Get("/api/status", {{"Authorization", "Bearer s3cret"}})->status, 200);
    EXPECT_EQ(c.Get("/api/status", {{"Authorization", "Bearer s3cre"}})->status, 401);
    EXPECT_EQ(c.Get("/api/status", {{"Authorization", "Basic s3cret"}})->status, 401);
    // Method and token: the method is refused whatever the token.
    EXPECT_EQ(c.Post("/api/status?token=s3cret")->status, 405);
}

TEST_F(WebServerTest, BindingRefusedWithoutTokenAndPortInUse) {
    WebServerOptions open;
    open.address = "0.0.0.0";
    open.port = 0;
    const auto refused = server.start(open);
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find("needs a token"), std::string::npos);
    EXPECT_FALSE(server.isRunning());

    start();
    WebEventHub otherHub;
    WebServer other(otherHub);
    WebServerOptions same;
    same.port = server.port();
    const auto inUse = other.start(same);
    ASSERT_TRUE(inUse);
    EXPECT_NE(inUse->find("already in use"), std::string::npos) << *inUse;
    EXPECT_EQ(client().Get("/api/status")->status, 200); // the first one still serves
}

TEST_F(WebServerTest, EventStreamGetsSamplesAndStateChanges) {
    start();
    std::string received;
    std::thread reader([&] {
        auto c = client();
        c.Get("/api/events", [&](const char* data, size_t length) {
            received.append(data, length);
            return received.find("event: state") == std::string::npos;
        });
    });
    while (server.openedEventStreams() == 0)
        std::this_thread::sleep_for(5ms);
    hub.appendRows({row(3, 0.4)});
    WebStatus paused = hub.status();
    paused.state = QStringLiteral("paused");
    hub.publishStatus(paused);
    reader.join();
    const auto sample = received.find("event: sample\ndata: ");
    ASSERT_NE(sample, std::string::npos) << received;
    EXPECT_NE(received.find("\"number\":3", sample), std::string::npos);
    EXPECT_NE(received.find("event: state\ndata: {\"samples\":2,\"state\":\"paused\"}"),
              std::string::npos)
        << received;
}

TEST_F(WebServerTest, ClientsBeyondTheLimitGet503) {
    WebServerOptions options;
    options.maxClients = 3;
    options.readTimeout = 5000ms;
    start(options);
    // Three connections that have not finished their requests hold every place.
    std::vector<std::unique_ptr<RawClient>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(std::make_unique<RawClient>(server.port()));
        held.back()->send("GET /api/status HTTP/1.1\r\n");
    }
    while (server.connectedClients() < 3)
        std::this_thread::sleep_for(5ms);
    RawClient extra(server.port());
    extra.send("GET /api/status HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(extra.receive(3s).substr(0, 12), "HTTP/1.1 503");
    held.clear();
    while (server.connectedClients() > 0)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(client().Get("/api/status")->status, 200);
}

TEST_F(WebServerTest, HugeHeadersSlowAndVanishingClientsAreCutOff) {
    start();
    {
        // A head beyond its bound: answered with an error or closed, never read on.
        RawClient huge(server.port());
        huge.send("GET /api/status HTTP/1.1\r\n");
        bool closed = false;
        for (int i = 0; i < 40 && !closed; ++i) {
            if (!huge.send("X-Filler: " + std::string(1000, 'a') + "\r\n"))
                closed = true;
        }
        const std::string answer = huge.receive(2s, &closed);
        EXPECT_TRUE(closed || answer.rfind("HTTP/1.1 4", 0) == 0) << answer;
        EXPECT_EQ(answer.find("HTTP/1.1 200"), std::string::npos);
    }
    {
        // A byte now and then: closed once the head's time is over.
        RawClient slow(server.port());
        bool closed = false;
        const auto began = std::chrono::steady_clock::now();
        for (const char c : std::string("GET /api/status HTTP/1.1\r\nHost: x\r\n")) {
            if (!slow.send(std::string(1, c)) || closed)
                break;
            slow.receive(50ms, &closed);
        }
        slow.receive(2s, &closed);
        EXPECT_TRUE(closed);
        EXPECT_LT(std::chrono::steady_clock::now() - began, 3s);
    }
    {
        // Gone in the middle of its event stream.
        RawClient gone(server.port());
        gone.send("GET /api/events HTTP/1.1\r\nHost: x\r\n\r\n");
        gone.receive(200ms);
    }
    hub.appendRows({row(3, 0.4)});
    EXPECT_EQ(client().Get("/api/status")->status, 200);
}

// On a busy machine the page's clients must not slow a sample: every thread of the server and
// its hub runs below the engine's.
TEST_F(WebServerTest, ServingThreadsRunBelowTheSamplingPriority) {
    // The hub's relay lowers itself as it begins.
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (threadsBelowTheMainThread() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(5ms);
    const int before = threadsBelowTheMainThread();
    EXPECT_EQ(before, 1) << "the hub's relay";
    WebServerOptions options;
    start(options);
    EXPECT_EQ(client().Get("/api/status")->status, 200);
    // The listener and its pool, which has a place for every client and some beyond.
    EXPECT_GE(threadsBelowTheMainThread() - before, options.maxClients + 8);
}

TEST_F(WebServerTest, StopsAtOnceWithStreamsOpen) {
    start();
    std::thread reader([&] {
        auto c = client();
        c.Get("/api/events", [](const char*, size_t) { return true; });
    });
    while (server.openedEventStreams() == 0)
        std::this_thread::sleep_for(5ms);
    const auto began = std::chrono::steady_clock::now();
    server.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2s);
    reader.join();
    EXPECT_FALSE(server.isRunning());
    // And starts again on the same hub.
    start();
    EXPECT_EQ(client().Get("/api/status")->status, 200);
}

} // namespace

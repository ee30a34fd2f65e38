// SPDX-License-Identifier: GPL-3.0-or-later
// The status page in a real browser: headless Chromium loads it from the server, and the
// curve gains a point when a sample is stored while the page is open.
#include "web/WebEventHub.h"
#include "web/WebServer.h"

#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <regex>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

RecordRow row(int number, double od) {
    RecordRow r;
    r.number = number;
    r.minutes = number * 5.0;
    r.od = od;
    r.calcOd = od;
    return r;
}

// The page's DOM after the browser has had it open for the time given.
std::string pageAfter(const std::string& url, int milliseconds, const QString& profile) {
    const std::string command = "chromium --headless --no-sandbox --disable-gpu "
                                "--no-first-run --user-data-dir=" +
                                profile.toStdString() +
                                " --virtual-time-budget=" + std::to_string(milliseconds) +
                                " --dump-dom '" + url + "' 2>/dev/null";
    std::string dom;
    if (FILE* output = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t count = 0;
        while ((count = fread(buffer, 1, sizeof buffer, output)) > 0)
            dom.append(buffer, count);
        pclose(output);
    }
    return dom;
}

std::string points(const std::string& dom) {
    std::smatch match;
    return std::regex_search(dom, match, std::regex("data-points=\"(\\d+)\"")) ? match[1].str()
                                                                               : "";
}

TEST(StatusPageBrowser, ShowsTheRunAndGainsAPointLive) {
    if (system("command -v chromium >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "chromium is not installed";
    WebEventHub hub;
    WebStatus status;
    status.state = QStringLiteral("running");
    status.title = QStringLiteral("Overnight E. coli");
    status.device = QStringLiteral("Sim0");
    status.samples = 2;
    status.od = 0.4321;
    status.calcOd = 0.4321;
    hub.publishStatus(status);
    hub.resetRows({row(1, 0.1), row(2, 0.4321)});
    WebServer server(hub);
    WebServerOptions options;
    options.port = 0;
    options.token = "page-token";
    // The browser's clock stands still while a request is open: short streams let it run.
    options.streamLifetime = std::chrono::milliseconds(300);
    ASSERT_EQ(server.start(options), std::nullopt);

    QTemporaryDir profile;
    std::string dom;
    std::thread browser(
        [&] { dom = pageAfter(server.url() + "?token=page-token", 4000, profile.path()); });
    // Once the page follows the events, a new sample is stored.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (server.openedEventStreams() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    ASSERT_GT(server.openedEventStreams(), 0) << "the page never opened its event stream";
    status.samples = 3;
    status.od = 0.5;
    hub.setStatus(status);
    hub.appendRows({row(3, 0.5)});
    browser.join();

    EXPECT_NE(dom.find("<h1 id=\"title\">Overnight E. coli</h1>"), std::string::npos) << dom;
    EXPECT_NE(dom.find("id=\"od\" class=\"big\">0.500<"), std::string::npos) << dom;
    EXPECT_EQ(points(dom), "3") << dom;
    EXPECT_NE(dom.find("class=\"dygraph-"), std::string::npos); // the chart was drawn
}

} // namespace

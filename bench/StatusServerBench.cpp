// SPDX-License-Identifier: GPL-3.0-or-later
// The status server against the sampling path, during Sim0 runs: the whole sampling tick with
// 32 event-stream clients connected against none, the time from a stored sample to the curve
// drawn in a real browser (median and maximum over 50 samples), and the server's memory with
// 32 clients.
#include "BenchProfileStore.h"
#include "BenchStatistics.h"
#include "BenchTarget.h"
#include "EngineFakes.h"
#include "HeadlessBrowser.h"
#include "com/ODSourceSimulated.h"
#include "web/WebEngineFeed.h"
#include "web/WebServer.h"
#include "workstation/MeasurementEngine.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <httplib.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using WallClock = std::chrono::steady_clock;

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

double mean(const std::vector<double>& values) {
    double sum = 0;
    for (const double value : values)
        sum += value;
    return sum / static_cast<double>(values.size());
}

// A Sim0 run whose samples go to a status server, driven by a fake clock.
struct ServedRun {
    explicit ServedRun(const QString& program)
        : engine(program, clock, tones, prompts), feed(engine, hub), server(hub),
          driver(engine, clock) {
        engine.setSource(std::make_unique<Talvessa::ODSourceSimulated>());
        engine.setQuality(1);
        engine.setInterval(0);
        engine.setTitle(QStringLiteral("Benchmark culture"));
        feed.setDevice(QStringLiteral("Sim0"));
        WebServerOptions options;
        options.port = 0;
        if (const auto failure = server.start(options))
            throw std::runtime_error(*failure);
        engine.start();
    }
    ~ServedRun() {
        prompts.answerYes = false;
        engine.end();
    }

    // The wall time of each of the sampling ticks, apart as samples are in a run: the
    // clients have had their share of the machine before the next one.
    std::vector<double> tickMilliseconds(int count) {
        std::vector<double> times;
        for (int i = 0; i < count; ++i) {
            driver.untilSamplingDue();
            const auto began = WallClock::now();
            driver.tick();
            times.push_back(
                std::chrono::duration<double, std::milli>(WallClock::now() - began).count());
            QCoreApplication::sendPostedEvents(); // the hand-over to the server, after the tick
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return times;
    }

    FakeClock clock;
    RecordingTones tones;
    ScriptedPrompts prompts;
    MeasurementEngine engine;
    WebEventHub hub;
    WebEngineFeed feed;
    WebServer server;
    TickDriver driver;
};

// Event-stream clients that read until they are told to stop.
class StreamClients {
public:
    StreamClients(int port, int count) {
        for (int i = 0; i < count; ++i)
            threads_.emplace_back([this, port] {
                httplib::Client client("127.0.0.1", port);
                client.set_read_timeout(30);
                client.Get("/api/events", [this](const char*, size_t) { return !done_; });
            });
    }
    // The streams end at their next event.
    void stop() { done_ = true; }
    ~StreamClients() {
        for (auto& thread : threads_)
            thread.join();
    }

private:
    std::atomic<bool> done_{false};
    std::vector<std::thread> threads_;
};

void measureTicksAndMemory(const QString& program) {
    constexpr int ticks = 300;
    ServedRun run(program);
    run.tickMilliseconds(20); // warm-up
    const std::vector<double> alone = run.tickMilliseconds(ticks);
    const long before = residentKilobytes();
    StreamClients clients(run.server.port(), 32);
    while (run.server.openedEventStreams() < 32)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const long with32 = residentKilobytes();
    const std::vector<double> with = run.tickMilliseconds(ticks);
    clients.stop();
    run.tickMilliseconds(1); // an event that ends the streams
    std::printf("sampling tick: median %.3f ms with no event-stream client, %.3f ms with 32; "
                "means %.3f and %.3f ms, ratio %.3f\n",
                median(alone), median(with), mean(alone), mean(with), mean(with) / mean(alone));
    BenchTarget::atMost("sampling tick: ratio of medians with 32 clients / none",
                        median(with) / median(alone), 1.1);
    std::printf("server memory with 32 clients: %ld kB beyond the server without them "
                "(%ld kB resident)\n",
                with32 - before, with32);
}

void measureBrowserLatency(const QString& program) {
    constexpr int samples = 50;
    ServedRun run(program);
    run.driver.untilNextSample();
    HeadlessBrowser browser;
    browser.open(run.server.url());
    if (!browser.waitUntil(QStringLiteral("document.body.dataset.points === '1' && "
                                          "document.getElementById('connection').textContent "
                                          "=== 'live'"),
                           30000))
        throw std::runtime_error("the page never showed the run");
    double storedAt = 0;
    QObject::connect(&run.engine, &MeasurementEngine::sampleTaken, [&] {
        storedAt = std::chrono::duration<double, std::milli>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
    });
    std::vector<double> latencies;
    for (int i = 0; i < samples; ++i) {
        const int expected = run.engine.sampleNumber() + 1;
        // The page's own clock says when the new point's frame was drawn.
        browser.evaluate(
            QStringLiteral(
                "(window.seen = new Promise((resolve) => {"
                "  new MutationObserver((changes, observer) => {"
                "    if (document.body.dataset.points !== '%1') return;"
                "    observer.disconnect();"
                "    requestAnimationFrame(() => resolve(performance.timeOrigin + "
                "performance.now()));"
                "  }).observe(document.body, {attributes: true, attributeFilter: ['data-points']});"
                "}), true)")
                .arg(expected));
        run.driver.untilNextSample();
        QCoreApplication::sendPostedEvents();
        const double drawnAt = browser.evaluate(QStringLiteral("window.seen"), 10000).toDouble();
        latencies.push_back(drawnAt - storedAt);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::printf("sample stored -> drawn in the browser's page: median %.1f ms, maximum %.1f ms "
                "over %d samples\n",
                median(latencies), *std::max_element(latencies.begin(), latencies.end()), samples);
    BenchTarget::atMost("sample stored -> drawn: median ms", median(latencies), 250);
}

// What a waiting stream costs the engine's thread: handing one row to the hub.
void measureHandOver() {
    WebEventHub hub;
    WebServer server(hub);
    WebServerOptions options;
    options.port = 0;
    server.start(options);
    int number = 0;
    const auto handOver = [&](int count) {
        WallClock::duration spent{};
        for (int i = 0; i < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            RecordRow row;
            row.number = ++number;
            const auto began = WallClock::now();
            hub.appendRows({row});
            spent += WallClock::now() - began;
        }
        return std::chrono::duration<double, std::micro>(spent).count() / count;
    };
    handOver(50);
    const double alone = handOver(500);
    StreamClients clients(server.port(), 32);
    while (server.openedEventStreams() < 32)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double with32 = handOver(500);
    clients.stop();
    handOver(1);
    std::printf("hand-over of a row to the hub: %.1f us with no client, %.1f us with 32\n", alone,
                with32);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    try {
        BenchProfileStore store;
        TempDirectory::writeFile(store.temp.path("program/Templates/Template.txt"), "Lab:\n");
        const QString program = QString::fromStdString(store.temp.path("program"));
        measureHandOver();
        measureTicksAndMemory(program);
        if (HeadlessBrowser::available())
            measureBrowserLatency(program);
        else
            std::printf("sample stored -> drawn in the browser: not measured, chromium is not "
                        "installed\n");
        return BenchTarget::exitStatus();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "status server benchmark: %s\n", e.what());
        return 1;
    }
}

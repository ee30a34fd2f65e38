// SPDX-License-Identifier: GPL-3.0-or-later
// Publishing to a real mosquitto broker: the sampling tick with publishing on against off,
// 10 000 queued rows drained once the broker is back, and the time from a stored row to a
// subscriber's receipt.
#include "BenchProfileStore.h"
#include "BenchStatistics.h"
#include "BenchTarget.h"
#include "EngineFakes.h"
#include "LoopbackBroker.h"
#include "MosquittoBroker.h"
#include "TempDirectory.h"
#include "com/ODSourceSimulated.h"
#include "publish/BrokerPublisher.h"
#include "publish/EnginePublishing.h"
#include "publish/PublishMessages.h"
#include "workstation/MeasurementEngine.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using WallClock = std::chrono::steady_clock;

double milliseconds(WallClock::time_point from, WallClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

BrokerSettings settingsFor(int port) {
    return loopbackBroker(port, QStringLiteral("bench/ws1"));
}

template <typename Done> bool runUntil(Done done, int timeoutMilliseconds) {
    const auto until = WallClock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (!done()) {
        if (WallClock::now() > until)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The median sampling tick over a run of rows, with or without a publisher on the engine.
double medianTick(const QString& program, BrokerPublisher* publisher) {
    constexpr int rows = 300;
    FakeClock fakeClock;
    RecordingTones tones;
    ScriptedPrompts prompts;
    MeasurementEngine engine(program, fakeClock, tones, prompts);
    std::unique_ptr<EnginePublishing> publishing;
    if (publisher)
        publishing = std::make_unique<EnginePublishing>(engine, *publisher, QStringLiteral("Sim0"));
    engine.setSource(std::make_unique<Talvessa::ODSourceSimulated>());
    engine.setQuality(1);
    engine.setInterval(0);
    engine.start();
    TickDriver driver(engine, fakeClock);
    std::vector<double> times;
    for (int row = 0; row < rows; ++row) {
        driver.untilSamplingDue();
        const auto start = WallClock::now();
        driver.tick();
        times.push_back(milliseconds(start, WallClock::now()));
        // The publisher works between ticks, as it does between real samples, which come
        // apart; the engine's own timers stay with the driver.
        QCoreApplication::sendPostedEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    prompts.answerYes = false;
    engine.end();
    return median(times);
}

} // namespace

int runBenchmark() {
    BenchProfileStore store;
    TempDirectory& temp = store.temp;
    TempDirectory::writeFile(temp.path("program/Templates/Template.txt"), "Lab:\n");
    const QString program = QString::fromStdString(temp.path("program"));

    {
        MosquittoBroker broker;
        BrokerPublisher publisher(program, settingsFor(broker.port()));
        runUntil([&] { return publisher.status() == BrokerPublisher::Status::Connected; }, 10000);
        const double off = medianTick(program, nullptr);
        const double on = medianTick(program, &publisher);
        std::printf("sampling tick: median %.3f ms without publishing, %.3f ms with it\n", off, on);
        BenchTarget::atMost("sampling tick: ratio with publishing / without", on / off, 1.1);
        runUntil([&] { return publisher.waitingCount() == 0; }, 20000);
    }

    {
        constexpr int queued = 10000;
        const int port = MosquittoBroker::freePort();
        BrokerPublisher publisher(program, settingsFor(port));
        const QDateTime start = QDateTime::currentDateTime();
        for (int number = 0; number < queued; ++number) {
            PublishMessages::Sample row{QStringLiteral("bench"),
                                        number,
                                        number * 0.5,
                                        0.1,
                                        0.2,
                                        start.addSecs(static_cast<qint64>(number) * 30),
                                        QStringLiteral("drain")};
            publisher.queue("sample", PublishMessages::sample(row));
        }
        QCoreApplication::processEvents();
        MosquittoBroker broker(port, {});
        BrokerSubscriber subscriber(port, "bench/ws1/sample");
        const auto begin = WallClock::now();
        const bool drained = runUntil([&] { return publisher.waitingCount() == 0; }, 120000);
        const double seconds = milliseconds(begin, WallClock::now()) / 1000.0;
        std::printf("drain: %d queued rows %s in %.2f s after the broker came back, %.0f rows/s "
                    "(including the reconnection)\n",
                    queued, drained ? "delivered" : "NOT all delivered", seconds, queued / seconds);
        BenchTarget::holds("drain: every queued row delivered", drained);
    }

    {
        constexpr int samples = 200;
        MosquittoBroker broker;
        BrokerSubscriber subscriber(broker.port(), "bench/ws1/sample");
        BrokerPublisher publisher(program, settingsFor(broker.port()));
        runUntil([&] { return publisher.status() == BrokerPublisher::Status::Connected; }, 10000);
        std::vector<double> latencies;
        const QDateTime start = QDateTime::currentDateTime();
        for (int number = 0; number < samples; ++number) {
            PublishMessages::Sample row{QStringLiteral("latency"), number, 0, 0.1, 0.2, start,
                                        QStringLiteral("latency")};
            const auto stored = WallClock::now();
            publisher.queue("sample", PublishMessages::sample(row));
            runUntil(
                [&] {
                    return subscriber.waitFor("/sample", number + 1, 0).size() >
                           static_cast<size_t>(number);
                },
                10000);
            latencies.push_back(milliseconds(stored, WallClock::now()));
        }
        std::printf("latency from queued row to the subscriber: median %.3f ms, maximum %.3f ms "
                    "(%d rows)\n",
                    median(latencies), *std::max_element(latencies.begin(), latencies.end()),
                    samples);
    }
    return BenchTarget::exitStatus();
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    try {
        return runBenchmark();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "publish benchmark: %s\n", e.what());
        return 1;
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The status server against the sampling path: what handing a stored sample to the hub costs
// the engine's thread with 32 event-stream clients connected and with none, how soon a client
// sees the sample (median and maximum over 50), and the server's memory with 32 clients.
#include "web/WebEventHub.h"
#include "web/WebServer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <httplib.h>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

RecordRow row(int number) {
    RecordRow r;
    r.number = number;
    r.minutes = number * 0.5;
    r.od = 0.1 + number * 0.001;
    r.calcOd = r.od;
    r.title = QStringLiteral("Benchmark culture");
    return r;
}

// The engine's side of one stored sample: the row and the status into the hub. Samples come
// apart in a run, so the streams have gone back to waiting before the next one.
double handOverMicroseconds(WebEventHub& hub, int& number, int count) {
    WebStatus status = hub.status();
    Clock::duration spent{};
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const auto began = Clock::now();
        hub.appendRows({row(++number)});
        status.samples = number;
        hub.setStatus(status);
        spent += Clock::now() - began;
    }
    return std::chrono::duration<double, std::micro>(spent).count() / count;
}

} // namespace

int main() {
    WebEventHub hub;
    WebServer server(hub);
    WebServerOptions options;
    options.port = 0;
    if (const auto failure = server.start(options)) {
        std::cerr << *failure << std::endl;
        return 1;
    }
    int number = 0;
    handOverMicroseconds(hub, number, 50); // warm-up
    const double alone = handOverMicroseconds(hub, number, 500);
    const long before = residentKilobytes();

    std::atomic<bool> done{false};
    std::atomic<long long> lastSeenAt{0};
    std::atomic<int> lastSeen{-1};
    std::vector<std::thread> clients;
    for (int i = 0; i < 32; ++i)
        clients.emplace_back([&, i] {
            httplib::Client client("127.0.0.1", server.port());
            client.set_read_timeout(30);
            std::string buffer;
            client.Get("/api/events", [&](const char* data, size_t length) {
                if (i == 0) {
                    buffer.append(data, length);
                    const auto at = buffer.rfind("\"number\":");
                    if (at != std::string::npos) {
                        lastSeenAt = Clock::now().time_since_epoch().count();
                        lastSeen = std::stoi(buffer.substr(at + 9));
                        buffer.clear();
                    }
                }
                return !done;
            });
        });
    while (server.openedEventStreams() < 32)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const long with32 = residentKilobytes();
    const double withClients = handOverMicroseconds(hub, number, 500);

    std::vector<double> latencies;
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto sent = Clock::now();
        hub.appendRows({row(++number)});
        while (lastSeen < number && Clock::now() - sent < std::chrono::seconds(5))
            std::this_thread::yield();
        latencies.push_back(std::chrono::duration<double, std::milli>(
                                Clock::duration(lastSeenAt.load()) - sent.time_since_epoch())
                                .count());
    }
    done = true;
    hub.appendRows({row(++number)});
    server.stop();
    for (auto& client : clients)
        client.join();
    std::sort(latencies.begin(), latencies.end());
    const double median = (latencies[24] + latencies[25]) / 2;
    std::cout << "hand-over of a sample: " << alone << " us alone, " << withClients
              << " us with 32 event streams; ratio " << withClients / alone << " (target <= 1.1)\n"
              << "sample stored -> seen by an event-stream client: median " << median
              << " ms, maximum " << latencies.back() << " ms; ratio to the 250 ms target "
              << median / 250 << "\n"
              << "server memory with 32 clients: " << (with32 - before) << " kB beyond the idle "
              << "server (" << with32 << " kB resident)\n";
    return 0;
}

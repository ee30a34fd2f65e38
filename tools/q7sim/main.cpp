// SPDX-License-Identifier: GPL-3.0-or-later
// q7sim: a Q7 photometer on a pseudo-terminal.
#include "DeviceModel.h"
#include "Options.h"
#include "PtyPort.h"
#include "SocketPort.h"
#include "lumo/SocketDirectory.h"
#include "lumo/Version.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

template <class Port> void announce(const Port& port) {
    std::cout << port.announcedPath() << std::endl;
}

void writeAll(int fd, const std::vector<unsigned char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the client is gone; the next poll notices
        done += static_cast<std::size_t>(n);
    }
}

void trace(const q7sim::Options& options, const q7sim::Reply& reply) {
    if (options.verbose)
        std::cerr << "q7sim: " << reply.event << std::endl;
}

template <class Port> int serve(const q7sim::Options& options, Port& port) {
    q7sim::DeviceModel device(options.device);
    port.open();
    announce(port);

    unsigned char buffer[256];
    while (!stopRequested) {
        if (!port.waitForClient(200))
            continue;
        pollfd entry{port.fd(), POLLIN, 0};
        const int ready = poll(&entry, 1, 200);
        if (ready <= 0)
            continue;
        const ssize_t n = read(port.fd(), buffer, sizeof buffer);
        if (n <= 0) {
            if (n == 0 || errno != EINTR)
                port.clientGone();
            continue;
        }
        for (const auto& reply : device.receive(buffer, static_cast<std::size_t>(n))) {
            if (reply.hangup) {
                trace(options, reply);
                port.hangUp();
                std::this_thread::sleep_for(std::chrono::milliseconds(options.hangupMilliseconds));
                port.open();
                announce(port);
                break; // whatever else was sent went down with the line
            }
            if (reply.delayMilliseconds > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMilliseconds));
            writeAll(port.fd(), reply.bytes);
            // Told once the answer is on its way, so that a reader of the trace can count on it.
            trace(options, reply);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    q7sim::Options options;
    try {
        if (!q7sim::parseOptions(argc, argv, options)) {
            if (options.showVersion)
                std::cout << "q7sim " << Talvessa::programVersion << std::endl;
            else
                std::cout << q7sim::usageText;
            return 0;
        }
    } catch (const std::exception& e) {
        std::cerr << "q7sim: " << e.what() << "\nTry 'q7sim --help'." << std::endl;
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    try {
        if (!options.socketName.empty()) {
            const std::string directory = Talvessa::simulatorSocketDirectory();
            Talvessa::prepareSimulatorSocketDirectory(directory);
            q7sim::SocketPort port(directory + "/" + options.socketName);
            return serve(options, port);
        }
        q7sim::PtyPort port(options.linkPath);
        return serve(options, port);
    } catch (const std::exception& e) {
        std::cerr << "q7sim: " << e.what() << std::endl;
        return 1;
    }
}

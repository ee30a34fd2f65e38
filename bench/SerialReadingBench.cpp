// SPDX-License-Identifier: GPL-3.0-or-later
// Time of one photometer reading through the serial code against the simulator on a
// pseudo-terminal, set against the 20 ms pause the protocol itself demands.
#include "BenchProfileStore.h"
#include "BenchTarget.h"
#include "Q7SimProcess.h"
#include "TempDirectory.h"
#include "com/ODSourceFactory.h"
#include "com/SerialPortResolver.h"
#include "lumo/Logger.h"
#include "settings/IniFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

int main() {
    constexpr int readings = 200;
    constexpr double mandatedMilliseconds = 20.0;

    BenchProfileStore store;

    Q7SimProcess sim({"--value", "1000"});
    Talvessa::setSerialPortLookup([&](const std::string&) { return sim.devicePath(); });
    auto source = Talvessa::createODSource("Com1", 6);

    source->value(); // warm-up
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < readings; ++i)
        source->value();
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;

    const double mean = elapsed.count() / readings;
    std::printf("serial reading: %d readings, mean %.3f ms per reading\n", readings, mean);
    BenchTarget::atMost("serial reading: ratio to the mandated 20 ms pause",
                        mean / mandatedMilliseconds, 1.15);
    return BenchTarget::exitStatus();
}

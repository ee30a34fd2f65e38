// SPDX-License-Identifier: GPL-3.0-or-later
#include "Q7SimProcess.h"

#include <csignal>
#include <stdexcept>

Q7SimProcess::Q7SimProcess(const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& environment)
    : process_(executable(), arguments, environment) {
    firstLine_ = process_.nextLine();
    if (firstLine_.empty())
        throw std::runtime_error("q7sim announced no line: " + process_.errorOutput());
}

void Q7SimProcess::stop() {
    process_.signal(SIGTERM);
    process_.wait();
}

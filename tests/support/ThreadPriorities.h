// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

// How many of this process's threads run at a lower priority (a higher nice value) than the
// main thread, as the kernel shows them.
inline int threadsBelowTheMainThread() {
    const auto niceOf = [](const std::string& task) {
        std::ifstream stat("/proc/self/task/" + task + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // The fields after the name, which may hold blanks: state is the first, nice the 17th.
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        for (int i = 0; i < 17; ++i)
            fields >> field;
        return std::stoi(field);
    };
    const int main = niceOf(std::to_string(getpid()));
    int below = 0;
    DIR* tasks = opendir("/proc/self/task");
    while (const dirent* entry = readdir(tasks))
        if (entry->d_name[0] != '.' && niceOf(entry->d_name) > main)
            ++below;
    closedir(tasks);
    return below;
}

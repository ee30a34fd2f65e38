// SPDX-License-Identifier: GPL-3.0-or-later
#include "SamplingRules.h"

#include <utility>

namespace SamplingRules {

namespace {
const std::pair<const char*, int> intervals[] = {{"1 Sec", 1},    {"15 Sec", 15},  {"30 Sec", 30},
                                                 {"60 Sec", 60},  {"2 Min", 120},  {"5 Min", 300},
                                                 {"10 Min", 600}, {"60 Min", 3600}};
}

QStringList intervalEntries() {
    QStringList entries;
    for (const auto& [entry, seconds] : intervals)
        entries << QString::fromLatin1(entry);
    return entries;
}

int intervalForEntry(const QString& entry) {
    for (const auto& [name, seconds] : intervals)
        if (entry == QLatin1String(name))
            return seconds;
    return 30;
}

bool autoSaveDue(int n, int c) {
    return (n >= 1 && n <= 999 && c >= 1) || (n >= 1001 && n <= 3999 && c >= 10) ||
           (n >= 4001 && n <= 7999 && c >= 20) || (n >= 8001 && c >= 30);
}

bool AutoSaveSchedule::afterSample(int n) {
    if (autoSaveDue(n, counter_)) {
        counter_ = 1;
        return true;
    }
    ++counter_;
    return false;
}

} // namespace SamplingRules

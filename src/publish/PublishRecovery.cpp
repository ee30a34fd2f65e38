// SPDX-License-Identifier: GPL-3.0-or-later
#include "PublishRecovery.h"

#include <cmath>

namespace PublishRecovery {

namespace {
// The row stores the start to the second, in the start's own time of day.
bool ofRun(const PublishOutbox::Mark& mark, const RecordRow& row) {
    const QTime start = mark.start.time();
    return row.startDate == mark.start.date() &&
           row.startTime == QTime(start.hour(), start.minute(), start.second());
}
} // namespace

std::vector<PublishMessages::Sample> unqueuedRows(const PublishOutbox::Mark& mark,
                                                  const std::vector<RecordRow>& rows) {
    std::vector<PublishMessages::Sample> samples;
    for (const RecordRow& row : rows) {
        if (!ofRun(mark, row) || row.number <= mark.number)
            continue;
        // Minutes is cut to three decimals, less than 0.06 s: rounding gives the whole seconds.
        const auto seconds = static_cast<qint64>(std::llround(row.minutes * 60));
        samples.push_back({mark.run, static_cast<int>(row.number), row.minutes, row.od, row.calcOd,
                           mark.start.addMSecs(seconds * 1000), row.title});
    }
    return samples;
}

} // namespace PublishRecovery

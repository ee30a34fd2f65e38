// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/RecordTable.h"

#include <QString>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct WebStatus;

// The status page's JSON, compact UTF-8. Numbers that are not finite are written as null.
namespace WebJson {

// "HH:MM:SS", hours with at least two digits.
QString elapsedText(std::int64_t milliseconds);

// GET /api/status: the run, the current values, the alarms and the growth figures (name and
// value lines).
std::string status(const WebStatus& status, const std::vector<std::pair<QString, QString>>& growth);
// GET /api/samples: {"samples": [{"number", "minutes", "od", "calcOd", "note"}, ...]}.
std::string samples(const std::vector<RecordRow>& rows);
// The data of a "sample" (and "note") event: one row as in /api/samples.
std::string sampleEvent(const RecordRow& row);
// The data of a "state" event: {"state", "samples"}.
std::string stateEvent(const WebStatus& status);
// {"error": message}.
std::string error(const std::string& message);

} // namespace WebJson

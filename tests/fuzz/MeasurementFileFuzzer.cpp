// SPDX-License-Identifier: GPL-3.0-or-later
// Saved measurements come from other labs and old disks: any file must open as a measurement
// or be refused with a message, through the viewer's entry and the exports' alike, and the
// two must agree on every row they read.
#include "FuzzSupport.h"
#include "workstation/OpenedMeasurement.h"
#include "workstation/RecordRowReader.h"

#include <QString>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

bool sameNumber(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool sameRow(const RecordRow& a, const RecordRow& b) {
    return a.allTime == b.allTime && sameNumber(a.number, b.number) &&
           sameNumber(a.minutes, b.minutes) && sameNumber(a.od, b.od) &&
           a.startTime == b.startTime && a.startDate == b.startDate && a.title == b.title &&
           a.note == b.note && a.timeS == b.timeS && sameNumber(a.noteS, b.noteS) &&
           sameNumber(a.calcOd, b.calcOd) && a.smoothOd.has_value() == b.smoothOd.has_value() &&
           (!a.smoothOd || sameNumber(*a.smoothOd, *b.smoothOd));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = Fuzz::scratchPath("measurement.nph");
    static const QString path = QString::fromStdString(file);
    for (const char* side : {"-journal", "-wal", "-shm"})
        std::remove((file + side).c_str());
    Fuzz::writeFile(file, data, size);

    // The viewer: all rows at once.
    bool opened = false;
    std::vector<RecordRow> rows;
    try {
        rows = OpenedMeasurement::open(path).rows;
        opened = true;
        FUZZ_CHECK(!rows.empty(), "the viewer opened a measurement without rows");
    } catch (const std::runtime_error&) {
    }

    // The exports: row by row.
    bool streamed = false;
    std::string refusal;
    std::vector<RecordRow> streamedRows;
    try {
        RecordRowReader reader(path);
        const int count = reader.rowCount();
        RecordRow row;
        while (reader.next(row))
            streamedRows.push_back(row);
        FUZZ_CHECK(static_cast<int>(streamedRows.size()) == count,
                   "the row count differs from the rows read");
        streamed = true;
    } catch (const std::runtime_error& e) {
        refusal = e.what();
    }

    if (opened) {
        FUZZ_CHECK(streamed, "the viewer opened a file the exports refuse: " + refusal);
        FUZZ_CHECK(rows.size() == streamedRows.size(),
                   "the viewer and the exports read " + std::to_string(rows.size()) + " and " +
                       std::to_string(streamedRows.size()) + " rows");
        for (std::size_t i = 0; i < rows.size(); ++i)
            FUZZ_CHECK(sameRow(rows[i], streamedRows[i]),
                       "the viewer and the exports read row " + std::to_string(i) + " differently");
    }
    return 0;
}

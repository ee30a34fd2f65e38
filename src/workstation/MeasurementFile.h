// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RecordTable.h"

#include <QString>
#include <vector>

// The one place that decides how a measurement file is read. Our own files are SQLite;
// older ones from the labs are Paradox tables. The content decides, never the name.
class MeasurementFile {
public:
    enum class Format { Sqlite, Paradox };

    // SQLite by its header; anything else is left to the Paradox reader, which refuses what
    // it cannot read. A missing file throws.
    static Format formatOf(const QString& path);

    // Every row in order; throws "The file '…' is not a measurement table: …" for a file of
    // neither kind, with other columns or damaged. A number column left empty reads as NaN,
    // which exports write as an empty text and charts and analyses leave out.
    static std::vector<RecordRow> readRows(const QString& path);
};

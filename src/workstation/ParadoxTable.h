// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RecordTable.h"

#include <QString>
#include <memory>

// A measurement table kept in the Paradox format, as labs hold older saved measurements:
// read-only, row by row in the order of its data blocks. The whole block chain is checked
// on opening, so a damaged file is refused before any row is handed out and no read goes
// beyond the end of the file.
class ParadoxTable {
public:
    // Throws "The file '…' is not a measurement table: …" when the file is no Paradox table,
    // is damaged, or its columns are not the twelve of a measurement.
    explicit ParadoxTable(const QString& path);
    ~ParadoxTable();
    ParadoxTable(const ParadoxTable&) = delete;
    ParadoxTable& operator=(const ParadoxTable&) = delete;

    int rowCount() const;
    // The next row; false after the last.
    bool next(RecordRow& row);

private:
    struct Reader;
    std::unique_ptr<Reader> reader_;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ParadoxTable.h"
#include "RecordTable.h"
#include "SqliteDatabase.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

// Walks a measurement file row by row, read-only, without holding the whole table in memory,
// so that a long measurement exports at the speed of the disk. The rows come out as
// RecordTable::allRows() gives them, except that an empty number reads as NaN, not as 0.
class RecordRowReader {
public:
    // Throws with a clear message when the file is no measurement table.
    explicit RecordRowReader(const QString& path);

    int rowCount();
    // The next row in insertion order; false after the last.
    bool next(RecordRow& row);

private:
    struct Finalize {
        void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
    };
    QByteArray bytesAt(int column) const;
    QTime timeAt(int column) const;

    // Exactly one of the two, as the file's content decides.
    std::unique_ptr<ParadoxTable> paradox_;
    std::optional<SqliteDatabase> database_;
    std::unique_ptr<sqlite3_stmt, Finalize> rows_;
    // Start time, date and title are the same in nearly every row: each is parsed once.
    QByteArray startTimeText_, dateText_, titleText_;
    QTime startTime_;
    QDate date_;
    QString title_;
    bool first_ = true;
};

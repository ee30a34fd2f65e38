// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SqliteDatabase.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>
#include <vector>

// One row of a measurement table: the twelve columns in their order.
struct RecordRow {
    QTime allTime;
    double number = 0;
    double minutes = 0;
    double od = 0;
    QTime startTime;
    QDate startDate;
    QString title;
    QString note;
    QString timeS;
    double noteS = -5;
    double calcOd = 0;
    std::optional<double> smoothOd; // never written; empty in every row
};

// What the charts read of a row.
struct ChartRow {
    sqlite3_int64 rowId = 0;
    double number = 0;
    double minutes = 0;
    double od = 0;
    double calcOd = 0;
    QString timeS;
    std::optional<double> smoothOd;
    double noteS = -5;
    QString note;
};

// A measurement table in one SQLite file: the working table Record1.db, or a saved
// measurement opened by its path. Rows keep insertion order; every append is committed to
// disk before it returns.
class RecordTable {
public:
    static constexpr int titleLength = 50;
    static constexpr int noteLength = 50;
    static constexpr int timeSLength = 10;
    static const char* const tableName; // "Record1", inside every file

    // The working table of a program directory, created with its columns when missing.
    static std::unique_ptr<RecordTable> openWorking(const QString& programDirectory);
    // Any measurement table file; refused with a clear message when it is not one.
    static std::unique_ptr<RecordTable> openFile(const QString& path, bool readOnly);

    const QString& fileName() const { return database_.path(); }

    void empty();
    void append(const RecordRow& row);

    // Puts note number n on the row the time position x (minutes) falls on: the first row
    // whose time exceeds x with the row before it not exceeding x, else the last row.
    // Returns that row's Number, or nothing when the table has no rows.
    std::optional<double> attachNote(int n, const QString& text, double x);
    // Puts note number n on the row with this Number; false when no row has it.
    bool attachNoteToRow(int n, const QString& text, double number);
    // The note as attachNote stores it: "[n] text", cut to the column's length.
    static QString storedNote(int n, const QString& text);

    // Rows appended since the row id given (0: all), in order; the id moves to the last one.
    std::vector<ChartRow> chartRowsSince(sqlite3_int64& lastRowId);
    std::vector<RecordRow> allRows();
    // The whole rows appended since the row id given (0: all); the id moves to the last one.
    std::vector<RecordRow> rowsSince(sqlite3_int64& lastRowId);
    int rowCount();

    // A consistent copy of the whole table in a new single file, written under a temporary
    // name and renamed, so that the target is never half written.
    void snapshotTo(const QString& path);
    // The same copy into the new file path, flushed to disk but not renamed: for a caller that
    // puts it in place itself. Failures name shownName; nothing is left at path.
    void writeCopy(const QString& path, const QString& shownName);

private:
    RecordTable(const QString& path, SqliteDatabase::Mode mode);
    void checkColumns();
    // Refuses a working table that is not exactly this program's, saying what to do.
    void checkWorkingTable();
    // What makes the table not this program's own; nothing when it is.
    std::optional<QString> foreignSchema();
    // Writes the rows into a new file at path; the reason when it failed.
    QString copyInto(const QString& path);
    void createTable();
    bool holdsNoTables();

    SqliteDatabase database_;
    std::optional<SqliteStatement> insert_;
};

// A text cut to at most length characters, never inside a surrogate pair.
QString limitedText(const QString& text, int length);

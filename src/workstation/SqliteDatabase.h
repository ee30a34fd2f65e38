// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

// Thin ownership wrappers over the SQLite C API; every failure is a runtime error that names
// the database file and carries SQLite's own text.
class SqliteStatement;

// A failed SQLite call: the whole message, and SQLite's reason on its own.
class SqliteError : public std::runtime_error {
public:
    SqliteError(const QString& message, QString sqliteReason)
        : std::runtime_error(message.toStdString()), reason(std::move(sqliteReason)) {}
    QString reason;
};

class SqliteDatabase {
public:
    enum class Mode { ReadOnly, ReadWrite, Create };
    SqliteDatabase(const QString& path, Mode mode);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    void execute(const char* sql);
    SqliteStatement prepare(const char* sql);
    // Runs work in one transaction: committed when it returns, rolled back when it throws, so
    // a failure leaves nothing of it behind. begin is "BEGIN" or "BEGIN IMMEDIATE".
    template <typename Work> void inTransaction(Work work, const char* begin = "BEGIN") {
        execute(begin);
        try {
            work();
            execute("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    [[noreturn]] void fail(const QString& what) const;
    // SQLite's text for the last error, with the system's reason where a file operation failed
    // ("disk I/O error (File too large)"). Only right straight after the failing call.
    QString errorText() const;

    sqlite3* handle() const { return db_; }
    const QString& path() const { return file_; }

private:
    QString file_;
    sqlite3* db_ = nullptr;
};

class SqliteStatement {
public:
    SqliteStatement(SqliteDatabase& database, const char* sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& bind(int index, double value);
    SqliteStatement& bind(int index, sqlite3_int64 value);
    SqliteStatement& bind(int index, const QString& value);
    SqliteStatement& bindNull(int index);

    bool step(); // true while a row is there
    void run();  // a statement without result rows
    void reset();

    double real(int column) const;
    sqlite3_int64 integer(int column) const;
    QString text(int column) const;
    bool isNull(int column) const;

private:
    SqliteDatabase* database_;
    sqlite3_stmt* statement_ = nullptr;
};

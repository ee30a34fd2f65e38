// SPDX-License-Identifier: GPL-3.0-or-later
#include "SqliteDatabase.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

SqliteDatabase::SqliteDatabase(const QString& path, Mode mode) : file_(path) {
    int flags = SQLITE_OPEN_NOMUTEX;
    flags |= mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (mode == Mode::Create)
        flags |= SQLITE_OPEN_CREATE;
    const int result = sqlite3_open_v2(path.toUtf8().constData(), &db_, flags, nullptr);
    if (result != SQLITE_OK) {
        const QString reason = db_ ? QString::fromUtf8(sqlite3_errmsg(db_))
                                   : QString::fromUtf8(sqlite3_errstr(result));
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error(
            QStringLiteral("Can't open the table file '%1': %2").arg(path, reason).toStdString());
    }
    sqlite3_extended_result_codes(db_, 1);
    // A table file may come from another tool. Nothing in it may act on its own: no trigger
    // fires (this program makes none), no function runs from its schema, and statements
    // cannot corrupt the file on purpose.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_busy_timeout(db_, 2000);
    // Files opened to be read come from anywhere. Without the check a damaged page can give
    // rows of bytes left over from other pages, so that the same file reads differently from
    // one opening to the next; with it the damage is an error each time.
    if (mode == Mode::ReadOnly)
        sqlite3_exec(db_, "PRAGMA cell_size_check=ON", nullptr, nullptr, nullptr);
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close_v2(db_);
}

QString SqliteDatabase::errorText() const {
    // SQLite keeps no reliable copy of the system's error; the failing write left it in errno.
    const int system = errno;
    QString text = QString::fromUtf8(sqlite3_errmsg(db_));
    if ((sqlite3_extended_errcode(db_) & 0xff) == SQLITE_IOERR && system != 0)
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(strerror(system)));
    return text;
}

void SqliteDatabase::fail(const QString& what) const {
    const QString reason = errorText();
    throw SqliteError(QStringLiteral("%1 in the table file '%2': %3").arg(what, file_, reason),
                      reason);
}

void SqliteDatabase::execute(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QStringLiteral("Database error"));
}

SqliteStatement SqliteDatabase::prepare(const char* sql) {
    return SqliteStatement(*this, sql);
}

SqliteStatement::SqliteStatement(SqliteDatabase& database, const char* sql) : database_(&database) {
    if (sqlite3_prepare_v2(database.handle(), sql, -1, &statement_, nullptr) != SQLITE_OK)
        database.fail(QStringLiteral("Database error"));
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : database_(other.database_), statement_(other.statement_) {
    other.statement_ = nullptr;
}

SqliteStatement& SqliteStatement::bind(int index, double value) {
    sqlite3_bind_double(statement_, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, sqlite3_int64 value) {
    sqlite3_bind_int64(statement_, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(statement_, index, utf8.constData(), static_cast<int>(utf8.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
    sqlite3_bind_null(statement_, index);
    return *this;
}

bool SqliteStatement::step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW)
        return true;
    if (result == SQLITE_DONE)
        return false;
    const QString reason = database_->errorText();
    sqlite3_reset(statement_);
    throw SqliteError(
        QStringLiteral("Database error in the table file '%1': %2").arg(database_->path(), reason),
        reason);
}

void SqliteStatement::run() {
    while (step()) {
    }
    reset();
}

void SqliteStatement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

double SqliteStatement::real(int column) const {
    return sqlite3_column_double(statement_, column);
}

sqlite3_int64 SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

QString SqliteStatement::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(statement_, column)) : QString();
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "SqliteDatabase.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

SqliteDatabase::SqliteDatabase(const QString& path, Mode mode) : file(path) {
    int flags = SQLITE_OPEN_NOMUTEX;
    flags |= mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (mode == Mode::Create)
        flags |= SQLITE_OPEN_CREATE;
    const int result = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (result != SQLITE_OK) {
        const QString reason =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(result));
        sqlite3_close(db);
        db = nullptr;
        throw std::runtime_error(
            QStringLiteral("Can't open the table file '%1': %2").arg(path, reason).toStdString());
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 2000);
    // Files opened to be read come from anywhere. Without the check a damaged page can give
    // rows of bytes left over from other pages, so that the same file reads differently from
    // one opening to the next; with it the damage is an error each time.
    if (mode == Mode::ReadOnly)
        sqlite3_exec(db, "PRAGMA cell_size_check=ON", nullptr, nullptr, nullptr);
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close_v2(db);
}

QString SqliteDatabase::errorText() const {
    // SQLite keeps no reliable copy of the system's error; the failing write left it in errno.
    const int system = errno;
    QString text = QString::fromUtf8(sqlite3_errmsg(db));
    if ((sqlite3_extended_errcode(db) & 0xff) == SQLITE_IOERR && system != 0)
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(strerror(system)));
    return text;
}

void SqliteDatabase::fail(const QString& what) const {
    const QString reason = errorText();
    throw SqliteError(QStringLiteral("%1 in the table file '%2': %3").arg(what, file, reason),
                      reason);
}

void SqliteDatabase::execute(const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QStringLiteral("Database error"));
}

SqliteStatement SqliteDatabase::prepare(const char* sql) {
    return SqliteStatement(*this, sql);
}

SqliteStatement::SqliteStatement(SqliteDatabase& database, const char* sql) : database(&database) {
    if (sqlite3_prepare_v2(database.handle(), sql, -1, &statement, nullptr) != SQLITE_OK)
        database.fail(QStringLiteral("Database error"));
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : database(other.database), statement(other.statement) {
    other.statement = nullptr;
}

SqliteStatement& SqliteStatement::bind(int index, double value) {
    sqlite3_bind_double(statement, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, sqlite3_int64 value) {
    sqlite3_bind_int64(statement, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), static_cast<int>(utf8.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
    sqlite3_bind_null(statement, index);
    return *this;
}

bool SqliteStatement::step() {
    const int result = sqlite3_step(statement);
    if (result == SQLITE_ROW)
        return true;
    if (result == SQLITE_DONE)
        return false;
    const QString reason = database->errorText();
    sqlite3_reset(statement);
    throw SqliteError(
        QStringLiteral("Database error in the table file '%1': %2").arg(database->path(), reason),
        reason);
}

void SqliteStatement::run() {
    while (step()) {
    }
    reset();
}

void SqliteStatement::reset() {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
}

double SqliteStatement::real(int column) const {
    return sqlite3_column_double(statement, column);
}

sqlite3_int64 SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement, column);
}

QString SqliteStatement::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(statement, column)) : QString();
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(statement, column) == SQLITE_NULL;
}

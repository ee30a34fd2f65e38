// SPDX-License-Identifier: GPL-3.0-or-later
#include "PublishOutbox.h"

#include <QDir>

namespace {
SqliteDatabase& prepared(SqliteDatabase& database) {
    database.execute("CREATE TABLE IF NOT EXISTS Outbox (Id INTEGER PRIMARY KEY AUTOINCREMENT, "
                     "Topic TEXT NOT NULL, Payload TEXT NOT NULL, Retain INTEGER NOT NULL)");
    // A write-ahead log without a flush per commit: a committed message survives a killed
    // program at once (the system has it), and reaches the disk at the log's next checkpoint;
    // a flush per message would make every sampling tick a quarter slower. A message lost
    // to a power cut is still a row of the working table, which is flushed per row.
    database.execute("PRAGMA journal_mode=WAL");
    database.execute("PRAGMA synchronous=NORMAL");
    return database;
}
} // namespace

QString PublishOutbox::filePath(const QString& programDirectory) {
    return QDir(programDirectory).filePath(QStringLiteral("Outbox1.db"));
}

PublishOutbox::PublishOutbox(const QString& programDirectory)
    : hold_(WorkingTableLock::acquire(programDirectory)),
      database_(filePath(programDirectory), SqliteDatabase::Mode::Create),
      insert_(prepared(database_).prepare(
          "INSERT INTO Outbox (Topic, Payload, Retain) VALUES (?, ?, ?)")),
      select_(database_.prepare(
          "SELECT Id, Topic, Payload, Retain FROM Outbox WHERE Id > ? ORDER BY Id LIMIT ?")),
      delete_(database_.prepare("DELETE FROM Outbox WHERE Id = ?")) {
    auto counting = database_.prepare("SELECT count(*) FROM Outbox");
    if (counting.step())
        waiting_ = static_cast<int>(counting.integer(0));
}

sqlite3_int64 PublishOutbox::append(const QString& topic, const QByteArray& payload, bool retain) {
    insert_.bind(1, topic);
    insert_.bind(2, QString::fromUtf8(payload)); // the messages are UTF-8 JSON
    insert_.bind(3, static_cast<sqlite3_int64>(retain ? 1 : 0));
    insert_.run();
    ++waiting_;
    return sqlite3_last_insert_rowid(database_.handle());
}

std::vector<PublishOutbox::Message> PublishOutbox::after(sqlite3_int64 id, int limit) {
    std::vector<Message> messages;
    select_.bind(1, id).bind(2, static_cast<sqlite3_int64>(limit));
    try {
        while (select_.step())
            messages.push_back({select_.integer(0), select_.text(1), select_.text(2).toUtf8(),
                                select_.integer(3) != 0});
    } catch (...) {
        select_.reset();
        throw;
    }
    select_.reset();
    return messages;
}

void PublishOutbox::remove(const std::vector<sqlite3_int64>& ids) {
    if (ids.empty())
        return;
    database_.execute("BEGIN");
    try {
        for (const sqlite3_int64 id : ids) {
            delete_.bind(1, id);
            delete_.run();
            waiting_ -= sqlite3_changes(database_.handle());
        }
        database_.execute("COMMIT");
    } catch (...) {
        sqlite3_exec(database_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        auto counting = database_.prepare("SELECT count(*) FROM Outbox");
        waiting_ = counting.step() ? static_cast<int>(counting.integer(0)) : waiting_;
        throw;
    }
}

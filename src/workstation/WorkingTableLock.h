// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

// One measurement at a time per working table. The holder keeps an exclusive lock on the
// program directory, which the kernel drops the moment the holder ends, however it ends, and
// which no file deleted by hand can take away. Every engine of this process shares the one
// hold, so the windows and the engine behind them do not refuse each other.
class WorkingTableLock {
public:
    ~WorkingTableLock();
    WorkingTableLock(const WorkingTableLock&) = delete;
    WorkingTableLock& operator=(const WorkingTableLock&) = delete;

    // This process's hold of the program directory's working table, taken now when it has
    // none yet. Refused at once with a message naming the holder (program and process id)
    // when another process holds it.
    static std::shared_ptr<WorkingTableLock> acquire(const QString& programDirectory);

private:
    WorkingTableLock(QString directory, int descriptor);

    QString directory_;
    int descriptor_ = -1;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class RecordTable;
class Statement;

// The files of one saved measurement: B.nph (the table), B.log (the protocol), B.txt (the
// statement) and B.dat (the text export).
struct FileSet {
    QString nph, log, txt, dat;

    // From a chosen name: every ".nph" in its file name is removed, then ".nph" appended.
    static FileSet fromChosenName(const QString& name);
};

namespace MeasurementFiles {

// The path with every "from" in its file name replaced by "to"; the folders it lies in keep
// their names, even one called "runs.nph".
QString replacedInFileName(const QString& path, const QString& from, const QString& to);

// "Title_8_12_2007_09.05.03.nph" for a run started on 8 December 2007 at 09:05:03.
QString defaultSaveAsName(const QString& title, const QDateTime& start);
// "8.12. 9 5": every auto-save of one measurement writes the same files.
QString autoSaveBaseName(const QDateTime& start);

// Writes the table, the protocol file and the statement of a set, replacing an earlier set
// whole or not at all. Every member is first written in full under a temporary name; then a
// mark is set and the members are renamed into place. A crash before the mark leaves the
// earlier set; one after it leaves a save that finishInterruptedSave completes. Returns why
// the set was not written (or, rarely, not all put in place: the mark then stays for
// finishInterruptedSave), empty when it was.
QStringList writeSet(const FileSet& set, RecordTable& table, const QString& protocolFile,
                     const Statement& statement);

// Completes a save of the set that was cut short after its mark; otherwise does nothing.
// Whoever opens a set calls it first. Throws when a member cannot be put in place.
void finishInterruptedSave(const FileSet& set);

} // namespace MeasurementFiles

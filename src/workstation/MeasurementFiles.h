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

    // From a chosen name: every ".nph" in it is removed, then ".nph" appended.
    static FileSet fromChosenName(const QString& name);
};

namespace MeasurementFiles {

// "Title_8_12_2007_09.05.03.nph" for a run started on 8 December 2007 at 09:05:03.
QString defaultSaveAsName(const QString& title, const QDateTime& start);
// "8.12. 9 5": every auto-save of one measurement writes the same files.
QString autoSaveBaseName(const QDateTime& start);

// Writes the table, the protocol file and the statement of a set. Each member goes to a
// temporary name first and is renamed, so an interrupted save leaves the earlier member whole.
// Returns what could not be written, one line per member; empty when all went well.
QStringList writeSet(const FileSet& set, RecordTable& table, const QString& protocolFile,
                     const Statement& statement);

} // namespace MeasurementFiles

#include "MeasurementFiles.h"

#include "DisplayFormats.h"
#include "RecordTable.h"
#include "Statement.h"
#include "TextFile.h"

#include <stdexcept>

#include <QDir>
#include <QFileInfo>

FileSet FileSet::fromChosenName(const QString& name) {
    QString base = name;
    base.remove(QStringLiteral(".nph"));
    FileSet set;
    set.nph = base + QStringLiteral(".nph");
    set.log = base + QStringLiteral(".log");
    set.txt = base + QStringLiteral(".txt");
    set.dat = base + QStringLiteral(".dat");
    return set;
}

namespace MeasurementFiles {

QString defaultSaveAsName(const QString& title, const QDateTime& start) {
    const QDate date = start.date();
    QString time = DisplayFormats::longTimeText(start.time());
    time.replace(QLatin1Char(':'), QLatin1Char('.'));
    return QStringLiteral("%1_%2_%3_%4_%5.nph")
        .arg(title)
        .arg(date.day())
        .arg(date.month())
        .arg(date.year())
        .arg(time);
}

QString autoSaveBaseName(const QDateTime& start) {
    return QStringLiteral("%1.%2. %3 %4")
        .arg(start.date().day())
        .arg(start.date().month())
        .arg(start.time().hour())
        .arg(start.time().minute());
}

QStringList writeSet(const FileSet& set, RecordTable& table, const QString& protocolFile,
                     const Statement& statement) {
    QStringList failures;
    const auto attempt = [&failures](const QString& path, const auto& write) {
        try {
            const QString directory = QFileInfo(path).absolutePath();
            if (!QDir().mkpath(directory))
                throw std::runtime_error(
                    QStringLiteral("Can't create the directory '%1'.").arg(directory).toStdString());
            write();
        } catch (const std::exception& e) {
            failures << QString::fromUtf8(e.what());
        }
    };
    attempt(set.nph, [&] { table.snapshotTo(set.nph); });
    attempt(set.log, [&] { TextFile::replace(set.log, TextFile::read(protocolFile)); });
    attempt(set.txt, [&] { statement.save(set.txt); });
    return failures;
}

} // namespace MeasurementFiles

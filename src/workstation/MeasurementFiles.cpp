// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasurementFiles.h"

#include "DisplayFormats.h"
#include "RecordTable.h"
#include "Statement.h"
#include "TextFile.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <QDir>
#include <QFile>
#include <QFileInfo>

FileSet FileSet::fromChosenName(const QString& name) {
    const QString base = MeasurementFiles::replacedInFileName(name, QStringLiteral(".nph"), {});
    FileSet set;
    set.nph = base + QStringLiteral(".nph");
    set.log = base + QStringLiteral(".log");
    set.txt = base + QStringLiteral(".txt");
    set.dat = base + QStringLiteral(".dat");
    return set;
}

namespace MeasurementFiles {

QString replacedInFileName(const QString& path, const QString& from, const QString& to) {
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    QString name = path.mid(nameStart);
    name.replace(from, to);
    return path.left(nameStart) + name;
}

QString defaultSaveAsName(const QString& title, const QDateTime& start) {
    const QDate date = start.date();
    QString time = DisplayFormats::longTimeText(start.time());
    time.replace(QLatin1Char(':'), QLatin1Char('.'));
    // The title is free text; the proposal must stay one name in the directory it is offered in.
    QString name = title;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("%1_%2_%3_%4_%5.nph")
        .arg(name)
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

namespace {

std::array<QString, 3> members(const FileSet& set) {
    return {set.nph, set.log, set.txt};
}
QString staged(const QString& member) {
    return member + QStringLiteral(".part");
}
QString saveMark(const FileSet& set) {
    return set.nph + QStringLiteral(".saving");
}
QString directoryOf(const FileSet& set) {
    return QFileInfo(set.nph).absolutePath();
}

std::runtime_error writeError(const QString& path) {
    return std::runtime_error(QStringLiteral("Can't write '%1': %2")
                                  .arg(path, QString::fromLocal8Bit(strerror(errno)))
                                  .toStdString());
}

} // namespace

void finishInterruptedSave(const FileSet& set) {
    const QString mark = saveMark(set);
    if (!QFileInfo::exists(mark))
        return;
    for (const QString& member : members(set)) {
        const QString part = staged(member);
        if (QFileInfo::exists(part) && ::rename(QFile::encodeName(part).constData(),
                                                QFile::encodeName(member).constData()) != 0)
            throw writeError(member);
    }
    if (!TextFile::syncToDisk(directoryOf(set)))
        throw writeError(directoryOf(set));
    QFile::remove(mark);
}

QStringList writeSet(const FileSet& set, RecordTable& table, const QString& protocolFile,
                     const Statement& statement) {
    const QString directory = directoryOf(set);
    const auto dropStaged = [&set] {
        for (const QString& member : members(set))
            QFile::remove(staged(member));
    };
    try {
        if (!QDir().mkpath(directory))
            throw std::runtime_error(
                QStringLiteral("Can't create the directory '%1'.").arg(directory).toStdString());
        finishInterruptedSave(set);
    } catch (const std::exception& e) {
        return {QString::fromUtf8(e.what())};
    }
    try {
        dropStaged(); // left by a save that died before its mark
        table.writeCopy(staged(set.nph), set.nph);
        TextFile::writeDurably(staged(set.log), TextFile::read(protocolFile), set.log);
        TextFile::writeDurably(staged(set.txt), statement.fileContent(), set.txt);
        // Every member is whole on disk before the mark says so.
        TextFile::writeDurably(saveMark(set), QByteArray(), set.nph);
        if (!TextFile::syncToDisk(directory))
            throw writeError(directory);
    } catch (const std::exception& e) {
        QFile::remove(saveMark(set)); // first: without it the staged files count for nothing
        dropStaged();
        return {QString::fromUtf8(e.what())};
    }
    try {
        finishInterruptedSave(set);
    } catch (const std::exception& e) {
        return {QString::fromUtf8(e.what())};
    }
    return {};
}

} // namespace MeasurementFiles

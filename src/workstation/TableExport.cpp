// SPDX-License-Identifier: GPL-3.0-or-later
#include "TableExport.h"

#include "ExportTexts.h"
#include "RecordRowReader.h"
#include "TextFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <stdexcept>

namespace {

[[noreturn]] void cannotWrite(const QString& target, const QString& reason) {
    throw std::runtime_error(
        QStringLiteral("Can't write the file '%1': %2").arg(target, reason).toStdString());
}

// A value never ends its cell or its line early: tabs and line ends in it become blanks, and in
// the quoted variant a quote in it is doubled, as readers of quoted cells expect.
void appendValue(std::string& out, const std::string& value, char mark) {
    if (value.find_first_of(mark == '"' ? "\t\r\n\"" : "\t\r\n") == std::string::npos) {
        out += value;
        return;
    }
    for (const char c : value) {
        if (c == '\t' || c == '\r' || c == '\n')
            out += ' ';
        else if (c == '"' && mark == '"')
            out += "\"\"";
        else
            out += c;
    }
}

// Lines are gathered in a buffer and written in large pieces.
class AsciiFile {
public:
    AsciiFile(const QString& target, AsciiVariant variant) : file_(target), variant_(variant) {
        // Unbuffered, as TextFile::writeAll needs; the lines are gathered here already.
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            cannotWrite(target, file_.errorString());
        buffer_.reserve(flushSize + 4096);
        for (const char* name : ExportTexts::columnNames) {
            buffer_ += '"';
            buffer_ += name;
            buffer_ += "\"\t";
        }
        buffer_ += "\r\n";
    }

    void write(const RecordRow& row) {
        const char mark = variant_ == AsciiVariant::Viewer ? ' ' : '"';
        for (const std::string& value : texts_.of(row)) {
            buffer_ += mark;
            appendValue(buffer_, value, mark);
            buffer_ += mark;
            buffer_ += '\t';
        }
        buffer_ += "\r\n";
        if (buffer_.size() >= flushSize)
            flush();
    }

    void commit() {
        flush();
        if (!file_.commit())
            cannotWrite(file_.fileName(), file_.errorString());
    }

private:
    static constexpr std::size_t flushSize = std::size_t{256} * 1024;

    void flush() {
        if (!TextFile::writeAll(file_, buffer_.data(), static_cast<qint64>(buffer_.size())))
            cannotWrite(file_.fileName(), file_.errorString());
        buffer_.clear();
    }

    // Written under a temporary name and renamed at the end: an export that fails leaves the
    // earlier file of that name, and a second export replaces the first instead of adding to it.
    QSaveFile file_;
    AsciiVariant variant_;
    ExportTexts texts_;
    std::string buffer_;
};

} // namespace

void refuseOverwritingSource(const QString& source, const QString& target) {
    const QString existing = QFileInfo(target).canonicalFilePath();
    if (!existing.isEmpty() && existing == QFileInfo(source).canonicalFilePath())
        throw std::runtime_error(
            QStringLiteral("The export can't be written over the measurement file '%1' it "
                           "reads. Please choose another file name.")
                .arg(source)
                .toStdString());
}

void exportTableAscii(const std::vector<RecordRow>& rows, const QString& target,
                      AsciiVariant variant) {
    AsciiFile file(target, variant);
    for (const RecordRow& row : rows)
        file.write(row);
    file.commit();
}

void exportTableAscii(const QString& sourcePath, const QString& target, AsciiVariant variant) {
    refuseOverwritingSource(sourcePath, target);
    // The source is checked before anything is written.
    RecordRowReader reader(sourcePath);
    AsciiFile file(target, variant);
    RecordRow row;
    while (reader.next(row))
        file.write(row);
    file.commit();
}

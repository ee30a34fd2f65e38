// SPDX-License-Identifier: GPL-3.0-or-later
// Titles and notes are typed by people and arrive from old files: whatever they hold, a reader
// of the text export finds one line per row of exactly its twelve cells, and in them the texts
// as stored, a tab or line end in one as a blank.
#include "FuzzSupport.h"
#include "workstation/DisplayFormats.h"
#include "workstation/ExportTexts.h"
#include "workstation/RecordTable.h"
#include "workstation/TableExport.h"

#include <QFile>
#include <QString>
#include <memory>
#include <vector>

namespace {

// The columns other than title and note, as the rows below hold them.
struct Fixed {
    const char* allTime;
    const char* number;
    const char* minutes;
};
const Fixed fixedColumns[] = {{"00:00:00", "0", "0"},
                              {"00:00:30", "1", "0.5"},
                              {"00:01:00", "2", "1"},
                              {"00:01:30", "3", "1.5"}};

RecordRow rowNumber(int i, const QString& title, const QString& note) {
    RecordRow row;
    row.allTime = QTime(0, 0).addSecs(30 * i);
    row.number = i;
    row.minutes = i * 0.5;
    row.od = 0.25;
    row.startTime = QTime(8, 15, 0);
    row.startDate = QDate(2024, 3, 5);
    row.title = title;
    row.note = note;
    row.timeS = QStringLiteral("0:00");
    row.calcOd = 0.5;
    return row;
}

// A stored text is the text given, cut to the column's length, never inside a character.
void checkStored(const QString& given, const QString& stored, int length) {
    FUZZ_CHECK(stored.size() <= length, "a text stored beyond its column's length");
    FUZZ_CHECK(given.startsWith(stored), "a text stored changed: '" + given.toStdString() +
                                             "' became '" + stored.toStdString() + "'");
    FUZZ_CHECK(stored.size() == given.size() || stored.size() >= length - 1,
               "a text stored shorter than its column allows");
    FUZZ_CHECK(stored.isEmpty() || !stored.back().isHighSurrogate(),
               "a text stored cut inside a character");
}

// A text as the export writes it: a tab or a line end in it is a blank, so that it stays in
// its cell and its line.
std::string onOneLine(const QString& text) {
    std::string bytes = text.toUtf8().toStdString();
    for (char& c : bytes)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return bytes;
}

// Reads an export back as a reader of it does: a line ends at CR LF, a cell at a tab, every
// line ends with a tab, and each cell stands between two marks (the header's between quotes);
// between quotes, two quotes are one.
std::vector<std::vector<std::string>> cellsOf(const std::string& text, char mark) {
    std::vector<std::vector<std::string>> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        FUZZ_CHECK(end != std::string::npos, "the export's last line has no end");
        const std::string line = text.substr(start, end - start);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos, "a line end inside a line");
        const char lineMark = lines.empty() ? '"' : mark;
        std::vector<std::string> cells;
        std::size_t cell = 0;
        while (cell < line.size()) {
            const std::size_t tab = line.find('\t', cell);
            FUZZ_CHECK(tab != std::string::npos, "a line that does not end with a tab");
            const std::string marked = line.substr(cell, tab - cell);
            FUZZ_CHECK(marked.size() >= 2 && marked.front() == lineMark &&
                           marked.back() == lineMark,
                       "a cell not between its marks: " + marked);
            std::string value;
            for (std::size_t i = 1; i + 1 < marked.size(); ++i) {
                if (lineMark == '"' && marked[i] == '"') {
                    FUZZ_CHECK(i + 2 < marked.size() && marked[i + 1] == '"',
                               "a lone quote inside a quoted cell: " + marked);
                    ++i;
                }
                value += marked[i];
            }
            cells.push_back(value);
            cell = tab + 1;
        }
        lines.push_back(cells);
        start = end + 2;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString directory = QString::fromStdString(Fuzz::scratchDirectory());
    static const QString source = directory + QStringLiteral("/run.nph");
    static const QString target = directory + QStringLiteral("/run.dat");
    static const std::unique_ptr<RecordTable> working = RecordTable::openWorking(directory);
    static const std::string date =
        DisplayFormats::shortDateText(QDate(2024, 3, 5)).toUtf8().toStdString();

    Fuzz::InputReader input(data, size);
    const std::uint8_t flags = input.byte();
    const AsciiVariant variant = flags & 1 ? AsciiVariant::FileMenu : AsciiVariant::Viewer;
    const int rowCount = 1 + (flags >> 1 & 3);
    std::vector<QString> titles, notes;
    working->empty();
    for (int i = 0; i < rowCount; ++i) {
        titles.push_back(QString::fromUtf8(input.text()));
        notes.push_back(QString::fromUtf8(input.text()));
        working->append(rowNumber(i, titles.back(), notes.back()));
    }
    working->snapshotTo(source);
    exportTableAscii(source, target, variant);

    const auto stored = RecordTable::openFile(source, true)->allRows();
    FUZZ_CHECK(static_cast<int>(stored.size()) == rowCount, "rows were lost on storing");
    const QByteArray written = [] {
        QFile file(target);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const auto lines = cellsOf(written.toStdString(), variant == AsciiVariant::Viewer ? ' ' : '"');
    FUZZ_CHECK(static_cast<int>(lines.size()) == rowCount + 1,
               "the export has " + std::to_string(lines.size()) + " lines for " +
                   std::to_string(rowCount) + " rows");
    FUZZ_CHECK(lines[0] == std::vector<std::string>(ExportTexts::columnNames.begin(),
                                                    ExportTexts::columnNames.end()),
               "the header line changed");
    for (int i = 0; i < rowCount; ++i) {
        const RecordRow& row = stored[static_cast<std::size_t>(i)];
        checkStored(titles[static_cast<std::size_t>(i)], row.title, RecordTable::titleLength);
        checkStored(notes[static_cast<std::size_t>(i)], row.note, RecordTable::noteLength);
        const Fixed& fixed = fixedColumns[i];
        const std::vector<std::string> expected = {
            fixed.allTime,        fixed.number,        fixed.minutes, "0.25", "08:15:00", date,
            onOneLine(row.title), onOneLine(row.note), "0:00",        "-5",   "0.5",      ""};
        FUZZ_CHECK(lines[static_cast<std::size_t>(i) + 1] == expected,
                   "row " + std::to_string(i) + " reads back other cells from the export");
    }
    return 0;
}

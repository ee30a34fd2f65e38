// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExportTexts.h"

#include "DisplayFormats.h"
#include "settings/ProfileFile.h"

#include <cmath>
#include <cstdio>
#include <limits>

const std::array<const char*, ExportTexts::columnCount> ExportTexts::columnNames = {
    "AllTime", "Number", "Minutes", "OD",    "StartTime", "StartDate",
    "Title",   "Note",   "TimeS",   "NoteS", "CalcOD",    "SmoothOD"};

bool ExportTexts::isNumberColumn(int column) {
    return column == 1 || column == 2 || column == 3 || column >= 9;
}

std::array<double, ExportTexts::columnCount> ExportTexts::numbersOf(const RecordRow& row) {
    constexpr double empty = std::numeric_limits<double>::quiet_NaN();
    return {empty, row.number, row.minutes, row.od,    empty,      empty,
            empty, empty,      empty,       row.noteS, row.calcOd, row.smoothOd.value_or(empty)};
}

// The number form of DisplayFormats::numberText, kept in bytes: an export formats seven
// numbers per row.
void ExportTexts::number(int column, double value) {
    std::string& text = texts_[column];
    if (std::isnan(value)) {
        text.clear();
        return;
    }
    text = IniFile::formatIniFloat(value);
}

// DisplayFormats::longTimeText in bytes; a time that is not valid is empty there too.
void ExportTexts::time(int column, const QTime& value) {
    std::string& text = texts_[column];
    if (!value.isValid()) {
        text.clear();
        return;
    }
    char buffer[16];
    const int length = std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", value.hour(),
                                     value.minute(), value.second());
    text.assign(buffer, static_cast<std::size_t>(length));
}

const std::array<std::string, ExportTexts::columnCount>& ExportTexts::of(const RecordRow& row) {
    time(0, row.allTime);
    number(1, row.number);
    number(2, row.minutes);
    number(3, row.od);
    time(4, row.startTime);
    if (!lastDate_ || *lastDate_ != row.startDate) {
        lastDate_ = row.startDate;
        texts_[5] = DisplayFormats::shortDateText(row.startDate).toStdString();
    }
    if (!lastTitle_ || *lastTitle_ != row.title) {
        lastTitle_ = row.title;
        texts_[6] = row.title.toStdString();
    }
    texts_[7] = row.note.toStdString();
    texts_[8] = row.timeS.toStdString();
    number(9, row.noteS);
    number(10, row.calcOd);
    if (row.smoothOd)
        number(11, *row.smoothOd);
    else
        texts_[11].clear();
    return texts_;
}

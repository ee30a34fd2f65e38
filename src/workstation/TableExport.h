// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RecordTable.h"

#include <QString>
#include <functional>
#include <vector>

// Exports of a measurement table: tab-separated text and a spreadsheet workbook. They only
// read: the measurement file is never changed, and an export is never written over it.
// Failures throw std::runtime_error with a message for the user; a failed export leaves an
// existing file of the target's name as it was.

// How the text export writes its data cells; the header is the same in both.
enum class AsciiVariant {
    Viewer,  // a blank, the value, a blank and a tab
    FileMenu // a double quote, the value, a double quote and a tab
};

// Header line "AllTime"<tab>"Number"<tab>... then one line per row, every line ending in a tab
// and CR LF; UTF-8 without byte order mark. Values are written as stored, except that a tab or
// line end in a text becomes a blank, and in the file-menu variant a double quote is doubled:
// every row stays one line of twelve cells. Replaces the target whole.
void exportTableAscii(const std::vector<RecordRow>& rows, const QString& target,
                      AsciiVariant variant);
// Reads the measurement file row by row; throws when it is no measurement table.
void exportTableAscii(const QString& sourcePath, const QString& target, AsciiVariant variant);

// What the viewer's progress panel shows during a spreadsheet export.
struct ExcelProgress {
    QString text; // "Excel Export" first, then "Proceed: 3 Lines" after the first row, ...
    int position = 0;
    int maximum = 0; // the number of rows
};
using ExcelProgressCallback = std::function<void(const ExcelProgress&)>;

// An .xlsx workbook with the one sheet "Measuring Data": row 1 the column names in bold, then
// one row per table row: numbers as number cells, times, the date and texts as text cells.
void exportTableExcel(const std::vector<RecordRow>& rows, const QString& target,
                      const ExcelProgressCallback& progress = {});
void exportTableExcel(const QString& sourcePath, const QString& target,
                      const ExcelProgressCallback& progress = {});

// Throws when writing target would replace the measurement file source itself.
void refuseOverwritingSource(const QString& source, const QString& target);
